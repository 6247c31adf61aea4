#include "lumenpad/desktop_entry.hpp"

#include "lumenpad-shared/read_file.hpp"
#include "lumenpad-shared/text.hpp"

#include <unistd.h>

#include <array>
#include <cerrno>

namespace lumenpad {

namespace {

constexpr size_t read_buffer_size = 8 * 1024;

// The values of the kept keys as written, before the entry is decided on.
struct RawEntry {
    bool in_main_group = false;
    std::optional<std::string> name;
    std::optional<std::string> exec;
    std::optional<std::string> icon;
    std::optional<std::string> startup_wm_class;
    std::optional<std::string> type;
    bool no_display = false;
    bool hidden = false;
    bool terminal = false;
};

// Copies the value only the first time, so repeated keys cost nothing.
void keep_first(std::optional<std::string>& slot, std::string_view value) {
    if (!slot) {
        slot.emplace(value);
    }
}

enum class Key { other, name, exec, icon, startup_wm_class, type, no_display, hidden, terminal };

Key key_of(std::string_view key) {
    if (key == "Name") {
        return Key::name;
    }
    if (key == "Exec") {
        return Key::exec;
    }
    if (key == "Icon") {
        return Key::icon;
    }
    if (key == "StartupWMClass") {
        return Key::startup_wm_class;
    }
    if (key == "Type") {
        return Key::type;
    }
    if (key == "NoDisplay") {
        return Key::no_display;
    }
    if (key == "Hidden") {
        return Key::hidden;
    }
    if (key == "Terminal") {
        return Key::terminal;
    }
    return Key::other;
}

bool is_ascii_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Most lines (translations, comments, other keys) change nothing; this finds
// them without the cost of checking the encoding and trimming. It decides only
// lines that start, after ASCII blanks, with an ASCII character: all other
// white space is non-ASCII, so that character also starts the trimmed line.
bool is_inert(std::string_view line, bool in_main_group) {
    size_t start = 0;
    while (start < line.size() && is_ascii_space(line[start])) {
        ++start;
    }
    if (start == line.size()) {
        return true;
    }
    const char first = line[start];
    if (static_cast<unsigned char>(first) >= 0x80 || first == '[') {
        return false;
    }
    if (first == '#' || !in_main_group) {
        return true;
    }
    const size_t equals = line.find('=', start);
    return equals == std::string_view::npos || key_of(line.substr(start, equals - start)) == Key::other;
}

void read_line(std::string_view line, RawEntry& raw) {
    if (is_inert(line, raw.in_main_group) || !is_valid_utf8(line)) {
        return;
    }
    line = trim(line);
    if (line.empty() || line.front() == '#') {
        return;
    }
    if (line.front() == '[') {
        raw.in_main_group = line == "[Desktop Entry]";
        return;
    }
    if (!raw.in_main_group) {
        return;
    }
    // Keys are matched up to the first '=', so "Name =" and "Name[de]=" are
    // other keys, and the value keeps any blank after the '='.
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return;
    }
    const auto value = line.substr(equals + 1);
    switch (key_of(line.substr(0, equals))) {
        case Key::name:
            keep_first(raw.name, value);
            break;
        case Key::exec:
            keep_first(raw.exec, value);
            break;
        case Key::icon:
            keep_first(raw.icon, value);
            break;
        case Key::startup_wm_class:
            keep_first(raw.startup_wm_class, value);
            break;
        case Key::type:
            keep_first(raw.type, value);
            break;
        case Key::no_display:
            raw.no_display = value == "true";
            break;
        case Key::hidden:
            raw.hidden = value == "true";
            break;
        case Key::terminal:
            raw.terminal = value == "true" || value == "1";
            break;
        case Key::other:
            break;
    }
}

// A line ends at '\n', without a '\r' just before it.
void read_terminated_line(std::string_view line, RawEntry& raw) {
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    read_line(line, raw);
}

// Reads the file through one small buffer; lines longer than the buffer are
// gathered in `partial`. Any read error, or a file past max_file_size, counts
// as unreadable, so a special file that slipped through can't keep us reading.
std::optional<RawEntry> read_raw_entry(const std::string& path) {
    int error = 0;
    const UniqueFd fd = open_regular_file(path, error);
    if (!fd) {
        return std::nullopt;
    }
    RawEntry raw;
    std::array<char, read_buffer_size> buffer;
    std::string partial;
    size_t total = 0;
    while (true) {
        const ssize_t count = ::read(fd.get(), buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (count == 0) {
            break;
        }
        total += static_cast<size_t>(count);
        if (total > max_file_size) {
            return std::nullopt;
        }
        const std::string_view chunk(buffer.data(), static_cast<size_t>(count));
        size_t start = 0;
        for (size_t end = chunk.find('\n'); end != std::string_view::npos; end = chunk.find('\n', start)) {
            const auto piece = chunk.substr(start, end - start);
            if (partial.empty()) {
                read_terminated_line(piece, raw);
            } else {
                partial.append(piece);
                read_terminated_line(partial, raw);
                partial.clear();
            }
            start = end + 1;
        }
        partial.append(chunk.substr(start));
        // A regular file reads short only at its end: stop here rather than
        // pay for one more call that would return nothing.
        if (static_cast<size_t>(count) < buffer.size()) {
            break;
        }
    }
    if (!partial.empty()) {
        read_line(partial, raw);
    }
    return raw;
}

bool is_ascii_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string unescape_value(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c != '\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        switch (value[i + 1]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                out += c;
                out += value[i + 1];
                break;
        }
        ++i;
    }
    return out;
}

std::string strip_field_codes(std::string_view command) {
    std::string out;
    out.reserve(command.size());
    for (size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (c != '%' || i + 1 == command.size()) {
            out += c;
        } else if (is_ascii_letter(command[i + 1])) {
            ++i;
        } else if (command[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += '%';
        }
    }
    return out;
}

std::optional<AppEntry> parse_desktop_entry(const std::string& path) {
    const auto raw = read_raw_entry(path);
    if (!raw || raw->no_display || raw->hidden) {
        return std::nullopt;
    }
    if (raw->type != "Application" || !raw->name || !raw->exec) {
        return std::nullopt;
    }
    AppEntry entry;
    entry.name = trim(*raw->name);
    // The command line is the value with its string escapes undone, as every
    // program that reads the format sees it. Removing a code can leave blanks
    // at either end; hence the second trim.
    entry.exec = trim(strip_field_codes(trim(unescape_value(*raw->exec))));
    if (entry.name.empty() || entry.exec.empty()) {
        return std::nullopt;
    }
    if (raw->icon) {
        entry.icon = trim(*raw->icon);
    }
    if (raw->startup_wm_class) {
        const auto wm_class = trim(*raw->startup_wm_class);
        if (!wm_class.empty()) {
            entry.startup_wm_class.emplace(wm_class);
        }
    }
    entry.terminal = raw->terminal;
    return entry;
}

}  // namespace lumenpad
