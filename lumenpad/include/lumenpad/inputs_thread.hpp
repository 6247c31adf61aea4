// The thread that gathers the window's inputs while GTK starts: it makes
// them, hands them over, then lowers their keys at the lowest priority. A failure on either side ends the
// program with its reason, never leaves the window waiting.
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

// What the thread makes: the inputs to hand over, and how their keys are
// lowered.
struct MadeInputs {
    Inputs inputs;
    KeysToCome::Lower lower_keys;
};

// The inputs from a thread that makes them by `make` and hands them over,
// then lowers their keys: the keys to come. Whoever waits for the inputs
// first does `help` (in the C locale too).
template <typename Make, typename Help>
std::future<Inputs> start_inputs_thread(Make make, Help help) {
    auto lowering = std::make_shared<KeysToCome::Lowering>();
    std::promise<Inputs> handed;
    std::future<Inputs> inputs = handed.get_future();
    // The thread's own future: its destructor waits for the thread. Were an
    // exception stored in it, the window would wait for the inputs for ever.
    std::future<std::vector<MatchKeys>> keys = std::async(
        std::launch::async, [lowering, handed = std::move(handed), make = std::move(make)]() mutable {
            return or_end_program([&] {
                const ThreadCLocale c_locale;
                MadeInputs made = make();
                lowering->lower = std::move(made.lower_keys);
                handed.set_value(std::move(made.inputs));
                // The keys are not needed before the first edit: the window
                // being built and drawn goes first.
                setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
                // What the keys are lowered from is let go with them.
                const auto mine = std::move(lowering);
                return mine->lower(&mine->taken);
            });
        });
    return std::async(std::launch::deferred,
                      [inputs = std::move(inputs), keys = std::move(keys), lowering = std::move(lowering),
                       help = std::move(help)]() mutable {
                          or_end_program([&] {
                              const ThreadCLocale c_locale;
                              help();
                          });
                          Inputs taken = inputs.get();
                          taken.keys_to_come = KeysToCome(std::move(lowering), std::move(keys));
                          return taken;
                      });
}

}  // namespace lumenpad
