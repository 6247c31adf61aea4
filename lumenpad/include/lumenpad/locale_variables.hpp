// Locale variables that are not valid UTF-8 (LC_ALL, LC_MESSAGES, LANG and
// GLib's LANGUAGE): libraries the launcher loads stop the program on such a
// name (librsvg panics), so the launcher's own process treats them as unset,
// while the programs it starts get them unchanged.
#pragma once

#include <string>
#include <vector>

namespace lumenpad {

// The "NAME=value" texts of `environment` (as environ holds it) that are
// locale variables whose value is not valid UTF-8, in their order there.
std::vector<std::string> unusable_locale_variables(const char* const* environment);

// Removes the unusable locale variables from the process's environment and
// keeps them for add_dropped_locale_variables. Call once, at the start of main,
// before any other thread.
void drop_unusable_locale_variables();

// `environment` with the variables that drop_unusable_locale_variables
// removed added back, where it has none of the same name.
void add_dropped_locale_variables(std::vector<std::string>& environment);

}  // namespace lumenpad
