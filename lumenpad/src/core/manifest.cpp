#include "manifest.hpp"

#include "dirs.hpp"
#include "lumenpad-shared/json.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/read_file.hpp"

#include <sys/stat.h>

#include <nlohmann/json.hpp>

namespace lumenpad {

namespace {

// Accepts exactly one object whose members are all strings; everything else
// stops the parse.
class ManifestReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit ManifestReader(Manifest& manifest) : manifest_(manifest) {}

    bool null() override { return false; }
    bool boolean(bool) override { return false; }
    bool number_integer(number_integer_t) override { return false; }
    bool number_unsigned(number_unsigned_t) override { return false; }
    bool number_float(number_float_t, const string_t&) override { return false; }
    bool binary(binary_t&) override { return false; }
    bool start_array(std::size_t) override { return false; }
    bool end_array() override { return false; }

    bool start_object(std::size_t) override {
        if (opened_) {
            return false;
        }
        opened_ = true;
        return true;
    }
    bool end_object() override { return true; }
    bool key(string_t& name) override {
        name_ = std::move(name);
        return true;
    }
    bool string(string_t& value) override {
        if (!opened_) {
            return false;
        }
        manifest_.insert_or_assign(std::move(name_), std::move(value));
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception&) override {
        return false;
    }

private:
    Manifest& manifest_;
    std::string name_;
    bool opened_ = false;
};

// A path with a NUL byte names no file: the system would see only its start.
bool file_exists(const std::string& path) {
    struct stat status {};
    return path.find('\0') == std::string::npos && ::stat(path.c_str(), &status) == 0;
}

}  // namespace

Manifest parse_manifest(std::string_view text) {
    Manifest manifest;
    ManifestReader reader(manifest);
    if (!sax_parse_json(text, &reader)) {
        return {};
    }
    return manifest;
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
