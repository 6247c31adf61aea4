// A desktop-entry file read through the real reader, from a file, in the C
// locale and in a localised one, and again behind a comment line that moves
// every line across the read buffer's boundaries: both readings must give the
// same entry. The texts a row shows of it, and of the input taken as one
// name (a dmenu line), keep within their bounds.
#include "fuzz_support.hpp"
#include "lumenpad/catalogue.hpp"
#include "lumenpad/desktop_entry.hpp"
#include "lumenpad/desktop_locale.hpp"
#include "lumenpad/row_text.hpp"

#include "lumenpad-shared/text.hpp"

#include <algorithm>

namespace {

using lumenpad::fuzz::check;

const std::vector<std::string> no_locale;
const std::vector<std::string> serbian = lumenpad::locale_suffixes("sr_RS.UTF-8@latin");

std::optional<lumenpad::AppEntry> parse(std::string_view content, const std::vector<std::string>& suffixes) {
    return lumenpad::parse_desktop_entry(lumenpad::fuzz::memory_file(content), suffixes);
}

bool well_formed(std::string_view text) {
    return lumenpad::is_valid_utf8(text) && lumenpad::trim(text) == text;
}

bool all_well_formed(const std::vector<std::string>& texts) {
    return std::all_of(texts.begin(), texts.end(),
                       [](const std::string& text) { return !text.empty() && well_formed(text); });
}

std::size_t characters(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// A shown text is a prefix of the whole of at most the bound's characters,
// never cut inside a character, and all of it when the whole is within the
// bound.
void check_shown(std::string_view shown, std::string_view whole) {
    check(whole.substr(0, shown.size()) == shown, "a row shows a prefix of the text");
    check(characters(shown) <= lumenpad::max_shown_characters, "a row shows at most 1,024 characters");
    check(shown.size() <= 4 * lumenpad::max_shown_characters, "a row shows at most 4 KiB");
    check(shown.size() == whole.size() || (whole[shown.size()] & 0xC0) != 0x80,
          "a row's text never ends inside a character");
    check(characters(whole) > lumenpad::max_shown_characters || shown.size() == whole.size(),
          "a text within the bound is shown whole");
    check(!lumenpad::is_valid_utf8(whole) || lumenpad::is_valid_utf8(shown), "UTF-8 stays UTF-8");
}

// The application's row and its actions' rows.
void check_rows(const lumenpad::AppEntry& entry) {
    for (const lumenpad::AppEntry& row : lumenpad::with_action_rows({entry})) {
        const lumenpad::RowTexts texts = lumenpad::row_texts(row);
        check_shown(texts.name, lumenpad::shown_name(row));
        check_shown(texts.wm_class, row.startup_wm_class.value_or(""));
        check_shown(texts.comment, row.comment);
    }
}

void check_entry(const std::optional<lumenpad::AppEntry>& entry) {
    if (!entry) {
        return;
    }
    check_rows(*entry);
    check(entry->keywords.size() <= 256, "at most 256 keywords are kept");
    check(!entry->name.empty() && !entry->exec.empty(), "name and command are never empty");
    check(well_formed(entry->name) && well_formed(entry->exec) && well_formed(entry->icon),
          "name, command and icon are trimmed UTF-8");
    check(!entry->startup_wm_class ||
              (!entry->startup_wm_class->empty() && well_formed(*entry->startup_wm_class)),
          "a window class is trimmed, non-empty UTF-8");
    check(!entry->icon_path, "the reader sets no icon path");
    check(!entry->localised_name || (!entry->localised_name->empty() && well_formed(*entry->localised_name) &&
                                     *entry->localised_name != entry->name),
          "a localised name is trimmed, non-empty UTF-8 of its own");
    check(all_well_formed(entry->generic_names) && all_well_formed(entry->keywords),
          "generic names and keywords are trimmed, non-empty UTF-8");
    for (const auto& action : entry->actions) {
        check(!action.name.empty() && well_formed(action.name) && !action.exec.empty() &&
                  well_formed(action.exec),
              "an action has a trimmed name and command");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto content = lumenpad::fuzz::as_text(data, size);
    check_shown(lumenpad::shown_prefix(content), content);
    // A comment line changes nothing, wherever the buffer's edges then fall.
    const std::size_t shift = 1 + (size * 2654435761U) % 8192;
    const std::string shifted = "#" + std::string(shift - 1, 'x') + "\n" + std::string(content);
    for (const auto* suffixes : {&no_locale, &serbian}) {
        const auto entry = parse(content, *suffixes);
        check_entry(entry);
        check(parse(shifted, *suffixes) == entry, "a leading comment line changes nothing");
    }
    return 0;
}
