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
    // The entries' lowered keys, in the same order; or, while they are still
    // being lowered, nothing here and the keys to come.
    std::vector<MatchKeys> keys;
    std::future<std::vector<MatchKeys>> keys_to_come{};
    History history;
};

// Reads the configuration, the active workspace, the history, the manifest
// and the catalogue, in that order, sorts the catalogue and lowers its keys.
Inputs gather_inputs();

// gather_inputs() on a thread of its own, so the files are read while GTK
// starts; the future's destructor waits for it.
std::future<Inputs> start_gathering_inputs();

// The choices of dmenu mode as entries: the lines of standard input, read on
// a thread of their own, with a notice on standard error when some are left
// out. No history, no icons. The lines come before their keys, which the same
// thread lowers meanwhile: the first frame needs the lines only.
std::future<Inputs> start_reading_choices();

}  // namespace lumenpad
