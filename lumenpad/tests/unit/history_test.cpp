#include "lumenpad/history.hpp"

#include "lumenpad-test/child.hpp"
#include "lumenpad-test/temp_home.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <set>

namespace lumenpad {
namespace {

using test::read_whole_file;
using test::TempDir;
using test::TempHomeTest;
using test::tree_snapshot;

constexpr std::uint32_t max_count = std::numeric_limits<std::uint32_t>::max();

// An unprivileged account for files and links of "another user".
constexpr uid_t other_uid = 65534;

std::set<std::string> dir_entries(const std::string& path) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

mode_t permissions(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

struct AcceptedCase {
    const char* what;
    std::string text;
    HistoryCounts counts;
};

void PrintTo(const AcceptedCase& accepted, std::ostream* out) {
    *out << accepted.what;
}

class HistoryAccepts : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(HistoryAccepts, ReadsTheCounts) {
    const auto counts = parse_history_counts(GetParam().text);
    ASSERT_TRUE(counts.has_value()) << GetParam().text;
    EXPECT_EQ(*counts, GetParam().counts);
}

INSTANTIATE_TEST_SUITE_P(
    Reader, HistoryAccepts,
    ::testing::Values(AcceptedCase{"empty", "{}", {}},
                      AcceptedCase{"white_space_around", " \n\t{ \r\n } \n", {}},
                      AcceptedCase{"compact", R"({"Firefox":3,"Files":0})", {{"Firefox", 3}, {"Files", 0}}},
                      AcceptedCase{
                          "white_space_inside", "\n{ \"a\" :\t1 ,\n \"b\" : 2 }\n", {{"a", 1}, {"b", 2}}},
                      AcceptedCase{"maximum", R"({"max":4294967295})", {{"max", max_count}}},
                      AcceptedCase{"later_duplicate_wins", R"({"a":1,"b":5,"a":7})", {{"a", 7}, {"b", 5}}},
                      AcceptedCase{"escaped_name", R"({"caf\u00e9\n\"x\\":2})", {{"caf\xC3\xA9\n\"x\\", 2}}},
                      AcceptedCase{"raw_utf8_name", R"({"日本語":9})", {{"日本語", 9}}},
                      AcceptedCase{"negative_zero", R"({"zero":-0})", {{"zero", 0}}}),
    [](const auto& info) { return std::string(info.param.what); });

struct RejectedCase {
    const char* what;
    std::string text;
};

void PrintTo(const RejectedCase& rejected, std::ostream* out) {
    *out << rejected.what;
}

class HistoryRejects : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(HistoryRejects, TheWholeText) {
    EXPECT_FALSE(parse_history_counts(GetParam().text).has_value()) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Reader, HistoryRejects,
    ::testing::Values(
        RejectedCase{"negative", R"({"a":-1})"}, RejectedCase{"fraction", R"({"a":1.5})"},
        RejectedCase{"exponent", R"({"a":1e2})"}, RejectedCase{"upper_exponent", R"({"a":1E2})"},
        RejectedCase{"zero_fraction", R"({"a":1.0})"}, RejectedCase{"above_maximum", R"({"a":4294967296})"},
        RejectedCase{"above_64_bits", R"({"a":18446744073709551616})"},
        RejectedCase{"leading_zero", R"({"a":01})"}, RejectedCase{"string_value", R"({"a":"1"})"},
        RejectedCase{"null_value", R"({"a":null})"}, RejectedCase{"bool_value", R"({"a":true})"},
        RejectedCase{"array_value", R"({"a":[1]})"}, RejectedCase{"nested_object", R"({"a":{"b":1}})"},
        RejectedCase{"one_bad_member", R"({"ok":1,"bad":-1})"}, RejectedCase{"empty_array", "[]"},
        RejectedCase{"array", "[1]"}, RejectedCase{"number", "1"}, RejectedCase{"string", "\"x\""},
        RejectedCase{"null", "null"}, RejectedCase{"empty_text", ""},
        RejectedCase{"only_white_space", " \n "}, RejectedCase{"trailing_text", R"({"a":1} x)"},
        RejectedCase{"second_object", R"({"a":1}{})"}, RejectedCase{"trailing_comma", R"({"a":1,})"},
        RejectedCase{"unclosed", R"({"a":1)"}, RejectedCase{"comment", R"({"a":1}// note)"},
        RejectedCase{"bare_key", R"({a:1})"}, RejectedCase{"byte_order_mark", "\xEF\xBB\xBF{\"a\":1}"},
        RejectedCase{"nul_then_text", std::string(R"({"a":1})") + '\0' + "anything"},
        RejectedCase{"nul_at_end", std::string(R"({"a":1})") + '\0'}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(HistoryWriter, EscapesOnlyWhatJsonRequires) {
    const std::pair<std::string, std::string> cases[] = {
        {"Firefox", R"({"Firefox":1})"},
        {"say \"hi\"", R"({"say \"hi\"":1})"},
        {"C:\\path", R"({"C:\\path":1})"},
        {"\b\t\n\f\r", R"({"\b\t\n\f\r":1})"},
        {std::string("\x01\x1f\x0b", 3), R"({"\u0001\u001f\u000b":1})"},
        {std::string("nul\0x", 5), R"({"nul\u0000x":1})"},
        {"Caf\xC3\xA9 \xF0\x9F\x8E\x89 /\x7f", "{\"Caf\xC3\xA9 \xF0\x9F\x8E\x89 /\x7f\":1}"},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(history_json(History{"", {{name, 1}}}), expected);
    }
    EXPECT_EQ(history_json(History{}), "{}");
    EXPECT_EQ(history_json(History{"", {{"x", max_count}}}), R"({"x":4294967295})");
}

TEST(HistoryWriter, SeparatesMembersWithCommasOnly) {
    const History history{"", {{"a", 1}, {"b", 22}}};
    const auto text = history_json(history);
    EXPECT_TRUE(text == R"({"a":1,"b":22})" || text == R"({"b":22,"a":1})") << text;
}

TEST(HistoryCounting, StartsAtZeroAndSaturates) {
    History history;
    EXPECT_EQ(launch_count(history, "Firefox"), 0u);
    record_launch(history, "Firefox");
    record_launch(history, "Firefox");
    EXPECT_EQ(launch_count(history, "Firefox"), 2u);
    EXPECT_EQ(launch_count(history, "firefox"), 0u);

    history.counts["Busy"] = max_count - 1;
    record_launch(history, "Busy");
    EXPECT_EQ(launch_count(history, "Busy"), max_count);
    record_launch(history, "Busy");
    EXPECT_EQ(launch_count(history, "Busy"), max_count);
}

class HistoryFile : public TempHomeTest {
protected:
    std::string cache = home.path() + "/.cache/lumenpad";
    std::string file = cache + "/history.json";
};

TEST_F(HistoryFile, LoadsFromTheCacheDirectory) {
    home.write(".cache/lumenpad/history.json", R"({"Files":4})");
    const History history = load_history();
    EXPECT_EQ(history.path, file);
    EXPECT_EQ(history.counts, (HistoryCounts{{"Files", 4}}));
}

TEST_F(HistoryFile, UnusableFilesLoadEmpty) {
    EXPECT_TRUE(load_history().counts.empty());  // missing
    home.write(".cache/lumenpad/history.json", "");
    EXPECT_TRUE(load_history().counts.empty());
    home.write(".cache/lumenpad/history.json", R"({"a":1,"b":-1})");
    EXPECT_TRUE(load_history().counts.empty());
    home.write(".cache/lumenpad/history.json", "{\"caf\xE9\":1}");
    EXPECT_TRUE(load_history().counts.empty());
    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    const History history = load_history();
    EXPECT_TRUE(history.counts.empty());
    EXPECT_EQ(history.path, file);
}

TEST_F(HistoryFile, AwkwardNamesSurviveARoundTrip) {
    std::string every_control;
    for (char c = 0x01; c < 0x20; ++c) {
        every_control += c;
    }
    const HistoryCounts counts = {{"say \"hi\"", 1},       {"back\\slash\\", 2},
                                  {every_control, 3},      {"Caf\xC3\xA9 \xE6\x97\xA5", 4},
                                  {"\xF0\x9F\x8E\x89", 5}, {"", 6},
                                  {"plain", max_count}};
    home.make_dir(".cache/lumenpad");
    History history{file, counts};
    save_history(history);
    EXPECT_EQ(load_history().counts, counts);
}

TEST_F(HistoryFile, LaunchingTwiceKeepsTheOtherMembers) {
    home.write(".cache/lumenpad/history.json", R"({"Files":4,"Terminal":1})");
    History history = load_history();
    for (int i = 0; i < 2; ++i) {
        record_launch(history, "Firefox");
        save_history(history);
    }
    EXPECT_EQ(load_history().counts, (HistoryCounts{{"Files", 4}, {"Terminal", 1}, {"Firefox", 2}}));
    EXPECT_EQ(read_whole_file(file), history_json(history));
}

TEST_F(HistoryFile, FirstLaunchCreatesTheMissingDirectoriesPrivate) {
    History history = load_history();
    record_launch(history, "Firefox");
    save_history(history);
    EXPECT_EQ(read_whole_file(file), R"({"Firefox":1})");
    EXPECT_EQ(dir_entries(cache), std::set<std::string>{"history.json"});
    EXPECT_EQ(permissions(home.path() + "/.cache"), 0700u);
    EXPECT_EQ(permissions(cache), 0700u);
}

TEST_F(HistoryFile, AnExistingDirectoryKeepsItsPermissions) {
    home.make_dir(".cache");
    std::filesystem::permissions(home.path() + "/.cache", std::filesystem::perms(0755));
    ASSERT_TRUE(save_history_to(History{file, {{"a", 1}}}, file));
    EXPECT_EQ(permissions(home.path() + "/.cache"), 0755u);
    EXPECT_EQ(permissions(cache), 0700u);

    std::filesystem::permissions(cache, std::filesystem::perms(0750));
    ASSERT_TRUE(save_history_to(History{file, {{"a", 2}}}, file));
    EXPECT_EQ(permissions(cache), 0750u);
}

TEST_F(HistoryFile, ReplacementKeepsThePermissions) {
    home.write(".cache/lumenpad/history.json", "{}");
    std::filesystem::permissions(file, std::filesystem::perms(0640));
    ASSERT_TRUE(save_history_to(History{file, {{"a", 1}}}, file));
    EXPECT_EQ(permissions(file), 0640u);

    const mode_t old_mask = ::umask(027);
    const bool saved = save_history_to(History{file, {{"a", 1}}}, cache + "/new.json");
    ::umask(old_mask);
    ASSERT_TRUE(saved);
    EXPECT_EQ(permissions(cache + "/new.json"), 0640u);
}

TEST_F(HistoryFile, AFailedWriteLeavesTheOldFile) {
    const std::string old_text = R"({"Files":4})";
    home.write(".cache/lumenpad/history.json", old_text);
    const History history{file, {{"A name long enough to pass the file size limit", 1}}};

    // The kernel refuses to grow any file past RLIMIT_FSIZE, even for root.
    struct rlimit old_limit {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    struct rlimit small = old_limit;
    small.rlim_cur = 16;
    auto* const old_handler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = save_history_to(history, file);
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    ::signal(SIGXFSZ, old_handler);

    EXPECT_FALSE(saved);
    EXPECT_EQ(read_whole_file(file), old_text);
    EXPECT_EQ(dir_entries(cache), std::set<std::string>{"history.json"});
}

TEST_F(HistoryFile, NoTemporaryFileUnderAFileTakenForADirectory) {
    home.write(".cache/lumenpad", "not a directory");
    EXPECT_FALSE(save_history_to(History{file, {{"a", 1}}}, file));
    EXPECT_EQ(read_whole_file(cache), "not a directory");
}

TEST_F(HistoryFile, ALinkedFileIsReplacedAtItsTarget) {
    home.write("dotfiles/history.json", R"({"Old":1})");
    home.make_dir(".cache/lumenpad");
    std::filesystem::create_symlink("../../dotfiles/history.json", file);

    History history = load_history();
    EXPECT_EQ(history.counts, (HistoryCounts{{"Old", 1}}));
    record_launch(history, "Old");
    save_history(history);

    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_EQ(read_whole_file(home.path() + "/dotfiles/history.json"), R"({"Old":2})");
    EXPECT_EQ(dir_entries(cache), std::set<std::string>{"history.json"});
    EXPECT_EQ(dir_entries(home.path() + "/dotfiles"), std::set<std::string>{"history.json"});
}

TEST_F(HistoryFile, ALinkLoopSavesNothing) {
    home.make_dir(".cache/lumenpad");
    std::filesystem::create_symlink("history.json", file);
    EXPECT_FALSE(save_history_to(History{file, {{"a", 1}}}, file));
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_EQ(dir_entries(cache), std::set<std::string>{"history.json"});
}

struct RefusedCase {
    const char* what;
    std::string text;
};

void PrintTo(const RefusedCase& refused, std::ostream* out) {
    *out << refused.what;
}

class HistoryKeepsARefusedFile : public HistoryFile, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(HistoryKeepsARefusedFile, AsHistoryJsonBad) {
    home.write(".cache/lumenpad/history.json", GetParam().text);
    home.write(".cache/lumenpad/history.json.bad", "an older one");
    History history = load_history();
    EXPECT_TRUE(history.counts.empty());
    record_launch(history, "New");
    save_history(history);
    EXPECT_EQ(read_whole_file(file), R"({"New":1})");
    EXPECT_EQ(read_whole_file(file + ".bad"), GetParam().text);

    // Only the first save sets it aside: the next keeps it.
    record_launch(history, "New");
    save_history(history);
    EXPECT_EQ(read_whole_file(file), R"({"New":2})");
    EXPECT_EQ(read_whole_file(file + ".bad"), GetParam().text);
    EXPECT_EQ(dir_entries(cache), (std::set<std::string>{"history.json", "history.json.bad"}));
}

INSTANTIATE_TEST_SUITE_P(Load, HistoryKeepsARefusedFile,
                         ::testing::Values(RefusedCase{"invalid_byte", "{\"Files\":4,\"caf\xE9\":1}"},
                                           RefusedCase{"byte_order_mark", "\xEF\xBB\xBF{\"Files\":4}"},
                                           RefusedCase{"fraction", R"({"Files":7.0})"},
                                           RefusedCase{"above_maximum", R"({"Files":4294967296})"},
                                           RefusedCase{"malformed", R"({"Files":4)"},
                                           RefusedCase{"empty", ""}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(HistoryFile, AValidOrMissingFileIsNotSetAside) {
    for (const bool exists : {false, true}) {
        History history = load_history();
        EXPECT_FALSE(history.refused_file);
        record_launch(history, "New");
        save_history(history);
        EXPECT_EQ(dir_entries(cache), std::set<std::string>{"history.json"}) << exists;
    }
}

TEST_F(HistoryFile, ARefusedLinkedFileIsSetAsideBesideItsTarget) {
    home.write("dotfiles/counts.json", "{\"Files\":4,}");
    home.make_dir(".cache/lumenpad");
    std::filesystem::create_symlink("../../dotfiles/counts.json", file);
    History history = load_history();
    record_launch(history, "New");
    save_history(history);
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_EQ(read_whole_file(home / "dotfiles/counts.json"), R"({"New":1})");
    EXPECT_EQ(read_whole_file(home / "dotfiles/counts.json.bad"), "{\"Files\":4,}");
}

TEST_F(HistoryFile, AnUnreadableFileIsSetAside) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to take on another user id, for whom the file is unreadable";
    }
    home.write(".cache/lumenpad/history.json", R"({"Files":4})");
    std::filesystem::permissions(file, std::filesystem::perms(0200));
    for (const std::string& path : {home.path(), home / ".cache", cache, file}) {
        ASSERT_EQ(::chown(path.c_str(), other_uid, other_uid), 0) << path;
    }
    const std::string report = test::in_child([&]() -> std::string {
        if (::setgid(other_uid) != 0 || ::setuid(other_uid) != 0) {
            return "could not take on the user id";
        }
        History history = load_history();
        if (!history.refused_file || !history.counts.empty()) {
            return "the file was not refused";
        }
        record_launch(history, "New");
        save_history(history);
        // The new file must be readable, or the next save would set it aside
        // over the one that holds the old counts.
        const History next = load_history();
        return next.refused_file ? "the new file is refused too" : "";
    });
    EXPECT_EQ(report, "");
    EXPECT_EQ(read_whole_file(file), R"({"New":1})");
    EXPECT_EQ(read_whole_file(file + ".bad"), R"({"Files":4})");
    EXPECT_EQ(permissions(file + ".bad"), 0200u);
}

TEST_F(HistoryFile, ALinkChainOfOurOwnIsFollowedToItsEnd) {
    home.write("dotfiles/history.json", R"({"Old":1})");
    home.make_dir(".cache/lumenpad");
    std::filesystem::create_symlink(home.path() + "/dotfiles/history.json", home.path() + "/middle");
    std::filesystem::create_symlink("../../middle", file);
    ASSERT_TRUE(save_history_to(History{file, {{"New", 1}}}, file));
    EXPECT_EQ(read_whole_file(home.path() + "/dotfiles/history.json"), R"({"New":1})");
    EXPECT_TRUE(std::filesystem::is_symlink(home.path() + "/middle"));
    EXPECT_TRUE(std::filesystem::is_symlink(file));
}

TEST_F(HistoryFile, ReplacementSetsThePermissionsWhateverTheMask) {
    home.write(".cache/lumenpad/history.json", "{}");
    std::filesystem::permissions(file, std::filesystem::perms(0644));
    const mode_t old_mask = ::umask(077);
    const bool saved = save_history_to(History{file, {{"a", 1}}}, file);
    const mode_t mask_after = ::umask(old_mask);
    ASSERT_TRUE(saved);
    EXPECT_EQ(permissions(file), 0644u);
    EXPECT_EQ(mask_after, 077u);
}

// Something in history.json's place, or at the end of its link, that the save
// must leave exactly as it is. Each case gets the home directory and the path
// of history.json, whose directory exists.
struct ForeignPlace {
    const char* what;
    std::function<void(const TempDir& home, const std::string& file)> plant;
    bool needs_root;
};

void PrintTo(const ForeignPlace& place, std::ostream* out) {
    *out << place.what;
}

void give_away(const std::string& path) {
    ASSERT_EQ(::lchown(path.c_str(), other_uid, other_uid), 0) << path;
}

void make_device(const std::string& path) {
    ASSERT_EQ(::mknod(path.c_str(), S_IFCHR | 0666, ::makedev(1, 3)), 0) << path;
}

class HistoryLeavesAlone : public HistoryFile, public ::testing::WithParamInterface<ForeignPlace> {};

TEST_P(HistoryLeavesAlone, WritesNothingAnywhere) {
    if (GetParam().needs_root && ::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give files to another user or make a device";
    }
    home.make_dir(".cache/lumenpad");
    home.write("victim/.bashrc", "export PATH=/usr/bin\n");
    GetParam().plant(home, file);
    const auto before = tree_snapshot(home.path());

    EXPECT_FALSE(save_history_to(History{file, {{"B", 1}}}, file));
    EXPECT_EQ(tree_snapshot(home.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Save, HistoryLeavesAlone,
    ::testing::Values(
        ForeignPlace{"directory",
                     [](const TempDir&, const std::string& file) { std::filesystem::create_directory(file); },
                     false},
        ForeignPlace{"fifo", [](const TempDir&, const std::string& file) { ::mkfifo(file.c_str(), 0600); },
                     false},
        ForeignPlace{"device", [](const TempDir&, const std::string& file) { make_device(file); }, true},
        ForeignPlace{"file_of_another_user",
                     [](const TempDir& home, const std::string& file) {
                         home.write(".cache/lumenpad/history.json", R"({"A":1})");
                         give_away(file);
                     },
                     true},
        ForeignPlace{"dangling_link",
                     [](const TempDir& home, const std::string& file) {
                         home.make_dir("victim/.ssh");
                         std::filesystem::create_symlink(home / "victim/.ssh/authorized_keys", file);
                     },
                     false},
        ForeignPlace{"link_to_a_directory",
                     [](const TempDir& home, const std::string& file) {
                         std::filesystem::create_symlink(home / "victim", file);
                     },
                     false},
        ForeignPlace{"link_to_a_fifo",
                     [](const TempDir& home, const std::string& file) {
                         ::mkfifo((home / "victim/fifo").c_str(), 0600);
                         std::filesystem::create_symlink(home / "victim/fifo", file);
                     },
                     false},
        ForeignPlace{"link_to_a_device",
                     [](const TempDir& home, const std::string& file) {
                         make_device(home / "victim/null");
                         std::filesystem::create_symlink(home / "victim/null", file);
                     },
                     true},
        ForeignPlace{"link_of_another_user",
                     [](const TempDir& home, const std::string& file) {
                         std::filesystem::create_symlink(home / "victim/.bashrc", file);
                         give_away(file);
                     },
                     true},
        ForeignPlace{"link_to_a_file_of_another_user",
                     [](const TempDir& home, const std::string& file) {
                         give_away(home / "victim/.bashrc");
                         std::filesystem::create_symlink(home / "victim/.bashrc", file);
                     },
                     true},
        ForeignPlace{"our_link_to_a_link_of_another_user",
                     [](const TempDir& home, const std::string& file) {
                         std::filesystem::create_symlink(home / "victim/.bashrc", home / "victim/link");
                         give_away(home / "victim/link");
                         std::filesystem::create_symlink(home / "victim/link", file);
                     },
                     true},
        ForeignPlace{"link_ending_in_a_slash",
                     [](const TempDir& home, const std::string& file) {
                         std::filesystem::create_symlink(home / "victim/", file);
                     },
                     false}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace lumenpad
