#include "lumenpad/matching.hpp"

#include "lumenpad-shared/text.hpp"

#include <algorithm>

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

bool is_ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether the ASCII characters of `query` occur in order in `text`.
bool ascii_subsequence(std::string_view query, std::string_view text) {
    size_t at = 0;
    for (const char c : query) {
        at = text.find(c, at);
        if (at == std::string_view::npos) {
            return false;
        }
        ++at;
    }
    return true;
}

bool is_ascii_punctuation(char c) {
    return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
           (c >= '{' && c <= '~');
}

// The words of a text: runs of characters between white space and ASCII
// punctuation.
void add_words(std::string_view text, std::vector<std::string>& words) {
    size_t start = 0;
    const auto is_separator = [](char c) {
        return c == ' ' || (c >= '\t' && c <= '\r') || is_ascii_punctuation(c);
    };
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || is_separator(text[i])) {
            if (i > start) {
                words.emplace_back(text.substr(start, i - start));
            }
            start = i + 1;
        }
    }
}

}  // namespace

bool words_match(std::string_view lowered_query, const MatchKeys& keys) {
    return std::any_of(keys.words.begin(), keys.words.end(),
                       [&](const std::string& word) { return word.starts_with(lowered_query); });
}

MatchKeys name_keys(const AppEntry& entry) {
    return {lower(shown_name(entry)),
            entry.localised_name ? lower(entry.name) : std::string(),
            entry.startup_wm_class ? lower(*entry.startup_wm_class) : std::string(),
            {}};
}

void add_search_words(MatchKeys& keys, const std::vector<std::string>& generic_names,
                      const std::vector<std::string>& keywords) {
    for (const std::string& generic_name : generic_names) {
        add_words(lower(generic_name), keys.words);
    }
    for (const std::string& keyword : keywords) {
        keys.words.push_back(lower(keyword));
    }
}

MatchKeys match_keys(const AppEntry& entry) {
    MatchKeys keys = name_keys(entry);
    add_search_words(keys, entry.generic_names, entry.keywords);
    return keys;
}

MatchKeys line_keys(std::string_view name) {
    return {lower(name), {}, {}, {}};
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
    // The unlocalised name is a second name, for the same tiers.
    const std::string_view alias = keys.alias;
    const std::string_view wm_class = keys.wm_class;
    const bool aliased = !alias.empty();
    if (name == lowered_query || (aliased && alias == lowered_query) || wm_class == lowered_query) {
        return 0;
    }
    if (starts_with(name, lowered_query) || (aliased && starts_with(alias, lowered_query))) {
        return 1;
    }
    if (name.find(lowered_query) != std::string_view::npos ||
        (aliased && alias.find(lowered_query) != std::string_view::npos)) {
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
    // For a query of ASCII letters the lowered keys serve: the first
    // character of a character's lower-case mapping is its fold, and only
    // those first characters can be ASCII.
    const bool keyed = is_ascii(lowered_query);
    const auto in = [&](std::string_view lowered_field, std::string_view field) {
        return keyed ? ascii_subsequence(lowered_query, lowered_field) : fuzzy_subsequence(query, field);
    };
    if (in(keys.name, shown_name(entry)) || (entry.localised_name && in(keys.alias, entry.name)) ||
        (entry.startup_wm_class && in(keys.wm_class, *entry.startup_wm_class)) ||
        fuzzy_subsequence(query, entry.exec)) {
        return subsequence_tier;
    }
    if (words_match(lowered_query, keys)) {
        return keyword_tier;
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
        visible.push_back(tier && shown_beside(*tier, strong));
    }
    return visible;
}

}  // namespace lumenpad
