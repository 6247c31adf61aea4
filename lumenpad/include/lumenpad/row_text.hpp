// What a row lays out of an entry's texts: at most their first
// max_shown_characters characters, so that no name, window class or line,
// however long, costs more than a row's worth of layout. Matching, launching,
// counting and printing use the whole values.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <cstddef>
#include <string>
#include <string_view>

namespace lumenpad {

// Far more than the panel's column shows before it ellipsizes.
inline constexpr std::size_t max_shown_characters = 1024;

// The longest prefix of `text` of at most max_shown_characters characters;
// it never ends inside a UTF-8 sequence.
std::string_view shown_prefix(std::string_view text);

// The texts a row shows of an entry: its shown name, its window class (empty
// without one) and its comment (for screen readers), each bounded by
// shown_prefix.
struct RowTexts {
    std::string name;
    std::string wm_class;
    std::string comment;
};
RowTexts row_texts(const AppEntry& entry);

}  // namespace lumenpad
