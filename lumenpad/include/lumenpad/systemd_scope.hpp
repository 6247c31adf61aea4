// A transient systemd scope of its own for each launched application, asked
// of the systemd user manager on the session bus, so that the application
// lives and is accounted apart from the launcher and the compositor.
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/spawn.hpp"

#include <functional>

namespace lumenpad {

// Whether DBUS_SESSION_BUS_ADDRESS names a session bus to ask: set, not
// empty, and not an address that would start a bus.
bool session_bus_named();

// Asks the session bus's org.freedesktop.systemd1 for a scope in "app.slice"
// holding the child, named after the entry's desktop file ID and described
// by its name, then releases the child, from a thread of GLib's pool: on the
// answer, whatever it is, or after 500 ms without one. The connection is
// GIO's shared one, which the application opened at start. `done` runs once
// the request is over, on the thread-default main context.
void start_in_scope(HeldChild child, const AppEntry& entry, std::function<void()> done);

}  // namespace lumenpad
