// An exception on a worker thread that nobody waits to take ends the program
// at once, with the reason on standard error, rather than leave the main
// thread waiting for what the worker would have made.
#pragma once

#include <exception>
#include <utility>

namespace lumenpad {

// Prints "lumenpad: " and the failure, and ends the program with status 1
// without running exit handlers: other threads may still be using what those
// would tear down.
[[noreturn]] void end_program_on(const std::exception_ptr& failure) noexcept;

// Calls `work`, ending the program as above when it throws.
template <typename Work>
decltype(auto) or_end_program(Work&& work) noexcept {
    try {
        return std::forward<Work>(work)();
    } catch (...) {
        end_program_on(std::current_exception());
    }
}

}  // namespace lumenpad
