// The list-view twin of plain_list.cpp: the same overlay, column, rows (icon
// and name) and substring filter, as a GtkListView over GtkStringList with
// GTK's own filter model, so that only the rows on view have widgets.
#include "lumenpad-shared/text.hpp"
#include "lumenpad/catalogue.hpp"

#include "plain_panel.hpp"

#include <string>
#include <vector>

namespace {

struct Filter {
    GtkEditable* field;
    // Per position in the string list.
    std::vector<std::string> lowered_names;
    std::vector<std::string> icons;
    GtkStringList* names;
};

// The string list's items are found again by their position in it.
GQuark position_quark() {
    static const GQuark quark = g_quark_from_static_string("bench-position");
    return quark;
}

std::size_t position_of(gpointer item) {
    return GPOINTER_TO_SIZE(g_object_get_qdata(G_OBJECT(item), position_quark()));
}

gboolean keep_item(gpointer item, gpointer data) {
    const auto* filter = static_cast<const Filter*>(data);
    const std::string query = lumenpad::lower(gtk_editable_get_text(filter->field));
    return filter->lowered_names[position_of(item)].find(query) != std::string::npos;
}

void setup_row(GtkSignalListItemFactory*, GtkListItem* item, gpointer) {
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
    GtkWidget* icon = gtk_image_new();
    gtk_image_set_pixel_size(GTK_IMAGE(icon), 32);
    gtk_box_append(GTK_BOX(row), icon);
    gtk_box_append(GTK_BOX(row), gtk_label_new(nullptr));
    gtk_list_item_set_child(item, row);
}

void bind_row(GtkSignalListItemFactory*, GtkListItem* item, gpointer data) {
    const auto* filter = static_cast<const Filter*>(data);
    gpointer string = gtk_list_item_get_item(item);
    GtkWidget* icon = gtk_widget_get_first_child(gtk_list_item_get_child(item));
    gtk_image_set_from_icon_name(GTK_IMAGE(icon), filter->icons[position_of(string)].c_str());
    gtk_label_set_text(GTK_LABEL(gtk_widget_get_next_sibling(icon)),
                       gtk_string_object_get_string(GTK_STRING_OBJECT(string)));
}

void refilter(GtkFilter* filter) {
    gtk_filter_changed(filter, GTK_FILTER_CHANGE_DIFFERENT);
}

}  // namespace

int main() {
    const std::vector<lumenpad::AppEntry> entries = lumenpad::scan_applications();
    gtk_init();

    GtkWidget* field = gtk_search_entry_new();
    auto* filter = new Filter{GTK_EDITABLE(field), {}, {}, gtk_string_list_new(nullptr)};
    for (const auto& entry : entries) {
        gtk_string_list_append(filter->names, entry.name.c_str());
        filter->lowered_names.push_back(lumenpad::lower(entry.name));
        filter->icons.push_back(entry.icon.empty() ? "application-x-executable" : entry.icon);
    }
    for (guint i = 0; i < entries.size(); ++i) {
        GObject* item = G_OBJECT(g_list_model_get_item(G_LIST_MODEL(filter->names), i));
        g_object_set_qdata(item, position_quark(), GSIZE_TO_POINTER(i));
        g_object_unref(item);
    }
    GtkCustomFilter* keep = gtk_custom_filter_new(keep_item, filter, nullptr);
    g_signal_connect_swapped(field, "changed", G_CALLBACK(refilter), keep);
    GtkFilterListModel* filtered = gtk_filter_list_model_new(G_LIST_MODEL(filter->names), GTK_FILTER(keep));
    GtkListItemFactory* factory = gtk_signal_list_item_factory_new();
    g_signal_connect(factory, "setup", G_CALLBACK(setup_row), nullptr);
    g_signal_connect(factory, "bind", G_CALLBACK(bind_row), filter);
    GtkWidget* list =
        gtk_list_view_new(GTK_SELECTION_MODEL(gtk_single_selection_new(G_LIST_MODEL(filtered))), factory);

    bench::run_panel("lumenpad-bench-plain-list-view", list, field);
    delete filter;
    return 0;
}
