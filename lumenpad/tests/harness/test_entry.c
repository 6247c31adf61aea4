/* A minimal GTK 4 client for the harness self-test: a window with one entry.
 * It prints "ready" once its window is active, the entry's text on Return
 * ("activate"), or "pressed X Y" on a primary-button press, then exits. */
#include <gtk/gtk.h>
#include <stdio.h>

static void say(const char* line) {
    fputs(line, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

static void on_activate_entry(GtkEntry* entry, gpointer user_data) {
    GtkWindow* window = GTK_WINDOW(user_data);
    say(gtk_editable_get_text(GTK_EDITABLE(entry)));
    gtk_window_destroy(window);
}

static void on_pressed(GtkGestureClick* gesture, int n_press, double x, double y, gpointer user_data) {
    (void)n_press;
    GtkWindow* window = GTK_WINDOW(user_data);
    char line[64];
    g_snprintf(line, sizeof line, "pressed %d %d", (int)x, (int)y);
    say(line);
    gtk_gesture_set_state(GTK_GESTURE(gesture), GTK_EVENT_SEQUENCE_CLAIMED);
    gtk_window_destroy(window);
}

/* The test must not type before the compositor has given this window the
 * keyboard, so the first activation is announced. */
static void on_active_changed(GObject* object, GParamSpec* pspec, gpointer user_data) {
    (void)pspec;
    gboolean* announced = user_data;
    if (*announced || !gtk_window_is_active(GTK_WINDOW(object))) {
        return;
    }
    *announced = TRUE;
    say("ready");
}

static void on_app_activate(GtkApplication* app, gpointer user_data) {
    GtkWidget* window = gtk_application_window_new(app);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    GtkWidget* entry = gtk_entry_new();
    gtk_box_append(GTK_BOX(box), entry);
    gtk_window_set_child(GTK_WINDOW(window), box);

    g_signal_connect(entry, "activate", G_CALLBACK(on_activate_entry), window);

    GtkGesture* click = gtk_gesture_click_new();
    gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(click), GTK_PHASE_CAPTURE);
    g_signal_connect(click, "pressed", G_CALLBACK(on_pressed), window);
    gtk_widget_add_controller(window, GTK_EVENT_CONTROLLER(click));

    g_signal_connect(window, "notify::is-active", G_CALLBACK(on_active_changed), user_data);
    gtk_window_present(GTK_WINDOW(window));
    gtk_widget_grab_focus(entry);
}

int main(int argc, char** argv) {
    gboolean announced = FALSE;
    GtkApplication* app = gtk_application_new(NULL, G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(on_app_activate), &announced);
    int status = g_application_run(G_APPLICATION(app), argc, argv);
    g_object_unref(app);
    return status;
}
