// The theme library's face towards GTK: stylesheets loaded into CSS providers
// on the default display, and the shared theme file watched so that a change
// restyles the running program. Main thread only, after GTK is initialised.
#pragma once

#include "oriel-theme/theme_path.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <string_view>

namespace oriel {

// At most one CSS provider: attached to the display by the first load, emptied
// and refilled by every later one, so repeated loads never stack providers.
// `in_use` keeps a nested load (from a GTK signal during a load) out.
struct ProviderSlot {
    lumenpad::GObjectPtr<GtkCssProvider> provider;
    bool in_use = false;
};

// At most one directory monitor.
struct MonitorSlot {
    lumenpad::GObjectPtr<GFileMonitor> monitor;
};

// What the library keeps for each thread, released when the thread ends.
struct ThemeState {
    ProviderSlot shared;
    ProviderSlot extra;
    std::function<std::string()> extra_stylesheet;
    MonitorSlot theme_monitor;
    MonitorSlot extra_monitor;
};

// The calling thread's state.
ThemeState& theme_state();

// Loads the shared stylesheet and, once, starts watching the theme file.
void apply_theme();

// Registers the program's own stylesheet builder, replacing any earlier one.
void set_extra_stylesheet(std::function<std::string()> build);

// Loads the registered builder's stylesheet; nothing without a builder.
void apply_extra_stylesheet();

// Once: rebuilds the extra stylesheet whenever the theme file changes.
void watch_extra_stylesheet();

// Loads the CSS file at `path` at user priority into `slot`; a file that can
// no longer be read withdraws the rules it had loaded into the same slot.
void apply_user_stylesheet(const std::string& path, ProviderSlot& slot);

// The theme file's text, or the stylesheet generated from the palette when it
// can't be read, into the shared slot.
void apply_shared_stylesheet();

// Loads `css` into the slot's provider at application priority. Stops the
// program when there is no default display.
void load_css_into_slot(std::string_view css, ProviderSlot& slot);

// A monitor on the theme file's directory (created when missing) that calls
// `callback` for every event that names the theme file; nothing when the
// directory can't be watched.
lumenpad::GObjectPtr<GFileMonitor> watch_theme_file(void (*callback)());

}  // namespace oriel
