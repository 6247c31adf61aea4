#include "lumenpad/spawn.hpp"

#include "lumenpad-test/files.hpp"
#include "lumenpad-test/temp_dir.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace lumenpad {
namespace {

// The child of "kill" keeps our standard streams (and what else we leave
// open) but not our ignored SIGPIPE.
TEST(SpawnProgram, InheritedStreamsAreOursAndSigpipeIsAtItsDefault) {
    const test::TempDir dir;
    const std::string report = dir / "report";
    const int kept = open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
    ASSERT_GE(kept, 3);
    signal(SIGPIPE, SIG_IGN);
    const std::string script = "grep SigIgn /proc/$$/status > '" + report +
                               "'; readlink /proc/$$/fd/2 /proc/$$/fd/" + std::to_string(kept) + " >> '" +
                               report + "'";
    const auto child = spawn_program({"sh", "-c", script}, ChildStreams::inherited);
    signal(SIGPIPE, SIG_DFL);
    close(kept);
    ASSERT_TRUE(child);
    int status = 0;
    ASSERT_EQ(waitpid(*child, &status, 0), *child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::istringstream in(test::read_whole_file(report));
    std::string line;
    std::getline(in, line);
    const unsigned long ignored = std::stoul(line.substr(line.find(':') + 1), nullptr, 16);
    EXPECT_EQ(ignored & (1UL << (SIGPIPE - 1)), 0UL) << line;
    char ours[256] = {};
    ASSERT_GT(readlink("/proc/self/fd/2", ours, sizeof ours - 1), 0);
    std::getline(in, line);
    EXPECT_EQ(line, ours);
    std::getline(in, line);
    EXPECT_EQ(line, "/dev/null") << "a descriptor we left open";
}

TEST(SpawnProgram, AProgramThatIsNowhereGivesNothing) {
    const test::TempDir dir;
    EXPECT_FALSE(spawn_program({dir / "missing"}, ChildStreams::detached));
    EXPECT_FALSE(spawn_program({}, ChildStreams::inherited));
}

TEST(LaunchedEnvironment, CarriesOnlyTheLaunchsOwnToken) {
    char* environment[] = {const_cast<char*>("PATH=/bin"), const_cast<char*>("XDG_ACTIVATION_TOKEN=stale"),
                           const_cast<char*>("DESKTOP_STARTUP_ID=old"), const_cast<char*>("HOME=/h"),
                           nullptr};
    using Texts = std::vector<std::string>;
    EXPECT_EQ(launched_environment(environment, std::nullopt), (Texts{"PATH=/bin", "HOME=/h"}));
    EXPECT_EQ(launched_environment(environment, "fresh"),
              (Texts{"PATH=/bin", "HOME=/h", "XDG_ACTIVATION_TOKEN=fresh", "DESKTOP_STARTUP_ID=fresh"}));
}

// The environment given is the child's whole environment.
TEST(SpawnProgram, GivesTheChildTheEnvironmentAsked) {
    const test::TempDir dir;
    const std::string report = dir / "report";
    const std::vector<std::string> environment{"ONLY=this", "PATH=/usr/bin:/bin"};
    const auto child =
        spawn_program({"sh", "-c", "env > '" + report + "'"}, ChildStreams::inherited, &environment);
    ASSERT_TRUE(child);
    int status = 0;
    ASSERT_EQ(waitpid(*child, &status, 0), *child);
    const std::string seen = test::read_whole_file(report);
    EXPECT_NE(seen.find("ONLY=this\n"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("HOME="), std::string::npos) << seen;
}

// The state letter of /proc/PID/stat.
char process_state(pid_t pid) {
    const std::string stat = test::read_whole_file("/proc/" + std::to_string(pid) + "/stat");
    const auto end = stat.rfind(')');
    return end == std::string::npos || end + 2 >= stat.size() ? '?' : stat[end + 2];
}

struct DetachedSpawn {
    const char* what;
    bool held;
};

void PrintTo(const DetachedSpawn& spawn, std::ostream* out) {
    *out << spawn.what;
}

class DetachedChild : public testing::TestWithParam<DetachedSpawn> {};

// Held or not, a detached child starts clean: streams on /dev/null, no
// descriptor of ours (nor the held child's socket), SIGPIPE at its default,
// in the directory and with the environment asked, under its own pid.
TEST_P(DetachedChild, StartsCleanWhereAndAsAsked) {
    const test::TempDir dir;
    const std::string report = dir / "report";
    std::filesystem::create_directory(dir / "cwd");
    const int leaked = open("/dev/null", O_RDONLY);  // deliberately without O_CLOEXEC
    ASSERT_GE(leaked, 3);
    signal(SIGPIPE, SIG_IGN);
    const std::string tmp = "'" + dir / "tmp" + "'";
    const std::vector<std::string> argv{
        "bash", "-c",
        // Each command redirects only itself, so the shell's own descriptors
        // stay as they were given.
        "echo $$ >> " + tmp + "; grep SigIgn /proc/$$/status >> " + tmp + "; pwd >> " + tmp +
            "; echo \"$ONLY\" >> " + tmp + "; readlink /proc/$$/fd/0 /proc/$$/fd/1 /proc/$$/fd/2 >> " + tmp +
            "; ls /proc/$$/fd >> " + tmp + "; mv " + tmp + " '" + report + "'"};
    const std::vector<std::string> environment{"ONLY=this", "PATH=/usr/bin:/bin"};
    const std::string directory = dir / "cwd";
    pid_t pid = 0;
    if (GetParam().held) {
        auto child = spawn_held(argv, &environment, &directory);
        ASSERT_TRUE(child);
        pid = child->pid;
        // Asleep, and its own program not run.
        for (int i = 0; i < 1000 && process_state(pid) != 'S'; ++i) {
            usleep(1000);
        }
        EXPECT_EQ(process_state(pid), 'S');
        EXPECT_FALSE(std::filesystem::exists(dir / "tmp"));
        release_child(*child);
    } else {
        const auto child = spawn_program(argv, ChildStreams::detached, &environment, &directory);
        ASSERT_TRUE(child);
        pid = *child;
    }
    close(leaked);
    signal(SIGPIPE, SIG_DFL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    std::istringstream in(test::read_whole_file(report));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, std::to_string(pid));
    std::getline(in, line);
    const unsigned long ignored = std::stoul(line.substr(line.find(':') + 1), nullptr, 16);
    EXPECT_EQ(ignored & (1UL << (SIGPIPE - 1)), 0UL) << line;
    std::getline(in, line);
    EXPECT_EQ(line, directory);
    std::getline(in, line);
    EXPECT_EQ(line, "this");
    for (int fd = 0; fd <= 2; ++fd) {
        std::getline(in, line);
        EXPECT_EQ(line, "/dev/null") << "descriptor " << fd;
    }
    std::set<std::string> open_fds;
    while (std::getline(in, line)) {
        open_fds.insert(line);
    }
    // bash itself may hold descriptor 255 for the script; nothing else past 2.
    open_fds.erase("255");
    EXPECT_EQ(open_fds, (std::set<std::string>{"0", "1", "2"}));
}

INSTANTIATE_TEST_SUITE_P(Spawns, DetachedChild,
                         testing::Values(DetachedSpawn{"at_once", false}, DetachedSpawn{"held", true}),
                         [](const auto& info) { return std::string(info.param.what); });

// A given environment's PATH finds the program, whatever the launcher's own
// holds; without one the launcher's PATH does. Held or not, a child asked
// for a session of its own leads it; otherwise it stays in ours.
TEST(SpawnProgram, GivenPathAndSessionAreTheChildsOwn) {
    const test::TempDir dir;
    const std::string bin = dir.make_dir("bin");
    const std::string report = dir / "report";
    const std::string probe = dir.write("bin/lumenpad-probe",
                                        // Builtins only: PATH leads nowhere else.
                                        "#!/bin/sh\nout=$1\nread -r stat < /proc/$$/stat\nset -- $stat\n"
                                        "echo \"$6\" > \"$out\"\n");
    ASSERT_EQ(chmod(probe.c_str(), 0755), 0);
    const std::vector<std::string> found{"PATH=" + bin};
    const std::vector<std::string> elsewhere{"PATH=" + (dir / "empty")};
    const std::vector<std::string> argv{"lumenpad-probe", report};
    EXPECT_FALSE(spawn_program(argv, ChildStreams::detached));
    EXPECT_FALSE(spawn_program(argv, ChildStreams::detached, &elsewhere));
    EXPECT_FALSE(spawn_held(argv, &elsewhere));
    struct Case {
        const char* what;
        bool held;
        ChildSession session;
    };
    const Case cases[] = {{"at once, shared", false, ChildSession::shared},
                          {"at once, own", false, ChildSession::own},
                          {"held, shared", true, ChildSession::shared},
                          {"held, own", true, ChildSession::own}};
    for (const Case& c : cases) {
        std::filesystem::remove(report);
        pid_t pid = 0;
        if (c.held) {
            auto child = spawn_held(argv, &found, nullptr, c.session);
            ASSERT_TRUE(child) << c.what;
            pid = child->pid;
            release_child(*child);
        } else {
            const auto child = spawn_program(argv, ChildStreams::detached, &found, nullptr, c.session);
            ASSERT_TRUE(child) << c.what;
            pid = *child;
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid) << c.what;
        const pid_t session = c.session == ChildSession::own ? pid : getsid(0);
        EXPECT_EQ(test::read_whole_file(report), std::to_string(session) + "\n") << c.what;
    }
}

TEST(SpawnHeld, AProgramThatIsNowhereGivesNothing) {
    const test::TempDir dir;
    EXPECT_FALSE(spawn_held({dir / "missing"}));
    EXPECT_FALSE(spawn_held({"lumenpad-no-such-program"}));
    EXPECT_FALSE(spawn_held({}));
}

}  // namespace
}  // namespace lumenpad
