#include "lumenpad-shared/paths.hpp"

#include "lumenpad-test/child.hpp"
#include "lumenpad-test/temp_home.hpp"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

namespace lumenpad {
namespace {

using test::TempHomeTest;

// ---- join_path and same_path ---------------------------------------------------

struct JoinCase {
    const char* dir;
    const char* name;
    const char* expected;
};
void PrintTo(const JoinCase& c, std::ostream* out) {
    *out << '"' << c.dir << "\" + \"" << c.name << '"';
}

class JoinPath : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinPath, Table) {
    EXPECT_EQ(join_path(GetParam().dir, GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, JoinPath,
                         ::testing::Values(JoinCase{"/usr/share", "applications", "/usr/share/applications"},
                                           JoinCase{"/usr/share/", "applications", "/usr/share/applications"},
                                           JoinCase{"", "applications", "applications"},
                                           JoinCase{"/", "tmp", "/tmp"}, JoinCase{"rel", "x", "rel/x"},
                                           JoinCase{"/home/u", ".local/share", "/home/u/.local/share"}));

struct SameCase {
    const char* a;
    const char* b;
    bool same;
};
void PrintTo(const SameCase& c, std::ostream* out) {
    *out << '"' << c.a << "\" vs \"" << c.b << '"';
}

class SamePath : public ::testing::TestWithParam<SameCase> {};

TEST_P(SamePath, Table) {
    EXPECT_EQ(same_path(GetParam().a, GetParam().b), GetParam().same)
        << GetParam().a << " vs " << GetParam().b;
    EXPECT_EQ(same_path(GetParam().b, GetParam().a), GetParam().same)
        << GetParam().b << " vs " << GetParam().a;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SamePath,
    ::testing::Values(SameCase{"/usr/share", "/usr/share", true}, SameCase{"/usr/share/", "/usr/share", true},
                      SameCase{"//usr///share//", "/usr/share", true},
                      SameCase{"/usr/./share/.", "/usr/share", true}, SameCase{"/", "//", true},
                      SameCase{"a/b", "a//b/", true}, SameCase{"usr/share", "/usr/share", false},
                      SameCase{"/usr/share/applications", "/usr/share", false},
                      SameCase{"/usr/shar", "/usr/share", false},
                      SameCase{"/usr/share/../share", "/usr/share", false}, SameCase{"", "/", false}));

// ---- home_dir --------------------------------------------------------------------

// The real user's home as the password database has it.
std::string password_home() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

using HomeDir = TempHomeTest;

TEST_F(HomeDir, FromEnvironmentOrPasswordDatabase) {
    ASSERT_TRUE(password_home().starts_with('/')) << "the test user needs a home in the password database";
    EXPECT_EQ(home_dir(), home.path());
    env.unset("HOME");
    EXPECT_EQ(home_dir(), password_home());
    env.set("HOME", home.path() + "/caf\xE9");
    EXPECT_EQ(home_dir(), password_home());
    // A set value counts even when empty.
    env.set("HOME", "");
    EXPECT_EQ(home_dir(), "");
}

TEST_F(HomeDir, NoneWithoutHomeOrPasswordEntry) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to take on a user id without a password entry";
    }
    env.unset("HOME");
    env.unset("XDG_DATA_HOME");
    const uid_t stranger = test::uid_without_password_entry();
    const std::string report = test::in_child([&]() -> std::string {
        if (::setgid(stranger) != 0 || ::setuid(stranger) != 0) {
            return "could not take on the user id";
        }
        if (home_dir()) {
            return "a home: " + *home_dir();
        }
        if (application_dirs().back() != home.path() + "/system/applications") {
            return "a user directory: " + application_dirs().back();
        }
        return {};
    });
    EXPECT_EQ(report, "");
}

// ---- application_dirs ------------------------------------------------------------

// Values of the variables; "{home}" stands for the test's home directory, and
// nothing means unset.
struct DirsCase {
    const char* label;
    std::optional<std::string> data_dirs;
    std::optional<std::string> data_home;
    std::optional<std::string> home;
    std::vector<std::string> expected;
};
void PrintTo(const DirsCase& c, std::ostream* out) {
    *out << c.label;
}

class ApplicationDirs : public TempHomeTest, public ::testing::WithParamInterface<DirsCase> {
protected:
    std::optional<std::string> expand(const std::optional<std::string>& text) const {
        if (!text) {
            return std::nullopt;
        }
        std::string out = *text;
        if (const size_t at = out.find("{home}"); at != std::string::npos) {
            out.replace(at, 6, home.path());
        }
        if (const size_t at = out.find("{passwd}"); at != std::string::npos) {
            out.replace(at, 8, password_home());
        }
        return out;
    }
};

TEST_P(ApplicationDirs, Table) {
    env.set("XDG_DATA_DIRS", expand(GetParam().data_dirs));
    env.set("XDG_DATA_HOME", expand(GetParam().data_home));
    env.set("HOME", expand(GetParam().home));
    std::vector<std::string> expected;
    for (const auto& dir : GetParam().expected) {
        expected.push_back(*expand(dir));
    }
    EXPECT_EQ(application_dirs(), expected);
}

const std::optional<std::string> unset;
const std::string system_dir = "/usr/share/applications";
const std::string local_dir = "/usr/local/share/applications";
const std::string user_dir = "{home}/.local/share/applications";

INSTANTIATE_TEST_SUITE_P(
    Table, ApplicationDirs,
    ::testing::Values(
        DirsCase{"AllUnset", unset, unset, "{home}", {system_dir, local_dir, user_dir}},
        DirsCase{
            "HomeUnset", unset, unset, unset, {system_dir, local_dir, "{passwd}/.local/share/applications"}},
        DirsCase{"HomeNotUtf8",
                 unset,
                 unset,
                 "/home/caf\xE9",
                 {system_dir, local_dir, "{passwd}/.local/share/applications"}},
        DirsCase{"DataDirsEmpty", "", unset, "{home}", {system_dir, "applications", user_dir}},
        DirsCase{"DataDirsNotUtf8", "/opt/\xFF", unset, "{home}", {system_dir, local_dir, user_dir}},
        DirsCase{"OnlyUsrShare", "/usr/share", unset, "{home}", {system_dir, user_dir}},
        DirsCase{"UsrShareTrailingSlash", "/usr/share/", unset, "{home}", {system_dir, user_dir}},
        DirsCase{"UsrShareDoubledSlashes", "//usr//share//", unset, "{home}", {system_dir, user_dir}},
        DirsCase{"UsrShareDot", "/usr/./share", unset, "{home}", {system_dir, user_dir}},
        DirsCase{"UsrShareTwice", "/usr/share:/usr/share", unset, "{home}", {system_dir, user_dir}},
        DirsCase{"WithoutUsrShare", "/opt/a", unset, "{home}", {system_dir, "/opt/a/applications", user_dir}},
        DirsCase{"EqualPiecesBothKept",
                 "/opt/a:/opt/a",
                 unset,
                 "{home}",
                 {system_dir, "/opt/a/applications", "/opt/a/applications", user_dir}},
        DirsCase{"EmptyPiece",
                 "/opt/a::/opt/b",
                 unset,
                 "{home}",
                 {system_dir, "/opt/a/applications", "applications", "/opt/b/applications", user_dir}},
        DirsCase{"EmptyEnds",
                 ":/usr/share:",
                 unset,
                 "{home}",
                 {system_dir, "applications", "applications", user_dir}},
        DirsCase{"OrderKept",
                 "/usr/share:/usr/local/share:/opt/x/",
                 unset,
                 "{home}",
                 {system_dir, local_dir, "/opt/x/applications", user_dir}},
        DirsCase{"DataHome", unset, "/data", "{home}", {system_dir, local_dir, "/data/applications"}},
        DirsCase{"DataHomeTrailingSlash",
                 unset,
                 "/data/",
                 "{home}",
                 {system_dir, local_dir, "/data/applications"}},
        DirsCase{"DataHomeEmpty", unset, "", "{home}", {system_dir, local_dir, "applications"}},
        DirsCase{"DataHomeNotUtf8", unset, "/d\xFF", "{home}", {system_dir, local_dir, user_dir}},
        DirsCase{"DataHomeUsrShareNotCompared",
                 "/opt/a",
                 "/usr/share",
                 "{home}",
                 {system_dir, "/opt/a/applications", system_dir}}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace lumenpad
