// Entries for the launcher's tests: a short builder for the fields matching
// and ordering look at, and a readable form for comparing parse results.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <optional>
#include <sstream>
#include <string>

namespace lumenpad::test {

inline AppEntry entry(std::string name, std::optional<std::string> wm_class = std::nullopt,
                      std::string exec = "true") {
    AppEntry e;
    e.name = std::move(name);
    e.exec = std::move(exec);
    e.startup_wm_class = std::move(wm_class);
    return e;
}

inline std::string describe(const std::optional<AppEntry>& entry) {
    if (!entry) {
        return "(nothing)";
    }
    std::ostringstream out;
    out << "{name=\"" << entry->name << "\" exec=\"" << entry->exec << "\" icon=\"" << entry->icon << '"';
    if (entry->icon_path) {
        out << " icon_path=\"" << *entry->icon_path << '"';
    }
    if (entry->startup_wm_class) {
        out << " wm_class=\"" << *entry->startup_wm_class << '"';
    }
    out << " terminal=" << entry->terminal;
    if (entry->localised_name) {
        out << " localised=\"" << *entry->localised_name << '"';
    }
    for (const auto& generic_name : entry->generic_names) {
        out << " generic=\"" << generic_name << '"';
    }
    for (const auto& keyword : entry->keywords) {
        out << " keyword=\"" << keyword << '"';
    }
    for (const auto& action : entry->actions) {
        out << " action={\"" << action.name << "\" \"" << action.localised_name.value_or("") << "\" \""
            << action.exec << "\"}";
    }
    out << '}';
    return out.str();
}

}  // namespace lumenpad::test
