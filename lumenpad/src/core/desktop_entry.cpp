#include "desktop_entry.hpp"

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

void read_line(std::string_view line, RawEntry& raw) {
    if (!is_valid_utf8(line)) {
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
    const auto key = line.substr(0, equals);
    const auto value = line.substr(equals + 1);
    if (key == "Name") {
        keep_first(raw.name, value);
    } else if (key == "Exec") {
        keep_first(raw.exec, value);
    } else if (key == "Icon") {
        keep_first(raw.icon, value);
    } else if (key == "StartupWMClass") {
        keep_first(raw.startup_wm_class, value);
    } else if (key == "Type") {
        keep_first(raw.type, value);
    } else if (key == "NoDisplay") {
        raw.no_display = value == "true";
    } else if (key == "Hidden") {
        raw.hidden = value == "true";
    } else if (key == "Terminal") {
        raw.terminal = value == "true" || value == "1";
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
    // Removing a code can leave blanks at either end; hence the second trim.
    entry.exec = trim(strip_field_codes(trim(*raw->exec)));
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
