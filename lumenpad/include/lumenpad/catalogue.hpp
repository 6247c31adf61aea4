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

}  // namespace lumenpad
