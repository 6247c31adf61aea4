// Colour arithmetic on palette texts read as "#rrggbb": channels, relative
// luminance, the legible ink on a colour and its "rgba(" form. Nothing here
// fails: whatever cannot be read counts as a zero channel.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace oriel {

inline constexpr std::string_view dark_ink = "#11111b";
inline constexpr std::string_view light_ink = "#f5f5f5";

// Channel 0 (red), 1 (green) or 2 (blue) of a colour text, after any number
// of leading '#'.
std::uint8_t channel_byte(std::string_view colour, int index);

// Relative luminance from 0 to 1, in single precision.
float relative_luminance(std::string_view colour);

// The dark ink on colours brighter than 0.179, else the light ink.
std::string_view ink_for(std::string_view colour);

// "rgba(r, g, b, alpha)" with the alpha as the shortest decimal that reads back
// as the same float, never in exponent form and independent of the locale.
std::string rgba_text(std::string_view colour, float alpha);

}  // namespace oriel
