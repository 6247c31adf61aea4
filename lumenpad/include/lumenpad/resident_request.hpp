// A client's request to the daemon in C++ terms, over the wire format of
// resident_wire.h, which the client executable uses directly.
#pragma once

#include "lumenpad/resident_socket.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace lumenpad {

// The frame a client sends for `request`; empty when it cannot be sent (a
// relative directory, or over the bound). Entries without a name are left out.
std::string encode_resident_request(const ResidentRequest& request);

// What the bytes received so far amount to.
struct DecodedRequest {
    enum class State { incomplete, malformed, complete };
    State state = State::incomplete;
    // For State::complete.
    ResidentRequest request;
};
// Bytes past the frame make it malformed: a client sends one request.
DecodedRequest decode_resident_request(std::string_view received);

}  // namespace lumenpad
