#include "lumenpad/locale_variables.hpp"

#include "lumenpad/desktop_locale.hpp"

#include "lumenpad-test/scoped_env.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace lumenpad {
namespace {

using Texts = std::vector<std::string>;

TEST(UnusableLocaleVariables, FindsTheLocaleVariablesThatAreNotUtf8) {
    const char* environment[] = {"LANG=de_DE.\xFF",  "PATH=/bin\xFF",     "LC_ALL=C.UTF-8",
                                 "LC_MESSAGES=\xC3", "LANGUAGE=de:\xFE",  "LC_CTYPE=x",
                                 "LANGX=\xFF",       "LC_ALL_OTHER=\xFF", nullptr};
    EXPECT_EQ(unusable_locale_variables(environment),
              (Texts{"LANG=de_DE.\xFF", "LC_MESSAGES=\xC3", "LANGUAGE=de:\xFE"}));
}

TEST(UnusableLocaleVariables, UsableOnesAndAnEmptyEnvironmentGiveNothing) {
    const char* environment[] = {"LANG=de_DE.UTF-8", "LC_ALL=", "LC_MESSAGES=sr_RS@latin", nullptr};
    EXPECT_EQ(unusable_locale_variables(environment), Texts{});
    EXPECT_EQ(unusable_locale_variables(nullptr), Texts{});
}

// The process sees the next variable decide; a launched program gets the
// environment as it was.
TEST(DropUnusableLocaleVariables, TheNextVariableDecidesAndChildrenGetThemBack) {
    test::ScopedEnv env;
    env.set("LC_ALL", "de_DE.\xFF");
    env.unset("LC_MESSAGES");
    env.set("LANG", "fr_FR.UTF-8");
    env.unset("LANGUAGE");
    drop_unusable_locale_variables();
    EXPECT_EQ(std::getenv("LC_ALL"), nullptr);
    EXPECT_EQ(messages_locale(), "fr_FR.UTF-8");

    Texts launched{"PATH=/bin", "LANG=fr_FR.UTF-8"};
    add_dropped_locale_variables(launched);
    EXPECT_EQ(launched, (Texts{"PATH=/bin", "LANG=fr_FR.UTF-8", "LC_ALL=de_DE.\xFF"}));
    // A variable of the same name in the launched environment wins.
    Texts set_again{"LC_ALL=C"};
    add_dropped_locale_variables(set_again);
    EXPECT_EQ(set_again, Texts{"LC_ALL=C"});

    env.set("LC_ALL", "C.UTF-8");
    drop_unusable_locale_variables();
    Texts none{"PATH=/bin"};
    add_dropped_locale_variables(none);
    EXPECT_EQ(none, Texts{"PATH=/bin"});
}

}  // namespace
}  // namespace lumenpad
