// Localised keys, actions and lists of desktop-entry files, with the locale
// rules of the desktop-entry format (its own examples among them).
#include "lumenpad/desktop_locale.hpp"
#include "lumenpad/desktop_entry.hpp"

#include "../app_entries.hpp"
#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_home.hpp"

#include <gtest/gtest.h>

namespace lumenpad {
namespace {

using Suffixes = std::vector<std::string>;

struct LocaleCase {
    const char* locale;
    Suffixes suffixes;
};

class LocaleSuffixes : public testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleSuffixes, BestFirst) {
    EXPECT_EQ(locale_suffixes(GetParam().locale), GetParam().suffixes) << GetParam().locale;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LocaleSuffixes,
    testing::Values(LocaleCase{"sr_YU@Latn", {"sr_YU@Latn", "sr_YU", "sr@Latn", "sr"}},
                    LocaleCase{"sr_YU", {"sr_YU", "sr"}}, LocaleCase{"sr@Latn", {"sr@Latn", "sr"}},
                    LocaleCase{"de_DE.UTF-8", {"de_DE", "de"}},
                    LocaleCase{"en_GB.ISO-8859-15@euro", {"en_GB@euro", "en_GB", "en@euro", "en"}},
                    LocaleCase{"fr", {"fr"}}, LocaleCase{"C", {}}, LocaleCase{"C.UTF-8", {}},
                    LocaleCase{"POSIX", {}}, LocaleCase{"", {}}, LocaleCase{"_DE", {}}));

TEST(MessagesLocale, TakesLcAllThenLcMessagesThenLang) {
    test::ScopedEnv env;
    env.set("LC_ALL", std::nullopt);
    env.set("LC_MESSAGES", std::nullopt);
    env.set("LANG", "fr_FR.UTF-8");
    EXPECT_EQ(messages_locale(), "fr_FR.UTF-8");
    env.set("LC_MESSAGES", "de_DE.UTF-8");
    EXPECT_EQ(messages_locale(), "de_DE.UTF-8");
    env.set("LC_ALL", "");
    EXPECT_EQ(messages_locale(), "de_DE.UTF-8");
    env.set("LC_ALL", "sv_SE");
    EXPECT_EQ(messages_locale(), "sv_SE");
}

struct SplitCase {
    const char* value;
    std::vector<std::string> items;
};

class SplitList : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitList, Items) {
    EXPECT_EQ(split_list(GetParam().value), GetParam().items) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Table, SplitList,
                         testing::Values(SplitCase{"", {}}, SplitCase{"a;b;", {"a", "b"}},
                                         SplitCase{"a;;b", {"a", "b"}}, SplitCase{" a ; b ", {"a", "b"}},
                                         SplitCase{"a\\;b;c", {"a;b", "c"}}, SplitCase{"a\\sb", {"a b"}},
                                         SplitCase{"a\\\\;b", {"a\\", "b"}}, SplitCase{"end\\", {"end\\"}}));

struct LocalisedCase {
    const char* label;
    const char* locale;
    std::string keys;
    std::string expected;  // describe() of the entry
};

void PrintTo(const LocalisedCase& c, std::ostream* out) {
    *out << c.label;
}

class Localised : public test::TempHomeTest, public testing::WithParamInterface<LocalisedCase> {};

TEST_P(Localised, Entry) {
    const auto path =
        home.write("case.desktop", "[Desktop Entry]\nType=Application\nExec=foo\n" + GetParam().keys);
    EXPECT_EQ(test::describe(parse_desktop_entry(path, locale_suffixes(GetParam().locale))),
              GetParam().expected);
}

const std::string serbian = "Name=Foo\nName[sr]=A\nName[sr@Latn]=B\nName[sr_YU]=C\nName[sr_YU@Latn]=D\n";
const char* plain = "{name=\"Foo\" exec=\"foo\" icon=\"\" terminal=0";

std::string with(const std::string& rest) {
    return plain + rest + "}";
}

INSTANTIATE_TEST_SUITE_P(
    Table, Localised,
    testing::Values(
        LocalisedCase{"FullLocale", "sr_YU@Latn", serbian, with(" localised=\"D\"")},
        LocalisedCase{"CountryBeatsModifier", "sr_YU", serbian, with(" localised=\"C\"")},
        LocalisedCase{"ModifierWithoutCountry", "sr@Latn", serbian, with(" localised=\"B\"")},
        LocalisedCase{"LanguageOnly", "sr_ME", serbian, with(" localised=\"A\"")},
        LocalisedCase{"OtherLanguage", "de_DE", serbian, with("")},
        LocalisedCase{"CLocale", "C", serbian, with("")},
        LocalisedCase{"BestMatchWhereverItStands", "de_AT.UTF-8",
                      "Name[de_AT]=Oe\nName[de]=De\nName=Foo\nName[de_AT]=Later\n",
                      with(" localised=\"Oe\"")},
        LocalisedCase{"SameAsTheName", "de", "Name=Foo\nName[de]= Foo \n", with("")},
        LocalisedCase{"LocalisedNameNeedsTheName", "de", "Name[de]=Fu\n", "(nothing)"},
        LocalisedCase{"BlankBeforeEqualsIgnored", "de", "Name=Foo\nName[de] =Fu\n", with("")},
        LocalisedCase{"UnclosedLocaleIgnored", "de", "Name=Foo\nName[de=Fu\n", with("")},
        LocalisedCase{"GenericNameOfTheLocale", "de",
                      "Name=Foo\nGenericName=Web Browser\nGenericName[de]=Webbrowser\n",
                      with(" generic=\"Webbrowser\" generic=\"Web Browser\"")},
        LocalisedCase{"KeywordsOfTheLocale", "de",
                      "Name=Foo\nKeywords=web;browser;\nKeywords[de]=Internet;WWW\\;Web;\n",
                      with(" keyword=\"Internet\" keyword=\"WWW;Web\" keyword=\"web\" keyword=\"browser\"")},
        LocalisedCase{"KeywordsWithoutTranslation", "fr", "Name=Foo\nKeywords=web; browser ;\n",
                      with(" keyword=\"web\" keyword=\"browser\"")},
        LocalisedCase{"ActionsInTheirOrder", "de",
                      "Name=Foo\nActions=private;new;missing;new;\n[Desktop Action new]\nName=New "
                      "Window\nName[de]=Neues Fenster\nExec=foo --new %u\n[Desktop Action private]\n"
                      "Name=Private\nExec=foo\\s--private\n[Desktop Action unnamed]\nName=Other\nExec=x\n",
                      with(" action={\"Private\" \"\" \"foo --private\"} action={\"New Window\" \"Neues "
                           "Fenster\" \"foo --new\"}")},
        LocalisedCase{"ActionWithoutCommandOrName", "C",
                      "Name=Foo\nActions=a;b;\n[Desktop Action a]\nName=A\nExec=%U\n[Desktop Action b]\n"
                      "Exec=b\n",
                      with("")},
        LocalisedCase{"ActionKeysStayInTheirGroup", "C",
                      "Actions=a\n[Desktop Action a]\nName=A\nExec=a\nIcon=x\nTerminal=true\nType=Link\n"
                      "[Desktop Entry]\nName=Foo\n",
                      with(" action={\"A\" \"\" \"a\"}")}),
    [](const auto& info) { return std::string(info.param.label); });

using LocalisedComment = test::TempHomeTest;

TEST_F(LocalisedComment, IsReadLikeTheName) {
    const auto path = home.write("case.desktop",
                                 "[Desktop Entry]\nType=Application\nName=Foo\nExec=foo\nComment=Browse the "
                                 "web\nComment[de]= Im Netz\\ssurfen \n");
    EXPECT_EQ(parse_desktop_entry(path, {"de"})->comment, "Im Netz surfen");
    EXPECT_EQ(parse_desktop_entry(path, {})->comment, "Browse the web");
}

}  // namespace
}  // namespace lumenpad
