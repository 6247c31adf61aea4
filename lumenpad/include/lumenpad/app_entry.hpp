// One launchable application read from a desktop-entry file.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumenpad {

// One of an application's desktop actions ("New Private Window").
struct DesktopAction {
    std::string name;                           // trimmed, never empty, unlocalised
    std::optional<std::string> localised_name;  // in the user's language, when the file has it
    std::string exec;                           // as an entry's command line
    std::string key = {};                       // as the file's "[Desktop Action KEY]" group names it

    bool operator==(const DesktopAction&) const = default;
};

struct AppEntry {
    std::string name;                             // trimmed, never empty; the launch-history key
    std::string exec;                             // trimmed, field codes removed, never empty
    std::string icon;                             // icon-theme name or path, as written; may be empty
    std::optional<std::string> icon_path;         // image file from the manifest
    std::optional<std::string> startup_wm_class;  // absent when empty
    bool terminal = false;
    // The name in the user's language, which the row shows, when the file
    // has one for it.
    std::optional<std::string> localised_name;
    // GenericName and Keywords, in the user's language where the file has
    // them, then unlocalised: the words people search an application by.
    std::vector<std::string> generic_names;
    std::vector<std::string> keywords;
    std::string comment;
    std::vector<DesktopAction> actions;
    // The desktop file ID: the file's name without ".desktop", as the
    // catalogue found it; an action's row has its application's.
    std::string desktop_id;
    // An action's row: the action's key.
    std::optional<std::string> action;

    bool operator==(const AppEntry&) const = default;
};

// The name a row shows.
inline const std::string& shown_name(const AppEntry& entry) {
    return entry.localised_name ? *entry.localised_name : entry.name;
}

}  // namespace lumenpad
