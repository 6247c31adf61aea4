#include "lumenpad-shared/paths.hpp"

#include "lumenpad-shared/base_dirs.hpp"

namespace lumenpad {

namespace {

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

std::vector<std::string_view> split_path_list(std::string_view list) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (true) {
        const size_t end = list.find(':', start);
        pieces.push_back(
            list.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) {
            return pieces;
        }
        start = end + 1;
    }
}

std::optional<std::string> home_dir() {
    return find_home({}, HomeFallback::password_database);
}

std::vector<std::string> application_dirs() {
    std::vector<std::string> dirs{"/usr/share/applications"};
    for (const std::string& data_dir : system_data_dirs()) {
        std::string dir = join_path(data_dir, "applications");
        if (!same_path(dir, dirs.front())) {
            dirs.push_back(std::move(dir));
        }
    }
    if (auto data_home = user_dir(UserDir::data, home_dir)) {
        dirs.push_back(join_path(*data_home, "applications"));
    }
    return dirs;
}

}  // namespace lumenpad
