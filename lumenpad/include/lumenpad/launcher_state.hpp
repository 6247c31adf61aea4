// The state the window's handlers share: the catalogue, the query and the
// history.
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/history.hpp"
#include "lumenpad/matching.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumenpad {

struct LauncherState {
    // The catalogue in its initial order, and the entries' lowered keys.
    std::vector<AppEntry> entries;
    std::vector<MatchKeys> keys;
    std::string current_query;
    History history;
};

// Deletes the pid file and closes the window; shared by every handler that
// can end the launcher.
using CloseLauncher = std::shared_ptr<std::function<void()>>;

}  // namespace lumenpad
