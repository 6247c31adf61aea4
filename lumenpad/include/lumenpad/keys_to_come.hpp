// The entries' lowered keys, which the thread that gathered the entries
// lowers after handing them over, at the lowest priority: the first frame
// needs the entries only, the first edit their keys. That edit never waits
// for the thread, which the machine's other work may hold back for long.
#pragma once

#include "lumenpad/matching.hpp"

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <vector>

namespace lumenpad {

class KeysToCome {
public:
    // Lowers every entry's keys from what it holds; stops early, with what it
    // has, once `stop` is set (null: it never stops). The thread and the first
    // edit may call it at once, so it reads only what no one changes.
    using Lower = std::function<std::vector<MatchKeys>(const std::atomic<bool>* stop)>;
    struct Lowering {
        Lower lower;
        // Set once the keys are taken: the thread's lowering can stop.
        std::atomic<bool> taken{false};
    };

    KeysToCome() = default;
    // `lowered`: the thread's own keys, lowered by `lowering`.
    KeysToCome(std::shared_ptr<Lowering> lowering, std::future<std::vector<MatchKeys>> lowered);
    KeysToCome(KeysToCome&&) noexcept = default;
    KeysToCome& operator=(KeysToCome&&) noexcept = default;
    // Stops the thread's lowering, and waits for the thread.
    ~KeysToCome();

    // Whether there are keys to take.
    bool pending() const { return lowering_ != nullptr; }
    // The keys: the thread's when it has finished, otherwise lowered here and
    // now, the same from the same input.
    std::vector<MatchKeys> take();

private:
    std::shared_ptr<Lowering> lowering_;
    std::future<std::vector<MatchKeys>> lowered_;
};

}  // namespace lumenpad
