// Changes to what the inputs are read from, in a private home: each settled
// burst says "stale" once, after its last change; nothing else does, and
// nothing is scheduled while nothing changes.
#include "lumenpad/inputs_watch.hpp"

#include "lumenpad-test/temp_home.hpp"
#include "own_context.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace lumenpad {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Long beside the pause within a two-part write, short for a test.
constexpr auto quiet = 400ms;
const std::string app = "[Desktop Entry]\nType=Application\nName=App\nExec=app\n";

class InputsWatchTest : public test::TempHomeTest {
protected:
    std::string path(const std::string& relative) const { return home / relative; }

    test::OwnContext context;
};

using Step = void (*)(const test::TempDir&, test::OwnContext&);

struct Change {
    const char* name;
    Step prepare;
    Step change;
    int calls;
    // A second change after the first settled, which must be seen too.
    Step then = nullptr;
    // Whether app.desktop is whole when `stale` runs.
    bool whole_at_call = false;
};

void PrintTo(const Change& change, std::ostream* out) {
    *out << change.name;
}

class ChangeSettles : public InputsWatchTest, public ::testing::WithParamInterface<Change> {};

void nothing(const test::TempDir&, test::OwnContext&) {}

// Written in parts, each after a pause shorter than the quiet period, for
// longer than the quiet period in all.
void write_in_parts(const std::string& file, test::OwnContext& context) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    constexpr std::size_t parts = 6;
    const std::size_t size = (app.size() + parts - 1) / parts;
    for (std::size_t at = 0; at < app.size(); at += size) {
        if (at > 0) {
            context.run_for(quiet / 4);
        }
        const std::string part = app.substr(at, size);
        ASSERT_EQ(::write(fd, part.data(), part.size()), static_cast<ssize_t>(part.size()));
    }
    ::close(fd);
}

TEST_P(ChangeSettles, CallsStaleOnceAfterTheLastChange) {
    GetParam().prepare(home, context);
    int calls = 0;
    std::string at_call;
    const InputsWatch watch(
        watched_inputs(),
        [&] {
            ++calls;
            at_call = test::read_whole_file(path("system/applications/app.desktop"));
        },
        quiet);
    ASSERT_TRUE(context.run_until_idle());

    GetParam().change(home, context);
    if (GetParam().calls > 0) {
        ASSERT_TRUE(context.run_until([&] { return calls > 0; }));
    }
    ASSERT_TRUE(context.run_until_idle());
    EXPECT_EQ(calls, GetParam().calls);
    if (GetParam().whole_at_call) {
        EXPECT_EQ(at_call, app);
    }
    if (GetParam().then != nullptr) {
        GetParam().then(home, context);
        ASSERT_TRUE(context.run_until([&] { return calls > GetParam().calls; }));
        ASSERT_TRUE(context.run_until_idle());
        EXPECT_EQ(calls, GetParam().calls + 1);
    }
}

void make_system_dir(const test::TempDir& home, test::OwnContext&) {
    home.make_dir("system/applications");
}

void write_app(const test::TempDir& home, test::OwnContext&) {
    home.write("system/applications/app.desktop", app);
}

void write_user_app(const test::TempDir& home, test::OwnContext&) {
    home.write(".local/share/applications/user.desktop", app);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChangeSettles,
    ::testing::Values(
        Change{"FileAdded", make_system_dir, write_app, 1},
        Change{"EditedInPlace", write_app,
               [](const test::TempDir& home, test::OwnContext&) {
                   test::write_file(home / "system/applications/app.desktop", app + "Comment=x\n");
               },
               1},
        Change{"Removed", write_app,
               [](const test::TempDir& home, test::OwnContext&) {
                   fs::remove(home / "system/applications/app.desktop");
               },
               1},
        Change{"RenamedIntoPlace",
               [](const test::TempDir& home, test::OwnContext& context) {
                   make_system_dir(home, context);
                   home.write("staging/app.desktop", app);
               },
               [](const test::TempDir& home, test::OwnContext&) {
                   fs::rename(home / "staging/app.desktop", home / "system/applications/app.desktop");
               },
               1},
        Change{"RenamedWithinTheDirectory",
               [](const test::TempDir& home, test::OwnContext&) {
                   home.write("system/applications/.app.tmp", app);
               },
               [](const test::TempDir& home, test::OwnContext&) {
                   fs::rename(home / "system/applications/.app.tmp",
                              home / "system/applications/app.desktop");
               },
               1},
        Change{"WrittenInParts", make_system_dir,
               [](const test::TempDir& home, test::OwnContext& context) {
                   write_in_parts(home / "system/applications/app.desktop", context);
               },
               1, nullptr, true},
        // No ~/.local at all at the start: the directory and its parents come later.
        Change{"DirectoryMadeLater", nothing, write_user_app, 1,
               [](const test::TempDir& home, test::OwnContext&) {
                   home.write(".local/share/applications/b.desktop", app);
               }},
        Change{"DirectoryRemovedAndMadeAgain", write_app,
               [](const test::TempDir& home, test::OwnContext&) { fs::remove_all(home / "system"); }, 1,
               write_app},
        Change{"DirectoryThroughALink",
               [](const test::TempDir& home, test::OwnContext&) {
                   home.make_dir("elsewhere/apps");
                   home.make_dir("system");
                   fs::create_directory_symlink(home / "elsewhere/apps", home / "system/applications");
               },
               [](const test::TempDir& home, test::OwnContext&) {
                   home.write("elsewhere/apps/app.desktop", app);
               },
               1},
        Change{"ConfigMadeWithItsDirectories", nothing,
               [](const test::TempDir& home, test::OwnContext&) {
                   home.write(".config/lumenpad/config.toml", "x = 1\n");
               },
               1},
        Change{"StylesheetEdited",
               [](const test::TempDir& home, test::OwnContext&) {
                   home.write(".config/lumenpad/style.css", "a {}\n");
               },
               [](const test::TempDir& home, test::OwnContext&) {
                   home.write(".config/lumenpad/style.css", "b {}\n");
               },
               1},
        Change{"ConfigEditedWhereItsLinkLeads",
               [](const test::TempDir& home, test::OwnContext&) {
                   home.write("dotfiles/config.toml", "x = 1\n");
                   home.make_dir(".config/lumenpad");
                   fs::create_symlink(home / "dotfiles/config.toml", home / ".config/lumenpad/config.toml");
               },
               [](const test::TempDir& home, test::OwnContext&) {
                   home.write("dotfiles/config.toml", "x = 2\n");
               },
               1},
        Change{"ManifestWritten", nothing,
               [](const test::TempDir& home,
                  test::OwnContext&) { home.write(".cache/lumenpad/manifest.json", "{}"); },
               1},
        Change{
            "WalColoursWritten",
            [](const test::TempDir& home, test::OwnContext&) { home.make_dir(".cache/wal"); },
            [](const test::TempDir& home, test::OwnContext&) { home.write(".cache/wal/colors.json", "{}"); },
            1},
        Change{"OtherFileBesideTheConfig",
               [](const test::TempDir& home, test::OwnContext&) { home.make_dir(".config/lumenpad"); },
               [](const test::TempDir& home, test::OwnContext&) {
                   home.write(".config/lumenpad/notes.txt", "x");
               },
               0},
        Change{"FileInASubdirectory",
               [](const test::TempDir& home, test::OwnContext&) { home.make_dir("system/applications/sub"); },
               [](const test::TempDir& home, test::OwnContext&) {
                   home.write("system/applications/sub/app.desktop", app);
               },
               0},
        Change{"OtherDirectoryBesideTheMissingOne",
               [](const test::TempDir& home, test::OwnContext&) { home.make_dir(".local"); },
               [](const test::TempDir& home, test::OwnContext&) { home.write(".local/state/x", "x"); }, 0}),
    [](const ::testing::TestParamInfo<Change>& info) { return info.param.name; });

TEST_F(InputsWatchTest, SchedulesNothingWhileNothingChanges) {
    home.write("system/applications/app.desktop", app);
    home.write(".config/lumenpad/config.toml", "");
    int calls = 0;
    const InputsWatch watch([&] { ++calls; });
    EXPECT_TRUE(context.run_until_idle());
    EXPECT_EQ(calls, 0);
}

TEST_F(InputsWatchTest, DroppedWithASettlePendingNeverCalls) {
    home.make_dir("system/applications");
    int dropped_calls = 0;
    int probe_calls = 0;
    auto dropped = std::make_unique<InputsWatch>(
        watched_inputs(), [&] { ++dropped_calls; }, 2 * quiet);
    // Sees the same change sooner: once it has, the other has seen it too
    // and waits out its quiet period.
    const InputsWatch probe(
        watched_inputs(), [&] { ++probe_calls; }, quiet / 4);
    home.write("system/applications/app.desktop", app);
    ASSERT_TRUE(context.run_until([&] { return probe_calls > 0; }));
    dropped.reset();
    EXPECT_TRUE(context.run_until_idle());
    EXPECT_EQ(dropped_calls, 0);
}

}  // namespace
}  // namespace lumenpad
