// The launcher's own directories. They are never created by the launcher.
#pragma once

#include <string>

namespace lumenpad {

// The user's configuration directory (an empty variable used as it stands, else
// under home_dir()), joined with "lumenpad".
std::string config_dir();

// The user's cache directory, by the same rule, joined with "lumenpad".
std::string cache_dir();

}  // namespace lumenpad
