// Starting an entry's command: through "bash" "-c", inside a terminal emulator
// when the entry asks for one, detached from the launcher's streams.
#pragma once

#include "lumenpad/app_entry.hpp"

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
void launch_entry(const AppEntry& entry);

}  // namespace lumenpad
