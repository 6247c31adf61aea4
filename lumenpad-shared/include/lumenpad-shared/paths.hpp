// Path joining, comparison and search lists, the home directory and the list
// of directories that hold desktop-entry files.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumenpad {

// dir + '/' + name, without doubling a trailing '/'; an empty dir gives name.
std::string join_path(std::string_view dir, std::string_view name);

// Whether two paths name the same place component by component: repeated
// separators, trailing separators and "." components make no difference.
bool same_path(std::string_view a, std::string_view b);

// The pieces of a ':'-separated list of directories, empty ones included
// (an empty list is one empty piece).
std::vector<std::string_view> split_path_list(std::string_view list);

// HOME (even when empty); when it is unset or not UTF-8, the real user's home
// in the password database; otherwise nothing. Never a shared directory such
// as /tmp, where another user could lay out our files first.
std::optional<std::string> home_dir();

// "/usr/share/applications", then each system data directory joined with
// "applications" (skipping those equal to the first), then the user's own,
// which is left out when neither its variable nor a home gives one.
std::vector<std::string> application_dirs();

}  // namespace lumenpad
