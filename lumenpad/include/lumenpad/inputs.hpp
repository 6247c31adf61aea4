// What the window shows besides GTK's own: the catalogue in its initial order
// and the launch history, read from the user's files.
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/config.hpp"
#include "lumenpad/history.hpp"
#include "lumenpad/keys_to_come.hpp"
#include "lumenpad/matching.hpp"

#include <future>
#include <string>
#include <vector>

namespace lumenpad {

struct Inputs {
    std::vector<AppEntry> entries;
    // The entries' lowered keys, in the same order.
    KeysToCome keys_to_come{};
    History history;
    // The configuration's launch_prefix.
    std::vector<std::string> launch_prefix{};
    // The configuration as read, for a later choice of context.
    Config config{};
};

// Reads the configuration, the active workspace, the history, the manifest
// and the catalogue, in that order, and sorts the catalogue, on a thread of
// its own, so the files are read while GTK starts. The future's and the keys'
// destructors wait for the thread.
std::future<Inputs> start_gathering_inputs();

// The choices of dmenu mode as entries: the lines of standard input, read on
// a thread of their own, with a notice on standard error when some are left
// out. No history, no icons. The lines come before their keys, which the same
// thread lowers meanwhile: the first frame needs the lines only.
std::future<Inputs> start_reading_choices();

}  // namespace lumenpad
