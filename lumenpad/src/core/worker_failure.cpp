#include "lumenpad/worker_failure.hpp"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace lumenpad {

void end_program_on(const std::exception_ptr& failure) noexcept {
    // Standard error is unbuffered: nothing here allocates, which matters
    // when memory is what ran out.
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        std::fputs("lumenpad: out of memory\n", stderr);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "lumenpad: %s\n", error.what());
    } catch (...) {
        std::fputs("lumenpad: unexpected failure\n", stderr);
    }
    std::_Exit(1);
}

}  // namespace lumenpad
