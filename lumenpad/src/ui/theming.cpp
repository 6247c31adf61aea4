#include "lumenpad/theming.hpp"

#include "lumenpad-shared/paths.hpp"
#include "lumenpad/dirs.hpp"
#include "lumenpad/launcher_stylesheet.hpp"
#include "oriel-theme/theme.hpp"

#include <cstdio>
#include <cstdlib>

namespace lumenpad {

namespace {

// The theme is applied on activation, which always comes with a display;
// without one there is nothing the launcher could show.
void require_display(oriel::ThemeResult result) {
    if (result == oriel::ThemeResult::no_display) {
        std::fputs("no display\n", stderr);
        std::abort();
    }
}

}  // namespace

void apply_launcher_theme() {
    require_display(oriel::apply_theme());
    oriel::set_extra_stylesheet(launcher_extra_stylesheet);
    require_display(oriel::apply_extra_stylesheet());
    oriel::watch_extra_stylesheet();
    // A slot of its own that ends here: the display keeps the provider, and
    // the file is neither watched nor read again.
    oriel::ProviderSlot user_slot;
    if (const auto dir = config_dir()) {
        require_display(oriel::apply_user_stylesheet(join_path(*dir, "style.css"), user_slot));
    }
}

}  // namespace lumenpad
