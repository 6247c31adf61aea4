// The state the window's handlers share: the catalogue, the query and the
// history.
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/history.hpp"
#include "lumenpad/keys_to_come.hpp"
#include "lumenpad/matching.hpp"
#include "lumenpad/ordering.hpp"

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lumenpad {

struct LauncherState {
    // The catalogue in its initial order, and the entries' lowered keys (or
    // the keys to come, until the first edit takes them).
    std::vector<AppEntry> entries;
    // The initial order where it is no longer the entries' own (a resident
    // launcher's counts change while it runs), as initial_order gives it.
    std::vector<std::uint32_t> initial_order;
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
    // A resident launcher's: the environment and working directory of the
    // command that opened the window, which its launches run with (nothing:
    // the launcher's own), and what becomes of each child launched, which
    // it must reap and which must outlive it. A cold launcher ends soon
    // after a launch and leaves its children to be adopted.
    std::optional<std::vector<std::string>> launch_environment;
    std::optional<std::string> launch_directory;
    std::function<void(pid_t)> adopt_child;
};

// Deletes the pid file and closes the window; shared by every handler that
// can end the launcher.
using CloseLauncher = std::shared_ptr<std::function<void()>>;

}  // namespace lumenpad
