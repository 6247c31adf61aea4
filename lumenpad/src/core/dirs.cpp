#include "dirs.hpp"

#include "lumenpad-shared/env.hpp"
#include "lumenpad-shared/paths.hpp"

namespace lumenpad {

namespace {

std::string xdg_dir(const char* variable, const char* fallback) {
    const auto value = env_text(variable);
    return join_path(value ? *value : join_path(home_dir(), fallback), "lumenpad");
}

}  // namespace

std::string config_dir() {
    return xdg_dir("XDG_CONFIG_HOME", ".config");
}

std::string cache_dir() {
    return xdg_dir("XDG_CACHE_HOME", ".cache");
}

}  // namespace lumenpad
