#include "lumenpad/launch.hpp"

#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_dir.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace lumenpad {
namespace {

namespace fs = std::filesystem;

using test::ScopedEnv;
using test::TempDir;

class ChooseTerminal : public testing::Test {
protected:
    void SetUp() override { env.unset("TERMINAL"); }
    std::string program(const std::string& dir, const std::string& name) {
        root.write(dir + "/" + name, "#!/bin/sh\n");
        return root / dir;
    }
    TempDir root;
    ScopedEnv env;
};

TEST_F(ChooseTerminal, CandidateOrderOutranksPathOrder) {
    const auto wezterm_dir = program("a", "wezterm");
    const auto foot_dir = program("b", "foot");
    env.set("PATH", wezterm_dir + ":" + foot_dir);
    EXPECT_EQ(choose_terminal(), "foot");
}

TEST_F(ChooseTerminal, FindsKittyBeforeXterm) {
    const auto dir = program("bin", "kitty");
    program("bin", "xterm");
    env.set("PATH", dir + "/");
    EXPECT_EQ(choose_terminal(), "kitty");
}

TEST_F(ChooseTerminal, TerminalVariableWinsUnlessEmpty) {
    const auto dir = program("bin", "alacritty");
    env.set("PATH", dir);
    env.set("TERMINAL", "my-term --flag");
    EXPECT_EQ(choose_terminal(), "my-term --flag");
    env.set("TERMINAL", "");
    EXPECT_EQ(choose_terminal(), "alacritty");
}

TEST_F(ChooseTerminal, EmptyPathComponentsMeanTheWorkingDirectory) {
    program("cwd", "ghostty");
    const auto old = fs::current_path();
    fs::current_path(root / "cwd");
    env.set("PATH", "/nonexistent:");
    EXPECT_EQ(choose_terminal(), "ghostty");
    env.unset("PATH");
    EXPECT_EQ(choose_terminal(), "ghostty");
    fs::current_path(root.path());
    EXPECT_EQ(choose_terminal(), "xterm");
    fs::current_path(old);
}

// A client's environment is read instead of the launcher's: its TERMINAL,
// else its PATH, and nothing of the launcher's.
TEST_F(ChooseTerminal, AGivenEnvironmentIsReadInsteadOfOurs) {
    env.set("PATH", program("ours", "kitty"));
    env.set("TERMINAL", "our-term");
    const std::string theirs = program("theirs", "wezterm");
    using Texts = std::vector<std::string>;
    const Texts with_terminal{"PATH=" + theirs, "TERMINAL=their-term"};
    const Texts with_path{"HOME=/h", "PATH=" + theirs};
    const Texts with_empty_terminal{"TERMINAL=", "PATH=" + theirs};
    const Texts with_nothing{"HOME=/h"};
    EXPECT_EQ(choose_terminal(&with_terminal), "their-term");
    EXPECT_EQ(choose_terminal(&with_path), "wezterm");
    EXPECT_EQ(choose_terminal(&with_empty_terminal), "wezterm");
    EXPECT_EQ(choose_terminal(&with_nothing), "xterm");
    AppEntry e;
    e.exec = "htop";
    e.terminal = true;
    EXPECT_EQ(launch_argv(e, {}, &with_path), (Texts{"wezterm", "-e", "bash", "-c", "htop"}));
}

TEST_F(ChooseTerminal, FallsBackToXtermByName) {
    env.set("PATH", root / "empty");
    EXPECT_EQ(choose_terminal(), "xterm");
}

TEST(LaunchArgv, WrapsTheTrimmedCommandInBash) {
    AppEntry e;
    e.name = "Editor";
    e.exec = " \teditor --new-window  file\t ";
    EXPECT_EQ(launch_argv(e), (std::vector<std::string>{"bash", "-c", "editor --new-window  file"}));
}

TEST(LaunchArgv, PutsTerminalEntriesInsideTheTerminal) {
    const ScopedEnv terminal("TERMINAL", "kitty");
    AppEntry e;
    e.exec = "htop -d 10";
    e.terminal = true;
    EXPECT_EQ(launch_argv(e), (std::vector<std::string>{"kitty", "-e", "bash", "-c", "htop -d 10"}));
}

TEST(LaunchArgv, PutsThePrefixBeforeTheTerminalOrBash) {
    const ScopedEnv terminal("TERMINAL", "kitty");
    AppEntry e;
    e.exec = "htop";
    const std::vector<std::string> prefix{"uwsm", "app", "--"};
    EXPECT_EQ(launch_argv(e, prefix), (std::vector<std::string>{"uwsm", "app", "--", "bash", "-c", "htop"}));
    e.terminal = true;
    EXPECT_EQ(launch_argv(e, prefix),
              (std::vector<std::string>{"uwsm", "app", "--", "kitty", "-e", "bash", "-c", "htop"}));
}

TEST(EntryEnvironment, NamesTheEntryAndItsActionInPlaceOfInheritedNames) {
    using Texts = std::vector<std::string>;
    const Texts inherited{"DESKTOP_ENTRY_ID=old", "PATH=/bin", "DESKTOP_ENTRY_ACTION=old",
                          "DESKTOP_ENTRY_IDX=1"};
    AppEntry app;
    app.desktop_id = "org.example.Web-Browser";
    EXPECT_EQ(entry_environment(inherited, app),
              (Texts{"PATH=/bin", "DESKTOP_ENTRY_IDX=1", "DESKTOP_ENTRY_ID=org.example.Web-Browser"}));
    app.action = "new-private";
    EXPECT_EQ(entry_environment(inherited, app),
              (Texts{"PATH=/bin", "DESKTOP_ENTRY_IDX=1", "DESKTOP_ENTRY_ID=org.example.Web-Browser",
                     "DESKTOP_ENTRY_ACTION=new-private"}));
}

// The child must start clean: streams on /dev/null, no descriptor of ours,
// SIGPIPE back at its default although we ignore it.
TEST(LaunchEntry, ChildGetsNullStreamsNoLeakedDescriptorsAndDefaultSigpipe) {
    const TempDir dir;
    const std::string report = dir / "report";
    const int leaked = open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
    ASSERT_GE(leaked, 3);
    signal(SIGPIPE, SIG_IGN);

    AppEntry e;
    // Each command redirects only itself and none runs in a pipeline, so
    // bash's own descriptors stay as the launcher left them.
    const std::string tmp = "'" + dir / "tmp" + "'";
    e.exec = "grep SigIgn /proc/$$/status >> " + tmp +
             "; readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2 >> " + tmp + "; ls /proc/$$/fd >> " + tmp +
             "; mv " + tmp + " '" + report + "'";
    launch_entry(e);
    close(leaked);
    signal(SIGPIPE, SIG_DFL);

    for (int i = 0; i < 1000 && !fs::exists(report); ++i) {
        usleep(10 * 1000);
    }
    ASSERT_TRUE(fs::exists(report)) << "the child did not run";
    std::ifstream in(report);
    std::string line;
    std::getline(in, line);
    const unsigned long ignored = std::stoul(line.substr(line.find(':') + 1), nullptr, 16);
    EXPECT_EQ(ignored & (1UL << (SIGPIPE - 1)), 0UL) << line;
    for (int fd = 0; fd <= 2; ++fd) {
        std::getline(in, line);
        EXPECT_EQ(line, "/dev/null") << "descriptor " << fd;
    }
    std::set<int> open_fds;
    while (std::getline(in, line)) {
        open_fds.insert(std::stoi(line));
    }
    // bash itself may hold descriptor 255 for the script; nothing else past 2.
    open_fds.erase(255);
    EXPECT_EQ(open_fds, (std::set<int>{0, 1, 2}));
}

}  // namespace
}  // namespace lumenpad
