// What config.toml may not hold even when it is valid UTF-8: text the TOML
// library cannot take safely. It recurses once per key part (a long dotted
// key overflows the stack) and misreads non-ASCII text outside strings.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace lumenpad {

inline constexpr std::size_t max_config_size = 1024 * 1024;

// Parts of one key path: a table header's, plus a key's, plus those of the
// keys of the inline tables and arrays that hold it.
inline constexpr std::size_t max_key_depth = 256;

// Why the text is refused and where: line and column from 1, the column
// counted in characters.
struct TomlRefusal {
    std::string description;
    std::size_t line = 1;
    std::size_t column = 1;
};

// Scans valid UTF-8 for what must not reach the TOML library: more than
// max_config_size bytes, a key path deeper than max_key_depth, or a non-ASCII
// character outside a string or a comment (TOML allows none there).
std::optional<TomlRefusal> refuse_unsafe_toml(std::string_view text);

}  // namespace lumenpad
