// The mutable state the window's handlers share: the query and the history.
#pragma once

#include "lumenpad/history.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace lumenpad {

struct LauncherState {
    std::string current_query;
    // lower(current_query), computed once per edit instead of per comparison.
    std::string lowered_query;
    // Bumped on every edit so rows can tell whether their cached tier is current.
    std::uint64_t query_generation = 1;
    History history;
};

// Deletes the pid file and closes the window; shared by every handler that
// can end the launcher.
using CloseLauncher = std::shared_ptr<std::function<void()>>;

}  // namespace lumenpad
