#include "lumenpad/manifest.hpp"

#include "lumenpad-shared/json_object.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/read_file.hpp"
#include "lumenpad/dirs.hpp"

#include <sys/stat.h>

namespace lumenpad {

namespace {

std::optional<std::string> string_value(JsonScalar value) {
    if (auto* text = std::get_if<std::string>(&value)) {
        return std::move(*text);
    }
    return std::nullopt;
}

// A path with a NUL byte names no file: the system would see only its start.
bool file_exists(const std::string& path) {
    struct stat status {};
    return path.find('\0') == std::string::npos && ::stat(path.c_str(), &status) == 0;
}

}  // namespace

Manifest parse_manifest(std::string_view text) {
    return parse_flat_json_object<std::string>(text, string_value).value_or(Manifest{});
}

Manifest load_manifest() {
    const auto dir = cache_dir();
    const auto text = dir ? read_text_file(join_path(*dir, "manifest.json")) : std::nullopt;
    return text ? parse_manifest(*text) : Manifest{};
}

void apply_manifest(std::vector<AppEntry>& entries, const Manifest& manifest) {
    for (AppEntry& entry : entries) {
        const auto found = manifest.find(entry.icon);
        if (found != manifest.end() && file_exists(found->second)) {
            entry.icon_path = found->second;
        }
    }
}

}  // namespace lumenpad
