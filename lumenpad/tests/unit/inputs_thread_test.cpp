// A failure while the inputs are gathered ends the program with its reason
// and status 1, wherever it comes from, rather than leave the window waiting
// for inputs that will never come.
#include "lumenpad/inputs_thread.hpp"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace lumenpad {
namespace {

enum class Where { making, lowering, helping };

struct Failure {
    const char* name;
    Where where;
    bool out_of_memory;
    const char* message;
};

class InputsThreadFailure : public ::testing::TestWithParam<Failure> {};

[[noreturn]] void fail(bool out_of_memory) {
    if (out_of_memory) {
        throw std::bad_alloc();
    }
    throw std::runtime_error("the catalogue went away");
}

// What the window does with the inputs: takes them, and lets the thread
// lower their keys.
void take_everything(const Failure& failure) {
    auto inputs = start_inputs_thread(
        [&] {
            if (failure.where == Where::making) {
                fail(failure.out_of_memory);
            }
            return MadeInputs{Inputs{{AppEntry{}}, {}, {}}, [&](const std::atomic<bool>*) {
                                  if (failure.where == Where::lowering) {
                                      fail(failure.out_of_memory);
                                  }
                                  return std::vector<MatchKeys>(1);
                              }};
        },
        [&] {
            if (failure.where == Where::helping) {
                fail(failure.out_of_memory);
            }
        });
    // Its keys wait for the thread.
    const Inputs taken = inputs.get();
}

TEST_P(InputsThreadFailure, EndsTheProgramWithItsReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(take_everything(GetParam()), ::testing::ExitedWithCode(1), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InputsThreadFailure,
    ::testing::Values(
        Failure{"OutOfMemoryWhileMaking", Where::making, true, "^lumenpad: out of memory\n$"},
        Failure{"ErrorWhileMaking", Where::making, false, "^lumenpad: the catalogue went away\n$"},
        Failure{"OutOfMemoryWhileLowering", Where::lowering, true, "^lumenpad: out of memory\n$"},
        Failure{"OutOfMemoryWhileHelping", Where::helping, true, "^lumenpad: out of memory\n$"}),
    [](const ::testing::TestParamInfo<Failure>& info) { return info.param.name; });

}  // namespace
}  // namespace lumenpad
