#include "lumenpad/search.hpp"

#include "lumenpad/activation.hpp"
#include "lumenpad/launch.hpp"
#include "lumenpad/list_compat.hpp"
#include "lumenpad/ordering.hpp"
#include "lumenpad/rows.hpp"
#include "lumenpad/spawn.hpp"

#include <utility>

extern char** environ;

namespace lumenpad {

namespace {

void select_row(const ListData& data, guint position) {
    gtk_single_selection_set_selected(data.selection, position);
    fill_rows_near(data.list, *data.rows, position);
    scroll_list_to(data.list, position);
}

// Starts (or, in dmenu mode, chooses) the entry at `position`, if any.
void activate_position(const ListData& data, guint position) {
    const AppEntry* entry = entry_at(data, position);
    if (entry == nullptr) {
        return;
    }
    if (data.state->choose) {
        data.state->choose(*entry);
        const CloseLauncher close = data.close_launcher;
        (*close)();
        return;
    }
    activate_entry(*entry, *data.state, data.close_launcher);
}

}  // namespace

const AppEntry* entry_at(const ListData& data, guint position) {
    const std::uint32_t* index = result_at(data.results, position);
    return index != nullptr && *index < data.state->entries.size() ? &data.state->entries[*index] : nullptr;
}

void filter_rows(GtkEditable* field, ListData* data) {
    LauncherState& state = *data->state;
    if (state.keys_to_come.pending()) {
        state.keys = state.keys_to_come.take();
    }
    state.current_query = gtk_editable_get_text(field);
    std::vector<std::uint32_t> order = live_order(state.current_query, state.entries, state.keys,
                                                  state.history, state.ranking, state.initial_order);
    const bool any = !order.empty();
    // Unselected first, so the selection has no row to look for among those
    // that go; the first row is selected once the list holds them.
    gtk_single_selection_set_selected(data->selection, GTK_INVALID_LIST_POSITION);
    // Rows added at the end are bound for a view at the top.
    fill_rows_near(data->list, *data->rows, 0);
    const std::size_t changed = set_result_order(data->results, std::move(order));
    show_entries_again(*data->rows, static_cast<guint>(changed));
    if (any) {
        select_row(*data, 0);
    }
}

void activate_entry(const AppEntry& entry, LauncherState& state, const CloseLauncher& close_launcher) {
    record_launch(state.history, entry.name);
    save_history(state.history);
    // Held while the launch waits on the main loop: closing the window would
    // otherwise end the program first.
    GApplication* application = g_application_get_default();
    if (application != nullptr) {
        g_application_hold(application);
    }
    std::vector<char*> client_environment;
    if (state.launch_environment) {
        for (std::string& text : *state.launch_environment) {
            client_environment.push_back(text.data());
        }
        client_environment.push_back(nullptr);
    }
    char* const* environment = state.launch_environment ? client_environment.data() : environ;
    const ChildSession session = state.adopt_child ? ChildSession::own : ChildSession::shared;
    const auto child =
        launch_entry(entry,
                     {state.launch_prefix, launched_environment(environment, activation_token(entry)),
                      state.launch_directory, session},
                     [application] {
                         if (application != nullptr) {
                             g_application_release(application);
                         }
                     });
    if (child && state.adopt_child) {
        state.adopt_child(*child);
    }
    // Held here: closing tears down the handlers that hold the others.
    const CloseLauncher close = close_launcher;
    (*close)();
}

gboolean on_key_pressed(GtkEventControllerKey*, guint keyval, guint, GdkModifierType, ListData* data) {
    const guint selected = gtk_single_selection_get_selected(data->selection);
    const guint rows = g_list_model_get_n_items(G_LIST_MODEL(data->results));
    switch (keyval) {
        case GDK_KEY_Escape: {
            const CloseLauncher close = data->close_launcher;
            (*close)();
            return GDK_EVENT_STOP;
        }
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
            if (selected != GTK_INVALID_LIST_POSITION) {
                activate_position(*data, selected);
            }
            return GDK_EVENT_STOP;
        case GDK_KEY_Up:
            if (selected != GTK_INVALID_LIST_POSITION && selected > 0) {
                select_row(*data, selected - 1);
            }
            return GDK_EVENT_STOP;
        case GDK_KEY_Down: {
            const guint next = selected == GTK_INVALID_LIST_POSITION ? 0 : selected + 1;
            if (next < rows) {
                select_row(*data, next);
            }
            return GDK_EVENT_STOP;
        }
        default:
            return GDK_EVENT_PROPAGATE;
    }
}

void on_row_activated(GtkListView*, guint position, ListData* data) {
    activate_position(*data, position);
}

void on_row_clicked(GtkGestureClick*, int presses, double x, double y, ListData* data) {
    if (presses != 1) {
        return;
    }
    if (const auto position = row_position_at(data->list, x, y)) {
        activate_position(*data, *position);
    }
}

}  // namespace lumenpad
