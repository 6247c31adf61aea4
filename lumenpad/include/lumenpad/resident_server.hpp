// The daemon's side of the socket on the main loop: accepts clients of the
// daemon's own user, reads each one's request without blocking, and hands it
// to the window, which answers when its toggle is done.
#pragma once

#include "lumenpad-shared/unique_fd.hpp"
#include "lumenpad/resident_socket.hpp"

#include <functional>
#include <memory>
#include <string>

namespace lumenpad {

// Answers the client; false when it has gone (it gave up waiting and opened
// a launcher of its own), so the window hides again. Callable once; a no-op
// returning false once the server is gone.
using ResidentReply = std::function<bool(ResidentAnswer)>;
using ResidentToggle = std::function<void(ResidentRequest, ResidentReply)>;

class ResidentServer {
public:
    // Serves `listener`, claimed at `path`, on the thread-default main context.
    ResidentServer(UniqueFd listener, std::string path, ResidentToggle toggle);
    // Stops listening, drops clients still waiting and removes the socket
    // file if it is still this server's.
    ~ResidentServer();
    ResidentServer(const ResidentServer&) = delete;
    ResidentServer& operator=(const ResidentServer&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lumenpad
