#include "lumenpad/systemd_scope.hpp"

#include "lumenpad-shared/env.hpp"
#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad-shared/text.hpp"
#include "lumenpad/unit_name.hpp"

#include <gio/gio.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

namespace lumenpad {

namespace {

// Long enough for a busy manager, short enough that nobody waits for an
// application that a stuck one holds.
constexpr gint answer_timeout_ms = 500;

struct ScopeRequest {
    HeldChild child;
    std::string unit;
    std::string description;
    std::function<void()> done;
    // GLib's pool hands the request to its thread and back through its own
    // futexes, which ThreadSanitizer cannot see; each side holds this while
    // it touches the request, so the hand-over is one it can.
    std::mutex handed_over;
};

GVariant* start_transient_unit_parameters(const ScopeRequest& request) {
    const auto pid = static_cast<guint32>(request.child.pid);
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a(sv)"));
    g_variant_builder_add(&properties, "(sv)", "PIDs",
                          g_variant_new_fixed_array(G_VARIANT_TYPE_UINT32, &pid, 1, sizeof pid));
    g_variant_builder_add(&properties, "(sv)", "Slice", g_variant_new_string("app.slice"));
    g_variant_builder_add(&properties, "(sv)", "Description",
                          g_variant_new_string(request.description.c_str()));
    g_variant_builder_add(&properties, "(sv)", "CollectMode", g_variant_new_string("inactive-or-failed"));
    // No auxiliary units.
    GVariant* aux = g_variant_new_array(G_VARIANT_TYPE("(sa(sv))"), nullptr, 0);
    return g_variant_new("(ssa(sv)@a(sa(sv)))", request.unit.c_str(), "fail", &properties, aux);
}

// On a thread of the pool, so that the child is released the moment the
// answer comes, not once the main loop is done closing the window. The
// session bus is the application's connection, already open.
void ask_for_scope(GTask* task, gpointer, gpointer data, GCancellable*) {
    auto* request = static_cast<ScopeRequest*>(data);
    const std::lock_guard held(request->handed_over);
    GErrorOut error;
    if (const auto connection = adopt(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, error.out()))) {
        // Never activated: a bus without the manager answers at once.
        GVariant* reply = g_dbus_connection_call_sync(
            connection.get(), "org.freedesktop.systemd1", "/org/freedesktop/systemd1",
            "org.freedesktop.systemd1.Manager", "StartTransientUnit",
            start_transient_unit_parameters(*request), G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
            answer_timeout_ms, nullptr, error.out());
        if (reply != nullptr) {
            g_variant_unref(reply);
        }
    }
    release_child(request->child);
    g_task_return_boolean(task, TRUE);
}

void on_scope_asked(GObject*, GAsyncResult* result, gpointer) {
    auto* request = static_cast<ScopeRequest*>(g_task_get_task_data(G_TASK(result)));
    std::function<void()> done;
    {
        const std::lock_guard held(request->handed_over);
        done = std::move(request->done);
    }
    if (done) {
        done();
    }
}

std::uint64_t random_suffix() {
    return (static_cast<std::uint64_t>(g_random_int()) << 32) | g_random_int();
}

}  // namespace

bool session_bus_named() {
    const auto address = env_value("DBUS_SESSION_BUS_ADDRESS", {Empty::unset, Bytes::any});
    return address && !address->starts_with("autolaunch:");
}

void start_in_scope(HeldChild child, const AppEntry& entry, std::function<void()> done) {
    auto* request = new ScopeRequest{std::move(child),
                                     scope_unit_name(entry.desktop_id, random_suffix()),
                                     lossy_utf8(entry.name),
                                     std::move(done),
                                     {}};
    // Released before the thread can take it.
    { const std::lock_guard written(request->handed_over); }
    GTask* task = g_task_new(nullptr, nullptr, on_scope_asked, nullptr);
    g_task_set_task_data(task, request, [](gpointer data) {
        auto* finished = static_cast<ScopeRequest*>(data);
        // The last reference may go on either thread.
        { const std::lock_guard last(finished->handed_over); }
        delete finished;
    });
    g_task_run_in_thread(task, ask_for_scope);
    g_object_unref(task);
}

}  // namespace lumenpad
