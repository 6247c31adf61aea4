// The launcher's own directories. Only saving the history creates one: the
// cache directory, when it is missing.
#pragma once

#include <optional>
#include <string>

namespace lumenpad {

// The user's configuration directory (an empty variable used as it stands,
// else under home_dir()), joined with "lumenpad"; nothing without either.
std::optional<std::string> config_dir();

// The user's cache directory, by the same rule, joined with "lumenpad";
// nothing without either.
std::optional<std::string> cache_dir();

}  // namespace lumenpad
