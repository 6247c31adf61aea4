#include "lumenpad/rows.hpp"

#include "lumenpad/row_text.hpp"
#include "oriel-theme/css_compat.hpp"

#include <algorithm>
#include <cmath>

namespace lumenpad {

namespace {

constexpr int icon_size = 32;

// Rows per view before the list has been laid out: as many as its height
// holds of rows no taller than their icons.
constexpr guint default_view_rows = list_max_height / icon_size + 1;

// A row's content widgets, kept on its box.
struct RowWidgets {
    GtkListItem* item;
    GtkWidget* box;
    GtkImage* icon;
    GtkLabel* name;
    GtkLabel* wm_class;
    // Shows the theme icon until its image file is decoded.
    bool icon_pending = false;
};

GQuark row_quark() {
    static const GQuark quark = g_quark_from_static_string("lumenpad-row");
    return quark;
}

RowWidgets* row_widgets(GtkWidget* box) {
    return box != nullptr ? static_cast<RowWidgets*>(g_object_get_qdata(G_OBJECT(box), row_quark()))
                          : nullptr;
}

RowWidgets* row_widgets(GtkListItem* item) {
    return row_widgets(gtk_list_item_get_child(item));
}

const AppEntry* bound_entry(const RowSource& source, GtkListItem* item, std::uint32_t* index) {
    if (gtk_list_item_get_item(item) == nullptr) {
        return nullptr;
    }
    const std::uint32_t* at = result_at(source.results, gtk_list_item_get_position(item));
    if (at == nullptr || *at >= source.entries->size()) {
        return nullptr;
    }
    *index = *at;
    return &(*source.entries)[*at];
}

bool is_near(const RowSource& source, guint position) {
    return position >= source.near_first && position <= source.near_last;
}

void show_icon(RowWidgets& row, const RowSource& source, const AppEntry& entry, std::uint32_t index,
               bool wait) {
    if (row.icon == nullptr) {
        return;
    }
    const IconTextures::Lookup image = source.icons->texture_for(index, wait);
    row.icon_pending = image.pending;
    if (image.texture != nullptr) {
        gtk_image_set_from_paintable(row.icon, GDK_PAINTABLE(image.texture));
    } else {
        gtk_image_set_from_icon_name(row.icon, icon_name_for(entry).c_str());
    }
}

void show_entry(RowWidgets& row, const RowSource& source) {
    std::uint32_t index = 0;
    const AppEntry* entry = bound_entry(source, row.item, &index);
    if (entry == nullptr) {
        return;
    }
    const guint position = gtk_list_item_get_position(row.item);
    show_icon(row, source, *entry, index, position >= source.view_first && position <= source.view_last);
    // Bounded texts: however long a value, the labels lay out no more than
    // a row shows.
    const RowTexts texts = row_texts(*entry);
    gtk_label_set_text(row.name, texts.name.c_str());
    // What the row's application is for, for screen readers.
    gtk_accessible_update_property(GTK_ACCESSIBLE(row.box), GTK_ACCESSIBLE_PROPERTY_DESCRIPTION,
                                   texts.comment.c_str(), -1);
    gtk_label_set_text(row.wm_class, texts.wm_class.c_str());
    gtk_widget_set_visible(GTK_WIDGET(row.wm_class), entry->startup_wm_class.has_value());
}

// Makes the row's box and content, and shows its entry in them.
void fill_row(GtkListItem* item, const RowSource& source) {
    if (gtk_list_item_get_child(item) != nullptr || gtk_list_item_get_item(item) == nullptr) {
        return;
    }
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_margin_start(box, 6);
    gtk_widget_set_margin_end(box, 6);
    gtk_widget_set_valign(box, GTK_ALIGN_CENTER);

    GtkWidget* icon = nullptr;
    if (source.show_icons) {
        icon = gtk_image_new();
        gtk_image_set_pixel_size(GTK_IMAGE(icon), icon_size);
        gtk_box_append(GTK_BOX(box), icon);
    }

    GtkWidget* name = gtk_label_new(nullptr);
    gtk_widget_add_css_class(name, "app-name");
    gtk_label_set_xalign(GTK_LABEL(name), 0.0F);
    gtk_widget_set_hexpand(name, TRUE);
    gtk_label_set_ellipsize(GTK_LABEL(name), PANGO_ELLIPSIZE_END);
    gtk_box_append(GTK_BOX(box), name);

    GtkWidget* wm_class = gtk_label_new(nullptr);
    gtk_widget_add_css_class(wm_class, "app-muted");
    gtk_label_set_xalign(GTK_LABEL(wm_class), 1.0F);
    // Ellipsized as the name is, so that no class widens the panel.
    gtk_label_set_ellipsize(GTK_LABEL(wm_class), PANGO_ELLIPSIZE_END);
    gtk_box_append(GTK_BOX(box), wm_class);

    auto* row = new RowWidgets{item, box, icon != nullptr ? GTK_IMAGE(icon) : nullptr, GTK_LABEL(name),
                               GTK_LABEL(wm_class)};
    g_object_set_qdata_full(G_OBJECT(box), row_quark(), row,
                            [](gpointer p) { delete static_cast<RowWidgets*>(p); });
    gtk_list_item_set_child(item, box);
    show_entry(*row, source);
}

void load_empty_row_style(const RowSource& source) {
    oriel::load_css_text(source.empty_row_style.get(),
                         "listview > row { min-height: " +
                             std::to_string(std::max(icon_size, source.content_height)) + "px; }");
}

void setup_row(GtkSignalListItemFactory*, GtkListItem* item, gpointer data) {
    static_cast<RowSource*>(data)->rows.insert(item);
}

void teardown_row(GtkSignalListItemFactory*, GtkListItem* item, gpointer data) {
    static_cast<RowSource*>(data)->rows.erase(item);
}

void bind_row(GtkSignalListItemFactory*, GtkListItem* item, gpointer data) {
    const auto& source = *static_cast<const RowSource*>(data);
    if (RowWidgets* row = row_widgets(item)) {
        show_entry(*row, source);
    } else if (is_near(source, gtk_list_item_get_position(item))) {
        fill_row(item, source);
    }
}

void unbind_row(GtkSignalListItemFactory*, GtkListItem* item, gpointer) {
    RowWidgets* row = row_widgets(item);
    if (row != nullptr && row->icon != nullptr) {
        gtk_image_clear(row->icon);
        row->icon_pending = false;
    }
}

// Learns, from the rows laid out with content, the height of a row and of
// its content; empty rows take the content's height from then on.
void learn_heights(GtkListView* list, RowSource& source) {
    int row_height = 0;
    int content_height = 0;
    for (GtkListItem* item : source.rows) {
        const RowWidgets* row = row_widgets(item);
        graphene_rect_t bounds;
        GtkWidget* row_widget = row != nullptr ? gtk_widget_get_parent(row->box) : nullptr;
        // Rows far out of view are not laid out and have no height.
        if (row_widget != nullptr && gtk_widget_compute_bounds(row_widget, GTK_WIDGET(list), &bounds) &&
            bounds.size.height > 0) {
            row_height = std::max(row_height, static_cast<int>(std::lround(bounds.size.height)));
            content_height = std::max(content_height, gtk_widget_get_height(row->box));
        }
    }
    if (row_height > 0) {
        source.row_height = row_height;
    }
    if (content_height > std::max(icon_size, source.content_height)) {
        source.content_height = content_height;
        load_empty_row_style(source);
    }
}

guint view_rows(GtkListView* list, int row_height) {
    GtkAdjustment* adjustment = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(list));
    const double page = adjustment != nullptr ? gtk_adjustment_get_page_size(adjustment) : 0;
    if (row_height <= 0 || page <= 0) {
        return default_view_rows;
    }
    return static_cast<guint>(std::ceil(page / row_height)) + 1;
}

guint before(guint position, guint rows) {
    return position > rows ? position - rows : 0;
}

// Fills the rows in [first, last] and a view's worth before and after them.
void fill_range(RowSource& source, guint first, guint last, guint margin) {
    source.view_first = first;
    source.view_last = last;
    source.near_first = before(first, margin);
    source.near_last = last + margin;
    // Filling adds no row; the set only changes when the list's do.
    for (GtkListItem* item : source.rows) {
        if (is_near(source, gtk_list_item_get_position(item))) {
            fill_row(item, source);
        }
    }
}

}  // namespace

std::string icon_name_for(const AppEntry& entry) {
    return entry.icon.empty() ? "application-x-executable" : entry.icon;
}

GtkListItemFactory* row_factory(RowSource& source, GdkDisplay* display) {
    // The first frame shows the list from its top; rows further down are
    // filled once keys or the pointer move the view.
    source.view_last = default_view_rows;
    source.near_last = default_view_rows;
    source.empty_row_style = adopt(gtk_css_provider_new());
    load_empty_row_style(source);
    gtk_style_context_add_provider_for_display(display, GTK_STYLE_PROVIDER(source.empty_row_style.get()),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

    GtkListItemFactory* factory = gtk_signal_list_item_factory_new();
    g_signal_connect(factory, "setup", G_CALLBACK(setup_row), &source);
    g_signal_connect(factory, "bind", G_CALLBACK(bind_row), &source);
    g_signal_connect(factory, "unbind", G_CALLBACK(unbind_row), nullptr);
    g_signal_connect(factory, "teardown", G_CALLBACK(teardown_row), &source);
    return factory;
}

void forget_rows(RowSource& source, GdkDisplay* display) {
    if (source.empty_row_style) {
        gtk_style_context_remove_provider_for_display(display,
                                                      GTK_STYLE_PROVIDER(source.empty_row_style.get()));
        source.empty_row_style.reset();
    }
}

void fill_rows_near(GtkListView* list, RowSource& source, guint position) {
    learn_heights(list, source);
    const guint rows = view_rows(list, source.row_height);
    // The view may end up with the row at its top or at its bottom.
    fill_range(source, before(position, rows), position + rows, rows);
}

void fill_rows_on_view(GtkListView* list, RowSource& source) {
    learn_heights(list, source);
    GtkAdjustment* adjustment = gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(list));
    if (source.row_height <= 0 || adjustment == nullptr) {
        return;
    }
    const auto top =
        static_cast<guint>(std::max(0.0, gtk_adjustment_get_value(adjustment)) / source.row_height);
    const guint rows = view_rows(list, source.row_height);
    fill_range(source, top, top + rows, rows);
}

void show_entries_again(RowSource& source, guint first) {
    for (GtkListItem* item : source.rows) {
        RowWidgets* row = row_widgets(item);
        if (row != nullptr && gtk_list_item_get_position(item) >= first) {
            show_entry(*row, source);
        }
    }
}

void refresh_row_icons(const RowSource& source) {
    for (GtkListItem* item : source.rows) {
        RowWidgets* row = row_widgets(item);
        std::uint32_t index = 0;
        const AppEntry* entry =
            row != nullptr && row->icon_pending ? bound_entry(source, item, &index) : nullptr;
        if (entry != nullptr) {
            show_icon(*row, source, *entry, index, false);
        }
    }
}

std::optional<guint> row_position_at(GtkListView* list, double x, double y) {
    for (GtkWidget* widget = gtk_widget_pick(GTK_WIDGET(list), x, y, GTK_PICK_DEFAULT);
         widget != nullptr && widget != GTK_WIDGET(list); widget = gtk_widget_get_parent(widget)) {
        if (gtk_widget_get_parent(widget) == GTK_WIDGET(list)) {
            const RowWidgets* row = row_widgets(gtk_widget_get_first_child(widget));
            if (row != nullptr && gtk_list_item_get_item(row->item) != nullptr) {
                return gtk_list_item_get_position(row->item);
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace lumenpad
