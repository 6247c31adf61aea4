#include "lumenpad/dmenu_input.hpp"

#include "lumenpad-shared/text.hpp"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace lumenpad {

bool for_each_dmenu_line(std::string_view text, std::size_t max_lines,
                         const std::function<void(std::string_view)>& line) {
    // Checked once for the whole text, the usual case, rather than per line.
    const bool valid = is_valid_utf8(text);
    std::size_t count = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view piece = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (piece.ends_with('\r')) {
            piece.remove_suffix(1);
        }
        if (piece.empty()) {
            continue;
        }
        if (count == max_lines) {
            return true;
        }
        ++count;
        if (valid || is_valid_utf8(piece)) {
            line(piece);
        } else {
            line(lossy_utf8(piece));
        }
    }
    return false;
}

void back_with_huge_pages(void* start, std::size_t size) {
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto first = (reinterpret_cast<std::uintptr_t>(start) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(start) + size) & ~(page - 1);
    if (end > first) {
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
}

DmenuText read_dmenu_text(int fd) {
    DmenuText out;
    std::string& text = out.text;
    // A file tells how much it holds; a pipe is read into a buffer that
    // doubles, from a size that a script's short menu does not pay for. One
    // byte more than the bound tells that the bound cut.
    constexpr std::size_t most = max_dmenu_bytes + 1;
    std::size_t size = 64 * 1024;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 0) {
        size = static_cast<std::size_t>(status.st_size) + 1;
    }
    std::size_t used = 0;
    bool ended = false;
    while (used < most) {
        if (used == text.size()) {
            const std::size_t grown = std::min(most, std::max(size, 2 * text.size()));
            text.reserve(grown);
            back_with_huge_pages(text.data(), text.capacity());
            text.resize(grown);
        }
        const ssize_t count = ::read(fd, text.data() + used, text.size() - used);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            ended = true;
            break;
        }
        used += static_cast<std::size_t>(count);
    }
    text.resize(used);
    if (!ended || text.size() > max_dmenu_bytes) {
        text.resize(std::min(text.size(), max_dmenu_bytes));
        const std::size_t last_end = text.rfind('\n');
        text.erase(last_end == std::string::npos ? 0 : last_end + 1);
        out.cut = true;
    }
    return out;
}

DmenuLines dmenu_lines(std::string_view text, std::size_t max_lines) {
    DmenuLines out;
    out.cut =
        for_each_dmenu_line(text, max_lines, [&](std::string_view line) { out.lines.emplace_back(line); });
    return out;
}

}  // namespace lumenpad
