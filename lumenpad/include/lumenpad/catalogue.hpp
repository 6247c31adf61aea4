// The application catalogue: every usable desktop-entry file of the application
// directories, one entry per file name, the directory latest in the list winning.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <string>
#include <vector>

namespace lumenpad {

// Scans application_dirs(). The order of the result is unspecified.
std::vector<AppEntry> scan_applications();
std::vector<AppEntry> scan_applications(const std::vector<std::string>& dirs);

// Each entry followed by a row per desktop action, "App name: Action name",
// which starts the action's command with the application's icon, window
// class and terminal.
std::vector<AppEntry> with_action_rows(std::vector<AppEntry> entries);

}  // namespace lumenpad
