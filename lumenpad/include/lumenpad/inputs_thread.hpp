// The thread that gathers the window's inputs while GTK starts: it makes
// them, hands them over, then lowers the rest of their keys at the lowest
// priority. A failure on either side ends the program with its reason, never
// leaves the window waiting.
#pragma once

#include "lumenpad/inputs.hpp"
#include "lumenpad/worker_failure.hpp"

#include <locale.h>
#include <sys/resource.h>
#include <unistd.h>

#include <future>
#include <memory>

namespace lumenpad {

// GTK sets the program's locale while the thread reads; the readers keep the
// C locale they always ran in, and never see the global one change under them.
class ThreadCLocale {
public:
    ThreadCLocale() : own_(newlocale(LC_ALL_MASK, "C", locale_t{})) {
        if (own_ != locale_t{}) {
            previous_ = uselocale(own_);
        }
    }
    ThreadCLocale(const ThreadCLocale&) = delete;
    ThreadCLocale& operator=(const ThreadCLocale&) = delete;
    ~ThreadCLocale() {
        if (own_ != locale_t{}) {
            uselocale(previous_);
            freelocale(own_);
        }
    }

private:
    locale_t own_;
    locale_t previous_ = LC_GLOBAL_LOCALE;
};

// The inputs from a thread that makes them by `make` and hands them over,
// then lowers the rest of their keys by `finish_keys`: the keys to come.
// Whoever waits for the inputs first does `help` (in the C locale too).
template <typename Make, typename FinishKeys, typename Help>
std::future<Inputs> start_inputs_thread(Make make, FinishKeys finish_keys, Help help) {
    auto handed = std::make_shared<std::promise<Inputs>>();
    std::future<Inputs> inputs = handed->get_future();
    // The thread's own future: its destructor waits for the thread. Were an
    // exception stored in it, the promise it keeps alive would never break and
    // the window would wait for the inputs for ever.
    std::future<std::vector<MatchKeys>> keys = std::async(
        std::launch::async, [handed, make = std::move(make), finish_keys = std::move(finish_keys)] {
            return or_end_program([&] {
                const ThreadCLocale c_locale;
                auto made = make(*handed);
                // The keys are not needed before the first edit: the window
                // being built and drawn goes first.
                setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
                return finish_keys(std::move(made));
            });
        });
    return std::async(std::launch::deferred,
                      [inputs = std::move(inputs), keys = std::move(keys), help = std::move(help)]() mutable {
                          or_end_program([&] {
                              const ThreadCLocale c_locale;
                              help();
                          });
                          Inputs taken = inputs.get();
                          taken.keys_to_come = std::move(keys);
                          return taken;
                      });
}

}  // namespace lumenpad
