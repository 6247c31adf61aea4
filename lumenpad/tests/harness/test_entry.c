/* A minimal GTK 4 client for the harness self-test: one entry in a panel
 * painted #c03070, so that a test can see on screen where it lies. As a
 * normal window the panel fills the window; with --layer the window is an
 * overlay layer surface over the whole output, transparent but for a panel
 * 600 wide, centred, 120 from the top, as the launcher's.
 * It prints "ready" once it has the keyboard, the entry's text on Return, or
 * "pressed X Y" on a primary-button press, then exits. */
#include <gtk/gtk.h>
#include <gtk4-layer-shell.h>
#include <stdio.h>
#include <string.h>

static const char css_text[] =
    "window { background: #c03070; }\n"
    "window.layer { background: transparent; }\n"
    "window.layer .panel { background: #c03070; }\n";

struct Client {
    gboolean layer;
    gboolean announced;
};

static void say(const char* line) {
    fputs(line, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

static void on_activate_entry(GtkEntry* entry, gpointer user_data) {
    say(gtk_editable_get_text(GTK_EDITABLE(entry)));
    gtk_window_destroy(GTK_WINDOW(user_data));
}

static void on_pressed(GtkGestureClick* gesture, int n_press, double x, double y, gpointer user_data) {
    (void)n_press;
    char line[64];
    g_snprintf(line, sizeof line, "pressed %d %d", (int)x, (int)y);
    say(line);
    gtk_gesture_set_state(GTK_GESTURE(gesture), GTK_EVENT_SEQUENCE_CLAIMED);
    gtk_window_destroy(GTK_WINDOW(user_data));
}

/* The test must not type before the compositor has given this window the
 * keyboard, so that moment is announced. */
static void on_focus_changed(GObject* object, GParamSpec* pspec, gpointer user_data) {
    (void)pspec;
    struct Client* client = user_data;
    if (client->announced || !gtk_window_is_active(GTK_WINDOW(object))) {
        return;
    }
    client->announced = TRUE;
    say("ready");
}

static void load_css(void) {
    GtkCssProvider* css = gtk_css_provider_new();
#if GTK_CHECK_VERSION(4, 12, 0)
    gtk_css_provider_load_from_string(css, css_text);
#else
    gtk_css_provider_load_from_data(css, css_text, -1);
#endif
    gtk_style_context_add_provider_for_display(gdk_display_get_default(), GTK_STYLE_PROVIDER(css),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
}

static void make_layer(GtkWindow* window, GtkWidget* panel) {
    gtk_layer_init_for_window(window);
    gtk_layer_set_namespace(window, "lumenpad-test");
    gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_OVERLAY);
    gtk_layer_set_keyboard_mode(window, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_TOP, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_BOTTOM, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_LEFT, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_RIGHT, TRUE);
    gtk_layer_set_exclusive_zone(window, 0);
    gtk_widget_add_css_class(GTK_WIDGET(window), "layer");
    gtk_widget_set_halign(panel, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(panel, GTK_ALIGN_START);
    gtk_widget_set_margin_top(panel, 120);
    gtk_widget_set_size_request(panel, 600, 200);
}

static void on_app_activate(GtkApplication* app, gpointer user_data) {
    struct Client* client = user_data;
    load_css();
    GtkWidget* window = gtk_application_window_new(app);
    GtkWidget* panel = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_add_css_class(panel, "panel");
    GtkWidget* entry = gtk_entry_new();
    gtk_box_append(GTK_BOX(panel), entry);
    gtk_window_set_child(GTK_WINDOW(window), panel);
    if (client->layer) {
        make_layer(GTK_WINDOW(window), panel);
    }

    g_signal_connect(entry, "activate", G_CALLBACK(on_activate_entry), window);
    GtkGesture* click = gtk_gesture_click_new();
    gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(click), GTK_PHASE_CAPTURE);
    g_signal_connect(click, "pressed", G_CALLBACK(on_pressed), window);
    gtk_widget_add_controller(window, GTK_EVENT_CONTROLLER(click));
    g_signal_connect(window, "notify::is-active", G_CALLBACK(on_focus_changed), client);

    gtk_window_present(GTK_WINDOW(window));
    gtk_widget_grab_focus(entry);
}

int main(int argc, char** argv) {
    struct Client client = {.layer = argc > 1 && strcmp(argv[1], "--layer") == 0};
    GtkApplication* app = gtk_application_new(NULL, G_APPLICATION_NON_UNIQUE);
    g_signal_connect(app, "activate", G_CALLBACK(on_app_activate), &client);
    int status = g_application_run(G_APPLICATION(app), 1, argv);
    g_object_unref(app);
    return status;
}
