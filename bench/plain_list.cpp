// The straightforward GTK 4 launcher that bench/startup compares lumenpad
// with: the same layer-shell overlay and column, a search entry above a list
// box with one row (icon and name) per installed application, a filter that
// keeps the rows whose name contains the typed text, no ranking. Escape ends
// it.
#include "lumenpad-shared/text.hpp"
#include "lumenpad/catalogue.hpp"

#include "overlay_window.h"

#include <string>
#include <vector>

namespace {

struct Filter {
    GtkEditable* field;
    std::vector<std::string> lowered_names;
};

gboolean keep_row(GtkListBoxRow* row, gpointer data) {
    const auto* filter = static_cast<const Filter*>(data);
    const std::string query = lumenpad::lower(gtk_editable_get_text(filter->field));
    const auto index = static_cast<std::size_t>(gtk_list_box_row_get_index(row));
    return filter->lowered_names[index].find(query) != std::string::npos;
}

gboolean on_key(GtkEventControllerKey*, guint keyval, guint, GdkModifierType, gpointer window) {
    if (keyval == GDK_KEY_Escape) {
        gtk_window_destroy(GTK_WINDOW(window));
        return GDK_EVENT_STOP;
    }
    return GDK_EVENT_PROPAGATE;
}

}  // namespace

int main() {
    const std::vector<lumenpad::AppEntry> entries = lumenpad::scan_applications();
    gtk_init();

    GtkWindow* layer = bench_overlay_window("lumenpad-bench-plain-list");
    GtkWidget* window = GTK_WIDGET(layer);
    gtk_layer_set_keyboard_mode(layer, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_size_request(column, 600, -1);
    gtk_widget_set_halign(column, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(column, GTK_ALIGN_START);
    gtk_widget_set_margin_top(column, 120);
    GtkWidget* field = gtk_search_entry_new();
    gtk_box_append(GTK_BOX(column), field);

    GtkWidget* scrolled = gtk_scrolled_window_new();
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scrolled), 480);
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scrolled), TRUE);
    GtkWidget* list = gtk_list_box_new();
    auto* filter = new Filter{GTK_EDITABLE(field), {}};
    for (const auto& entry : entries) {
        GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
        GtkWidget* icon = gtk_image_new_from_icon_name(entry.icon.empty() ? "application-x-executable"
                                                                          : entry.icon.c_str());
        gtk_image_set_pixel_size(GTK_IMAGE(icon), 32);
        gtk_box_append(GTK_BOX(row), icon);
        gtk_box_append(GTK_BOX(row), gtk_label_new(entry.name.c_str()));
        gtk_list_box_append(GTK_LIST_BOX(list), row);
        filter->lowered_names.push_back(lumenpad::lower(entry.name));
    }
    gtk_list_box_set_filter_func(GTK_LIST_BOX(list), keep_row, filter, nullptr);
    g_signal_connect_swapped(field, "changed", G_CALLBACK(gtk_list_box_invalidate_filter), list);
    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scrolled), list);
    gtk_box_append(GTK_BOX(column), scrolled);
    gtk_window_set_child(layer, column);

    GtkEventController* keys = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
    g_signal_connect(keys, "key-pressed", G_CALLBACK(on_key), window);
    gtk_widget_add_controller(window, keys);

    gtk_window_present(layer);
    gtk_widget_grab_focus(field);
    while (g_list_model_get_n_items(gtk_window_get_toplevels()) > 0) {
        g_main_context_iteration(nullptr, TRUE);
    }
    delete filter;
    return 0;
}
