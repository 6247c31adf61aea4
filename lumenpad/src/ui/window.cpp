#include "lumenpad/window.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad-shared/owned_signal.hpp"
#include "lumenpad/caret_blink.hpp"
#include "lumenpad/instance.hpp"
#include "lumenpad/row_builder.hpp"
#include "lumenpad/rows.hpp"
#include "lumenpad/rows_on_view.hpp"
#include "lumenpad/search.hpp"
#include "lumenpad/theming.hpp"

#include <gtk4-layer-shell.h>

namespace lumenpad {

namespace {

constexpr int column_width = 600;
constexpr int column_top = 120;
constexpr int list_max_height = 480;

struct ClickData {
    GtkWidget* column;
    GtkWidget* window;
    CloseLauncher close_launcher;
};

void on_click_pressed(GtkGestureClick*, int, double x, double y, ClickData* data) {
    graphene_rect_t bounds;
    if (!gtk_widget_compute_bounds(data->column, data->window, &bounds)) {
        return;
    }
    if (is_outside(bounds, x, y)) {
        (*data->close_launcher)();
    }
}

void on_destroy(GtkWidget*, gpointer) {
    remove_pid_file();
}

void setup_layer_surface(GtkWindow* window) {
    gtk_layer_init_for_window(window);
    gtk_layer_set_namespace(window, "lumenpad");
    gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_OVERLAY);
    gtk_layer_set_keyboard_mode(window, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_TOP, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_BOTTOM, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_LEFT, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_RIGHT, TRUE);
    gtk_layer_set_exclusive_zone(window, 0);
}

}  // namespace

bool is_outside(const graphene_rect_t& bounds, double x, double y) {
    const double left = bounds.origin.x;
    const double top = bounds.origin.y;
    return x < left || x > left + bounds.size.width || y < top || y > top + bounds.size.height;
}

LauncherWindow build_window(GtkApplication* application, ActivationData& data) {
    GtkWidget* window = gtk_application_window_new(application);
    setup_layer_surface(GTK_WINDOW(window));

    // The close action owns a reference to the window; the handlers that hold
    // it are torn down with the window, which drops that reference.
    std::shared_ptr<GtkWindow> window_ref = retain(GTK_WINDOW(window));
    CloseLauncher close_launcher = std::make_shared<std::function<void()>>([window_ref] {
        remove_pid_file();
        gtk_window_close(window_ref.get());
    });

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_add_css_class(column, "launcher-bg");
    gtk_widget_set_halign(column, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(column, GTK_ALIGN_START);
    gtk_widget_set_margin_top(column, column_top);
    gtk_widget_set_size_request(column, column_width, -1);

    GtkWidget* field = gtk_search_entry_new();
    g_object_set(field, "placeholder-text", "Search apps\u2026", nullptr);
    gtk_box_append(GTK_BOX(column), field);
    blink_caret(GTK_EDITABLE(field));

    GtkWidget* scrolled = gtk_scrolled_window_new();
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scrolled), list_max_height);
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scrolled), TRUE);

    GtkWidget* list = gtk_list_box_new();
    gtk_list_box_set_selection_mode(GTK_LIST_BOX(list), GTK_SELECTION_BROWSE);
    paint_rows_on_view_only(GTK_LIST_BOX(list));
    // As late as can be: the rows are the first thing that needs them.
    if (data.inputs.valid()) {
        Inputs inputs = data.inputs.get();
        data.entries = std::move(inputs.entries);
        data.state->history = std::move(inputs.history);
    }
    start_row_build(GTK_LIST_BOX(list), data.entries);
    gtk_list_box_set_sort_func(GTK_LIST_BOX(list), compare_row_places, nullptr, nullptr);
    gtk_list_box_set_filter_func(GTK_LIST_BOX(list), row_filter, nullptr, nullptr);
    if (GtkListBoxRow* first = gtk_list_box_get_row_at_index(GTK_LIST_BOX(list), 0)) {
        gtk_list_box_select_row(GTK_LIST_BOX(list), first);
    }

    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scrolled), list);
    gtk_box_append(GTK_BOX(column), scrolled);
    gtk_window_set_child(GTK_WINDOW(window), column);

    connect_owned(field, "changed", filter_rows, new FilterData{data.state, GTK_LIST_BOX(list)});

    GtkEventController* keys = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
    connect_owned(keys, "key-pressed", on_key_pressed,
                  new KeyData{data.state, close_launcher, GTK_LIST_BOX(list)});
    gtk_widget_add_controller(window, keys);

    connect_owned(list, "row-activated", on_row_activated,
                  new KeyData{data.state, close_launcher, GTK_LIST_BOX(list)});

    GtkGesture* click = gtk_gesture_click_new();
    connect_owned(click, "pressed", on_click_pressed, new ClickData{column, window, close_launcher});
    gtk_widget_add_controller(window, GTK_EVENT_CONTROLLER(click));

    g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), nullptr);

    return {GTK_WINDOW(window), GTK_BOX(column), GTK_EDITABLE(field), GTK_LIST_BOX(list), close_launcher};
}

void on_activate(GtkApplication* application, ActivationData* data) {
    apply_launcher_theme();
    const LauncherWindow built = build_window(application, *data);
    gtk_window_present(built.window);
    gtk_widget_grab_focus(GTK_WIDGET(built.field));
}

}  // namespace lumenpad
