#include "lumenpad/history.hpp"

#include "lumenpad-shared/json_object.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/read_file.hpp"
#include "lumenpad/dirs.hpp"
#include "lumenpad/replace_file.hpp"

#include <cerrno>
#include <limits>
#include <utility>

namespace lumenpad {

namespace {

constexpr std::uint32_t max_count = std::numeric_limits<std::uint32_t>::max();

// A count is an integer from 0 to max_count written without fraction or
// exponent; only "-0" is written with '-' and still in range.
std::optional<std::uint32_t> count_value(JsonScalar value) {
    if (const auto* count = std::get_if<std::uint64_t>(&value); count != nullptr && *count <= max_count) {
        return static_cast<std::uint32_t>(*count);
    }
    if (const auto* count = std::get_if<std::int64_t>(&value); count != nullptr && *count == 0) {
        return 0;
    }
    return std::nullopt;
}

void append_json_string(std::string& out, std::string_view text) {
    static constexpr char hex_digits[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\r':
                out += "\\r";
                break;
            default: {
                const auto byte = static_cast<unsigned char>(c);
                if (byte < 0x20) {
                    out += "\\u00";
                    out += hex_digits[byte >> 4];
                    out += hex_digits[byte & 0x0f];
                } else {
                    out += c;
                }
            }
        }
    }
    out += '"';
}

}  // namespace

History load_history() {
    const auto dir = cache_dir();
    return dir ? load_history(join_path(*dir, "history.json")) : History{};
}

History load_history(std::string path) {
    History history{path, {}};
    int error = 0;
    const auto text = read_text_file(path, error);
    auto counts = text ? parse_history_counts(*text) : std::nullopt;
    if (counts) {
        history.counts = std::move(*counts);
    } else {
        history.refused_file = text || error != ENOENT;
    }
    return history;
}

std::optional<HistoryCounts> parse_history_counts(std::string_view text) {
    return parse_flat_json_object<std::uint32_t>(text, count_value);
}

std::uint32_t launch_count(const History& history, std::string_view name) {
    const auto found = history.counts.find(std::string(name));
    return found == history.counts.end() ? 0 : found->second;
}

void record_launch(History& history, std::string_view name) {
    auto& count = history.counts[std::string(name)];
    if (count < max_count) {
        ++count;
    }
}

std::string history_json(const History& history) {
    std::string out;
    out.reserve(128);
    out += '{';
    bool first = true;
    for (const auto& [name, count] : history.counts) {
        if (!first) {
            out += ',';
        }
        first = false;
        append_json_string(out, name);
        out += ':';
        out += std::to_string(count);
    }
    out += '}';
    return out;
}

void save_history(History& history) {
    if (history.path && save_history_to(history, *history.path)) {
        history.refused_file = false;
    }
}

bool save_history_to(const History& history, const std::string& path) {
    return replace_own_file(path, history_json(history), history.refused_file);
}

}  // namespace lumenpad
