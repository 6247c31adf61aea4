// Reads one desktop-entry file into an AppEntry. Only the few keys the launcher
// uses are read, from the "[Desktop Entry]" group; a file that does not describe
// a visible application, or that can't be read, yields nothing.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace lumenpad {

std::optional<AppEntry> parse_desktop_entry(const std::string& path);

// Undoes the string escapes of the desktop-entry format: "\\s", "\\n", "\\t",
// "\\r" and "\\\\" become a space, line feed, tab, carriage return and one
// backslash; any other backslash pair, and a backslash at the end, stay.
std::string unescape_value(std::string_view value);

// Drops every '%' + ASCII letter pair and turns "%%" into '%'; any other '%'
// stays. Nothing is expanded.
std::string strip_field_codes(std::string_view command);

}  // namespace lumenpad
