#include "lumenpad/dirs.hpp"

#include "lumenpad-test/child.hpp"
#include "lumenpad-test/temp_home.hpp"
#include "lumenpad/config.hpp"
#include "lumenpad/history.hpp"
#include "lumenpad/manifest.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

namespace lumenpad {
namespace {

using test::in_child;
using test::read_whole_file;
using test::skip_report;
using test::TempHomeTest;
using test::write_file;

std::string password_home() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

// Values of XDG_CONFIG_HOME and XDG_CACHE_HOME (the same for both) and HOME;
// "{home}" stands for the test's home, "{passwd}" for the password database's,
// and nothing means unset. The expectation is for the cache directory; the
// configuration directory is the same with ".config" for ".cache".
struct DirCase {
    const char* what;
    std::optional<std::string> xdg;
    std::optional<std::string> home;
    std::string cache;
};

void PrintTo(const DirCase& c, std::ostream* out) {
    *out << c.what;
}

class LauncherDirs : public TempHomeTest, public ::testing::WithParamInterface<DirCase> {
protected:
    std::string expand(std::string text) const {
        for (const auto& [token, value] :
             {std::pair<std::string, std::string>{"{home}", home.path()},
              std::pair<std::string, std::string>{"{passwd}", password_home()}}) {
            if (const auto at = text.find(token); at != std::string::npos) {
                text.replace(at, token.size(), value);
            }
        }
        return text;
    }
};

TEST_P(LauncherDirs, Table) {
    const auto expand_optional = [&](const std::optional<std::string>& text) {
        return text ? std::optional(expand(*text)) : std::nullopt;
    };
    env.set("XDG_CONFIG_HOME", expand_optional(GetParam().xdg));
    env.set("XDG_CACHE_HOME", expand_optional(GetParam().xdg));
    env.set("HOME", expand_optional(GetParam().home));
    std::string config = expand(GetParam().cache);
    if (const auto at = config.find(".cache"); at != std::string::npos) {
        config.replace(at, 6, ".config");
    }
    EXPECT_EQ(cache_dir(), expand(GetParam().cache));
    EXPECT_EQ(config_dir(), config);
}

INSTANTIATE_TEST_SUITE_P(
    Dirs, LauncherDirs,
    ::testing::Values(DirCase{"xdg_set", "/x/", "{home}", "/x/lumenpad"},
                      DirCase{"xdg_empty", "", "{home}", "lumenpad"},
                      DirCase{"xdg_not_utf8", "/x\xFF", "{home}", "{home}/.cache/lumenpad"},
                      DirCase{"home", std::nullopt, "{home}", "{home}/.cache/lumenpad"},
                      DirCase{"home_unset", std::nullopt, std::nullopt, "{passwd}/.cache/lumenpad"},
                      DirCase{"home_not_utf8", std::nullopt, "/home/caf\xE9", "{passwd}/.cache/lumenpad"},
                      DirCase{"home_unset_xdg_set", "/x", std::nullopt, "/x/lumenpad"}),
    [](const auto& info) { return std::string(info.param.what); });

// Without HOME the launcher once fell back to /tmp, where any local user can
// lay out its configuration, manifest and history first. These run in a
// child with a private /tmp, with such files planted there by another user.
class WithoutHome : public TempHomeTest {
protected:
    WithoutHome() {
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
            env.unset(name);
        }
    }

    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "needs root for a private /tmp and files of another user";
        }
    }

    // In the child: a tmpfs over /tmp with the planted files, and the victim's
    // file that the planted history.json links to.
    static std::string plant_in_tmp() {
        if (auto skip = test::enter_private_mounts(); !skip.empty()) {
            return skip;
        }
        if (!test::mount_tmpfs("/tmp", "mode=1777")) {
            return "could not mount a tmpfs on /tmp";
        }
        write_file("/tmp/victim/.bashrc", "export PATH=/usr/bin\n");
        write_file("/tmp/.config/lumenpad/config.toml",
                   "[[context]]\nname = \"default\"\npriority = [\"x\"]\n");
        write_file("/tmp/.cache/lumenpad/manifest.json", R"({"icon":"/tmp/icon.png"})");
        std::filesystem::create_symlink("/tmp/victim/.bashrc", "/tmp/.cache/lumenpad/history.json");
        for (const char* path : {"/tmp/.config", "/tmp/.config/lumenpad", "/tmp/.config/lumenpad/config.toml",
                                 "/tmp/.cache", "/tmp/.cache/lumenpad", "/tmp/.cache/lumenpad/manifest.json",
                                 "/tmp/.cache/lumenpad/history.json"}) {
            if (::lchown(path, 65534, 65534) != 0) {
                return std::string("could not give away ") + path;
            }
        }
        return {};
    }

    static std::string untouched_victim() {
        if (read_whole_file("/tmp/victim/.bashrc") != "export PATH=/usr/bin\n") {
            return "the victim's file changed: " + read_whole_file("/tmp/victim/.bashrc");
        }
        if (!std::filesystem::is_symlink("/tmp/.cache/lumenpad/history.json")) {
            return "the planted link was replaced";
        }
        return {};
    }

    static void expect_report(const std::string& report) {
        if (report.starts_with(skip_report)) {
            GTEST_SKIP() << report;
        }
        EXPECT_EQ(report, "");
    }
};

TEST_F(WithoutHome, TheHomeComesFromThePasswordDatabase) {
    const std::string home_in_child = password_home();
    if (!std::filesystem::is_directory(home_in_child)) {
        GTEST_SKIP() << "the password database's home " << home_in_child << " is not a directory";
    }
    expect_report(in_child([&]() -> std::string {
        if (auto failed = plant_in_tmp(); !failed.empty()) {
            return failed;
        }
        // The real home must not be touched: a private tmpfs goes over it.
        if (!test::mount_tmpfs(home_in_child, "mode=0700")) {
            return "could not mount a tmpfs on " + home_in_child;
        }
        if (!load_config().contexts.empty() || !load_manifest().empty()) {
            return "read a planted file";
        }
        History history = load_history();
        if (history.path != home_in_child + "/.cache/lumenpad/history.json" || !history.counts.empty()) {
            return "history at " + history.path.value_or("nowhere");
        }
        record_launch(history, "B");
        save_history(history);
        if (auto failed = untouched_victim(); !failed.empty()) {
            return failed;
        }
        const auto saved = read_whole_file(*history.path);
        return saved == R"({"B":1})" ? "" : "saved " + saved;
    }));
}

TEST_F(WithoutHome, NoHomeAtAllKeepsTheHistoryInMemory) {
    const uid_t stranger = test::uid_without_password_entry();
    expect_report(in_child([&]() -> std::string {
        if (auto failed = plant_in_tmp(); !failed.empty()) {
            return failed;
        }
        if (::setgid(stranger) != 0 || ::setuid(stranger) != 0) {
            return "could not become a user without a home";
        }
        if (config_dir() || cache_dir()) {
            return "a directory: " + config_dir().value_or("") + " " + cache_dir().value_or("");
        }
        if (!load_config().contexts.empty() || !load_manifest().empty()) {
            return "read a planted file";
        }
        History history = load_history();
        if (history.path || !history.counts.empty()) {
            return "history at " + history.path.value_or("nowhere");
        }
        record_launch(history, "B");
        save_history(history);
        if (launch_count(history, "B") != 1) {
            return "the count was lost";
        }
        return untouched_victim();
    }));
}

}  // namespace
}  // namespace lumenpad
