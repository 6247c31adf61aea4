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

// What a call that needs the default display made of it. The library never
// stops the program: without a display it reports so, and its caller decides.
enum class ThemeResult { done, no_display };

// At most one CSS provider: attached to the display by the first load, emptied
// and refilled by every later one, so repeated loads never stack providers.
// `in_use` keeps a nested load (from a GTK signal during a load) out.
struct ProviderSlot {
    lumenpad::GObjectPtr<GtkCssProvider> provider;
    // The display the provider is attached to.
    lumenpad::GObjectPtr<GdkDisplay> display;
    bool in_use = false;
};

// At most one directory monitor.
struct MonitorSlot {
    lumenpad::GObjectPtr<GFileMonitor> monitor;
};

// What the library keeps for one thread. Created by the thread's first use;
// torn down by end_theme_state() or when the thread ends, in reverse order
// of creation: the monitors' handlers disconnected and the monitors
// cancelled, the builder destroyed, the providers removed from the display.
struct ThemeState {
    ThemeState() = default;
    ThemeState(const ThemeState&) = delete;
    ThemeState& operator=(const ThemeState&) = delete;
    ~ThemeState();

    ProviderSlot shared;
    ProviderSlot extra;
    std::function<std::string()> extra_stylesheet;
    MonitorSlot theme_monitor;
    MonitorSlot extra_monitor;
};

// The calling thread's state, created when there is none.
ThemeState& theme_state();

// Tears the calling thread's state down now; the next use starts afresh.
void end_theme_state();

// Loads the shared stylesheet and, once, starts watching the theme file.
ThemeResult apply_theme();

// Registers the program's own stylesheet builder, replacing any earlier one.
void set_extra_stylesheet(std::function<std::string()> build);

// Loads the registered builder's stylesheet; nothing without a builder.
ThemeResult apply_extra_stylesheet();

// Once: rebuilds the extra stylesheet whenever the theme file changes.
void watch_extra_stylesheet();

// Loads the CSS file at `path` at user priority into `slot`; a file that can
// no longer be read withdraws the rules it had loaded into the same slot.
ThemeResult apply_user_stylesheet(const std::string& path, ProviderSlot& slot);

// The theme file's text, or the stylesheet generated from the palette when it
// can't be read, into the shared slot.
ThemeResult apply_shared_stylesheet();

// Loads `css` into the slot's provider at application priority.
ThemeResult load_css_into_slot(std::string_view css, ProviderSlot& slot);

// A monitor on the theme file's directory (created when missing) that calls
// `callback` for every event that names the theme file; nothing when the
// directory can't be watched.
lumenpad::GObjectPtr<GFileMonitor> watch_theme_file(void (*callback)());

}  // namespace oriel
