#include "lumenpad/catalogue.hpp"

#include "lumenpad-test/temp_home.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace lumenpad {
namespace {

using test::TempHomeTest;

std::string desktop_file(const std::string& name, const std::string& exec, const std::string& extra = "") {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n" + extra;
}

// "name|exec" of each entry, sorted, since the catalogue's order is unspecified.
std::vector<std::string> summary(const std::vector<AppEntry>& catalogue) {
    std::vector<std::string> out;
    for (const auto& entry : catalogue) {
        out.push_back(entry.name + "|" + entry.exec);
    }
    std::sort(out.begin(), out.end());
    return out;
}

using ScanApplications = TempHomeTest;

TEST_F(ScanApplications, NoDirectoryExists) {
    EXPECT_TRUE(scan_applications({home.path() + "/none", home.path() + "/also-none"}).empty());
    EXPECT_TRUE(scan_applications(std::vector<std::string>{}).empty());
}

TEST_F(ScanApplications, LaterDirectoryWinsForSameFileName) {
    const auto a = home.make_dir("a");
    const auto b = home.make_dir("b");
    const auto c = home.make_dir("c");
    home.write("a/app.desktop", desktop_file("App", "from-a"));
    home.write("b/app.desktop", desktop_file("App", "from-b"));
    home.write("c/app.desktop", desktop_file("App", "from-c"));
    home.write("a/only-a.desktop", desktop_file("OnlyA", "only-a"));
    EXPECT_EQ(summary(scan_applications({a, b, c})),
              (std::vector<std::string>{"App|from-c", "OnlyA|only-a"}));
    EXPECT_EQ(summary(scan_applications({c, b, a})),
              (std::vector<std::string>{"App|from-a", "OnlyA|only-a"}));
}

// Threads that help read the files change nothing of the result, and a help
// that comes before the listing, or after the scan, returns.
TEST_F(ScanApplications, HelpersReadTheSameCatalogue) {
    const auto system = home.make_dir("system");
    const auto user = home.make_dir("user");
    std::vector<std::string> expected;
    for (int i = 0; i < 300; ++i) {
        const std::string n = std::to_string(i);
        home.write("system/app" + n + ".desktop", desktop_file("App " + n, "system-" + n));
        if (i % 3 == 0) {
            home.write("user/app" + n + ".desktop", desktop_file("App " + n, "user-" + n));
        }
        expected.push_back("App " + n + "|" + (i % 3 == 0 ? "user-" : "system-") + n);
    }
    std::sort(expected.begin(), expected.end());
    ScanShare share;
    std::vector<std::thread> helpers;
    for (int i = 0; i < 3; ++i) {
        helpers.emplace_back([&share] { share.help(); });
    }
    EXPECT_EQ(summary(scan_applications({system, user}, share)), expected);
    share.help();
    for (auto& helper : helpers) {
        helper.join();
    }
}

// Whether the share ends while a helper waits or before it comes, the helper
// returns: a window that waits for its catalogue must not wait for ever.
TEST(ScanShare, HelpReturnsWhenNoScanComes) {
    for (const bool ended_first : {false, true}) {
        SCOPED_TRACE(ended_first ? "ended before the helper came" : "ended as the helper came");
        // Shared with the helper, which a failed check leaves behind.
        auto share = std::make_shared<ScanShare>();
        if (ended_first) {
            share->end();
        }
        std::promise<void> returned;
        std::future<void> helped = returned.get_future();
        std::thread([share, returned = std::move(returned)]() mutable {
            share->help();
            returned.set_value();
        }).detach();
        if (!ended_first) {
            share->end();
        }
        EXPECT_EQ(helped.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    }
}

// A later file that yields nothing does not remove the earlier entry.
class UnusableOverride : public TempHomeTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnusableOverride, KeepsEarlierEntry) {
    const auto system = home.make_dir("system");
    const auto user = home.make_dir("user");
    home.write("system/app.desktop", desktop_file("App", "system-app"));
    home.write("user/app.desktop", GetParam());
    EXPECT_EQ(summary(scan_applications({system, user})), (std::vector<std::string>{"App|system-app"}));
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnusableOverride,
    ::testing::Values("[Desktop Entry]\nType=Application\nName=App\nExec=user\n"
                      "NoDisplay=true\n",
                      "[Desktop Entry]\nType=Application\nName=App\nExec=user\nHidden=true\n",
                      "[Desktop Entry]\nType=Link\nName=App\nExec=user\n",
                      "[Desktop Entry]\nType=Application\nName=App\n", "", "\xFF\xFEgarbage"));

TEST_F(ScanApplications, UnusableOverrideThatIsADirectoryKeepsEarlierEntry) {
    const auto system = home.make_dir("system");
    const auto user = home.make_dir("user");
    home.write("system/app.desktop", desktop_file("App", "system-app"));
    home.make_dir("user/app.desktop");
    EXPECT_EQ(summary(scan_applications({system, user})), (std::vector<std::string>{"App|system-app"}));
}

TEST_F(ScanApplications, SameNameInDifferentFilesBothAppear) {
    const auto dir = home.make_dir("apps");
    home.write("apps/one.desktop", desktop_file("Same", "one"));
    home.write("apps/two.desktop", desktop_file("Same", "two"));
    EXPECT_EQ(summary(scan_applications({dir})), (std::vector<std::string>{"Same|one", "Same|two"}));
}

TEST_F(ScanApplications, SubdirectoriesAreNotEntered) {
    const auto dir = home.make_dir("apps");
    home.write("apps/sub/nested.desktop", desktop_file("Nested", "nested"));
    home.write("apps/top.desktop", desktop_file("Top", "top"));
    EXPECT_EQ(summary(scan_applications({dir})), (std::vector<std::string>{"Top|top"}));
}

TEST_F(ScanApplications, SymlinkToFileCounts) {
    const auto dir = home.make_dir("apps");
    const auto target = home.write("elsewhere/target.txt", desktop_file("Linked", "linked"));
    ASSERT_EQ(::symlink(target.c_str(), (dir + "/linked.desktop").c_str()), 0);
    ASSERT_EQ(::symlink((home.path() + "/missing").c_str(), (dir + "/dangling.desktop").c_str()), 0);
    EXPECT_EQ(summary(scan_applications({dir})), (std::vector<std::string>{"Linked|linked"}));
}

struct FileNameCase {
    const char* file_name;
    bool candidate;
};
void PrintTo(const FileNameCase& c, std::ostream* out) {
    *out << c.file_name;
}

class CandidateFileName : public TempHomeTest, public ::testing::WithParamInterface<FileNameCase> {};

TEST_P(CandidateFileName, ByExtension) {
    const auto dir = home.make_dir("apps");
    home.write(std::string("apps/") + GetParam().file_name, desktop_file("App", "app"));
    EXPECT_EQ(scan_applications({dir}).size(), GetParam().candidate ? 1U : 0U) << GetParam().file_name;
}

INSTANTIATE_TEST_SUITE_P(Table, CandidateFileName,
                         ::testing::Values(FileNameCase{"app.desktop", true},           //
                                           FileNameCase{"org.app.Name.desktop", true},  //
                                           FileNameCase{"..desktop", true},             //
                                           FileNameCase{".hidden.desktop", true},       //
                                           FileNameCase{"app.Desktop", false},          //
                                           FileNameCase{"app.DESKTOP", false},          //
                                           FileNameCase{"app.desktop~", false},         //
                                           FileNameCase{"app.desktopx", false},         //
                                           FileNameCase{"app.desktop.bak", false},      //
                                           FileNameCase{"app_desktop", false},          //
                                           FileNameCase{"desktop", false},              //
                                           FileNameCase{".desktop", false},             //
                                           FileNameCase{"app.", false}));

TEST_F(ScanApplications, NonUtf8FileNameYieldsEntry) {
    const auto dir = home.make_dir("apps");
    home.write("apps/caf\xE9.desktop", desktop_file("Cafe", "cafe"));
    EXPECT_EQ(summary(scan_applications({dir})), (std::vector<std::string>{"Cafe|cafe"}));
}

// Both names become "caf\uFFFD.desktop": one key, so one entry.
TEST_F(ScanApplications, NamesDifferingOnlyInInvalidBytesShareAKey) {
    const auto dir = home.make_dir("apps");
    home.write("apps/caf\xE9.desktop", desktop_file("Cafe", "e9"));
    home.write("apps/caf\xFF.desktop", desktop_file("Cafe", "ff"));
    const auto found = summary(scan_applications({dir}));
    ASSERT_EQ(found.size(), 1U);
    EXPECT_TRUE(found[0] == "Cafe|e9" || found[0] == "Cafe|ff") << found[0];
}

// The key is the name after replacement, so precedence between directories
// holds for such names too, and a name with a real U+FFFD joins in.
TEST_F(ScanApplications, InvalidBytesAcrossDirectoriesFollowPrecedence) {
    const auto first = home.make_dir("first");
    const auto second = home.make_dir("second");
    const auto third = home.make_dir("third");
    home.write("first/caf\xE9.desktop", desktop_file("Cafe", "first"));
    home.write("second/caf\xFF.desktop", desktop_file("Cafe", "second"));
    home.write("third/caf\xEF\xBF\xBD.desktop", desktop_file("Cafe", "third"));
    EXPECT_EQ(summary(scan_applications({first, second})), (std::vector<std::string>{"Cafe|second"}));
    EXPECT_EQ(summary(scan_applications({second, first})), (std::vector<std::string>{"Cafe|first"}));
    EXPECT_EQ(summary(scan_applications({first, second, third})), (std::vector<std::string>{"Cafe|third"}));
}

// Through the environment: a real scan of application_dirs(). The system's own
// "/usr/share/applications" is always scanned too, so only our probe files are
// looked at.
std::vector<std::string> probes(const std::vector<AppEntry>& catalogue) {
    std::vector<std::string> out;
    for (const auto& entry : catalogue) {
        if (entry.name == "lumenpad-probe") {
            out.push_back(entry.exec);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(ScanApplications, EnvironmentOrderGivesPrecedence) {
    const std::string probe = "lumenpad-probe-3f9c2a.desktop";
    home.write("one/applications/" + probe, desktop_file("lumenpad-probe", "one"));
    home.write("two/applications/" + probe, desktop_file("lumenpad-probe", "two"));
    home.write("user/applications/" + probe, desktop_file("lumenpad-probe", "user"));
    home.write("one/applications/only-one-3f9c2a.desktop", desktop_file("lumenpad-probe", "only-one"));

    env.set("XDG_DATA_DIRS", home.path() + "/one:" + home.path() + "/two");
    env.set("XDG_DATA_HOME", home.path() + "/user");
    EXPECT_EQ(probes(scan_applications()), (std::vector<std::string>{"only-one", "user"}));

    env.set("XDG_DATA_HOME", home.path() + "/nothing-here");
    EXPECT_EQ(probes(scan_applications()), (std::vector<std::string>{"only-one", "two"}));

    env.set("XDG_DATA_DIRS", home.path() + "/two:" + home.path() + "/one");
    EXPECT_EQ(probes(scan_applications()), (std::vector<std::string>{"one", "only-one"}));
}

TEST_F(ScanApplications, UserDirectoryUnderHome) {
    const std::string probe = "lumenpad-probe-3f9c2a.desktop";
    home.write(".local/share/applications/" + probe, desktop_file("lumenpad-probe", "home"));
    env.unset("XDG_DATA_HOME");
    env.set("XDG_DATA_DIRS", home.path() + "/none");
    EXPECT_EQ(probes(scan_applications()), (std::vector<std::string>{"home"}));
}

TEST(WithActionRows, FollowsEachApplicationWithItsActions) {
    AppEntry browser;
    browser.name = "Browser";
    browser.localised_name = "Navigateur";
    browser.exec = "browser";
    browser.icon = "web";
    browser.startup_wm_class = "browser";
    browser.actions = {{"New Window", "Nouvelle fen\xC3\xAAtre", "browser --new"},
                       {"Private", std::nullopt, "browser -p"}};
    AppEntry editor;
    editor.name = "Editor";
    editor.exec = "editor";
    editor.terminal = true;
    editor.actions = {{"Open", std::nullopt, "editor -o"}};

    const auto rows = with_action_rows({browser, editor});
    ASSERT_EQ(rows.size(), 5U);
    std::vector<std::string> names;
    std::vector<std::string> shown;
    for (const auto& row : rows) {
        names.push_back(row.name);
        shown.push_back(shown_name(row));
        EXPECT_TRUE(row.actions.empty()) << row.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Browser", "Browser: New Window", "Browser: Private", "Editor",
                                               "Editor: Open"}));
    EXPECT_EQ(shown[1], "Navigateur: Nouvelle fen\xC3\xAAtre");
    EXPECT_EQ(shown[2], "Navigateur: Private");
    EXPECT_EQ(shown[4], "Editor: Open");
    EXPECT_FALSE(rows[4].localised_name);
    EXPECT_EQ(rows[1].exec, "browser --new");
    EXPECT_EQ(rows[1].icon, "web");
    EXPECT_EQ(rows[1].startup_wm_class, "browser");
    EXPECT_TRUE(rows[4].terminal);
}

// The desktop file ID is the file's name less ".desktop", whatever bytes it
// holds; an action's row carries it and the action's key.
TEST_F(ScanApplications, EntriesAndActionRowsKnowTheirDesktopFileId) {
    const auto dir = home.make_dir("apps");
    home.write("apps/org.example.Web-Browser.desktop",
               desktop_file("Browser", "browser",
                            "Actions=new-private;\n[Desktop Action new-private]\n"
                            "Name=Private\nExec=browser -p\n"));
    home.write("apps/caf\xE9.desktop", desktop_file("Cafe", "cafe"));
    auto rows = with_action_rows(scan_applications({dir}));
    std::sort(rows.begin(), rows.end(), [](const AppEntry& a, const AppEntry& b) { return a.name < b.name; });
    ASSERT_EQ(rows.size(), 3U);
    EXPECT_EQ(rows[0].desktop_id, "org.example.Web-Browser");
    EXPECT_FALSE(rows[0].action);
    EXPECT_EQ(rows[1].name, "Browser: Private");
    EXPECT_EQ(rows[1].desktop_id, "org.example.Web-Browser");
    EXPECT_EQ(rows[1].action, "new-private");
    EXPECT_EQ(rows[2].desktop_id, "caf\xE9");
}

}  // namespace
}  // namespace lumenpad
