// The token that lets an application the launcher starts take the focus:
// GDK asks the compositor for it (xdg-activation on Wayland), for the
// launcher's own surface, which must therefore still be there.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <optional>
#include <string>

namespace lumenpad {

// Nothing where the compositor gives none.
std::optional<std::string> activation_token(const AppEntry& entry);

}  // namespace lumenpad
