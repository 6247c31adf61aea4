// Starting an entry's command: through "bash" "-c", inside a terminal emulator
// when the entry asks for one, detached from the launcher's streams.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <optional>
#include <string>
#include <vector>

namespace lumenpad {

// The terminal program for entries with Terminal=true: TERMINAL when set and
// not empty, else the first of foot, kitty, alacritty, wezterm, ghostty, xterm
// found in PATH, else "xterm".
std::string choose_terminal();

// "bash" "-c" command, or terminal "-e" "bash" "-c" command.
std::vector<std::string> launch_argv(const AppEntry& entry);

// Starts the command and returns once the child exists; failures are silent.
// The activation token, when there is one, lets the program take the focus.
void launch_entry(const AppEntry& entry, const std::optional<std::string>& activation_token = std::nullopt);

}  // namespace lumenpad
