/* The full-output overlay that the bench programs show: a layer-shell window
 * anchored to every edge of the output, in the overlay layer. */
#pragma once

#include <gtk/gtk.h>
#include <gtk4-layer-shell.h>

static inline GtkWindow* bench_overlay_window(const char* name_space) {
    GtkWindow* window = GTK_WINDOW(gtk_window_new());
    gtk_layer_init_for_window(window);
    gtk_layer_set_namespace(window, name_space);
    gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_OVERLAY);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_TOP, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_BOTTOM, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_LEFT, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_RIGHT, TRUE);
    return window;
}
