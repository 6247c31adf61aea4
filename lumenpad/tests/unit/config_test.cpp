#include "lumenpad/config.hpp"

#include "lumenpad-test/temp_home.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <sstream>

namespace lumenpad {
namespace {

using test::ScopedEnv;
using test::TempHomeTest;

struct Loaded {
    Config config;
    std::string messages;
};

Loaded load(const std::string& path) {
    std::ostringstream err;
    Config config = load_config(path, err);
    return {std::move(config), err.str()};
}

// Runs load_config() and returns what it wrote to standard error.
std::string default_load_messages(Config& config) {
    std::ostringstream err;
    auto* const old = std::cerr.rdbuf(err.rdbuf());
    config = load_config();
    std::cerr.rdbuf(old);
    return err.str();
}

class ConfigFile : public TempHomeTest {
protected:
    std::string path = home.path() + "/.config/lumenpad/config.toml";

    Loaded load_text(const std::string& text) {
        home.write(".config/lumenpad/config.toml", text);
        return load(path);
    }
};

TEST_F(ConfigFile, AMissingFileIsSilent) {
    const auto loaded = load(path);
    EXPECT_TRUE(loaded.config.contexts.empty());
    EXPECT_EQ(loaded.messages, "");
}

TEST_F(ConfigFile, UnreadableFilesAreReported) {
    home.make_dir(".config/lumenpad/config.toml");
    auto loaded = load(path);
    EXPECT_TRUE(loaded.config.contexts.empty());
    EXPECT_EQ(loaded.messages, "lumenpad: could not read " + path + ": Is a directory (os error 21)\n");

    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    loaded = load(path);
    EXPECT_EQ(loaded.messages, "lumenpad: could not read " + path + ": Invalid argument (os error 22)\n");

    std::filesystem::remove(path);
    loaded = load_text("[[context]]\nname = \"caf\xE9\"\n");
    EXPECT_TRUE(loaded.config.contexts.empty());
    EXPECT_EQ(loaded.messages, "lumenpad: could not read " + path + ": stream did not contain valid UTF-8\n");
}

// "a.a.a…" with `parts` parts.
std::string dotted(std::size_t parts) {
    std::string key = "a";
    for (std::size_t i = 1; i < parts; ++i) {
        key += ".a";
    }
    return key;
}

struct BadConfig {
    const char* what;
    std::string text;
    std::string error;
};

void PrintTo(const BadConfig& config, std::ostream* out) {
    *out << config.what;
}

class ConfigParseErrors : public ConfigFile, public ::testing::WithParamInterface<BadConfig> {};

TEST_P(ConfigParseErrors, DropTheWholeFile) {
    const auto loaded = load_text(GetParam().text);
    EXPECT_TRUE(loaded.config.contexts.empty());
    EXPECT_EQ(loaded.messages, "lumenpad: parse error in " + path + ": " + GetParam().error + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Config, ConfigParseErrors,
    ::testing::Values(
        BadConfig{"syntax", "[[context]]\nname = code\n",
                  "Error while parsing value: could not determine value type at line 2, column 8"},
        BadConfig{"missing_name", "[[context]]\nname = \"code\"\n\n[[context]]\npriority = [\"kitty\"]\n",
                  "context without a \"name\" at line 4, column 1"},
        BadConfig{"context_as_table", "[context]\nname = \"code\"\n",
                  "\"context\" must be an array of tables at line 1, column 1"},
        BadConfig{"context_of_numbers", "context = [1]\n",
                  "every \"context\" entry must be a table at line 1, column 12"},
        BadConfig{"name_not_string", "[[context]]\nname = 5\n",
                  "\"name\" must be a string at line 2, column 8"},
        BadConfig{"number_in_priority", "[[context]]\nname = \"code\"\npriority = [\"kitty\", 3]\n",
                  "\"priority\" must be an array of strings at line 3, column 22"},
        BadConfig{"priority_as_string", "[[context]]\nname = \"code\"\npriority = \"kitty\"\n",
                  "\"priority\" must be an array of strings at line 3, column 12"},
        BadConfig{"show_actions_as_string", "show_actions = \"yes\"\n",
                  "\"show_actions\" must be true or false at line 1, column 16"},
        BadConfig{"launch_prefix_as_string", "launch_prefix = \"uwsm app --\"\n",
                  "\"launch_prefix\" must be an array of strings at line 1, column 17"},
        BadConfig{"number_in_launch_prefix", "launch_prefix = [\"uwsm\", 1]\n",
                  "\"launch_prefix\" must be an array of strings at line 1, column 26"},
        // Each of these crashes or misleads the TOML library: refused first.
        BadConfig{"dotted_key_of_35000_parts", dotted(35000) + " = 1\n",
                  "keys nested more than 256 deep at line 1, column 512"},
        BadConfig{"header_of_100000_parts", "[[context]]\nname = \"x\"\n[" + dotted(100000) + "]\n",
                  "keys nested more than 256 deep at line 3, column 513"},
        BadConfig{"nested_inline_tables", "x = {" + dotted(200) + " = {" + dotted(200) + " = 1}}\n",
                  "keys nested more than 256 deep at line 1, column 518"},
        BadConfig{"under_a_deep_header", "[" + dotted(200) + "]\n" + dotted(100) + " = 1\n",
                  "keys nested more than 256 deep at line 2, column 112"},
        BadConfig{"non_ascii_after_a_value", "x = 1\xC3\xA9\n",
                  "non-ASCII character outside a string or comment at line 1, column 6"},
        BadConfig{"non_ascii_key", "[[context]]\nname = \"x\"\n\xC3\xBC = 1\n",
                  "non-ASCII character outside a string or comment at line 3, column 1"},
        BadConfig{"non_ascii_after_strings", "a = 'x' # \xC3\xA9\nb = \"\\\"\xC3\xA9\" \xE2\x80\x83\n",
                  "non-ASCII character outside a string or comment at line 2, column 11"},
        BadConfig{"above_the_size_cap", "# \xC3\xA9\n" + std::string(1024 * 1024, '\n'),
                  "file longer than 1048576 bytes at line 1048573, column 1"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(ConfigFile, FilesWithoutContexts) {
    for (const std::string text : {"", "\n# only a comment\n", "theme = \"dark\"\n[other]\nkey = 1\n"}) {
        const auto loaded = load_text(text);
        EXPECT_TRUE(loaded.config.contexts.empty()) << text;
        EXPECT_EQ(loaded.messages, "") << text;
    }
}

TEST_F(ConfigFile, ShowActionsIsOffUnlessSetTrue) {
    EXPECT_FALSE(load_text("").config.show_actions);
    EXPECT_TRUE(load_text("show_actions = true\n[[context]]\nname = \"x\"\n").config.show_actions);
    EXPECT_FALSE(load_text("show_actions = false\n").config.show_actions);
    // Only at the top level.
    EXPECT_FALSE(load_text("[[context]]\nname = \"x\"\nshow_actions = true\n").config.show_actions);
}

TEST_F(ConfigFile, LaunchPrefixIsTheWordsGivenAtTheTopLevel) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(load_text("").config.launch_prefix, Words{});
    EXPECT_EQ(load_text("launch_prefix = []\n").config.launch_prefix, Words{});
    const auto loaded = load_text("launch_prefix = [\"systemd-run\", \"--user\", \"--scope\", \"--\"]\n");
    EXPECT_EQ(loaded.messages, "");
    EXPECT_EQ(loaded.config.launch_prefix, (Words{"systemd-run", "--user", "--scope", "--"}));
    EXPECT_EQ(load_text("[[context]]\nname = \"x\"\nlaunch_prefix = [\"uwsm\"]\n").config.launch_prefix,
              Words{});
}

TEST_F(ConfigFile, NonAsciiInStringsAndCommentsAndDeepButBoundedKeys) {
    // Keys under a header count its parts too.
    const auto loaded =
        load_text(dotted(256) +
                  " = 1\n# caf\xC3\xA9\n[[context]] # \xC3\xA9\nname = \"\xC3\xA9\\\"\" # \xC3\xA9\n"
                  "priority = ['\xC3\xBC', \"\"\"\xC3\xB6\n\"\xC3\xA9\"\"\"\"\", '''\xC3\x9F'\n''']\n"
                  "x = [1.5, 2.5, {y.z = 0.5}]\n[b." +
                  dotted(254) + "]\nb = 1\n");
    EXPECT_EQ(loaded.messages, "");
    ASSERT_EQ(loaded.config.contexts.size(), 1U);
    EXPECT_EQ(loaded.config.contexts[0].name, "\xC3\xA9\"");
    EXPECT_EQ(loaded.config.contexts[0].priority,
              (std::vector<std::string>{"\xC3\xBC", "\xC3\xB6\n\"\xC3\xA9\"\"", "\xC3\x9F'\n"}));
}

TEST_F(ConfigFile, ReadsContextsInFileOrder) {
    const auto loaded = load_text(
        "[[context]]\n"
        "name = \"default\"\n"
        "priority = [\"Firefox\", \"Éditeur\"]\n"
        "colour = \"blue\"\n"
        "\n"
        "[[context]]\n"
        "name = \"\"\n"
        "\n"
        "[[context]]\n"
        "name = \"code\"\n"
        "priority = []\n");
    EXPECT_EQ(loaded.messages, "");
    const std::vector<Context> expected = {
        {"default", {"Firefox", "Éditeur"}},
        {"", {}},
        {"code", {}},
    };
    EXPECT_EQ(loaded.config.contexts, expected);
}

TEST_F(ConfigFile, InlineArrayOfTables) {
    const auto loaded = load_text("context = [{ name = \"a\", priority = [\"x\"] }, { name = \"b\" }]\n");
    EXPECT_EQ(loaded.messages, "");
    EXPECT_EQ(loaded.config.contexts, (std::vector<Context>{{"a", {"x"}}, {"b", {}}}));
}

TEST_F(ConfigFile, LoadsFromTheConfigDirectory) {
    home.write(".config/lumenpad/config.toml", "[[context]]\nname = \"code\"\n");
    Config config;
    EXPECT_EQ(default_load_messages(config), "");
    EXPECT_EQ(config.contexts, (std::vector<Context>{{"code", {}}}));
}

TEST_F(ConfigFile, EmptyConfigHomeMeansARelativePath) {
    const ScopedEnv empty("XDG_CONFIG_HOME", "");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(home.path());
    home.write("lumenpad/config.toml", "[context]\n");
    Config config;
    const std::string messages = default_load_messages(config);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(
        messages,
        "lumenpad: parse error in lumenpad/config.toml: \"context\" must be an array of tables at line 1, "
        "column 1\n");
}

struct Selection {
    const char* what;
    std::vector<std::string> names;
    std::string workspace;
    int expected;  // index into names, -1 for nothing
};

void PrintTo(const Selection& selection, std::ostream* out) {
    *out << selection.what;
}

class SelectContext : public ::testing::TestWithParam<Selection> {};

TEST_P(SelectContext, PicksTheExpectedContext) {
    Config config;
    for (std::size_t i = 0; i < GetParam().names.size(); ++i) {
        config.contexts.push_back({GetParam().names[i], {std::to_string(i)}});
    }
    const Context* selected = select_context(config, GetParam().workspace);
    if (GetParam().expected < 0) {
        EXPECT_EQ(selected, nullptr);
    } else {
        EXPECT_EQ(selected, &config.contexts[static_cast<std::size_t>(GetParam().expected)]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Config, SelectContext,
    ::testing::Values(Selection{"exact", {"web", "code"}, "code", 1},
                      Selection{"workspace_beats_earlier_default", {"default", "code"}, "code", 1},
                      Selection{"default_when_no_match", {"web", "default", "code"}, "music", 1},
                      Selection{"first_duplicate", {"code", "code"}, "code", 0},
                      Selection{"first_default", {"default", "default"}, "x", 0},
                      Selection{"case_sensitive", {"Code", "default"}, "code", 1},
                      Selection{"case_sensitive_default", {"Default"}, "x", -1},
                      Selection{"empty_name_for_no_workspace", {"default", ""}, "", 1},
                      Selection{"nothing", {"web"}, "code", -1}, Selection{"no_contexts", {}, "", -1}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace lumenpad
