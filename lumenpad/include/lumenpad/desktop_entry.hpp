// Reads one desktop-entry file into an AppEntry. Only the keys the launcher
// uses are read, from the "[Desktop Entry]" group and the action groups it
// names; a file that does not describe a visible application, or that can't be
// read, yields nothing.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumenpad {

// Localised keys in the environment's messages locale, or with the locale
// suffixes given (best first; none reads no localised key).
std::optional<AppEntry> parse_desktop_entry(const std::string& path);
std::optional<AppEntry> parse_desktop_entry(const std::string& path,
                                            const std::vector<std::string>& suffixes);

// The items of a list value ("a;b\\;c;" is "a" and "b;c"), each with its
// escapes undone and trimmed; empty items are left out.
std::vector<std::string> split_list(std::string_view value);

// Undoes the string escapes of the desktop-entry format: "\\s", "\\n", "\\t",
// "\\r" and "\\\\" become a space, line feed, tab, carriage return and one
// backslash; any other backslash pair, and a backslash at the end, stay.
std::string unescape_value(std::string_view value);

// Drops every '%' + ASCII letter pair and turns "%%" into '%'; any other '%'
// stays. Nothing is expanded.
std::string strip_field_codes(std::string_view command);

}  // namespace lumenpad
