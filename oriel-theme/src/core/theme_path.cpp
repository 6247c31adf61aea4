#include "oriel-theme/theme_path.hpp"

#include "oriel-theme/palette.hpp"

#include "lumenpad-shared/base_dirs.hpp"
#include "lumenpad-shared/paths.hpp"

namespace oriel {

std::string theme_file_path() {
    auto base = lumenpad::runtime_dir({.empty = lumenpad::Empty::unset});
    if (!base) {
        base = user_cache_dir();
    }
    return lumenpad::join_path(lumenpad::join_path(base.value_or("/tmp"), "oriel"), "theme.css");
}

}  // namespace oriel
