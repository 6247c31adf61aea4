#include "lumenpad/row_text.hpp"

namespace lumenpad {

namespace {

bool is_continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string_view shown_prefix(std::string_view text) {
    // Every character starts with a byte that is not a continuation byte; the
    // prefix ends before the one that would start a character too many.
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!is_continuation(text[i]) && ++characters > max_shown_characters) {
            return text.substr(0, i);
        }
    }
    return text;
}

RowTexts row_texts(const AppEntry& entry) {
    return {std::string(shown_prefix(shown_name(entry))),
            entry.startup_wm_class ? std::string(shown_prefix(*entry.startup_wm_class)) : std::string(),
            std::string(shown_prefix(entry.comment))};
}

}  // namespace lumenpad
