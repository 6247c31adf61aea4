#include "lumenpad/instance.hpp"

#include "lumenpad-test/child.hpp"
#include "lumenpad-test/temp_home.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

extern char** environ;

namespace lumenpad {
namespace {

using test::read_whole_file;
using test::ScopedEnv;
using test::TempDir;
using test::TempHomeTest;

// An unprivileged account for files and processes of "another user".
constexpr uid_t other_uid = 65534;

struct PidCase {
    const char* what;
    std::string text;
    std::optional<std::uint32_t> pid;
};

void PrintTo(const PidCase& pid, std::ostream* out) {
    *out << pid.what;
}

class ParsePid : public ::testing::TestWithParam<PidCase> {};

TEST_P(ParsePid, Table) {
    EXPECT_EQ(parse_pid(GetParam().text), GetParam().pid) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Instance, ParsePid,
    ::testing::Values(PidCase{"plain", "1234", 1234}, PidCase{"plus", "+1234", 1234},
                      PidCase{"leading_zeros", "0001234", 1234}, PidCase{"newline", "1234\n", 1234},
                      PidCase{"white_space_around", " \t1234 \r\n", 1234},
                      PidCase{"unicode_white_space",
                              "\xE2\x80\x83"
                              "1234\xC2\xA0",
                              1234},
                      PidCase{"maximum", "4294967295", 4294967295u}, PidCase{"zero", "0", 0},
                      PidCase{"above_maximum", "4294967296", std::nullopt},
                      PidCase{"far_above_maximum", "99999999999999999999999", std::nullopt},
                      PidCase{"minus", "-1", std::nullopt}, PidCase{"two_plus", "++1", std::nullopt},
                      PidCase{"plus_alone", "+", std::nullopt},
                      PidCase{"space_after_plus", "+ 1", std::nullopt},
                      PidCase{"inner_space", "12 34", std::nullopt}, PidCase{"letter", "12a", std::nullopt},
                      PidCase{"word", "abc", std::nullopt}, PidCase{"hex", "0x10", std::nullopt},
                      PidCase{"empty", "", std::nullopt}, PidCase{"white_space_only", " \n", std::nullopt},
                      PidCase{"arabic_indic_digit", "\xD9\xA1", std::nullopt},
                      PidCase{"not_utf8", "12\xFF", std::nullopt}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(PidFilePath, FollowsTheRuntimeDirectory) {
    const std::string in_tmp = "/tmp/lumenpad-" + std::to_string(::geteuid()) + ".pid";
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {std::nullopt, in_tmp},
        {"/run/user/1000", "/run/user/1000/lumenpad.pid"},
        {"/run/user/1000/", "/run/user/1000/lumenpad.pid"},
        {"", "lumenpad.pid"},
        {"/run/\xFF", in_tmp},
    };
    for (const auto& [runtime_dir, expected] : cases) {
        const ScopedEnv env("XDG_RUNTIME_DIR", runtime_dir);
        EXPECT_EQ(pid_file_path(), expected);
    }
}

class PidFile : public TempHomeTest {
protected:
    std::string runtime = home.make_dir("run");
    std::string path = runtime + "/lumenpad.pid";

    void write_pid_text(const std::string& text) { home.write("run/lumenpad.pid", text); }
};

TEST_F(PidFile, HoldsTheProcessIdAlone) {
    write_pid_file();
    EXPECT_EQ(read_whole_file(path), std::to_string(::getpid()));

    write_pid_text("4294967295\n\n\n\n");
    write_pid_file();
    EXPECT_EQ(read_whole_file(path), std::to_string(::getpid()));

    remove_pid_file();
    EXPECT_FALSE(std::filesystem::exists(path));
    remove_pid_file();
}

TEST_F(PidFile, NeverWritesThroughALink) {
    const std::string victim = home.write("victim", "precious");
    std::filesystem::create_symlink(victim, path);
    write_pid_file();
    EXPECT_EQ(read_whole_file(victim), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
}

TEST_F(PidFile, AFifoInItsPlaceDoesNotBlock) {
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    ::alarm(10);  // a blocking open would end the test run instead of hanging it
    write_pid_file();
    ::alarm(0);
}

TEST_F(PidFile, LeavesAFileOfAnotherUserAlone) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file to another user";
    }
    write_pid_text("1");
    ASSERT_EQ(::chown(path.c_str(), other_uid, other_uid), 0);
    write_pid_file();
    EXPECT_EQ(read_whole_file(path), "1");
}

// A child process running a copy of sleep under the executable name `name`.
class Sleeper {
public:
    Sleeper(const TempDir& dir, const std::string& name, std::optional<uid_t> uid = std::nullopt) {
        const std::string program = dir.make_dir("bin") + "/" + name;
        std::filesystem::copy_file("/bin/sleep", program, std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(program, std::filesystem::perms(0755));
        char arg0[] = "sleep";
        char arg1[] = "30";
        char* argv[] = {arg0, arg1, nullptr};
        if (uid) {
            // Other users need a way to the program through our private directory.
            std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
            std::filesystem::permissions(dir.path() + "/bin", std::filesystem::perms(0755));
            pid_ = ::fork();
            if (pid_ == 0) {
                if (::setgid(*uid) == 0 && ::setuid(*uid) == 0) {
                    ::execv(program.c_str(), argv);
                }
                ::_exit(127);
            }
        } else if (::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, environ) != 0) {
            pid_ = -1;
        }
        // With fork the command name is the test's until exec: wait for the change.
        for (int i = 0; i < 500 && pid_ > 0 && !named(name); ++i) {
            ::usleep(10000);
        }
    }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;
    ~Sleeper() {
        if (pid_ > 0 && running()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    pid_t pid() const { return pid_; }
    bool running() const { return ::waitpid(pid_, nullptr, WNOHANG) == 0; }

    // Waits for the end of the process; true when SIGTERM ended it.
    bool ended_by_sigterm() {
        int status = 0;
        const bool ended = ::waitpid(pid_, &status, 0) == pid_;
        pid_ = -1;
        return ended && WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM;
    }

    bool named(const std::string& name) const {
        return read_whole_file("/proc/" + std::to_string(pid_) + "/comm") == name + "\n";
    }

private:
    pid_t pid_ = -1;
};

using StopRunningInstance = PidFile;

TEST_F(StopRunningInstance, NoPidFile) {
    EXPECT_FALSE(stop_running_instance());
}

TEST_F(StopRunningInstance, PidFileWithoutAProcessId) {
    for (const std::string text : {"", "  \n", "-1", "12 34", "lumenpad", "4294967296"}) {
        write_pid_text(text);
        EXPECT_FALSE(stop_running_instance()) << text;
        EXPECT_EQ(read_whole_file(path), text);
    }
}

TEST_F(StopRunningInstance, AStaleProcessId) {
    pid_t gone = 0;
    char arg0[] = "true";
    char* argv[] = {arg0, nullptr};
    ASSERT_EQ(::posix_spawnp(&gone, "true", nullptr, nullptr, argv, environ), 0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    write_pid_text(std::to_string(gone));
    EXPECT_FALSE(stop_running_instance());
}

TEST_F(StopRunningInstance, AProcessOfAnotherName) {
    Sleeper other(home, "sleep");
    ASSERT_GT(other.pid(), 0);
    write_pid_text(std::to_string(other.pid()));
    EXPECT_FALSE(stop_running_instance());
    EXPECT_TRUE(other.running());
}

TEST_F(StopRunningInstance, ALongerNameThatStartsTheSame) {
    Sleeper other(home, "lumenpad-old");
    ASSERT_GT(other.pid(), 0);
    write_pid_text(std::to_string(other.pid()));
    EXPECT_FALSE(stop_running_instance());
    EXPECT_TRUE(other.running());
}

TEST_F(StopRunningInstance, StopsARunningLauncher) {
    Sleeper launcher(home, "lumenpad");
    ASSERT_GT(launcher.pid(), 0);
    const std::string text = " +00" + std::to_string(launcher.pid()) + "\n";
    write_pid_text(text);
    EXPECT_TRUE(stop_running_instance());
    EXPECT_TRUE(launcher.ended_by_sigterm());
    EXPECT_EQ(read_whole_file(path), text);
}

TEST_F(StopRunningInstance, WithoutKillStillReportsTheLauncher) {
    Sleeper launcher(home, "lumenpad");
    ASSERT_GT(launcher.pid(), 0);
    write_pid_text(std::to_string(launcher.pid()));
    const ScopedEnv path_env("PATH", home.make_dir("empty-bin"));
    EXPECT_TRUE(stop_running_instance());
    EXPECT_TRUE(launcher.running());
}

TEST_F(StopRunningInstance, IgnoresAPidFileOfAnotherUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file to another user";
    }
    Sleeper launcher(home, "lumenpad");
    ASSERT_GT(launcher.pid(), 0);
    write_pid_text(std::to_string(launcher.pid()));
    ASSERT_EQ(::chown(path.c_str(), other_uid, other_uid), 0);
    EXPECT_FALSE(stop_running_instance());
    EXPECT_TRUE(launcher.running());
}

TEST_F(StopRunningInstance, LeavesALauncherOfAnotherUserAlone) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to start a process as another user";
    }
    Sleeper launcher(home, "lumenpad", other_uid);
    ASSERT_GT(launcher.pid(), 0);
    ASSERT_TRUE(launcher.named("lumenpad"));
    write_pid_text(std::to_string(launcher.pid()));
    EXPECT_FALSE(stop_running_instance());
    EXPECT_TRUE(launcher.running());
}

// Without XDG_RUNTIME_DIR the pid file lies in the shared /tmp; another
// user's file there must not take the toggle from us. In a child with a
// private /tmp.
TEST_F(StopRunningInstance, AnotherUsersFileInTmpLeavesTheToggleWorking) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root for a private /tmp and a file of another user";
    }
    Sleeper launcher(home, "lumenpad");
    ASSERT_GT(launcher.pid(), 0);
    env.unset("XDG_RUNTIME_DIR");
    const std::string report = test::in_child([&]() -> std::string {
        if (auto skip = test::enter_private_mounts(); !skip.empty()) {
            return skip;
        }
        if (!test::mount_tmpfs("/tmp", "mode=1777")) {
            return "could not mount a tmpfs on /tmp";
        }
        const std::string ours = pid_file_path();
        for (const char* name : {"/tmp/lumenpad.pid", "/tmp/lumenpad-1000.pid"}) {
            test::write_file(name, "1");
            if (::chown(name, other_uid, other_uid) != 0) {
                return std::string("could not give away ") + name;
            }
        }
        write_pid_file();
        if (read_whole_file(ours) != std::to_string(::getpid())) {
            return "our pid file holds " + read_whole_file(ours);
        }
        test::write_file(ours, std::to_string(launcher.pid()));
        if (!stop_running_instance()) {
            return "the toggle did not find our launcher";
        }
        for (const char* name : {"/tmp/lumenpad.pid", "/tmp/lumenpad-1000.pid"}) {
            if (read_whole_file(name) != "1") {
                return std::string("another user's file changed: ") + name;
            }
        }
        return {};
    });
    if (report.starts_with(test::skip_report)) {
        GTEST_SKIP() << report;
    }
    EXPECT_EQ(report, "");
    EXPECT_TRUE(launcher.ended_by_sigterm());
}

}  // namespace
}  // namespace lumenpad
