#include "lumenpad/ordering.hpp"

#include "lumenpad-shared/text.hpp"

#include <algorithm>
#include <future>
#include <iterator>
#include <numeric>

namespace lumenpad {

namespace {

// Below this many entries a second thread costs more than it saves.
constexpr std::uint32_t parallel_match_size = 20'000;

bool is_word_byte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Priority terms name applications by their unlocalised name, so that the
// configuration holds in every language.
std::optional<size_t> rank_of(const MatchKeys& keys, const std::vector<std::string>& lowered_priority) {
    const std::string& name = keys.alias.empty() ? keys.name : keys.alias;
    for (size_t k = 0; k < lowered_priority.size(); ++k) {
        if (contains_word(name, lowered_priority[k]) || contains_word(keys.wm_class, lowered_priority[k])) {
            return k;
        }
    }
    return std::nullopt;
}

// The initial order's decision for two entries whose keys are known.
bool initial_less_keys(std::optional<size_t> rank_a, std::uint32_t count_a, std::string_view name_a,
                       std::optional<size_t> rank_b, std::uint32_t count_b, std::string_view name_b) {
    if (rank_a) {
        return !rank_b || *rank_a < *rank_b;
    }
    if (rank_b) {
        return false;
    }
    if (count_a != count_b) {
        return count_a > count_b;
    }
    return compare_name_keys(name_a, name_b) < 0;
}

}  // namespace

int compare_name_keys(std::string_view a, std::string_view b) {
    // std::string_view compares with char_traits<char>, which compares as
    // unsigned char, so this is byte order.
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool contains_word(std::string_view haystack, std::string_view term) {
    if (haystack.empty() || term.empty()) {
        return false;
    }
    if (haystack == term) {
        return true;
    }
    size_t from = 0;
    while (true) {
        const size_t p = haystack.find(term, from);
        if (p == std::string_view::npos) {
            return false;
        }
        const size_t e = p + term.size();
        const bool starts = p == 0 || !is_word_byte(haystack[p - 1]);
        const bool ends = e == haystack.size() || !is_word_byte(haystack[e]);
        if (starts && ends) {
            return true;
        }
        // Resume after the occurrence's first character (not byte), so the
        // search never lands inside a multi-byte character.
        size_t next = p + 1;
        while (next < haystack.size() && (static_cast<unsigned char>(haystack[next]) & 0xC0) == 0x80) {
            ++next;
        }
        from = next;
    }
}

std::optional<size_t> priority_rank(const AppEntry& entry, const std::vector<std::string>& lowered_priority) {
    if (lowered_priority.empty()) {
        return std::nullopt;
    }
    return rank_of(match_keys(entry), lowered_priority);
}

bool initial_less(const AppEntry& a, const AppEntry& b, const std::vector<std::string>& lowered_priority,
                  const History& history) {
    return initial_less_keys(priority_rank(a, lowered_priority), launch_count(history, a.name), lower(a.name),
                             priority_rank(b, lowered_priority), launch_count(history, b.name),
                             lower(b.name));
}

std::vector<MatchKeys> sort_initial(std::vector<AppEntry>& entries,
                                    const std::vector<std::string>& lowered_priority,
                                    const History& history) {
    struct Key {
        std::optional<size_t> rank;
        std::uint32_t count;
    };
    std::vector<MatchKeys> match;
    match.reserve(entries.size());
    for (const AppEntry& entry : entries) {
        match.push_back(name_keys(entry));
    }
    std::vector<Key> keys;
    keys.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto rank = lowered_priority.empty() ? std::nullopt : rank_of(match[i], lowered_priority);
        keys.push_back({rank, launch_count(history, entries[i].name)});
    }
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t i, size_t j) {
        return initial_less_keys(keys[i].rank, keys[i].count, match[i].name, keys[j].rank, keys[j].count,
                                 match[j].name);
    });
    std::vector<AppEntry> sorted;
    std::vector<MatchKeys> sorted_keys;
    sorted.reserve(entries.size());
    sorted_keys.reserve(entries.size());
    for (size_t i : order) {
        sorted.push_back(std::move(entries[i]));
        sorted_keys.push_back(std::move(match[i]));
    }
    entries = std::move(sorted);
    return sorted_keys;
}
std::vector<std::uint32_t> initial_order(const std::vector<AppEntry>& entries,
                                         const std::vector<MatchKeys>& keys,
                                         const std::vector<std::string>& lowered_priority,
                                         const History& history) {
    struct Group {
        std::uint32_t first;
        std::uint32_t end;
        std::optional<size_t> rank;
        std::uint32_t count;
    };
    std::vector<Group> groups;
    const auto size = static_cast<std::uint32_t>(entries.size());
    for (std::uint32_t first = 0; first < size;) {
        std::uint32_t end = first + 1;
        while (end < size && entries[end].action && !entries[first].action &&
               entries[end].desktop_id == entries[first].desktop_id) {
            ++end;
        }
        const auto rank = lowered_priority.empty() ? std::nullopt : rank_of(keys[first], lowered_priority);
        groups.push_back({first, end, rank, launch_count(history, entries[first].name)});
        first = end;
    }
    std::stable_sort(groups.begin(), groups.end(), [&](const Group& a, const Group& b) {
        return initial_less_keys(a.rank, a.count, keys[a.first].name, b.rank, b.count, keys[b.first].name);
    });
    std::vector<std::uint32_t> order;
    order.reserve(entries.size());
    for (const Group& group : groups) {
        for (std::uint32_t i = group.first; i < group.end; ++i) {
            order.push_back(i);
        }
    }
    return order;
}

int compare_for_query(MatchTier tier_a, std::uint32_t count_a, const MatchKeys& keys_a, MatchTier tier_b,
                      std::uint32_t count_b, const MatchKeys& keys_b) {
    if (tier_a != tier_b) {
        return tier_a < tier_b ? -1 : 1;
    }
    if (count_a != count_b) {
        return count_a > count_b ? -1 : 1;
    }
    return compare_name_keys(keys_a.name, keys_b.name);
}

std::vector<std::uint32_t> live_order(std::string_view query, const std::vector<AppEntry>& entries,
                                      const std::vector<MatchKeys>& keys, const History& history,
                                      Ranking ranking, const std::vector<std::uint32_t>& initial) {
    std::vector<std::uint32_t> order;
    if (query.empty()) {
        if (!initial.empty()) {
            return initial;
        }
        order.resize(entries.size());
        std::iota(order.begin(), order.end(), std::uint32_t{0});
        return order;
    }
    // Each entry's place in the initial order, which breaks the last ties.
    std::vector<std::uint32_t> place;
    if (!initial.empty()) {
        place.resize(initial.size());
        for (std::uint32_t i = 0; i < initial.size(); ++i) {
            place[initial[i]] = i;
        }
    }
    const auto before = [&](std::uint32_t a, std::uint32_t b) {
        return place.empty() ? a < b : place[a] < place[b];
    };
    // Each entry's tier once; its count only when it is shown.
    struct Ranked {
        MatchTier tier;
        std::uint32_t count;
        std::uint32_t index;
    };
    const std::string lowered_query = lower(query);
    const auto match_range = [&](std::uint32_t begin, std::uint32_t end) {
        std::vector<Ranked> found;
        for (std::uint32_t i = begin; i < end; ++i) {
            if (const auto tier = match_tier(query, lowered_query, entries[i], keys[i])) {
                found.push_back({*tier, 0, i});
            }
        }
        return found;
    };
    const auto size = static_cast<std::uint32_t>(entries.size());
    std::vector<Ranked> matched;
    if (size < parallel_match_size) {
        matched = match_range(0, size);
    } else {
        // Long lists (the lines of dmenu mode) are matched in two halves at
        // once, so that a keystroke stays within a frame.
        const std::uint32_t half = size / 2;
        auto second = std::async(std::launch::async, match_range, half, size);
        matched = match_range(0, half);
        std::vector<Ranked> rest = second.get();
        matched.insert(matched.end(), rest.begin(), rest.end());
    }
    const bool strong =
        std::any_of(matched.begin(), matched.end(), [](const Ranked& r) { return r.tier < first_weak_tier; });
    // A hidden row's tier is kept at a tier no row has, then the row erased.
    constexpr MatchTier hidden = keyword_tier + 1;
    for (Ranked& r : matched) {
        r.tier = shown_tier(r.tier, strong, [&] {
                     return words_match(lowered_query, keys[r.index]);
                 }).value_or(hidden);
    }
    std::erase_if(matched, [](const Ranked& r) { return r.tier == hidden; });
    if (ranking == Ranking::launches_and_name) {
        for (Ranked& r : matched) {
            r.count = launch_count(history, entries[r.index].name);
        }
        std::sort(matched.begin(), matched.end(), [&](const Ranked& a, const Ranked& b) {
            const int c = compare_for_query(a.tier, a.count, keys[a.index], b.tier, b.count, keys[b.index]);
            return c != 0 ? c < 0 : before(a.index, b.index);
        });
    } else {
        // Matched in index order already: a stable pass per tier.
        std::vector<Ranked> by_tier;
        by_tier.reserve(matched.size());
        for (MatchTier tier = 0; tier <= keyword_tier; ++tier) {
            std::copy_if(matched.begin(), matched.end(), std::back_inserter(by_tier),
                         [tier](const Ranked& r) { return r.tier == tier; });
        }
        matched = std::move(by_tier);
    }
    order.reserve(matched.size());
    for (const Ranked& r : matched) {
        order.push_back(r.index);
    }
    return order;
}

}  // namespace lumenpad
