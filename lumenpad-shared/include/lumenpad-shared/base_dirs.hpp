// The base directories: the one place that reads HOME, XDG_CONFIG_HOME,
// XDG_CACHE_HOME, XDG_DATA_HOME, XDG_DATA_DIRS and XDG_RUNTIME_DIR and knows
// their fallbacks. Each caller states how it takes a value (see env.hpp).
#pragma once

#include "lumenpad-shared/env.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumenpad {

// Where to look when HOME does not count: nowhere, or the password
// database's entry for the real user id (its directory when not empty).
enum class HomeFallback { none, password_database };

std::optional<std::string> find_home(VariableRule rule, HomeFallback fallback);

// The user's own base directories and, for each, the path under the home
// directory that stands in for an unset variable.
enum class UserDir {
    config,  // XDG_CONFIG_HOME, else ".config"
    cache,   // XDG_CACHE_HOME, else ".cache"
    data,    // XDG_DATA_HOME, else ".local/share"
};

// The variable of `which` when it passes `rule`, else the home directory
// that `home` gives (asked only then) joined with the stand-in path; nothing
// when `home` gives nothing.
std::optional<std::string> user_dir(UserDir which, const std::function<std::optional<std::string>()>& home,
                                    VariableRule rule = {});

// XDG_RUNTIME_DIR when it passes `rule`.
std::optional<std::string> runtime_dir(VariableRule rule = {});

// The pieces of XDG_DATA_DIRS when it passes `rule`, else those of
// "/usr/local/share:/usr/share"; empty pieces are kept.
std::vector<std::string> system_data_dirs(VariableRule rule = {});

}  // namespace lumenpad
