#include "lumenpad/rescan.hpp"

#include "lumenpad/worker_failure.hpp"

#include <glib.h>

#include <future>
#include <utility>

namespace lumenpad {

// Touched on the main context only, but for the reference count.
struct RescanShared {
    explicit RescanShared(std::function<void(Inputs)> ready_)
        : context(g_main_context_ref_thread_default()), ready(std::move(ready_)) {}
    RescanShared(const RescanShared&) = delete;
    RescanShared& operator=(const RescanShared&) = delete;
    ~RescanShared() { g_main_context_unref(context); }

    GMainContext* context;
    std::function<void(Inputs)> ready;
    bool dropped = false;
};

namespace {

struct Delivery {
    std::shared_ptr<RescanShared> shared;
    Inputs inputs;
};

// Keys that are all there: taking them never lowers anything.
KeysToCome lowered_already(std::vector<MatchKeys> keys) {
    std::promise<std::vector<MatchKeys>> done;
    done.set_value(std::move(keys));
    return KeysToCome(std::make_shared<KeysToCome::Lowering>(), done.get_future());
}

gboolean deliver(gpointer data) {
    RescanShared& shared = *static_cast<Delivery*>(data)->shared;
    if (!shared.dropped && shared.ready) {
        // `ready` may drop the handle, and with it what it holds.
        const auto ready = std::exchange(shared.ready, nullptr);
        ready(std::move(static_cast<Delivery*>(data)->inputs));
    }
    return G_SOURCE_REMOVE;
}

void gather_and_deliver(std::shared_ptr<RescanShared> shared) {
    or_end_program([&] {
        Inputs inputs = start_gathering_inputs().get();
        inputs.keys_to_come = lowered_already(inputs.keys_to_come.take());
        GMainContext* context = shared->context;
        // An idle source rather than g_main_context_invoke(), which would run
        // `ready` here when no thread holds the context.
        GSource* source = g_idle_source_new();
        g_source_set_callback(source, deliver, new Delivery{std::move(shared), std::move(inputs)},
                              [](gpointer data) { delete static_cast<Delivery*>(data); });
        g_source_attach(source, context);
        g_source_unref(source);
    });
}

}  // namespace

Rescan::Rescan(std::shared_ptr<RescanShared> shared, std::thread thread)
    : shared_(std::move(shared)), thread_(std::move(thread)) {}

Rescan::~Rescan() {
    shared_->dropped = true;
    shared_->ready = nullptr;
    thread_.join();
}

std::unique_ptr<Rescan> rescan_inputs(std::function<void(Inputs)> ready) {
    auto shared = std::make_shared<RescanShared>(std::move(ready));
    std::thread thread(gather_and_deliver, shared);
    return std::unique_ptr<Rescan>(new Rescan(std::move(shared), std::move(thread)));
}

}  // namespace lumenpad
