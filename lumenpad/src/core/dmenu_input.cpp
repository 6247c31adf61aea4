#include "lumenpad/dmenu_input.hpp"

#include "lumenpad-shared/text.hpp"

#include <unistd.h>

#include <array>
#include <cerrno>

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

DmenuText read_dmenu_text(int fd) {
    DmenuText out;
    std::string& text = out.text;
    std::array<char, 64 * 1024> buffer;
    bool ended = false;
    while (text.size() <= max_dmenu_bytes) {
        const ssize_t count = ::read(fd, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            ended = true;
            break;
        }
        text.append(buffer.data(), static_cast<std::size_t>(count));
    }
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
