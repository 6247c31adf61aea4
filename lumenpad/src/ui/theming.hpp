// The launcher's theming sequence, run before any widget is created.
#pragma once

namespace lumenpad {

void apply_launcher_theme();

}  // namespace lumenpad
