#include "lumenpad/unit_name.hpp"

namespace lumenpad {

namespace {

constexpr char hex_digits[] = "0123456789abcdef";

bool kept(char c, bool first) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '_' || (c == '.' && !first);
}

}  // namespace

std::string systemd_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '/') {
            out += '-';
        } else if (kept(c, i == 0)) {
            out += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out += "\\x";
            out += hex_digits[byte >> 4];
            out += hex_digits[byte & 0xf];
        }
    }
    return out;
}

std::string scope_unit_name(std::string_view desktop_id, std::uint64_t random) {
    std::string name = "app-lumenpad-" + systemd_escape(desktop_id) + "-";
    for (int shift = 60; shift >= 0; shift -= 4) {
        name += hex_digits[(random >> shift) & 0xf];
    }
    return name + ".scope";
}

}  // namespace lumenpad
