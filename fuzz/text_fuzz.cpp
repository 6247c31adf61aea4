// The shared text rules, each held against another implementation: UTF-8
// checks against GLib's, trimming against ICU's White_Space property,
// lower-casing against GLib's for ASCII and ICU's UTF-16 path otherwise.
#include "fuzz_support.hpp"

#include "lumenpad-shared/text.hpp"

#include <glib.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>

using lumenpad::fuzz::check;

namespace {

UChar32 first_code_point(std::string_view text) {
    int32_t i = 0;
    UChar32 c = 0;
    U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), i, static_cast<int32_t>(text.size()), c);
    return c;
}

UChar32 last_code_point(std::string_view text) {
    auto i = static_cast<int32_t>(text.size());
    UChar32 c = 0;
    U8_PREV(reinterpret_cast<const uint8_t*>(text.data()), 0, i, c);
    return c;
}

bool all_white_space(std::string_view text) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(s, i, length, c);
        if (!u_hasBinaryProperty(c, UCHAR_WHITE_SPACE)) {
            return false;
        }
    }
    return true;
}

void check_trim(std::string_view text) {
    const std::string_view trimmed = lumenpad::trim(text);
    check(trimmed.data() >= text.data() && trimmed.data() + trimmed.size() <= text.data() + text.size(),
          "trimming gives a part of the text");
    check(lumenpad::trim(trimmed) == trimmed, "trimming twice changes nothing more");
    const auto head = text.substr(0, static_cast<std::size_t>(trimmed.data() - text.data()));
    const auto tail = text.substr(head.size() + trimmed.size());
    check(all_white_space(head) && all_white_space(tail), "only White_Space is trimmed");
    if (!trimmed.empty()) {
        check(!u_hasBinaryProperty(first_code_point(trimmed), UCHAR_WHITE_SPACE) &&
                  !u_hasBinaryProperty(last_code_point(trimmed), UCHAR_WHITE_SPACE),
              "all White_Space is trimmed");
    }
}

void check_lower(std::string_view text) {
    const std::string lowered = lumenpad::lower(text);
    check(lumenpad::is_valid_utf8(lowered), "lower-casing keeps UTF-8 valid");
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        std::string glib(text);
        for (char& c : glib) {
            c = g_ascii_tolower(c);
        }
        check(lowered == glib, "ASCII lower-casing agrees with GLib");
    }
    auto utf16 =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    std::string icu;
    utf16.toLower(icu::Locale::getRoot()).toUTF8String(icu);
    check(lowered == icu, "lower-casing agrees with ICU's UTF-16 mapping");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = lumenpad::fuzz::as_text(data, size);
    // GLib refuses every NUL byte, which is valid UTF-8: compare without them.
    std::string text(bytes);
    std::replace(text.begin(), text.end(), '\0', ' ');
    const bool valid = lumenpad::is_valid_utf8(text);
    check(valid == static_cast<bool>(g_utf8_validate_len(text.data(), text.size(), nullptr)),
          "UTF-8 check agrees with GLib");
    check(lumenpad::is_valid_utf8(bytes) == valid, "a NUL byte is valid UTF-8");

    const std::string lossy = lumenpad::lossy_utf8(bytes);
    check(lumenpad::is_valid_utf8(lossy), "the lossy copy is valid UTF-8");
    check(!lumenpad::is_valid_utf8(bytes) || lossy == bytes, "valid text is copied unchanged");

    if (lumenpad::is_valid_utf8(bytes)) {
        check_trim(bytes);
        check_lower(bytes);
    }
    return 0;
}
