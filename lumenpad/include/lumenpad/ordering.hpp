// The two orders of the list: the initial order (priority terms, launch count,
// name) fixed at start-up, and the live order while a query is present (match
// tier, launch count, name).
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/history.hpp"
#include "lumenpad/matching.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumenpad {

// Whether `term` occurs in `haystack` bounded by non-word bytes (a word byte is
// an ASCII letter or digit).
bool contains_word(std::string_view haystack, std::string_view term);

// Index of the first lowered priority term that the entry's lowered name or
// window class contains as a word.
std::optional<size_t> priority_rank(const AppEntry& entry, const std::vector<std::string>& lowered_priority);

// Whether `a` goes before `b` in the initial order.
bool initial_less(const AppEntry& a, const AppEntry& b, const std::vector<std::string>& lowered_priority,
                  const History& history);

// Stable sort of the catalogue by initial_less, computing each entry's keys
// once instead of at every comparison; returns those keys (names and window
// class: name_keys), in the new order.
std::vector<MatchKeys> sort_initial(std::vector<AppEntry>& entries,
                                    const std::vector<std::string>& lowered_priority, const History& history);

// The initial order of a catalogue already held in some order, as the
// places of its entries (`keys` their keys): each application with the
// action rows that follow it (of the same desktop file) kept together and
// after it, the applications ordered as sort_initial orders them, stably.
std::vector<std::uint32_t> initial_order(const std::vector<AppEntry>& entries,
                                         const std::vector<MatchKeys>& keys,
                                         const std::vector<std::string>& lowered_priority,
                                         const History& history);

// Live order for a non-empty query: negative when `a` goes first, positive
// when `b` does, 0 when tier, count and name key are all equal.
int compare_for_query(MatchTier tier_a, std::uint32_t count_a, const MatchKeys& keys_a, MatchTier tier_b,
                      std::uint32_t count_b, const MatchKeys& keys_b);

// Name keys compare by their UTF-8 bytes, unsigned.
int compare_name_keys(std::string_view a, std::string_view b);

// How rows of one tier are ordered under a query: by launch count and name
// (applications), or as they came (the lines of dmenu mode).
enum class Ranking { launches_and_name, given_order };

// The live order for `query`: the indices of the entries it leaves visible
// (`keys` holds their lowered keys, `history` their launch counts), in the
// order the list shows them. While the query is empty that is every entry in
// the initial order; otherwise tier, launch count and name key decide (or
// the tier alone, by `ranking`), and entries equal in all of them keep their
// initial order. The initial order is the entries' own, or `initial` (as
// initial_order gives it) when that is not empty.
std::vector<std::uint32_t> live_order(std::string_view query, const std::vector<AppEntry>& entries,
                                      const std::vector<MatchKeys>& keys, const History& history,
                                      Ranking ranking = Ranking::launches_and_name,
                                      const std::vector<std::uint32_t>& initial = {});

}  // namespace lumenpad
