#include "lumenpad/ordering.hpp"

#include "lumenpad-shared/text.hpp"

#include <algorithm>
#include <numeric>

namespace lumenpad {

namespace {

bool is_word_byte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

std::optional<size_t> rank_of(const MatchKeys& keys, const std::vector<std::string>& lowered_priority) {
    for (size_t k = 0; k < lowered_priority.size(); ++k) {
        if (contains_word(keys.name, lowered_priority[k]) ||
            contains_word(keys.wm_class, lowered_priority[k])) {
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

void sort_initial(std::vector<AppEntry>& entries, const std::vector<std::string>& lowered_priority,
                  const History& history) {
    if (entries.size() < 2) {
        return;
    }
    struct Key {
        std::optional<size_t> rank;
        std::uint32_t count;
        std::string name;
    };
    std::vector<Key> keys;
    keys.reserve(entries.size());
    for (const auto& entry : entries) {
        MatchKeys match = match_keys(entry);
        const auto rank = lowered_priority.empty() ? std::nullopt : rank_of(match, lowered_priority);
        keys.push_back({rank, launch_count(history, entry.name), std::move(match.name)});
    }
    std::vector<size_t> order(entries.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t i, size_t j) {
        return initial_less_keys(keys[i].rank, keys[i].count, keys[i].name, keys[j].rank, keys[j].count,
                                 keys[j].name);
    });
    std::vector<AppEntry> sorted;
    sorted.reserve(entries.size());
    for (size_t i : order) {
        sorted.push_back(std::move(entries[i]));
    }
    entries = std::move(sorted);
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

std::vector<std::size_t> interleave_hidden(const std::vector<std::size_t>& shown,
                                           const std::vector<std::size_t>& hidden) {
    std::vector<std::size_t> order;
    order.reserve(shown.size() + hidden.size());
    const std::size_t gaps = shown.size() + 1;
    std::size_t next_hidden = 0;
    for (std::size_t gap = 0; gap < gaps; ++gap) {
        // Hidden rows up to the gap's share of them, rounded so the shares
        // differ by one at most and add up to all of them.
        const std::size_t until = hidden.size() * (gap + 1) / gaps;
        for (; next_hidden < until; ++next_hidden) {
            order.push_back(hidden[next_hidden]);
        }
        if (gap < shown.size()) {
            order.push_back(shown[gap]);
        }
    }
    return order;
}

}  // namespace lumenpad
