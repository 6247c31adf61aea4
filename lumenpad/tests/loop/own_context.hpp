// A main context of the test's own, thread-default while it lives, and ways
// to run it: until a condition holds, or until nothing at all is scheduled on
// it (no source ready, no timer), which is when nothing more can happen
// without an event from outside.
#pragma once

#include <glib.h>

#include <chrono>
#include <functional>
#include <vector>

namespace lumenpad::test {

class OwnContext {
public:
    OwnContext() : context_(g_main_context_new()) { g_main_context_push_thread_default(context_); }
    OwnContext(const OwnContext&) = delete;
    OwnContext& operator=(const OwnContext&) = delete;
    ~OwnContext() {
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }

    GMainContext* get() const { return context_; }

    // Runs the context until `done` holds or ten seconds have passed;
    // returns whether it holds.
    bool run_until(const std::function<bool()>& done) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < end) {
            step(std::chrono::duration_cast<std::chrono::milliseconds>(end -
                                                                       std::chrono::steady_clock::now()));
        }
        return done();
    }

    // Runs the context for `span`, dispatching whatever comes meanwhile.
    void run_for(std::chrono::milliseconds span) const {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            step(std::chrono::duration_cast<std::chrono::milliseconds>(end -
                                                                       std::chrono::steady_clock::now()));
        }
    }

    // Runs the context until it would wait for ever, or ten seconds pass;
    // returns whether it got there.
    bool run_until_idle() const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < end) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (step(left, true)) {
                return true;
            }
        }
        return false;
    }

private:
    // One iteration waiting at most `limit`. With `stop_when_idle`, returns
    // true, without waiting, when nothing is ready and no timer is set.
    bool step(std::chrono::milliseconds limit, bool stop_when_idle = false) const {
        g_main_context_acquire(context_);
        gint priority = 0;
        g_main_context_prepare(context_, &priority);
        gint timeout = -1;
        gint count = 0;
        while ((count = g_main_context_query(context_, priority, &timeout, fds_.data(),
                                             static_cast<gint>(fds_.size()))) >
               static_cast<gint>(fds_.size())) {
            fds_.resize(static_cast<std::size_t>(count));
        }
        const bool idle = timeout < 0;
        const auto bound = static_cast<gint>(limit.count());
        g_poll(fds_.data(), static_cast<guint>(count),
               idle && stop_when_idle ? 0 : (idle ? bound : std::min(timeout, bound)));
        const bool ready = g_main_context_check(context_, priority, fds_.data(), count);
        if (ready) {
            g_main_context_dispatch(context_);
        }
        g_main_context_release(context_);
        return stop_when_idle && idle && !ready;
    }

    GMainContext* context_;
    mutable std::vector<GPollFD> fds_ = std::vector<GPollFD>(16);
};

}  // namespace lumenpad::test
