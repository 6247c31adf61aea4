#include "widget_support.hpp"

#include <unistd.h>

#include <set>
#include <utility>

namespace oriel {
namespace {

using lumenpad::test::write_file;
using testing::drain_main_loop;
using testing::wait_until;

int calls = 0;

void count_call() {
    ++calls;
}

// An independent monitor on the same directory: it shows when GIO has
// delivered the events of a file, so that the absence of a call means
// something.
class Witness {
public:
    explicit Witness(const std::string& dir)
        : monitor_(lumenpad::adopt(
              g_file_monitor_directory(lumenpad::adopt(g_file_new_for_path(dir.c_str())).get(),
                                       G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr))) {
        g_signal_connect(monitor_.get(), "changed", G_CALLBACK(&Witness::on_changed), this);
    }
    Witness(const Witness&) = delete;
    Witness& operator=(const Witness&) = delete;
    ~Witness() { g_signal_handlers_disconnect_by_data(monitor_.get(), this); }

    // Waits until the writing of `name` is reported complete.
    bool wait_for_write(const std::string& name) {
        return wait_until([&] { return done_.count(name) > 0; });
    }

private:
    static void on_changed(GFileMonitor*, GFile* file, GFile*, GFileMonitorEvent event, gpointer self) {
        if (event == G_FILE_MONITOR_EVENT_CHANGES_DONE_HINT) {
            const lumenpad::GCharPtr name(g_file_get_basename(file));
            static_cast<Witness*>(self)->done_.insert(name.get());
        }
    }

    lumenpad::GObjectPtr<GFileMonitor> monitor_;
    std::set<std::string> done_;
};

class WatchThemeFile : public testing::GtkTest {
protected:
    void SetUp() override {
        GtkTest::SetUp();
        calls = 0;
    }

    std::string theme_dir() const { return dir / "run/oriel"; }
};

TEST_F(WatchThemeFile, CreatesTheDirectoryAndFiresOnAWrite) {
    env.set("XDG_RUNTIME_DIR", dir / "run/missing/parents");
    const auto monitor = watch_theme_file(count_call);
    ASSERT_TRUE(monitor);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "run/missing/parents/oriel"));
    write_file(dir / "run/missing/parents/oriel/theme.css", "window {}");
    EXPECT_TRUE(wait_until([] { return calls > 0; }));
}

TEST_F(WatchThemeFile, FiresWhenAFileIsRenamedOntoTheThemeFile) {
    const auto monitor = watch_theme_file(count_call);
    ASSERT_TRUE(monitor);
    Witness witness(theme_dir());
    write_file(theme_dir() + "/theme.css.tmp", "window {}");
    ASSERT_TRUE(witness.wait_for_write("theme.css.tmp"));
    drain_main_loop();
    EXPECT_EQ(calls, 0) << "the temporary file is another file";
    std::filesystem::rename(theme_dir() + "/theme.css.tmp", theme_file());
    EXPECT_TRUE(wait_until([] { return calls > 0; }));
}

TEST_F(WatchThemeFile, FiresWhenTheThemeFileIsDeleted) {
    write_file(theme_file(), "window {}");
    const auto monitor = watch_theme_file(count_call);
    ASSERT_TRUE(monitor);
    drain_main_loop();
    ASSERT_EQ(calls, 0);
    std::filesystem::remove(theme_file());
    EXPECT_TRUE(wait_until([] { return calls > 0; }));
}

TEST_F(WatchThemeFile, IgnoresOtherFilesInTheDirectory) {
    const auto monitor = watch_theme_file(count_call);
    ASSERT_TRUE(monitor);
    Witness witness(theme_dir());
    write_file(theme_dir() + "/other.css", "window {}");
    write_file(theme_dir() + "/theme.css.bak", "window {}");
    ASSERT_TRUE(witness.wait_for_write("other.css"));
    ASSERT_TRUE(witness.wait_for_write("theme.css.bak"));
    drain_main_loop();
    EXPECT_EQ(calls, 0);
    write_file(theme_file(), "window {}");
    EXPECT_TRUE(wait_until([] { return calls > 0; })) << "the monitor is alive";
}

TEST_F(WatchThemeFile, MatchesARelativeOrUntidyBase) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    env.unset("XDG_RUNTIME_DIR");
    env.unset("XDG_CACHE_HOME");
    env.set("HOME", "./relative//home/../home");
    ASSERT_EQ(theme_file_path(), "./relative//home/../home/.cache/oriel/theme.css");
    std::filesystem::create_directories(dir / "relative/home");
    auto monitor = watch_theme_file(count_call);
    std::filesystem::current_path(cwd);
    ASSERT_TRUE(monitor);
    write_file(dir / "relative/home/.cache/oriel/theme.css", "window {}");
    EXPECT_TRUE(wait_until([] { return calls > 0; }));
}

TEST_F(WatchThemeFile, ReleasingTheMonitorFreesItAndStopsTheCalls) {
    auto monitor = watch_theme_file(count_call);
    ASSERT_TRUE(monitor);
    gpointer alive = monitor.get();
    g_object_add_weak_pointer(G_OBJECT(monitor.get()), &alive);
    Witness witness(theme_dir());
    monitor.reset();
    EXPECT_EQ(alive, nullptr);
    write_file(theme_file(), "window {}");
    ASSERT_TRUE(witness.wait_for_write("theme.css"));
    drain_main_loop();
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace oriel
