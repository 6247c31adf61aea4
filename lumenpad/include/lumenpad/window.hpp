// The launcher's window: a full-output overlay on a layer-shell surface with
// one centred column (search field above the list), built on "activate".
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/launcher_state.hpp"

#include <gtk/gtk.h>

#include <memory>
#include <vector>

namespace lumenpad {

// What start-up hands the "activate" handler: the sorted entries and the
// shared state (an empty query and the loaded history).
struct ActivationData {
    std::vector<AppEntry> entries;
    std::shared_ptr<LauncherState> state;
};

// The "activate" handler; builds and presents one window.
void on_activate(GtkApplication* application, ActivationData* data);

// Builds the window without presenting it (the widget tests drive it).
struct LauncherWindow {
    GtkWindow* window;
    GtkBox* column;
    GtkEditable* field;
    GtkListBox* list;
    CloseLauncher close_launcher;
};
LauncherWindow build_window(GtkApplication* application, const ActivationData& data);

// Whether a press at (x, y) lies outside the column's bounds; a press exactly
// on the edge is inside.
bool is_outside(const graphene_rect_t& bounds, double x, double y);

}  // namespace lumenpad
