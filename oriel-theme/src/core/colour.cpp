#include "oriel-theme/colour.hpp"

#include <array>
#include <charconv>
#include <cmath>

namespace oriel {

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// An unsigned base-16 number with an optional leading '+'; 0 when the window
// holds anything else.
std::uint8_t read_hex_byte(std::string_view window) {
    if (window.starts_with('+')) {
        window.remove_prefix(1);
    }
    if (window.empty()) {
        return 0;
    }
    int value = 0;
    for (char c : window) {
        const int digit = hex_digit(c);
        if (digit < 0) {
            return 0;
        }
        value = value * 16 + digit;
    }
    return static_cast<std::uint8_t>(value);
}

float linearise(std::uint8_t channel) {
    const float v = static_cast<float>(channel) / 255.0f;
    if (v <= 0.04045f) {
        return v / 12.92f;
    }
    return std::pow((v + 0.055f) / 1.055f, 2.4f);
}

}  // namespace

std::uint8_t channel_byte(std::string_view colour, int index) {
    const std::size_t first = colour.find_first_not_of('#');
    const std::string_view digits =
        first == std::string_view::npos ? std::string_view{} : colour.substr(first);
    const auto start = static_cast<std::size_t>(2 * index);
    // A window that cuts a multi-byte character holds a byte above 0x7f, which
    // is no digit, so it reads as 0 like any other window that is no number.
    if (digits.size() < start + 2) {
        return 0;
    }
    return read_hex_byte(digits.substr(start, 2));
}

float relative_luminance(std::string_view colour) {
    const float red = linearise(channel_byte(colour, 0));
    const float green = linearise(channel_byte(colour, 1));
    const float blue = linearise(channel_byte(colour, 2));
    return (red * 0.2126f + green * 0.7152f) + blue * 0.0722f;
}

std::string_view ink_for(std::string_view colour) {
    return relative_luminance(colour) > 0.179f ? dark_ink : light_ink;
}

std::string rgba_text(std::string_view colour, float alpha) {
    // Fixed notation in its shortest round-trip form never has an exponent
    // nor a trailing ".0", and std::to_chars ignores the locale.
    std::array<char, 64> buffer{};
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), alpha, std::chars_format::fixed);
    std::string text = "rgba(";
    text += std::to_string(channel_byte(colour, 0));
    text += ", ";
    text += std::to_string(channel_byte(colour, 1));
    text += ", ";
    text += std::to_string(channel_byte(colour, 2));
    text += ", ";
    text.append(buffer.data(), result.ptr);
    text += ')';
    return text;
}

}  // namespace oriel
