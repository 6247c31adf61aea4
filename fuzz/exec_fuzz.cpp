// The two rewrites of an Exec value: undoing string escapes and removing
// field codes.
#include "fuzz_support.hpp"
#include "lumenpad/desktop_entry.hpp"

#include "lumenpad-shared/text.hpp"

using lumenpad::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto value = lumenpad::fuzz::as_text(data, size);
    const bool valid = lumenpad::is_valid_utf8(value);

    const std::string unescaped = lumenpad::unescape_value(value);
    check(unescaped.size() <= value.size(), "unescaping never lengthens");
    check(value.find('\\') != std::string_view::npos || unescaped == value, "no backslash, no change");
    check(!valid || lumenpad::is_valid_utf8(unescaped), "unescaping keeps UTF-8 valid");

    const std::string stripped = lumenpad::strip_field_codes(value);
    check(stripped.size() <= value.size(), "stripping never lengthens");
    check(value.find('%') != std::string_view::npos || stripped == value, "no '%', no change");
    check(!valid || lumenpad::is_valid_utf8(stripped), "stripping keeps UTF-8 valid");
    return 0;
}
