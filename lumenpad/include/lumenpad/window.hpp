// The launcher's window: a full-output overlay on a layer-shell surface with
// one centred column (search field above the list), built on "activate".
#pragma once

#include "lumenpad/inputs.hpp"
#include "lumenpad/launcher_state.hpp"
#include "lumenpad/options.hpp"
#include "lumenpad/result_list.hpp"
#include "lumenpad/rows.hpp"

#include <gtk/gtk.h>

#include <functional>
#include <future>
#include <memory>

namespace lumenpad {

// What start-up hands the "activate" handler: the shared state (an empty
// query), the inputs that will fill it while they are still being gathered,
// and the command line's options; the window leaves the program's exit
// status here.
struct ActivationData {
    std::shared_ptr<LauncherState> state;
    std::future<Inputs> inputs{};
    Options options{};
    // In dmenu mode: 0 once a line has been chosen and printed.
    int exit_status = 0;
};

// The "activate" handler: builds and presents the window, or presents again
// the one already built; there is never a second.
void on_activate(GtkApplication* application, ActivationData* data);

// Builds the window without presenting it (the widget tests drive it); waits
// for the inputs still being gathered, if any, just before the list. With
// `hide` (a resident launcher's window, which has no pid file), whatever
// would close the window calls it instead.
struct LauncherWindow {
    GtkWindow* window;
    GtkBox* column;
    GtkEditable* field;
    GtkListView* list;
    GtkSingleSelection* selection;
    LumenpadResultList* results;
    RowSource* rows;
    CloseLauncher close_launcher;
};
LauncherWindow build_window(GtkApplication* application, ActivationData& data,
                            std::function<void(GtkWindow*)> hide = {});

// Whether a press at (x, y) lies outside the column's bounds; a press exactly
// on the edge is inside.
bool is_outside(const graphene_rect_t& bounds, double x, double y);

}  // namespace lumenpad
