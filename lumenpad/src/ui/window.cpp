#include "lumenpad/window.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad-shared/owned_signal.hpp"
#include "lumenpad/caret_blink.hpp"
#include "lumenpad/icon_textures.hpp"
#include "lumenpad/instance.hpp"
#include "lumenpad/rows.hpp"
#include "lumenpad/search.hpp"
#include "lumenpad/theming.hpp"

#include <gtk4-layer-shell.h>

#include <cstdio>

namespace lumenpad {

namespace {

constexpr int column_width = 600;
constexpr int column_top = 120;

struct ClickData {
    GtkWidget* column;
    GtkWidget* window;
    CloseLauncher close_launcher;
};

void on_click_outside(GtkGestureClick*, int, double x, double y, ClickData* data) {
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

// What the rows show, with the list: the list's own data, freed after its
// rows are gone.
struct ListRows {
    ListRows(std::shared_ptr<const LauncherState> shown, LumenpadResultList* results)
        : state(std::move(shown)), icons(state->entries, [this] { refresh_row_icons(source); }) {
        source.entries = &state->entries;
        source.results = results;
        source.icons = &icons;
    }
    ListRows(const ListRows&) = delete;
    ListRows& operator=(const ListRows&) = delete;
    ~ListRows() { forget_rows(source, gdk_display_get_default()); }

    std::shared_ptr<const LauncherState> state;
    IconTextures icons;
    RowSource source{};
};

GQuark rows_quark() {
    static const GQuark quark = g_quark_from_static_string("lumenpad-list-rows");
    return quark;
}

ListRows* rows_of(GtkListView* list) {
    return static_cast<ListRows*>(g_object_get_qdata(G_OBJECT(list), rows_quark()));
}

// Scrolling by other means than the keys (the pointer, the scroll bar) brings
// rows on view without the handlers' knowing where.
void on_list_scrolled(GtkAdjustment*, GtkListView* list) {
    fill_rows_on_view(list, rows_of(list)->source);
}

// Takes the gathered inputs, if they are still to come.
void take_inputs(ActivationData& data) {
    LauncherState& state = *data.state;
    if (data.inputs.valid()) {
        Inputs inputs = data.inputs.get();
        state.entries = std::move(inputs.entries);
        state.keys_to_come = std::move(inputs.keys_to_come);
        state.history = std::move(inputs.history);
        state.launch_prefix = std::move(inputs.launch_prefix);
    }
    if (!state.keys_to_come.pending() && state.keys.size() != state.entries.size()) {
        state.keys = catalogue_keys(state.entries);
    }
}

// In dmenu mode the lines keep the order given, and choosing one prints it.
void choose_lines(ActivationData& data) {
    data.exit_status = 1;
    data.state->ranking = Ranking::given_order;
    data.state->choose = [status = &data.exit_status](const AppEntry& line) {
        const std::string text = line.name + "\n";
        const bool printed =
            std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
        *status = printed ? 0 : 1;
    };
}

GtkListView* make_list(const std::shared_ptr<LauncherState>& state, LumenpadResultList* results,
                       GtkSingleSelection** selection, bool show_icons) {
    // The edits select the rows themselves.
    *selection = gtk_single_selection_new(G_LIST_MODEL(g_object_ref(results)));
    gtk_single_selection_set_autoselect(*selection, FALSE);
    gtk_single_selection_set_can_unselect(*selection, TRUE);
    if (!state->entries.empty()) {
        gtk_single_selection_set_selected(*selection, 0);
    }
    auto* rows = new ListRows(state, results);
    rows->source.show_icons = show_icons;
    GtkWidget* list = gtk_list_view_new(GTK_SELECTION_MODEL(*selection),
                                        row_factory(rows->source, gdk_display_get_default()));
    g_object_set_qdata_full(G_OBJECT(list), rows_quark(), rows,
                            [](gpointer p) { delete static_cast<ListRows*>(p); });
    return GTK_LIST_VIEW(list);
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

LauncherWindow build_window(GtkApplication* application, ActivationData& data,
                            std::function<void(GtkWindow*)> hide) {
    GtkWidget* window = gtk_application_window_new(application);
    setup_layer_surface(GTK_WINDOW(window));

    // The window's own handlers hold the close action, so it holds the window
    // weakly: a strong reference would keep the window, and everything it
    // owns, alive after it closes. The pid file is the launcher's: dmenu mode
    // and the resident launcher have none, and must not remove the launcher's.
    const bool dmenu = data.options.dmenu;
    const bool resident = static_cast<bool>(hide);
    const bool pid_file = !dmenu && !resident;
    auto weak_window = std::make_shared<const WeakObject<GtkWindow>>(GTK_WINDOW(window));
    CloseLauncher close_launcher =
        std::make_shared<std::function<void()>>([weak_window, pid_file, hide = std::move(hide)] {
            if (pid_file) {
                remove_pid_file();
            }
            if (const auto open = weak_window->get()) {
                if (hide) {
                    hide(open.get());
                } else {
                    gtk_window_close(open.get());
                }
            }
        });

    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_add_css_class(column, "launcher-bg");
    gtk_widget_set_halign(column, GTK_ALIGN_CENTER);
    gtk_widget_set_valign(column, GTK_ALIGN_START);
    gtk_widget_set_margin_top(column, column_top);
    gtk_widget_set_size_request(column, column_width, -1);

    GtkWidget* field = gtk_search_entry_new();
    const std::string placeholder = dmenu ? data.options.prompt.value_or("") : "Search apps\u2026";
    g_object_set(field, "placeholder-text", placeholder.c_str(), nullptr);
    gtk_box_append(GTK_BOX(column), field);
    blink_caret(GTK_EDITABLE(field));

    GtkWidget* scrolled = gtk_scrolled_window_new();
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_max_content_height(GTK_SCROLLED_WINDOW(scrolled), list_max_height);
    gtk_scrolled_window_set_propagate_natural_height(GTK_SCROLLED_WINDOW(scrolled), TRUE);

    // As late as can be: the list is the first thing that needs them.
    take_inputs(data);
    if (dmenu) {
        choose_lines(data);
    }
    LumenpadResultList* results = result_list_new(data.state->entries.size());
    GtkSingleSelection* selection = nullptr;
    GtkListView* list = make_list(data.state, results, &selection, !dmenu);
    g_object_unref(results);

    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scrolled), GTK_WIDGET(list));
    g_signal_connect_object(gtk_scrollable_get_vadjustment(GTK_SCROLLABLE(list)), "value-changed",
                            G_CALLBACK(on_list_scrolled), list, GConnectFlags{});
    gtk_box_append(GTK_BOX(column), scrolled);
    gtk_window_set_child(GTK_WINDOW(window), column);

    const auto list_data = [&] {
        return new ListData{data.state, close_launcher, results, selection, list, &rows_of(list)->source};
    };
    connect_owned(field, "changed", filter_rows, list_data());

    GtkEventController* keys = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
    connect_owned(keys, "key-pressed", on_key_pressed, list_data());
    gtk_widget_add_controller(window, keys);

    connect_owned(list, "activate", on_row_activated, list_data());
    GtkGesture* row_click = gtk_gesture_click_new();
    connect_owned(row_click, "released", on_row_clicked, list_data());
    gtk_widget_add_controller(GTK_WIDGET(list), GTK_EVENT_CONTROLLER(row_click));

    GtkGesture* click = gtk_gesture_click_new();
    // A window that stays hides once the button is up again: hidden with
    // the button down, it would never see the release that ends the press.
    connect_owned(click, resident ? "released" : "pressed", on_click_outside,
                  new ClickData{column, window, close_launcher});
    gtk_widget_add_controller(window, GTK_EVENT_CONTROLLER(click));

    if (pid_file) {
        g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), nullptr);
    }

    return {GTK_WINDOW(window), GTK_BOX(column), GTK_EDITABLE(field),    list,
            selection,          results,         &rows_of(list)->source, close_launcher};
}

void on_activate(GtkApplication* application, ActivationData* data) {
    // Another start that found no pid file reaches this one over the session
    // bus, and asks it to activate: the open window is presented again.
    if (GtkWindow* open = gtk_application_get_active_window(application)) {
        gtk_window_present(open);
        return;
    }
    apply_launcher_theme();
    const LauncherWindow built = build_window(application, *data);
    gtk_window_present(built.window);
    gtk_widget_grab_focus(GTK_WIDGET(built.field));
}

}  // namespace lumenpad
