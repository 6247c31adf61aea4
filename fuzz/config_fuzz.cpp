// config.toml through the real loader, from a file: it reports a problem
// exactly when it returns no contexts for a file that has some text.
#include "fuzz_support.hpp"
#include "lumenpad/config.hpp"

#include <sstream>

using lumenpad::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& path = lumenpad::fuzz::memory_file(lumenpad::fuzz::as_text(data, size));
    std::ostringstream err;
    const auto config = lumenpad::load_config(path, err);
    const std::string message = err.str();
    if (!message.empty()) {
        check(config.contexts.empty(), "a reported file gives no contexts");
        check(message.starts_with("lumenpad: parse error in " + path + ": ") ||
                  message.starts_with("lumenpad: could not read " + path + ": "),
              "the message has the usual prefix");
        // Ends the line; the TOML library's description may quote a line end
        // it found, so the text can hold others.
        check(message.ends_with("\n"), "the message ends its line");
    }
    return 0;
}
