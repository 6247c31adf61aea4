#include "dirs.hpp"

#include "lumenpad-shared/base_dirs.hpp"
#include "lumenpad-shared/paths.hpp"

namespace lumenpad {

namespace {

std::string launcher_dir(UserDir which) {
    // home_dir() always gives a directory.
    return join_path(*user_dir(which, home_dir), "lumenpad");
}

}  // namespace

std::string config_dir() {
    return launcher_dir(UserDir::config);
}

std::string cache_dir() {
    return launcher_dir(UserDir::cache);
}

}  // namespace lumenpad
