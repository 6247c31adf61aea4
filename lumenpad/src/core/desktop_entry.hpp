// Reads one desktop-entry file into an AppEntry. Only the few keys the launcher
// uses are read, from the "[Desktop Entry]" group; a file that does not describe
// a visible application, or that can't be read, yields nothing.
#pragma once

#include "app_entry.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace lumenpad {

std::optional<AppEntry> parse_desktop_entry(const std::string& path);

// Drops every '%' + ASCII letter pair and turns "%%" into '%'; any other '%'
// stays. Nothing is expanded.
std::string strip_field_codes(std::string_view command);

}  // namespace lumenpad
