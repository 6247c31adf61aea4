#include "lumenpad/options.hpp"

#include <gtest/gtest.h>

namespace lumenpad {
namespace {

using Action = ParsedOptions::Action;

struct OptionsCase {
    std::vector<std::string_view> arguments;
    Action action;
    bool dmenu;
    std::optional<std::string> prompt;
    std::string error;
    bool daemon = false;
};

class ParseOptions : public testing::TestWithParam<OptionsCase> {};

TEST_P(ParseOptions, Table) {
    const OptionsCase& c = GetParam();
    const ParsedOptions parsed = parse_options(c.arguments);
    EXPECT_EQ(parsed.action, c.action);
    EXPECT_EQ(parsed.error, c.error);
    if (c.action == Action::run) {
        EXPECT_EQ(parsed.options.daemon, c.daemon);
        EXPECT_EQ(parsed.options.dmenu, c.dmenu);
        EXPECT_EQ(parsed.options.prompt, c.prompt);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ParseOptions,
    testing::Values(
        OptionsCase{{}, Action::run, false, std::nullopt, ""},
        OptionsCase{{"--dmenu"}, Action::run, true, std::nullopt, ""},
        OptionsCase{{"--dmenu", "--prompt", "Power"}, Action::run, true, "Power", ""},
        OptionsCase{{"--prompt=Run: ", "--dmenu"}, Action::run, true, "Run: ", ""},
        OptionsCase{{"--dmenu", "--prompt", "--help"}, Action::run, true, "--help", ""},
        OptionsCase{{"--dmenu", "--version"}, Action::version, false, std::nullopt, ""},
        OptionsCase{{"--help", "--bogus"}, Action::help, false, std::nullopt, ""},
        OptionsCase{{"--bogus", "--help"}, Action::error, false, std::nullopt, "unknown option '--bogus'"},
        OptionsCase{{"-d"}, Action::error, false, std::nullopt, "unknown option '-d'"},
        OptionsCase{{"firefox"}, Action::error, false, std::nullopt, "unexpected argument 'firefox'"},
        OptionsCase{
            {"--dmenu", "--prompt"}, Action::error, false, std::nullopt, "option '--prompt' needs a text"},
        OptionsCase{{"--prompt", "x"},
                    Action::error,
                    false,
                    std::nullopt,
                    "option '--prompt' works only with '--dmenu'"},
        OptionsCase{{"--daemon"}, Action::run, false, std::nullopt, "", true},
        OptionsCase{{"--daemon", "--daemon"}, Action::run, false, std::nullopt, "", true},
        OptionsCase{{"--daemon", "--version"}, Action::version, false, std::nullopt, ""},
        OptionsCase{{"--daemon", "--dmenu"},
                    Action::error,
                    false,
                    std::nullopt,
                    "option '--daemon' does not work with '--dmenu'"},
        OptionsCase{{"--dmenu", "--prompt", "x", "--daemon"},
                    Action::error,
                    false,
                    std::nullopt,
                    "option '--daemon' does not work with '--dmenu'"},
        OptionsCase{{"--prompt=x", "--daemon"},
                    Action::error,
                    false,
                    std::nullopt,
                    "option '--daemon' does not work with '--prompt'"},
        OptionsCase{{"--daemon=yes"}, Action::error, false, std::nullopt, "unknown option '--daemon=yes'"}));

}  // namespace
}  // namespace lumenpad
