// The launcher's own directories. Only saving the history creates one: the
// cache directory, when it is missing.
#pragma once

#include <optional>
#include <string>

namespace lumenpad {

// XDG_CONFIG_HOME (even when empty) or home_dir()/.config, joined with
// "lumenpad"; nothing without either.
std::optional<std::string> config_dir();

// XDG_CACHE_HOME (even when empty) or home_dir()/.cache, joined with
// "lumenpad"; nothing without either.
std::optional<std::string> cache_dir();

}  // namespace lumenpad
