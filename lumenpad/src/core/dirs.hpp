// The launcher's own directories. Only saving the history creates one: the
// cache directory, when it is missing.
#pragma once

#include <string>

namespace lumenpad {

// XDG_CONFIG_HOME (even when empty) or HOME/.config, joined with "lumenpad".
std::string config_dir();

// XDG_CACHE_HOME (even when empty) or HOME/.cache, joined with "lumenpad".
std::string cache_dir();

}  // namespace lumenpad
