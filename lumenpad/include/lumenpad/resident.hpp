// The resident launcher ("lumenpad --daemon"): gathers its inputs and builds
// its window once, hidden, then shows and hides it for each client of its
// socket, until SIGTERM or SIGINT ends it.
#pragma once

namespace lumenpad {

// Runs the daemon; its exit status. `program` is argv[0].
int run_resident(char* program);

}  // namespace lumenpad
