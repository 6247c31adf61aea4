// The resident launcher's socket, "lumenpad.sock" in the runtime directory:
// a client sends its working directory and environment and asks for a
// toggle; the daemon answers once its window is shown (keyboard focus in
// the search field) or hidden. No GTK here.
#pragma once

#include "lumenpad-shared/unique_fd.hpp"

#include <optional>
#include <string>
#include <vector>

namespace lumenpad {

// XDG_RUNTIME_DIR joined with "lumenpad.sock"; nothing when XDG_RUNTIME_DIR
// is unset, empty, relative or not an existing directory.
std::optional<std::string> resident_socket_path();

// What a client asks the daemon to toggle with: where and with what the
// programs it launches from that window run.
struct ResidentRequest {
    std::string directory;
    // "NAME=value" texts, as environ holds them.
    std::vector<std::string> environment;
};

// The daemon's one-byte answer.
enum class ResidentAnswer : char { shown = 's', hidden = 'h' };

// The listening socket, made ready to answer at `path`, or the message to
// print (without "lumenpad: " and newline) and exit 1 with: a daemon already
// answers there, or the path holds anything but a socket nothing answers on
// (which is a leftover and is replaced). Never follows or removes anything
// else at the path.
struct ClaimedSocket {
    UniqueFd listener;
    std::string message;
};
ClaimedSocket claim_resident_socket(const std::string& path);

// The message claim_resident_socket would refuse with now, from a look
// alone: the daemon checks it before its start-up, so that a second one
// says why at once.
std::optional<std::string> resident_socket_refusal(const std::string& path);

}  // namespace lumenpad
