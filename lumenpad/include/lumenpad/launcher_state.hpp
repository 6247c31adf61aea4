// The state the window's handlers share: the catalogue, the query and the
// history.
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/history.hpp"
#include "lumenpad/keys_to_come.hpp"
#include "lumenpad/matching.hpp"
#include "lumenpad/ordering.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumenpad {

struct LauncherState {
    // The catalogue in its initial order, and the entries' lowered keys (or
    // the keys to come, until the first edit takes them).
    std::vector<AppEntry> entries;
    std::vector<MatchKeys> keys;
    KeysToCome keys_to_come;
    std::string current_query;
    History history;
    Ranking ranking = Ranking::launches_and_name;
    // What choosing a row does: without it, the application is counted and
    // started (in dmenu mode, the line is printed instead).
    std::function<void(const AppEntry&)> choose;
    // The configuration's launch_prefix.
    std::vector<std::string> launch_prefix;
};

// Deletes the pid file and closes the window; shared by every handler that
// can end the launcher.
using CloseLauncher = std::shared_ptr<std::function<void()>>;

}  // namespace lumenpad
