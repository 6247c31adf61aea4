// manifest.json.
#include "fuzz_support.hpp"
#include "lumenpad/manifest.hpp"

#include "lumenpad-shared/text.hpp"

using lumenpad::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto manifest = lumenpad::parse_manifest(lumenpad::fuzz::as_text(data, size));
    for (const auto& [name, path] : manifest) {
        check(lumenpad::is_valid_utf8(name) && lumenpad::is_valid_utf8(path), "names and paths are UTF-8");
    }
    return 0;
}
