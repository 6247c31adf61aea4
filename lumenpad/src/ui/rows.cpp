#include "lumenpad/rows.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad-shared/read_file.hpp"

#include <algorithm>
#include <string_view>

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

// Far above any real icon; a bigger file or image is not one. A small file
// can declare a huge image, which decoding would allocate and fill whole.
constexpr size_t max_icon_file_size = 4 * 1024 * 1024;
constexpr int max_icon_side = 2048;

struct DeclaredSize {
    int width = 0;
    int height = 0;
};

void on_size_prepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
    auto* size = static_cast<DeclaredSize*>(data);
    size->width = width;
    size->height = height;
    gdk_pixbuf_loader_set_size(loader, 0, 0);
}

// GTK decodes these formats itself, recognised by their first bytes; it hands
// any other to the image loaders, which recognise it through the MIME
// database. The size check does the same, so it needs that database no more
// than GTK does.
GObjectPtr<GdkPixbufLoader> loader_for(std::string_view data) {
    using namespace std::string_view_literals;
    const char* type = nullptr;
    if (data.starts_with("\x89PNG\r\n\x1a\n"sv)) {
        type = "png";
    } else if (data.starts_with("\xFF\xD8\xFF"sv)) {
        type = "jpeg";
    } else if (data.starts_with("II*\0"sv) || data.starts_with("MM\0*"sv)) {
        type = "tiff";
    }
    return adopt(type != nullptr ? gdk_pixbuf_loader_new_with_type(type, nullptr) : gdk_pixbuf_loader_new());
}

// The size the image declares, read as gdk_pixbuf_get_file_info does: asking
// the loader for a 0x0 image makes it stop after the header.
bool declares_icon_size(std::string_view data) {
    const auto loader = loader_for(data);
    if (!loader) {
        return false;
    }
    DeclaredSize size;
    const gulong handler =
        g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(on_size_prepared), &size);
    // Small pieces, no more once the header is read: the loader would go on
    // inflating the rest, which for a decompression bomb takes seconds.
    constexpr size_t piece = 4096;
    for (size_t at = 0; at < data.size() && size.width == 0; at += piece) {
        GErrorOut error;
        const bool written =
            gdk_pixbuf_loader_write(loader.get(), reinterpret_cast<const guchar*>(data.data() + at),
                                    std::min(piece, data.size() - at), error.out());
        if (!written) {
            break;
        }
    }
    // Reports the stop as an error.
    GErrorOut closed;
    gdk_pixbuf_loader_close(loader.get(), closed.out());
    g_signal_handler_disconnect(loader.get(), handler);
    return size.width > 0 && size.height > 0 && size.width <= max_icon_side && size.height <= max_icon_side;
}

// Read like every other file we are given (a FIFO or device must not block or
// flood us), then decoded from the bytes.
GObjectPtr<GdkTexture> load_icon_file(const std::string& path) {
    int read_error = 0;
    auto data = read_file(path, read_error, max_icon_file_size);
    if (!data) {
        return nullptr;
    }
    if (!declares_icon_size(*data)) {
        return nullptr;
    }
    auto* owned = new std::string(std::move(*data));
    GBytes* bytes = g_bytes_new_with_free_func(
        owned->data(), owned->size(), [](gpointer p) { delete static_cast<std::string*>(p); }, owned);
    GErrorOut error;
    auto texture = adopt(gdk_texture_new_from_bytes(bytes, error.out()));
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
