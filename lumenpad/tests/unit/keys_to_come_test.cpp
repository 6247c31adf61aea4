// The first edit takes the keys without waiting for the thread that lowers
// them: the thread's when it has finished, its own otherwise.
#include "lumenpad/keys_to_come.hpp"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <vector>

namespace lumenpad {
namespace {

// Keys whose name tells who lowered them.
std::vector<MatchKeys> keys_by(const std::string& who) {
    std::vector<MatchKeys> keys(3);
    for (MatchKeys& key : keys) {
        key.name = who;
    }
    return keys;
}

std::vector<std::string> names(const std::vector<MatchKeys>& keys) {
    std::vector<std::string> out;
    for (const MatchKeys& key : keys) {
        out.push_back(key.name);
    }
    return out;
}

struct Case {
    const char* what;
    bool thread_done_first;
    const char* taken_from;
};

class KeysToComeTake : public ::testing::TestWithParam<Case> {};

TEST_P(KeysToComeTake, NeverWaitsForTheThread) {
    auto lowering = std::make_shared<KeysToCome::Lowering>();
    lowering->lower = [](const std::atomic<bool>* stop) {
        return keys_by(stop != nullptr ? "thread" : "here");
    };
    // What the thread hands over once it has lowered them.
    std::promise<std::vector<MatchKeys>> thread;
    KeysToCome keys(lowering, thread.get_future());
    if (GetParam().thread_done_first) {
        thread.set_value(lowering->lower(&lowering->taken));
    }
    ASSERT_TRUE(keys.pending());
    EXPECT_EQ(names(keys.take()), names(keys_by(GetParam().taken_from)));
    EXPECT_FALSE(keys.pending());
    // A thread still lowering is told to stop.
    EXPECT_EQ(lowering->taken.load(), !GetParam().thread_done_first);
}

INSTANTIATE_TEST_SUITE_P(Table, KeysToComeTake,
                         ::testing::Values(Case{"ThreadDone", true, "thread"},
                                           Case{"ThreadHeldBack", false, "here"}),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.what; });

}  // namespace
}  // namespace lumenpad
