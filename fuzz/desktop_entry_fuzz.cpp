// A desktop-entry file read through the real reader, from a file, and again
// behind a comment line that moves every line across the read buffer's
// boundaries: both readings must give the same entry.
#include "fuzz_support.hpp"
#include "lumenpad/desktop_entry.hpp"

#include "lumenpad-shared/text.hpp"

namespace {

using lumenpad::fuzz::check;

std::optional<lumenpad::AppEntry> parse(std::string_view content) {
    return lumenpad::parse_desktop_entry(lumenpad::fuzz::memory_file(content));
}

bool well_formed(std::string_view text) {
    return lumenpad::is_valid_utf8(text) && lumenpad::trim(text) == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto content = lumenpad::fuzz::as_text(data, size);
    const auto entry = parse(content);
    if (entry) {
        check(!entry->name.empty() && !entry->exec.empty(), "name and command are never empty");
        check(well_formed(entry->name) && well_formed(entry->exec) && well_formed(entry->icon),
              "name, command and icon are trimmed UTF-8");
        check(!entry->startup_wm_class ||
                  (!entry->startup_wm_class->empty() && well_formed(*entry->startup_wm_class)),
              "a window class is trimmed, non-empty UTF-8");
        check(!entry->icon_path, "the reader sets no icon path");
    }
    // A comment line changes nothing, wherever the buffer's edges then fall.
    const std::size_t shift = 1 + (size * 2654435761U) % 8192;
    const auto shifted = parse("#" + std::string(shift - 1, 'x') + "\n" + std::string(content));
    check(shifted == entry, "a leading comment line changes nothing");
    return 0;
}
