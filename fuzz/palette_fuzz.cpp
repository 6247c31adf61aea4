// wal's colors.json, and both stylesheets built from the palette it gives.
#include "fuzz_support.hpp"
#include "lumenpad/launcher_stylesheet.hpp"

#include "oriel-theme/palette.hpp"
#include "oriel-theme/stylesheet.hpp"

using lumenpad::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto palette = oriel::parse_wal_colors(lumenpad::fuzz::as_text(data, size));
    if (palette) {
        // The shared stylesheet takes the texts in unchanged; the launcher's
        // reads colours from them too, whatever they hold.
        const std::string shared = oriel::generate_stylesheet(*palette);
        check(shared.find(palette->color4) != std::string::npos, "the accent is in the shared stylesheet");
        check(!lumenpad::launcher_stylesheet(*palette).empty(), "the launcher stylesheet is built");
    }
    return 0;
}
