#include "dirs.hpp"

#include "lumenpad-shared/env.hpp"
#include "lumenpad-shared/paths.hpp"

namespace lumenpad {

namespace {

std::optional<std::string> xdg_dir(const char* variable, const char* fallback) {
    if (const auto value = env_text(variable)) {
        return join_path(*value, "lumenpad");
    }
    if (const auto home = home_dir()) {
        return join_path(join_path(*home, fallback), "lumenpad");
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> config_dir() {
    return xdg_dir("XDG_CONFIG_HOME", ".config");
}

std::optional<std::string> cache_dir() {
    return xdg_dir("XDG_CACHE_HOME", ".cache");
}

}  // namespace lumenpad
