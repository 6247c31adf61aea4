// What the two straightforward GTK 4 launchers of bench/startup share: the
// layer-shell overlay with its 600-pixel column, a search entry over a
// scrolled list of at most 480 pixels, Escape to end, and a main loop that
// runs while a window is open.
#pragma once

#include "overlay_window.h"

namespace bench {

inline gboolean end_on_escape(GtkEventControllerKey*, guint keyval, guint, GdkModifierType, gpointer window) {
    if (keyval == GDK_KEY_Escape) {
        gtk_window_destroy(GTK_WINDOW(window));
        return GDK_EVENT_STOP;
    }
    return GDK_EVENT_PROPAGATE;
}

// Shows `list` under a search entry, which `field` receives, and runs until
// the window is closed.
inline void run_panel(const char* name_space, GtkWidget* list, GtkWidget* field) {
    GtkWindow* layer = bench_overlay_window(name_space);
    gtk_layer_set_keyboard_mode(layer, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_size_request(column, 600, -1);
    gtk_widget_set_halign(column, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(column, GTK_ALIGN_START);
    gtk_widget_set_margin_top(column, 120);
    gtk_box_append(GTK_BOX(column), field);

    GtkWidget* scrolled = gtk_scrolled_window_new();
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scrolled), 480);
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scrolled), TRUE);
    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scrolled), list);
    gtk_box_append(GTK_BOX(column), scrolled);
    gtk_window_set_child(layer, column);

    GtkEventController* keys = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
    g_signal_connect(keys, "key-pressed", G_CALLBACK(end_on_escape), layer);
    gtk_widget_add_controller(GTK_WIDGET(layer), keys);

    gtk_window_present(layer);
    gtk_widget_grab_focus(field);
    while (g_list_model_get_n_items(gtk_window_get_toplevels()) > 0) {
        g_main_context_iteration(nullptr, TRUE);
    }
}

}  // namespace bench
