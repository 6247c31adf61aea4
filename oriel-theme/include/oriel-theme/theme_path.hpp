// Where the family's shared theme file lives: "oriel/theme.css" under the
// runtime directory, else the user's cache directory, else /tmp.
#pragma once

#include <string>

namespace oriel {

// Computed anew on every call, from the current environment.
std::string theme_file_path();

}  // namespace oriel
