#include "theming.hpp"

#include "dirs.hpp"
#include "launcher_stylesheet.hpp"
#include "lumenpad-shared/paths.hpp"
#include "oriel-theme/theme.hpp"

namespace lumenpad {

void apply_launcher_theme() {
    oriel::apply_theme();
    oriel::set_extra_stylesheet(launcher_extra_stylesheet);
    oriel::apply_extra_stylesheet();
    oriel::watch_extra_stylesheet();
    // A slot of its own that ends here: the display keeps the provider, and
    // the file is neither watched nor read again.
    oriel::ProviderSlot user_slot;
    if (const auto dir = config_dir()) {
        oriel::apply_user_stylesheet(join_path(*dir, "style.css"), user_slot);
    }
}

}  // namespace lumenpad
