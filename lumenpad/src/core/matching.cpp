#include "lumenpad/matching.hpp"

#include "lumenpad-shared/text.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace lumenpad {

namespace {

// The first character of c's lower-case mapping. Only U+0130 has a full
// mapping longer than one character, and its first character is the simple
// mapping, so the simple mapping serves.
UChar32 fold(UChar32 c) {
    if (c < 0x80) {
        return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
    }
    return u_tolower(c);
}

UChar32 next_char(std::string_view s, int32_t& i) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(s.data());
    UChar32 c;
    U8_NEXT(bytes, i, static_cast<int32_t>(s.size()), c);
    return c;
}

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

MatchKeys match_keys(const AppEntry& entry) {
    return {lower(entry.name), entry.startup_wm_class ? lower(*entry.startup_wm_class) : std::string()};
}

std::vector<MatchKeys> catalogue_keys(const std::vector<AppEntry>& entries) {
    std::vector<MatchKeys> keys;
    keys.reserve(entries.size());
    for (const AppEntry& entry : entries) {
        keys.push_back(match_keys(entry));
    }
    return keys;
}

bool fuzzy_subsequence(std::string_view query, std::string_view field) {
    int32_t q = 0;
    int32_t p = 0;
    const auto query_length = static_cast<int32_t>(query.size());
    const auto field_length = static_cast<int32_t>(field.size());
    while (q < query_length) {
        const UChar32 wanted = fold(next_char(query, q));
        while (true) {
            if (p >= field_length) {
                return false;
            }
            if (fold(next_char(field, p)) == wanted) {
                break;
            }
        }
    }
    return true;
}

MatchTier sort_tier(std::string_view lowered_query, const MatchKeys& keys) {
    const std::string_view name = keys.name;
    const std::string_view wm_class = keys.wm_class;
    if (name == lowered_query || wm_class == lowered_query) {
        return 0;
    }
    if (starts_with(name, lowered_query)) {
        return 1;
    }
    if (name.find(lowered_query) != std::string_view::npos) {
        return 2;
    }
    if (wm_class.find(lowered_query) != std::string_view::npos) {
        return 3;
    }
    return subsequence_tier;
}

MatchTier sort_tier(std::string_view query, const AppEntry& entry) {
    return sort_tier(lower(query), match_keys(entry));
}

std::optional<MatchTier> match_tier(std::string_view query, std::string_view lowered_query,
                                    const AppEntry& entry, const MatchKeys& keys) {
    if (query.empty()) {
        return 0;
    }
    const MatchTier tier = sort_tier(lowered_query, keys);
    if (tier < subsequence_tier) {
        return tier;
    }
    if (fuzzy_subsequence(query, entry.name) ||
        (entry.startup_wm_class && fuzzy_subsequence(query, *entry.startup_wm_class)) ||
        fuzzy_subsequence(query, entry.exec)) {
        return subsequence_tier;
    }
    return std::nullopt;
}

std::optional<MatchTier> match_tier(std::string_view query, const AppEntry& entry) {
    return match_tier(query, lower(query), entry, match_keys(entry));
}

std::vector<bool> visible_rows(const std::vector<std::optional<MatchTier>>& tiers) {
    bool strong = false;
    for (const auto& tier : tiers) {
        strong = strong || (tier && *tier < first_weak_tier);
    }
    std::vector<bool> visible;
    visible.reserve(tiers.size());
    for (const auto& tier : tiers) {
        visible.push_back(tier && (*tier != subsequence_tier || !strong));
    }
    return visible;
}

}  // namespace lumenpad
