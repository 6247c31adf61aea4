// The resident launcher: `lumenpad --daemon` keeps its window built and
// hidden, and each `lumenpad` shows or hides it through the socket.
#pragma once

namespace lumenpad {

// Runs the daemon until SIGTERM or SIGINT; the exit status.
int run_resident(char* program);

}  // namespace lumenpad
