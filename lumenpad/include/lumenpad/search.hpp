// The launcher's behaviour while open: filtering on every edit, the list's
// sort function, the five keys of the window's key controller, activation.
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/launcher_state.hpp"
#include "lumenpad/rows.hpp"

#include <gtk/gtk.h>

#include <memory>

namespace lumenpad {

struct FilterData {
    std::shared_ptr<LauncherState> state;
    GtkListBox* list;
};

struct KeyData {
    std::shared_ptr<LauncherState> state;
    CloseLauncher close_launcher;
    GtkListBox* list;
};

// "changed" of the search field.
void filter_rows(GtkEditable* field, FilterData* data);

// The order of two rows under the current query: the initial order while
// the query is empty, otherwise tier, launch count and lowered name.
int compare_rows(RowEntry& row1, RowEntry& row2, const LauncherState& state);

// The list's sort function: the places that the last edit gave the rows.
// Rows without an entry go last.
int compare_row_places(GtkListBoxRow* row1, GtkListBoxRow* row2, gpointer data);

// "key-pressed" of the window's capture-phase key controller.
gboolean on_key_pressed(GtkEventControllerKey* controller, guint keyval, guint keycode,
                        GdkModifierType modifiers, KeyData* data);

// "row-activated" of the list.
void on_row_activated(GtkListBox* list, GtkListBoxRow* row, KeyData* data);

// Counts the launch, saves the history, starts the command, closes.
void activate_entry(const AppEntry& entry, History& history, const CloseLauncher& close_launcher);

// Selects the first row on view from index `from` on, stepping by `step`
// (1 or -1), and returns it; nothing when it reaches either end first.
GtkListBoxRow* select_first_shown(GtkListBox* list, int from, int step);

}  // namespace lumenpad
