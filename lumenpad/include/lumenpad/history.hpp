// Launch counts by application name, kept in "history.json" in the cache
// directory. Reading and writing never fail loudly: a bad or missing file is an
// empty history, a failed save leaves the old file as it was, and a file the
// reader refused is kept beside the new one as "history.json.bad".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace lumenpad {

using HistoryCounts = std::unordered_map<std::string, std::uint32_t>;

struct History {
    // Nothing when there is no cache directory: the counts live in memory only.
    std::optional<std::string> path;
    HistoryCounts counts;
    // The file was there but unreadable, not UTF-8 or not valid: its counts
    // may be mended by hand, so the first save keeps it instead of replacing it.
    bool refused_file = false;
};

// The history at cache_dir()/history.json, or at `path`.
History load_history();
History load_history(std::string path);

// A JSON object whose values are all integers from 0 to 4294967295 without
// fraction or exponent; a later duplicate name wins. Anything else: nothing.
std::optional<HistoryCounts> parse_history_counts(std::string_view text);

std::uint32_t launch_count(const History& history, std::string_view name);

// Adds one launch; a count already at the maximum stays there.
void record_launch(History& history, std::string_view name);

// The compact JSON form of the counts: no blanks, no line end.
std::string history_json(const History& history);

// Replaces the file at history.path (or `path`) atomically, by the rules of
// replace_own_file: never anything but the user's own regular file, and a
// missing cache directory is created with mode 0700. save_history_to tells
// whether the file was replaced. A refused file is renamed to its name +
// ".bad" first; save_history then forgets that it was refused.
void save_history(History& history);
bool save_history_to(const History& history, const std::string& path);

}  // namespace lumenpad
