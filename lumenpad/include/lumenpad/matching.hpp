// How well an entry matches the query: a tier from 0 (best) to 5, and which
// rows a list of tiers leaves visible.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace lumenpad {

using MatchTier = std::uint8_t;

// Tiers below this one are strong: they hide every tier-4 row.
inline constexpr MatchTier first_weak_tier = 3;
inline constexpr MatchTier subsequence_tier = 4;
// A word of the generic name, or a keyword, that starts with the query.
inline constexpr MatchTier keyword_tier = 5;

// The lowered texts of an entry that matching and ordering compare; computed
// once per entry, so a keystroke lowers only the query.
struct MatchKeys {
    std::string name;      // lower(shown_name)
    std::string alias;     // lower(name) when the shown name is a localised one, else empty
    std::string wm_class;  // lower(startup_wm_class), empty when absent
    // lower() of each word of the generic name, then of each keyword.
    std::vector<std::string> words;
};
MatchKeys match_keys(const AppEntry& entry);
// The keys of the names and window class alone, and the search words then.
MatchKeys name_keys(const AppEntry& entry);
void add_search_words(MatchKeys& keys, const std::vector<std::string>& generic_names,
                      const std::vector<std::string>& keywords);
// The keys of an entry that is nothing but its name (a line of dmenu mode).
MatchKeys line_keys(std::string_view name);
// The keys of every entry, in the same order.
std::vector<MatchKeys> catalogue_keys(const std::vector<AppEntry>& entries);

// Tier of the entry for the visibility rule, or nothing when it does not match.
std::optional<MatchTier> match_tier(std::string_view query, const AppEntry& entry);
std::optional<MatchTier> match_tier(std::string_view query, std::string_view lowered_query,
                                    const AppEntry& entry, const MatchKeys& keys);

// Tier of the names and the window class for ordering; 4 when tiers 0-3 do
// not apply. `query` is non-empty.
MatchTier sort_tier(std::string_view query, const AppEntry& entry);
MatchTier sort_tier(std::string_view lowered_query, const MatchKeys& keys);

// Whether the query's characters occur in order in `field`, each compared by
// the first character of its lower-case mapping.
bool fuzzy_subsequence(std::string_view query, std::string_view field);

// Whether a word of the generic name, or a keyword, starts with the query.
bool words_match(std::string_view lowered_query, const MatchKeys& keys);

// The tier a row that matched at `tier` is shown at, given whether any row
// matched at a strong tier, or nothing when it is hidden: a tier-4 row is
// hidden then, unless its words match (`words_matched()`, asked only then),
// which shows it at tier 5 among the other keyword matches.
template <typename WordsMatch>
constexpr std::optional<MatchTier> shown_tier(MatchTier tier, bool strong_present, WordsMatch words_matched) {
    if (tier != subsequence_tier || !strong_present) {
        return tier;
    }
    return words_matched() ? std::optional<MatchTier>(keyword_tier) : std::nullopt;
}

// Whether a row that matched at `tier`, with no words that match, is shown.
constexpr bool shown_beside(MatchTier tier, bool strong_present) {
    return shown_tier(tier, strong_present, [] { return false; }).has_value();
}

// Which rows are shown, by shown_beside; rows without a match are always
// hidden.
std::vector<bool> visible_rows(const std::vector<std::optional<MatchTier>>& tiers);

}  // namespace lumenpad
