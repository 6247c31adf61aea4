#include "lumenpad-shared/base_dirs.hpp"
#include "lumenpad-shared/paths.hpp"

#include "lumenpad-test/temp_home.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace lumenpad {
namespace {

using test::TempHomeTest;

// ---- env_value ---------------------------------------------------------------------

struct RuleCase {
    const char* label;
    std::optional<std::string> value;
    VariableRule rule;
    std::optional<std::string> expected;
};
void PrintTo(const RuleCase& c, std::ostream* out) {
    *out << c.label;
}

class EnvValue : public ::testing::TestWithParam<RuleCase> {};

TEST_P(EnvValue, TakesOrRefusesTheValueByTheRule) {
    const test::ScopedEnv env("LUMENPAD_TEST_VARIABLE", GetParam().value);
    EXPECT_EQ(env_value("LUMENPAD_TEST_VARIABLE", GetParam().rule), GetParam().expected);
}

const std::optional<std::string> unset;
constexpr VariableRule usual{};
constexpr VariableRule non_empty{.empty = Empty::unset};
constexpr VariableRule any_bytes{.bytes = Bytes::any};
constexpr VariableRule absolute{.relative = Relative::ignored};

INSTANTIATE_TEST_SUITE_P(Table, EnvValue,
                         ::testing::Values(RuleCase{"Unset", unset, usual, unset},
                                           RuleCase{"Set", "/a", usual, "/a"},
                                           RuleCase{"EmptyUsed", "", usual, ""},
                                           RuleCase{"EmptyUnset", "", non_empty, unset},
                                           RuleCase{"NonEmpty", "x", non_empty, "x"},
                                           RuleCase{"NotUtf8Refused", "/caf\xE9", usual, unset},
                                           RuleCase{"NotUtf8Taken", "/caf\xE9", any_bytes, "/caf\xE9"},
                                           RuleCase{"RelativeUsed", "rel", usual, "rel"},
                                           RuleCase{"RelativeIgnored", "rel", absolute, unset},
                                           RuleCase{"EmptyIsRelative", "", absolute, unset},
                                           RuleCase{"AbsoluteKept", "/abs", absolute, "/abs"}),
                         [](const auto& info) { return std::string(info.param.label); });

// ---- split_path_list -----------------------------------------------------------------

struct SplitCase {
    const char* list;
    std::vector<std::string_view> pieces;
};
void PrintTo(const SplitCase& c, std::ostream* out) {
    *out << '"' << c.list << '"';
}

class SplitPathList : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitPathList, KeepsEveryPiece) {
    EXPECT_EQ(split_path_list(GetParam().list), GetParam().pieces);
}

INSTANTIATE_TEST_SUITE_P(Table, SplitPathList,
                         ::testing::Values(SplitCase{"", {""}}, SplitCase{"/a", {"/a"}},
                                           SplitCase{"/a:/b", {"/a", "/b"}}, SplitCase{":", {"", ""}},
                                           SplitCase{"/a::/b:", {"/a", "", "/b", ""}}));

// ---- user_dir and find_home -------------------------------------------------------

using UserDirs = TempHomeTest;

TEST_F(UserDirs, AsksForTheHomeOnlyWhenTheVariableDoesNotCount) {
    int asked = 0;
    const auto counted_home = [&]() -> std::optional<std::string> {
        ++asked;
        return "/h";
    };
    env.set("XDG_CONFIG_HOME", "/c");
    EXPECT_EQ(user_dir(UserDir::config, counted_home), "/c");
    EXPECT_EQ(asked, 0);
    env.set("XDG_CONFIG_HOME", "");
    EXPECT_EQ(user_dir(UserDir::config, counted_home, {.empty = Empty::unset}), "/h/.config");
    EXPECT_EQ(asked, 1);
    env.unset("XDG_CACHE_HOME");
    env.unset("XDG_DATA_HOME");
    EXPECT_EQ(user_dir(UserDir::cache, counted_home), "/h/.cache");
    EXPECT_EQ(user_dir(UserDir::data, counted_home), "/h/.local/share");
    EXPECT_EQ(user_dir(UserDir::data, [] { return std::optional<std::string>(); }), std::nullopt);
}

TEST_F(UserDirs, FindsTheHomeByTheRule) {
    EXPECT_EQ(find_home({}, HomeFallback::none), home.path());
    env.set("HOME", "");
    EXPECT_EQ(find_home({}, HomeFallback::none), "");
    EXPECT_EQ(find_home({.empty = Empty::unset}, HomeFallback::none), std::nullopt);
    env.unset("HOME");
    EXPECT_EQ(find_home({}, HomeFallback::none), std::nullopt);
}

}  // namespace
}  // namespace lumenpad
