#include "lumenpad/spawn.hpp"

#include "lumenpad-test/files.hpp"
#include "lumenpad-test/temp_dir.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
}  // namespace lumenpad
