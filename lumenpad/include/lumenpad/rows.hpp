// One list row per application: icon, name and window class, carrying a copy
// of its entry ("entry") and its place in the initial order ("initial_order").
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/matching.hpp"

#include <gtk/gtk.h>

#include <cstdint>
#include <optional>
#include <string>

namespace lumenpad {

// What a row carries under "entry": its entry and the entry's lowered keys,
// plus its sort tier and launch count as of the query generation they were
// last computed for.
struct RowEntry {
    AppEntry entry;
    MatchKeys keys;
    // The same number as the row's "initial_order".
    std::uint32_t initial_order = 0;
    std::uint64_t tier_generation = 0;
    MatchTier tier = 0;
    std::uint32_t launch_count = 0;
    // Whether the current query leaves the row visible; the list's filter.
    bool shown = true;
    // The row's place in the list for the current query; the list's sort.
    std::uint32_t place = 0;
};

GtkWidget* make_icon(const std::string& icon, const std::optional<std::string>& icon_path);
GtkWidget* make_row(const AppEntry& entry);

// Attaches the row data: a copy of the entry and its initial position.
void attach_row_data(GtkListBoxRow* row, const AppEntry& entry, std::uint32_t initial_order);

// A copy of the row's entry, or nothing when the row carries none.
std::optional<AppEntry> row_entry(GtkListBoxRow* row);

// The row's data without copying; null when the row carries none.
RowEntry* row_data(GtkListBoxRow* row);

std::optional<std::uint32_t> row_initial_order(GtkListBoxRow* row);

// The list's filter function: rows without an entry are never shown.
gboolean row_filter(GtkListBoxRow* row, gpointer);

// Whether the row is on view (neither hidden nor filtered out).
bool row_shown(GtkListBoxRow* row);

}  // namespace lumenpad
