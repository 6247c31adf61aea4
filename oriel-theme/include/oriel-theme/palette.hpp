// The family's ten colour texts, taken from the colour scheme that the wal
// tool leaves in the user's cache directory, with a fixed dark palette for the
// whole file or any colour it lacks. Texts are passed on exactly as found.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace oriel {

struct Palette {
    std::string background;
    std::string foreground;
    std::string color0;
    std::string color1;
    std::string color2;
    std::string color3;
    std::string color4;
    std::string color5;
    std::string color6;
    std::string color7;

    bool operator==(const Palette&) const = default;
};

Palette default_palette();

// The home variable when set and non-empty (any bytes), else the password
// database's entry for the real user id.
std::optional<std::string> user_home_dir();

// The cache variable when it is an absolute path (any bytes), else the home
// directory joined with ".cache".
std::optional<std::string> user_cache_dir();

// A wal colors.json document with defaults filled in; nothing when the
// document is invalid (one bad member anywhere rejects it whole).
std::optional<Palette> parse_wal_colors(std::string_view text);

// The palette from wal/colors.json in the user's cache directory, read anew on
// every call; the default palette when the file can't be used.
Palette load_palette();

}  // namespace oriel
