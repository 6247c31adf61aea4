/* The floor that bench/startup measures the launcher against: the least a
 * GTK 4 program does to show a full-output overlay on a layer-shell surface
 * with a centred 600x400 box. It runs until it is terminated. */
#include "overlay_window.h"

int main(void) {
    gtk_init();

    GtkWindow* layer = bench_overlay_window("lumenpad-bench-floor");

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_set_size_request(box, 600, 400);
    gtk_widget_set_halign(box, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(box, GTK_ALIGN_CENTER);
    gtk_window_set_child(layer, box);

    gtk_window_present(layer);
    while (g_list_model_get_n_items(gtk_window_get_toplevels()) > 0) {
        g_main_context_iteration(NULL, TRUE);
    }
    return 0;
}
