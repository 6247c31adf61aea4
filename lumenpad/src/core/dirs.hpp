// The launcher's own directories. They are never created by the launcher.
#pragma once

#include <string>

namespace lumenpad {

// XDG_CONFIG_HOME (even when empty) or HOME/.config, joined with "lumenpad".
std::string config_dir();

// XDG_CACHE_HOME (even when empty) or HOME/.cache, joined with "lumenpad".
std::string cache_dir();

}  // namespace lumenpad
