#include "lumenpad/dirs.hpp"

#include "lumenpad-shared/base_dirs.hpp"
#include "lumenpad-shared/paths.hpp"

namespace lumenpad {

namespace {

std::optional<std::string> launcher_dir(UserDir which) {
    const auto base = user_dir(which, home_dir);
    return base ? std::optional(join_path(*base, "lumenpad")) : std::nullopt;
}

}  // namespace

std::optional<std::string> config_dir() {
    return launcher_dir(UserDir::config);
}

std::optional<std::string> cache_dir() {
    return launcher_dir(UserDir::cache);
}

}  // namespace lumenpad
