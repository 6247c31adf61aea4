// The inputs gathered again while the program runs, on a thread of their own,
// and handed to the main context that asked for them, keys and all.
#pragma once

#include "lumenpad/inputs.hpp"

#include <functional>
#include <memory>
#include <thread>

namespace lumenpad {

// What the thread and the handle share.
struct RescanShared;

class Rescan {
public:
    // `ready` never runs once the handle is gone; waits for a gathering in
    // progress.
    ~Rescan();
    Rescan(const Rescan&) = delete;
    Rescan& operator=(const Rescan&) = delete;

private:
    friend std::unique_ptr<Rescan> rescan_inputs(std::function<void(Inputs)> ready);
    Rescan(std::shared_ptr<RescanShared> shared, std::thread thread);

    std::shared_ptr<RescanShared> shared_;
    std::thread thread_;
};

// Gathers the inputs as start_gathering_inputs() does, with every key
// lowered, and runs `ready` with them on the thread-default main context of
// the call. A rescan that another overtakes is simply dropped.
std::unique_ptr<Rescan> rescan_inputs(std::function<void(Inputs)> ready);

}  // namespace lumenpad
