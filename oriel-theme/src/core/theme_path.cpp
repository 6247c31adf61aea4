#include "oriel-theme/theme_path.hpp"

#include "oriel-theme/palette.hpp"

#include "lumenpad-shared/env.hpp"
#include "lumenpad-shared/paths.hpp"

namespace oriel {

std::string theme_file_path() {
    std::string base;
    if (auto runtime = lumenpad::env_text("XDG_RUNTIME_DIR"); runtime && !runtime->empty()) {
        base = std::move(*runtime);
    } else {
        base = user_cache_dir().value_or("/tmp");
    }
    return lumenpad::join_path(lumenpad::join_path(base, "oriel"), "theme.css");
}

}  // namespace oriel
