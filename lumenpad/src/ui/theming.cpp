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

// style.css's provider, kept so that reading the file again replaces its
// rules instead of stacking a second provider on the display.
oriel::ProviderSlot& user_slot() {
    thread_local oriel::ProviderSlot slot;
    return slot;
}

void apply_user_style() {
    if (const auto dir = config_dir()) {
        require_display(oriel::apply_user_stylesheet(join_path(*dir, "style.css"), user_slot()));
    }
}

}  // namespace

void apply_launcher_theme() {
    require_display(oriel::apply_theme());
    oriel::set_extra_stylesheet(launcher_extra_stylesheet);
    require_display(oriel::apply_extra_stylesheet());
    oriel::watch_extra_stylesheet();
    apply_user_style();
}

void reload_launcher_theme() {
    // The wal colours feed both the shared stylesheet (without a theme file)
    // and the launcher's own.
    require_display(oriel::apply_shared_stylesheet());
    require_display(oriel::apply_extra_stylesheet());
    apply_user_style();
}

}  // namespace lumenpad
