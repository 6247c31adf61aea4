// A desktop-entry file read through the real reader, from a file, in the C
// locale and in a localised one, and again behind a comment line that moves
// every line across the read buffer's boundaries: both readings must give the
// same entry.
#include "fuzz_support.hpp"
#include "lumenpad/desktop_entry.hpp"
#include "lumenpad/desktop_locale.hpp"

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

void check_entry(const std::optional<lumenpad::AppEntry>& entry) {
    if (!entry) {
        return;
    }
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
