// The launcher's theming sequence, run before any widget is created. Without
// a default display it stops the program with "no display".
#pragma once

namespace lumenpad {

void apply_launcher_theme();

}  // namespace lumenpad
