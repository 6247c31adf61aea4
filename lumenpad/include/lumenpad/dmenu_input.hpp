// The choices of dmenu mode: the lines of standard input, read to its end
// within bounds.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumenpad {

inline constexpr std::size_t max_dmenu_bytes = 16 * 1024 * 1024;
inline constexpr std::size_t max_dmenu_lines = 100'000;

// Calls `line` with each line of `text` in order, without its line end ("\n",
// or "\r\n"), empty ones left out, ill-formed UTF-8 replaced by U+FFFD; at
// most max_lines of them. Returns whether lines were left out.
bool for_each_dmenu_line(std::string_view text, std::size_t max_lines,
                         const std::function<void(std::string_view)>& line);

struct DmenuText {
    std::string text;
    // Whether the byte bound cut it.
    bool cut = false;
};

// Reads `fd` to its end, or to max_dmenu_bytes; a line that the byte bound
// cuts is left out.
DmenuText read_dmenu_text(int fd);

// Asks the kernel to back the whole pages of [start, start + size) with huge
// pages where it lends them: a long list fills tens of MiB at once, and a
// few page faults cost less than thousands.
void back_with_huge_pages(void* start, std::size_t size);

struct DmenuLines {
    std::vector<std::string> lines;
    // Whether lines past the bounds were left out.
    bool cut = false;
};

// The lines of `text` by for_each_dmenu_line.
DmenuLines dmenu_lines(std::string_view text, std::size_t max_lines = max_dmenu_lines);

}  // namespace lumenpad
