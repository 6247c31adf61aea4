// The launcher's theming sequence, run before any widget is created. Without
// a default display it stops the program with "no display".
#pragma once

namespace lumenpad {

void apply_launcher_theme();

// Reads style.css and the wal colours again, into the providers that
// apply_launcher_theme() added: a resident window's next show has them.
void reload_launcher_theme();

}  // namespace lumenpad
