#include "history.hpp"

#include "dirs.hpp"
#include "lumenpad-shared/json.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/read_file.hpp"
#include "replace_file.hpp"

#include <cerrno>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

namespace lumenpad {

namespace {

constexpr std::uint32_t max_count = std::numeric_limits<std::uint32_t>::max();

// Accepts exactly one flat object of counts. nlohmann reports "1.0" and "1e2"
// as floats and every number written with '-' as a signed integer, so the
// callback a value arrives through tells how it was written.
class CountsReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    HistoryCounts counts;

    bool null() override { return false; }
    bool boolean(bool) override { return false; }
    // Only "-0" still has a value in range.
    bool number_integer(number_integer_t value) override { return value == 0 && store(0); }
    bool number_unsigned(number_unsigned_t value) override { return value <= max_count && store(value); }
    bool number_float(number_float_t, const string_t&) override { return false; }
    bool string(string_t&) override { return false; }
    bool binary(binary_t&) override { return false; }
    bool start_object(std::size_t) override { return !std::exchange(seen_object_, true); }
    bool key(string_t& name) override {
        key_ = std::move(name);
        return true;
    }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return false; }
    bool end_array() override { return false; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

private:
    bool store(number_unsigned_t value) {
        // A number outside an object has no key and makes the file invalid.
        if (!seen_object_) {
            return false;
        }
        counts.insert_or_assign(std::move(key_), static_cast<std::uint32_t>(value));
        return true;
    }

    bool seen_object_ = false;
    std::string key_;
};

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
    CountsReader reader;
    if (!sax_parse_json(text, &reader)) {
        return std::nullopt;
    }
    return std::move(reader.counts);
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
