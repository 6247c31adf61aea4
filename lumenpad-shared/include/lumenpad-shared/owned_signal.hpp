// Signal handlers whose data belongs to the connection: the data is deleted
// by the connection's destroy notification, when the handler is
// disconnected or the instance finalised, and by nothing else.
#pragma once

#include <glib-object.h>

namespace lumenpad {

// Connects `handler` to `signal` of `instance` with `data`, a new object
// that the connection takes over.
template <typename T, typename Handler>
gulong connect_owned(gpointer instance, const char* signal, Handler handler, T* data) {
    return g_signal_connect_data(
        instance, signal, G_CALLBACK(handler), data,
        [](gpointer owned, GClosure*) { delete static_cast<T*>(owned); }, GConnectFlags{});
}

}  // namespace lumenpad
