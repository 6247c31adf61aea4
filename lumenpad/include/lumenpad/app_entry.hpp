// One launchable application read from a desktop-entry file.
#pragma once

#include <optional>
#include <string>

namespace lumenpad {

struct AppEntry {
    std::string name;                             // trimmed, never empty; also the launch-history key
    std::string exec;                             // trimmed, field codes removed, never empty
    std::string icon;                             // icon-theme name or path, as written; may be empty
    std::optional<std::string> icon_path;         // image file from the manifest
    std::optional<std::string> startup_wm_class;  // absent when empty
    bool terminal = false;

    bool operator==(const AppEntry&) const = default;
};

}  // namespace lumenpad
