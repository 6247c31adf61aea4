// Running the default main context from a test: dispatching what is ready,
// or waiting, with a bound, for a condition that events will bring about.
#pragma once

#include <glib.h>

#include <functional>

namespace lumenpad::test {

// Dispatches whatever is ready now without waiting.
inline void drain_main_loop() {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
}

// Runs the main loop until `done` holds or ten seconds have passed; returns
// whether it holds.
inline bool wait_until(const std::function<bool()>& done) {
    bool expired = false;
    const guint timer = g_timeout_add_seconds(
        10,
        [](gpointer flag) {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &expired);
    while (!done() && !expired) {
        g_main_context_iteration(nullptr, TRUE);
    }
    if (!expired) {
        g_source_remove(timer);
    }
    return done();
}

}  // namespace lumenpad::test
