#include "lumenpad/desktop_entry.hpp"

#include "lumenpad-shared/read_file.hpp"
#include "lumenpad-shared/text.hpp"
#include "lumenpad/desktop_locale.hpp"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace lumenpad {

namespace {

constexpr size_t read_buffer_size = 8 * 1024;

// Far more than any application offers; the rest of a file's actions are
// left out.
constexpr size_t max_actions = 64;

// The same for keywords: the rest are ignored, so that keeping them unique
// costs at most this much per keyword read.
constexpr size_t max_keywords = 256;

// A key that may carry a locale: the plain value and the best localised
// one, with the rank of its locale.
struct Localisable {
    std::optional<std::string> plain;
    std::optional<std::string> localised;
    size_t rank = std::string_view::npos;
};

// The first plain value counts, and of the localised ones the first of the
// best locale.
void keep(Localisable& slot, std::string_view value, size_t rank) {
    if (rank == std::string_view::npos) {
        if (!slot.plain) {
            slot.plain.emplace(value);
        }
    } else if (rank < slot.rank) {
        slot.localised.emplace(value);
        slot.rank = rank;
    }
}

const std::optional<std::string>& best(const Localisable& slot) {
    return slot.localised ? slot.localised : slot.plain;
}

struct RawAction {
    std::string id;
    Localisable name;
    std::optional<std::string> exec;
};

enum class Group { none, main, action };

// The values of the kept keys as written, before the entry is decided on.
struct RawEntry {
    Group group = Group::none;
    // The action group being read, while group is action.
    size_t action = 0;
    Localisable name;
    Localisable generic_name;
    Localisable comment;
    Localisable keywords;
    std::optional<std::string> exec;
    std::optional<std::string> icon;
    std::optional<std::string> startup_wm_class;
    std::optional<std::string> type;
    std::optional<std::string> actions;
    bool no_display = false;
    bool hidden = false;
    bool terminal = false;
    std::vector<RawAction> action_groups;
};

// Copies the value only the first time, so repeated keys cost nothing.
void keep_first(std::optional<std::string>& slot, std::string_view value) {
    if (!slot) {
        slot.emplace(value);
    }
}

enum class Key {
    other,
    name,
    generic_name,
    comment,
    keywords,
    exec,
    icon,
    startup_wm_class,
    type,
    actions,
    no_display,
    hidden,
    terminal
};

Key key_of(std::string_view name) {
    // Most keys of a file are none of ours; their first letter tells.
    switch (name.empty() ? '\0' : name.front()) {
        case 'N':
        case 'G':
        case 'C':
        case 'K':
        case 'E':
        case 'I':
        case 'S':
        case 'T':
        case 'A':
        case 'H':
            break;
        default:
            return Key::other;
    }
    static constexpr std::pair<std::string_view, Key> keys[] = {
        {"Name", Key::name},
        {"GenericName", Key::generic_name},
        {"Comment", Key::comment},
        {"Keywords", Key::keywords},
        {"Exec", Key::exec},
        {"Icon", Key::icon},
        {"StartupWMClass", Key::startup_wm_class},
        {"Type", Key::type},
        {"Actions", Key::actions},
        {"NoDisplay", Key::no_display},
        {"Hidden", Key::hidden},
        {"Terminal", Key::terminal},
    };
    for (const auto& [text, key] : keys) {
        if (text == name) {
            return key;
        }
    }
    return Key::other;
}

bool is_localisable(Key key) {
    return key == Key::name || key == Key::generic_name || key == Key::comment || key == Key::keywords;
}

// Whether a group reads `key`: the main group all of them, an action group
// its name and command line.
bool reads(Group group, Key key) {
    return group == Group::main ? key != Key::other
                                : group == Group::action && (key == Key::name || key == Key::exec);
}

// "Key=" or "Key[locale]=": the key and its locale's rank (npos without a
// locale); other, for a locale that is not the user's, or a key that is not
// one the group reads.
struct LineKey {
    Key key = Key::other;
    size_t rank = std::string_view::npos;
};

LineKey line_key(std::string_view key, Group group, const std::vector<std::string>& suffixes) {
    LineKey result;
    if (const size_t open = key.find('['); open != std::string_view::npos) {
        // Without a locale, the usual case of most lines: nothing to look up.
        if (suffixes.empty() || key.back() != ']') {
            return {};
        }
        result.key = key_of(key.substr(0, open));
        result.rank = suffix_rank(suffixes, key.substr(open + 1, key.size() - open - 2));
        if (!is_localisable(result.key) || result.rank == std::string_view::npos) {
            return {};
        }
    } else {
        result.key = key_of(key);
    }
    if (!reads(group, result.key)) {
        return {};
    }
    return result;
}

bool is_ascii_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Most lines (other languages, comments, other keys) change nothing; this
// finds them without the cost of checking the encoding and trimming. It
// decides only lines that start, after ASCII blanks, with an ASCII character:
// all other white space is non-ASCII, so that character also starts the
// trimmed line.
bool is_inert(std::string_view line, Group group, const std::vector<std::string>& suffixes) {
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
    if (first == '#' || group == Group::none) {
        return true;
    }
    const size_t equals = line.find('=', start);
    return equals == std::string_view::npos ||
           line_key(line.substr(start, equals - start), group, suffixes).key == Key::other;
}

void open_group(std::string_view header, RawEntry& raw) {
    static constexpr std::string_view action_prefix = "[Desktop Action ";
    if (header == "[Desktop Entry]") {
        raw.group = Group::main;
        return;
    }
    raw.group = Group::none;
    if (!header.starts_with(action_prefix) || !header.ends_with(']')) {
        return;
    }
    const auto id = header.substr(action_prefix.size(), header.size() - action_prefix.size() - 1);
    for (size_t i = 0; i < raw.action_groups.size(); ++i) {
        if (raw.action_groups[i].id == id) {
            raw.group = Group::action;
            raw.action = i;
            return;
        }
    }
    if (raw.action_groups.size() < max_actions) {
        raw.action_groups.push_back({std::string(id), {}, {}});
        raw.group = Group::action;
        raw.action = raw.action_groups.size() - 1;
    }
}

void read_action_line(const LineKey& key, std::string_view value, RawAction& action) {
    if (key.key == Key::name) {
        keep(action.name, value, key.rank);
    } else if (key.key == Key::exec) {
        keep_first(action.exec, value);
    }
}

void read_line(std::string_view line, RawEntry& raw, const std::vector<std::string>& suffixes) {
    if (is_inert(line, raw.group, suffixes) || !is_valid_utf8(line)) {
        return;
    }
    line = trim(line);
    if (line.empty() || line.front() == '#') {
        return;
    }
    if (line.front() == '[') {
        open_group(line, raw);
        return;
    }
    // Keys are matched up to the first '=', so "Name =" is another key, and
    // the value keeps any blank after the '='.
    const size_t equals = line.find('=');
    if (raw.group == Group::none || equals == std::string_view::npos) {
        return;
    }
    const LineKey key = line_key(line.substr(0, equals), raw.group, suffixes);
    const auto value = line.substr(equals + 1);
    if (raw.group == Group::action) {
        read_action_line(key, value, raw.action_groups[raw.action]);
        return;
    }
    switch (key.key) {
        case Key::name:
            keep(raw.name, value, key.rank);
            break;
        case Key::generic_name:
            keep(raw.generic_name, value, key.rank);
            break;
        case Key::comment:
            keep(raw.comment, value, key.rank);
            break;
        case Key::keywords:
            keep(raw.keywords, value, key.rank);
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
        case Key::actions:
            keep_first(raw.actions, value);
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
void read_terminated_line(std::string_view line, RawEntry& raw, const std::vector<std::string>& suffixes) {
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    read_line(line, raw, suffixes);
}

// Reads the file through one small buffer; lines longer than the buffer are
// gathered in `partial`. Any read error, or a file past max_file_size, counts
// as unreadable, so a special file that slipped through can't keep us reading.
std::optional<RawEntry> read_raw_entry(const std::string& path, const std::vector<std::string>& suffixes) {
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
                read_terminated_line(piece, raw, suffixes);
            } else {
                partial.append(piece);
                read_terminated_line(partial, raw, suffixes);
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
        read_line(partial, raw, suffixes);
    }
    return raw;
}

// A string value as every reader of the format sees it: escapes undone,
// white space trimmed.
std::string string_value(std::string_view value) {
    return std::string(trim(unescape_value(value)));
}

// An optional text value, trimmed; nothing when it is empty.
std::optional<std::string> text_value(const std::optional<std::string>& value) {
    if (!value) {
        return std::nullopt;
    }
    std::string text(trim(*value));
    return text.empty() ? std::nullopt : std::optional(std::move(text));
}

// The command line of an Exec value: escapes undone, field codes removed.
// Removing a code can leave blanks at either end; hence the second trim.
std::string command_value(std::string_view value) {
    return std::string(trim(strip_field_codes(trim(unescape_value(value)))));
}

// The localised name where it is one of its own.
std::optional<std::string> localised_name(const Localisable& name, const std::string& plain) {
    auto localised = text_value(name.localised);
    return localised && *localised != plain ? localised : std::nullopt;
}

// The actions that the Actions key names, in its order, each with a name
// and a command line.
std::vector<DesktopAction> named_actions(const RawEntry& raw) {
    std::vector<DesktopAction> actions;
    if (!raw.actions) {
        return actions;
    }
    std::vector<std::string> named;
    for (std::string& id : split_list(*raw.actions)) {
        const auto group = std::find_if(raw.action_groups.begin(), raw.action_groups.end(),
                                        [&](const RawAction& action) { return action.id == id; });
        if (group == raw.action_groups.end() || std::find(named.begin(), named.end(), id) != named.end()) {
            continue;
        }
        named.push_back(std::move(id));
        DesktopAction action;
        action.key = group->id;
        action.name = text_value(group->name.plain).value_or("");
        action.exec = group->exec ? command_value(*group->exec) : std::string();
        if (action.name.empty() || action.exec.empty()) {
            continue;
        }
        action.localised_name = localised_name(group->name, action.name);
        actions.push_back(std::move(action));
    }
    return actions;
}

bool is_ascii_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string unescape_value(std::string_view value) {
    // Most values have no escape at all.
    if (value.find('\\') == std::string_view::npos) {
        return std::string(value);
    }
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

std::vector<std::string> split_list(std::string_view value) {
    std::vector<std::string> items;
    if (value.find('\\') == std::string_view::npos) {
        // Without escapes the items lie between the ';'s as they are.
        for (size_t start = 0; start <= value.size();) {
            const size_t end = std::min(value.find(';', start), value.size());
            const std::string_view item = trim(value.substr(start, end - start));
            if (!item.empty()) {
                items.emplace_back(item);
            }
            start = end + 1;
        }
        return items;
    }
    std::string item;
    const auto finish = [&] {
        std::string text = string_value(item);
        if (!text.empty()) {
            items.push_back(std::move(text));
        }
        item.clear();
    };
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            // "\;" is a ';' of the item; other escapes are undone with it.
            if (value[i + 1] != ';') {
                item += '\\';
            }
            item += value[++i];
        } else if (value[i] == ';') {
            finish();
        } else {
            item += value[i];
        }
    }
    finish();
    return items;
}

std::optional<AppEntry> parse_desktop_entry(const std::string& path) {
    return parse_desktop_entry(path, locale_suffixes(messages_locale()));
}

std::optional<AppEntry> parse_desktop_entry(const std::string& path,
                                            const std::vector<std::string>& suffixes) {
    const auto raw = read_raw_entry(path, suffixes);
    if (!raw || raw->no_display || raw->hidden) {
        return std::nullopt;
    }
    if (raw->type != "Application" || !raw->name.plain || !raw->exec) {
        return std::nullopt;
    }
    AppEntry entry;
    entry.name = trim(*raw->name.plain);
    // The command line is the value with its string escapes undone, as every
    // program that reads the format sees it.
    entry.exec = command_value(*raw->exec);
    if (entry.name.empty() || entry.exec.empty()) {
        return std::nullopt;
    }
    if (raw->icon) {
        entry.icon = trim(*raw->icon);
    }
    entry.startup_wm_class = text_value(raw->startup_wm_class);
    entry.terminal = raw->terminal;
    entry.localised_name = localised_name(raw->name, entry.name);
    for (const auto* generic : {&raw->generic_name.localised, &raw->generic_name.plain}) {
        std::string text = *generic ? string_value(**generic) : std::string();
        if (!text.empty() && std::find(entry.generic_names.begin(), entry.generic_names.end(), text) ==
                                 entry.generic_names.end()) {
            entry.generic_names.push_back(std::move(text));
        }
    }
    if (const auto& comment = best(raw->comment)) {
        entry.comment = string_value(*comment);
    }
    for (const auto* keywords : {&raw->keywords.localised, &raw->keywords.plain}) {
        for (std::string& keyword : *keywords ? split_list(**keywords) : std::vector<std::string>()) {
            if (entry.keywords.size() == max_keywords) {
                break;
            }
            if (std::find(entry.keywords.begin(), entry.keywords.end(), keyword) == entry.keywords.end()) {
                entry.keywords.push_back(std::move(keyword));
            }
        }
    }
    entry.actions = named_actions(*raw);
    return entry;
}

}  // namespace lumenpad
