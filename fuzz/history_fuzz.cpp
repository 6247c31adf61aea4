// history.json: a history that loads, written out and read again, has the
// same counts.
#include "fuzz_support.hpp"
#include "lumenpad/history.hpp"

using lumenpad::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto counts = lumenpad::parse_history_counts(lumenpad::fuzz::as_text(data, size));
    if (counts) {
        const lumenpad::History history{"", *counts};
        const auto again = lumenpad::parse_history_counts(lumenpad::history_json(history));
        check(again.has_value(), "a saved history loads");
        check(*again == *counts, "a saved history has the same counts");
    }
    return 0;
}
