// What the daemon reads from a client: whatever it takes as a complete
// request encodes back to exactly the bytes received.
#include "fuzz_support.hpp"
#include "lumenpad/resident_request.hpp"

using lumenpad::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto received = lumenpad::fuzz::as_text(data, size);
    const auto decoded = lumenpad::decode_resident_request(received);
    if (decoded.state == lumenpad::DecodedRequest::State::complete) {
        check(lumenpad::encode_resident_request(decoded.request) == received, "the request encodes back");
    }
    return 0;
}
