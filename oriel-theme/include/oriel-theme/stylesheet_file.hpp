// Reading a stylesheet from a file (the shared theme file, a program's own
// style.css): one rule for all of them. GTK's CSS machinery takes time, and
// past a point stack, that grows with the rules, so a file past
// max_stylesheet_size counts as unreadable, like one that can't be read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace oriel {

inline constexpr std::size_t max_stylesheet_size = 1024 * 1024;

// The file's text when it is a regular file of valid UTF-8 of at most
// max_stylesheet_size bytes; nothing otherwise.
std::optional<std::string> read_stylesheet_file(const std::string& path);

}  // namespace oriel
