#include "oriel-theme/theme_path.hpp"

#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_dir.hpp"
#include "user_without_home.hpp"

#include <gtest/gtest.h>

namespace oriel {
namespace {

using lumenpad::test::ScopedEnv;
using lumenpad::test::TempDir;

class ThemeFilePath : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("HOME", "/u");
        env.unset("XDG_CACHE_HOME");
        env.unset("XDG_RUNTIME_DIR");
    }

    ScopedEnv env;
};

TEST_F(ThemeFilePath, PrefersTheRuntimeDirectory) {
    env.set("XDG_CACHE_HOME", "/c");
    env.set("XDG_RUNTIME_DIR", "/run/user/1000");
    EXPECT_EQ(theme_file_path(), "/run/user/1000/oriel/theme.css");
    env.set("XDG_RUNTIME_DIR", "/run/user/1000/");
    EXPECT_EQ(theme_file_path(), "/run/user/1000/oriel/theme.css");
}

TEST_F(ThemeFilePath, EmptyOrNonUtf8RuntimeDirectoryCountsAsUnset) {
    env.set("XDG_CACHE_HOME", "/c");
    for (const char* value : {"", "/run/\xff"}) {
        env.set("XDG_RUNTIME_DIR", value);
        EXPECT_EQ(theme_file_path(), "/c/oriel/theme.css") << value;
    }
}

TEST_F(ThemeFilePath, FallsBackToTheCacheDirectory) {
    EXPECT_EQ(theme_file_path(), "/u/.cache/oriel/theme.css");
    env.set("XDG_CACHE_HOME", "relative");
    EXPECT_EQ(theme_file_path(), "/u/.cache/oriel/theme.css");
}

TEST_F(ThemeFilePath, FallsBackToTmpWithoutAnyCacheDirectory) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to take on a user id without a password entry";
    }
    TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    EXPECT_TRUE(testing::holds_for_user_without_home(
        dir.path(), [] { return theme_file_path() == "/tmp/oriel/theme.css"; }));
}

}  // namespace
}  // namespace oriel
