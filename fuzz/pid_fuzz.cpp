// The pid file's text, compared with a plain reading of the same rule:
// trimmed, an optional '+', then decimal digits up to 4294967295.
#include "fuzz_support.hpp"
#include "lumenpad/instance.hpp"

#include "lumenpad-shared/text.hpp"

#include <charconv>
#include <limits>

using lumenpad::fuzz::check;

namespace {

std::optional<std::uint32_t> plain_reading(std::string_view text) {
    if (!lumenpad::is_valid_utf8(text)) {
        return std::nullopt;
    }
    text = lumenpad::trim(text);
    if (text.starts_with('+')) {
        text.remove_prefix(1);
    }
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = lumenpad::fuzz::as_text(data, size);
    check(lumenpad::parse_pid(text) == plain_reading(text), "parse_pid agrees with from_chars");
    return 0;
}
