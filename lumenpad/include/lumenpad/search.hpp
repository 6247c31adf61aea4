// The launcher's behaviour while open: the live order on every edit, the
// five keys of the window's key controller, activation.
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/launcher_state.hpp"
#include "lumenpad/result_list.hpp"
#include "lumenpad/rows.hpp"

#include <gtk/gtk.h>

#include <memory>

namespace lumenpad {

// What the handlers act on: the shared state and the list's model, its
// selection, its view and its rows.
struct ListData {
    std::shared_ptr<LauncherState> state;
    CloseLauncher close_launcher;
    LumenpadResultList* results;
    GtkSingleSelection* selection;
    GtkListView* list;
    RowSource* rows;
};

// "changed" of the search field: the list shows the query's live order with
// its first row selected and on view; nothing is selected when it is empty.
void filter_rows(GtkEditable* field, ListData* data);

// "key-pressed" of the window's capture-phase key controller.
gboolean on_key_pressed(GtkEventControllerKey* controller, guint keyval, guint keycode,
                        GdkModifierType modifiers, ListData* data);

// "activate" of the list: the row at `position` is started.
void on_row_activated(GtkListView* list, guint position, ListData* data);

// "released" of the list's click gesture: a single click starts the row.
void on_row_clicked(GtkGestureClick* gesture, int presses, double x, double y, ListData* data);

// Counts the launch, saves the history, starts the command with an
// activation token and the configured prefix, closes; the application is
// held until the launch is over.
void activate_entry(const AppEntry& entry, LauncherState& state, const CloseLauncher& close_launcher);

// The entry of the row at `position`, if any.
const AppEntry* entry_at(const ListData& data, guint position);

}  // namespace lumenpad
