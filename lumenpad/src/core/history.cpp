#include "history.hpp"

#include "dirs.hpp"
#include "lumenpad-shared/json_object.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/read_file.hpp"
#include "lumenpad-shared/unique_fd.hpp"
#include "write_all.hpp"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

namespace lumenpad {

namespace {

constexpr std::uint32_t max_count = std::numeric_limits<std::uint32_t>::max();

// Linux gives up on a chain of links at the same depth.
constexpr int max_link_hops = 40;

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

// Everything up to and including the last '/', empty for a bare file name.
std::string_view directory_prefix(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

// The file that writing through `path` would change. Symbolic links are
// followed so that replacing the file leaves a linked history.json a link.
std::optional<std::string> resolve_links(std::string path) {
    for (int hop = 0; hop < max_link_hops; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            return errno == ENOENT ? std::optional(std::move(path)) : std::nullopt;
        }
        if (!S_ISLNK(st.st_mode)) {
            return path;
        }
        std::array<char, PATH_MAX> buffer{};
        const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (length <= 0 || static_cast<std::size_t>(length) == buffer.size()) {
            return std::nullopt;
        }
        const std::string_view link(buffer.data(), static_cast<std::size_t>(length));
        path =
            link.front() == '/' ? std::string(link) : std::string(directory_prefix(path)) + std::string(link);
    }
    return std::nullopt;
}

// A replaced file keeps its permissions; a new one gets what creating it
// directly would have given.
mode_t mode_for(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        return st.st_mode & 0777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Makes the rename itself durable; the file is complete either way.
void sync_directory(std::string_view prefix) {
    const std::string directory = prefix.empty() ? std::string(".") : std::string(prefix);
    const UniqueFd fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) {
        ::fsync(fd.get());
    }
}

}  // namespace

History load_history() {
    return load_history(join_path(cache_dir(), "history.json"));
}

History load_history(std::string path) {
    History history{std::move(path), {}};
    if (const auto text = read_text_file(history.path)) {
        if (auto counts = parse_history_counts(*text)) {
            history.counts = std::move(*counts);
        }
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

void save_history(const History& history) {
    save_history_to(history, history.path);
}

bool save_history_to(const History& history, const std::string& path) {
    const auto target = resolve_links(path);
    if (!target) {
        return false;
    }
    const std::string_view prefix = directory_prefix(*target);
    std::string temp = std::string(prefix) + "." + target->substr(prefix.size()) + ".XXXXXX";
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd) {
        return false;
    }
    const bool written = write_all(fd.get(), history_json(history)) &&
                         ::fchmod(fd.get(), mode_for(*target)) == 0 && ::fsync(fd.get()) == 0;
    const bool closed = ::close(fd.release()) == 0;
    if (!written || !closed || ::rename(temp.c_str(), target->c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    sync_directory(prefix);
    return true;
}

}  // namespace lumenpad
