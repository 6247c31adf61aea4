#include "lumenpad-shared/paths.hpp"

#include "lumenpad-shared/env.hpp"
#include "lumenpad-shared/text.hpp"

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace lumenpad {

namespace {

// The home directory of the real user in the password database, when it has
// an absolute one in UTF-8.
std::optional<std::string> password_home() {
    const long reported = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(reported > 0 ? static_cast<std::size_t>(reported) : 1024);
    struct passwd entry {};
    struct passwd* found = nullptr;
    int error = 0;
    while ((error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < 1024 * 1024) {
        buffer.resize(buffer.size() * 2);
    }
    if (error != 0 || found == nullptr || entry.pw_dir == nullptr || entry.pw_dir[0] != '/' ||
        !is_valid_utf8(entry.pw_dir)) {
        return std::nullopt;
    }
    return std::string(entry.pw_dir);
}

// Splits a path into its components; an absolute path starts with "/".
std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    if (!path.empty() && path.front() == '/') {
        parts.emplace_back("/");
    }
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        auto part = path.substr(start, end - start);
        if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    return parts;
}

}  // namespace

std::string join_path(std::string_view dir, std::string_view name) {
    std::string out(dir);
    if (!out.empty() && out.back() != '/') {
        out += '/';
    }
    out += name;
    return out;
}

bool same_path(std::string_view a, std::string_view b) {
    return components(a) == components(b);
}

std::optional<std::string> home_dir() {
    if (auto home = env_text("HOME")) {
        return home;
    }
    return password_home();
}

std::vector<std::string> application_dirs() {
    std::vector<std::string> dirs{"/usr/share/applications"};
    const std::string data_dirs = env_text("XDG_DATA_DIRS").value_or("/usr/local/share:/usr/share");
    size_t start = 0;
    while (true) {
        const size_t end = data_dirs.find(':', start);
        const auto piece = std::string_view(data_dirs).substr(
            start, end == std::string::npos ? std::string::npos : end - start);
        std::string dir = join_path(piece, "applications");
        if (!same_path(dir, dirs.front())) {
            dirs.push_back(std::move(dir));
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    if (const auto data_home = env_text("XDG_DATA_HOME")) {
        dirs.push_back(join_path(*data_home, "applications"));
    } else if (const auto home = home_dir()) {
        dirs.push_back(join_path(join_path(*home, ".local/share"), "applications"));
    }
    return dirs;
}

}  // namespace lumenpad
