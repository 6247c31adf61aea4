#include "rows.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad-shared/read_file.hpp"

namespace lumenpad {

namespace {

// Quarks, so the sort function's look-ups skip interning the key names.
GQuark entry_quark() {
    static const GQuark quark = g_quark_from_static_string("entry");
    return quark;
}

GQuark initial_order_quark() {
    static const GQuark quark = g_quark_from_static_string("initial_order");
    return quark;
}
constexpr int icon_size = 32;

// Far above any real icon; a bigger file is not one.
constexpr size_t max_icon_file_size = 4 * 1024 * 1024;

// Read like every other file we are given (a FIFO or device must not block or
// flood us), then decoded from the bytes.
GObjectPtr<GdkTexture> load_icon_file(const std::string& path) {
    int read_error = 0;
    auto data = read_file(path, read_error, max_icon_file_size);
    if (!data) {
        return nullptr;
    }
    auto* owned = new std::string(std::move(*data));
    GBytes* bytes = g_bytes_new_with_free_func(
        owned->data(), owned->size(), [](gpointer p) { delete static_cast<std::string*>(p); }, owned);
    GError* raw_error = nullptr;
    auto texture = adopt(gdk_texture_new_from_bytes(bytes, &raw_error));
    GErrorPtr error(raw_error);
    g_bytes_unref(bytes);
    return texture;
}

}  // namespace

GtkWidget* make_icon(const std::string& icon, const std::optional<std::string>& icon_path) {
    if (icon_path) {
        if (auto texture = load_icon_file(*icon_path)) {
            GtkWidget* image = gtk_image_new();
            gtk_image_set_from_paintable(GTK_IMAGE(image), GDK_PAINTABLE(texture.get()));
            gtk_image_set_pixel_size(GTK_IMAGE(image), icon_size);
            return image;
        }
    }
    GtkWidget* image = gtk_image_new_from_icon_name(icon.empty() ? "application-x-executable" : icon.c_str());
    gtk_image_set_pixel_size(GTK_IMAGE(image), icon_size);
    return image;
}

GtkWidget* make_row(const AppEntry& entry) {
    GtkWidget* row = gtk_list_box_row_new();
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_margin_start(box, 6);
    gtk_widget_set_margin_end(box, 6);
    gtk_widget_set_valign(box, GTK_ALIGN_CENTER);

    gtk_box_append(GTK_BOX(box), make_icon(entry.icon, entry.icon_path));

    GtkWidget* name = gtk_label_new(entry.name.c_str());
    gtk_widget_add_css_class(name, "app-name");
    gtk_label_set_xalign(GTK_LABEL(name), 0.0F);
    gtk_widget_set_hexpand(name, TRUE);
    gtk_label_set_ellipsize(GTK_LABEL(name), PANGO_ELLIPSIZE_END);
    gtk_box_append(GTK_BOX(box), name);

    if (entry.startup_wm_class) {
        GtkWidget* wm_class = gtk_label_new(entry.startup_wm_class->c_str());
        gtk_widget_add_css_class(wm_class, "app-muted");
        gtk_label_set_xalign(GTK_LABEL(wm_class), 1.0F);
        gtk_box_append(GTK_BOX(box), wm_class);
    }

    gtk_list_box_row_set_child(GTK_LIST_BOX_ROW(row), box);
    return row;
}

void attach_row_data(GtkListBoxRow* row, const AppEntry& entry, std::uint32_t initial_order) {
    auto* data = new RowEntry{entry, match_keys(entry), initial_order};
    data->place = initial_order;
    g_object_set_qdata_full(G_OBJECT(row), entry_quark(), data,
                            [](gpointer p) { delete static_cast<RowEntry*>(p); });
    auto* order = g_new(guint32, 1);
    *order = initial_order;
    g_object_set_qdata_full(G_OBJECT(row), initial_order_quark(), order, g_free);
}

RowEntry* row_data(GtkListBoxRow* row) {
    return static_cast<RowEntry*>(g_object_get_qdata(G_OBJECT(row), entry_quark()));
}

std::optional<AppEntry> row_entry(GtkListBoxRow* row) {
    if (const RowEntry* data = row_data(row)) {
        return data->entry;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> row_initial_order(GtkListBoxRow* row) {
    const auto* order = static_cast<const guint32*>(g_object_get_qdata(G_OBJECT(row), initial_order_quark()));
    if (order == nullptr) {
        return std::nullopt;
    }
    return *order;
}

gboolean row_filter(GtkListBoxRow* row, gpointer) {
    const RowEntry* data = row_data(row);
    return data != nullptr && data->shown;
}

bool row_shown(GtkListBoxRow* row) {
    return gtk_widget_get_visible(GTK_WIDGET(row)) && gtk_widget_get_child_visible(GTK_WIDGET(row));
}

}  // namespace lumenpad
