// What the window shows besides GTK's own: the catalogue in its initial order
// and the launch history, read from the user's files.
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/history.hpp"
#include "lumenpad/matching.hpp"

#include <future>
#include <vector>

namespace lumenpad {

struct Inputs {
    std::vector<AppEntry> entries;
    // The entries' lowered keys, in the same order.
    std::vector<MatchKeys> keys;
    History history;
};

// Reads the configuration, the active workspace, the history, the manifest
// and the catalogue, in that order, sorts the catalogue and lowers its keys.
Inputs gather_inputs();

// gather_inputs() on a thread of its own, so the files are read while GTK
// starts; the future's destructor waits for it.
std::future<Inputs> start_gathering_inputs();

}  // namespace lumenpad
