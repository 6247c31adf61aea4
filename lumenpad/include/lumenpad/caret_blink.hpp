// The search field's caret blinks on and off. GTK 4.8 fades it in and out
// instead, redrawing the whole full-output surface at every frame of each
// fade, about thirty frames a second while the launcher sits untouched; an
// on-off blink redraws it twice per blink.
#pragma once

#include <gtk/gtk.h>

namespace lumenpad {

// Takes over the blinking of `field`'s caret, following the display's
// "gtk-cursor-blink", "gtk-cursor-blink-time" and "gtk-cursor-blink-timeout"
// settings (a steady caret when blinking is off). The field owns what this
// sets up.
void blink_caret(GtkEditable* field);

}  // namespace lumenpad
