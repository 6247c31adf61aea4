#include "lumenpad/desktop_entry.hpp"

#include "../app_entries.hpp"
#include "lumenpad-test/temp_home.hpp"

#include "lumenpad-shared/read_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace lumenpad {
namespace {

using namespace std::literals;
using test::describe;
using test::TempHomeTest;

AppEntry app(std::string name, std::string exec, std::string icon = "",
             std::optional<std::string> wm_class = std::nullopt, bool terminal = false) {
    AppEntry entry;
    entry.name = std::move(name);
    entry.exec = std::move(exec);
    entry.icon = std::move(icon);
    entry.startup_wm_class = std::move(wm_class);
    entry.terminal = terminal;
    return entry;
}

// ---- strip_field_codes -------------------------------------------------------

struct FieldCodeCase {
    const char* input;
    const char* expected;
};
void PrintTo(const FieldCodeCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(c.input);
}

class FieldCodes : public ::testing::TestWithParam<FieldCodeCase> {};

TEST_P(FieldCodes, Strip) {
    EXPECT_EQ(strip_field_codes(GetParam().input), GetParam().expected) << "input: " << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(Table, FieldCodes,
                         ::testing::Values(FieldCodeCase{"", ""},                            //
                                           FieldCodeCase{"firefox %u", "firefox "},          //
                                           FieldCodeCase{"%U", ""},                          //
                                           FieldCodeCase{"app %f %F %i %c %k", "app     "},  //
                                           FieldCodeCase{"a %Z b %q", "a  b "},              // any letter
                                           FieldCodeCase{"50%%", "50%"},                     //
                                           FieldCodeCase{"%%f", "%f"},                       //
                                           FieldCodeCase{"%%%f", "%"},                       //
                                           FieldCodeCase{"%%%", "%%"},                       //
                                           FieldCodeCase{"a%1", "a%1"},                      //
                                           FieldCodeCase{"% f", "% f"},                      //
                                           FieldCodeCase{"%%u", "%u"},                       //
                                           FieldCodeCase{"%-%u", "%-"},                      //
                                           FieldCodeCase{"end%", "end%"},                    //
                                           FieldCodeCase{"%\xC3\xA9", "%\xC3\xA9"},  // é is no ASCII letter
                                           FieldCodeCase{"x\\ %u \"%f\"", "x\\  \"\""}));

// ---- unescape_value -----------------------------------------------------------

class Unescape : public ::testing::TestWithParam<FieldCodeCase> {};

TEST_P(Unescape, Value) {
    EXPECT_EQ(unescape_value(GetParam().input), GetParam().expected) << "input: " << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(Table, Unescape,
                         ::testing::Values(FieldCodeCase{"", ""},                      //
                                           FieldCodeCase{"a\\sb", "a b"},              //
                                           FieldCodeCase{"\\n\\t\\r", "\n\t\r"},       //
                                           FieldCodeCase{"\\\\", "\\"},                //
                                           FieldCodeCase{"\\\\s", "\\s"},              // left to right
                                           FieldCodeCase{"\\\\\\s", "\\ "},            //
                                           FieldCodeCase{"\\\"\\$\\`", "\\\"\\$\\`"},  // kept
                                           FieldCodeCase{"\\S\\N", "\\S\\N"},          // case matters
                                           FieldCodeCase{"\\;", "\\;"},                //
                                           FieldCodeCase{"end\\", "end\\"},            //
                                           FieldCodeCase{"\\\xC3\xA9", "\\\xC3\xA9"}));

// ---- parse_desktop_entry: file contents to result ---------------------------

struct ParseCase {
    const char* label;
    std::string content;
    std::optional<AppEntry> expected;
};
void PrintTo(const ParseCase& c, std::ostream* out) {
    *out << c.label;
}

class ParseDesktopEntry : public TempHomeTest, public ::testing::WithParamInterface<ParseCase> {};

TEST_P(ParseDesktopEntry, Content) {
    const auto path = home.write("case.desktop", GetParam().content);
    EXPECT_EQ(describe(parse_desktop_entry(path)), describe(GetParam().expected));
}

const std::string head = "[Desktop Entry]\nType=Application\n";
const std::string minimal = head + "Name=Foo\nExec=foo\n";

std::string name_for(const ::testing::TestParamInfo<ParseCase>& info) {
    return info.param.label;
}

INSTANTIATE_TEST_SUITE_P(
    Groups, ParseDesktopEntry,
    ::testing::Values(
        ParseCase{"Minimal", minimal, app("Foo", "foo")}, ParseCase{"Empty", "", std::nullopt},
        ParseCase{"NoGroup", "Type=Application\nName=Foo\nExec=foo\n", std::nullopt},
        ParseCase{"NameBeforeGroup", "Name=Foo\n[Desktop Entry]\nType=Application\nExec=foo\n", std::nullopt},
        ParseCase{"HeaderCase", "[desktop entry]\nType=Application\nName=Foo\nExec=foo\n", std::nullopt},
        ParseCase{"HeaderTrailing", "[Desktop Entry] x\nType=Application\nName=Foo\nExec=foo\n",
                  std::nullopt},
        ParseCase{"HeaderTrimmed", " [Desktop Entry]\t\nType=Application\nName=Foo\nExec=foo\n",
                  app("Foo", "foo")},
        ParseCase{
            "ActionGroupIgnored",
            minimal + "Icon=foo\n[Desktop Action new]\nName=New\nExec=foo --new\nIcon=new\nTerminal=true\n",
            app("Foo", "foo", "foo")},
        ParseCase{"OtherGroupFirst", "[Desktop Action x]\nName=Other\nExec=other\n" + minimal,
                  app("Foo", "foo")},
        ParseCase{"FirstWinsAcrossGroups",
                  head + "Name=First\n[Other]\nName=Other\n[Desktop Entry]\nName=Second\nExec=foo\n",
                  app("First", "foo")},
        ParseCase{"ReopenedGroupCounts", head + "Name=Foo\n[Other]\nExec=other\n[Desktop Entry]\nExec=foo\n",
                  app("Foo", "foo")}),
    name_for);

INSTANTIATE_TEST_SUITE_P(
    Keys, ParseDesktopEntry,
    ::testing::Values(
        ParseCase{"BlankBeforeEquals", head + "Name =Foo\nExec=foo\n", std::nullopt},
        ParseCase{"BlankBeforeEqualsOtherName", head + "Name =Bad\nName=Good\nExec=foo\n",
                  app("Good", "foo")},
        ParseCase{"KeyCase", head + "name=Foo\nExec=foo\n", std::nullopt},
        ParseCase{"LocalisedOnly", head + "Name[de]=Foo\nExec=foo\n", std::nullopt},
        ParseCase{"LocalisedIgnored", head + "Name[de]=Fu\nName=Foo\nName[fr]=Fou\nExec=foo\n",
                  app("Foo", "foo")},
        ParseCase{"NoEquals", head + "Name\nName=Foo\nExec=foo\n", app("Foo", "foo")},
        ParseCase{"ValueWithEquals", head + "Name=a=b\nExec=env A=B foo\n", app("a=b", "env A=B foo")},
        ParseCase{"ValueTrimmed", head + "Name=  Foo Bar \t\nExec=\t foo  \nIcon=  /x/y.png \n",
                  app("Foo Bar", "foo", "/x/y.png")},
        ParseCase{"FirstNameWins", head + "Name=One\nName=Two\nExec=foo\nExec=bar\n", app("One", "foo")},
        ParseCase{"FirstIconWins", minimal + "Icon=one\nIcon=two\n", app("Foo", "foo", "one")},
        ParseCase{"EmptyNameFirstWins", head + "Name=\nName=Foo\nExec=foo\n", std::nullopt},
        ParseCase{"BlankName", head + "Name=   \nExec=foo\n", std::nullopt},
        ParseCase{"NoName", head + "Exec=foo\n", std::nullopt},
        ParseCase{"NoExec", head + "Name=Foo\n", std::nullopt},
        ParseCase{"CommentSkipped", head + "#Name=Bad\n  # Exec=bad\nName=Foo\nExec=foo\n",
                  app("Foo", "foo")},
        ParseCase{"OtherEscapesKept", head + "Name=Foo\nExec=sh -c \"echo \\\"hi\\\"\" \\$x\n",
                  app("Foo", "sh -c \"echo \\\"hi\\\"\" \\$x")}),
    name_for);

INSTANTIATE_TEST_SUITE_P(
    Type, ParseDesktopEntry,
    ::testing::Values(
        ParseCase{"Link", "[Desktop Entry]\nType=Link\nName=Foo\nExec=foo\n", std::nullopt},
        ParseCase{"LeadingBlank", "[Desktop Entry]\nType= Application\nName=Foo\nExec=foo\n", std::nullopt},
        ParseCase{"Lowercase", "[Desktop Entry]\nType=application\nName=Foo\nExec=foo\n", std::nullopt},
        ParseCase{"Missing", "[Desktop Entry]\nName=Foo\nExec=foo\n", std::nullopt},
        ParseCase{"FirstTypeWins", "[Desktop Entry]\nType=Link\nType=Application\nName=Foo\nExec=foo\n",
                  std::nullopt},
        ParseCase{"TypeAfterKeys", "[Desktop Entry]\nName=Foo\nExec=foo\nType=Application\n",
                  app("Foo", "foo")}),
    name_for);

INSTANTIATE_TEST_SUITE_P(
    Flags, ParseDesktopEntry,
    ::testing::Values(
        ParseCase{"NoDisplayTrue", minimal + "NoDisplay=true\n", std::nullopt},
        ParseCase{"NoDisplayOne", minimal + "NoDisplay=1\n", app("Foo", "foo")},
        ParseCase{"NoDisplayCapital", minimal + "NoDisplay=True\n", app("Foo", "foo")},
        ParseCase{"NoDisplayBlankValue", minimal + "NoDisplay= true\n", app("Foo", "foo")},
        ParseCase{"NoDisplayLastWins", minimal + "NoDisplay=true\nNoDisplay=no\n", app("Foo", "foo")},
        ParseCase{"NoDisplayLastTrue", minimal + "NoDisplay=false\nNoDisplay=true\n", std::nullopt},
        ParseCase{"HiddenTrue", minimal + "Hidden=true\n", std::nullopt},
        ParseCase{"HiddenLastWins", minimal + "Hidden=true\nHidden=false\n", app("Foo", "foo")},
        ParseCase{"HiddenInActionGroup", minimal + "[Desktop Action x]\nHidden=true\n", app("Foo", "foo")},
        ParseCase{"TerminalTrue", minimal + "Terminal=true\n", app("Foo", "foo", "", {}, true)},
        ParseCase{"TerminalOne", minimal + "Terminal=1\n", app("Foo", "foo", "", {}, true)},
        ParseCase{"TerminalCapital", minimal + "Terminal=True\n", app("Foo", "foo")},
        ParseCase{"TerminalLastWins", minimal + "Terminal=true\nTerminal=false\n", app("Foo", "foo")},
        ParseCase{"TerminalLastTrue", minimal + "Terminal=0\nTerminal=1\n", app("Foo", "foo", "", {}, true)}),
    name_for);

INSTANTIATE_TEST_SUITE_P(
    ExecAndWmClass, ParseDesktopEntry,
    ::testing::Values(
        ParseCase{"CodeOnly", head + "Name=Foo\nExec=%U\n", std::nullopt},
        ParseCase{"CodesAndBlanksOnly", head + "Name=Foo\nExec= %f %U \n", std::nullopt},
        ParseCase{"TrailingCodeTrimmed", head + "Name=Foo\nExec=firefox %u\n", app("Foo", "firefox")},
        ParseCase{"InnerCodeLeavesBlanks", head + "Name=Foo\nExec=a %f b\n", app("Foo", "a  b")},
        ParseCase{"DoublePercent", head + "Name=Foo\nExec=printf 100%% %F\n", app("Foo", "printf 100%")},
        ParseCase{"PercentDigit", head + "Name=Foo\nExec=a %1\n", app("Foo", "a %1")},
        ParseCase{"PercentAtEnd", head + "Name=Foo\nExec=a %\n", app("Foo", "a %")},
        ParseCase{"ExecEscapesUndone", head + "Name=Foo\nExec=echo a\\sb\\tc\\\\d \\\\\\sx\n",
                  app("Foo", "echo a b\tc\\d \\ x")},
        ParseCase{"EscapedBlanksTrimmed", head + "Name=Foo\nExec=\\s\\tfoo\\s\\n %U\\r\n", app("Foo", "foo")},
        ParseCase{"EscapeBeforeCode", head + "Name=Foo\nExec=a \\\\%u b %\\sc\n", app("Foo", "a \\ b % c")},
        ParseCase{"OtherFieldsNotUnescaped",
                  head + "Name=A\\sB\nExec=foo\nIcon=i\\\\n\nStartupWMClass=W\\t\n",
                  app("A\\sB", "foo", "i\\\\n", "W\\t")},
        // Debian's emacsclient.desktop: bash must see \" and \$, not \\" and \\$.
        ParseCase{
            "Emacsclient",
            head + "Name=Emacs (Client)\n"
                   R"(Exec=sh -c "if [ -n \\"\\$*\\" ]; then exec emacsclient --alternate-editor= )"
                   R"(--display=\\"\\$DISPLAY\\" \\"\\$@\\"; else exec emacsclient )"
                   R"(--alternate-editor= --create-frame; fi" sh %F)"
                   "\n",
            app("Emacs (Client)", R"(sh -c "if [ -n \"\$*\" ]; then exec emacsclient --alternate-editor= )"
                                  R"(--display=\"\$DISPLAY\" \"\$@\"; else exec emacsclient )"
                                  R"(--alternate-editor= --create-frame; fi" sh)")},
        ParseCase{"WmClass", minimal + "StartupWMClass= Foo-App \n", app("Foo", "foo", "", "Foo-App")},
        ParseCase{"WmClassBlank", minimal + "StartupWMClass=   \nStartupWMClass=Late\n", app("Foo", "foo")},
        ParseCase{"WmClassEmpty", minimal + "StartupWMClass=\n", app("Foo", "foo")}),
    name_for);

INSTANTIATE_TEST_SUITE_P(
    Bytes, ParseDesktopEntry,
    ::testing::Values(
        ParseCase{"CrLf",
                  "[Desktop Entry]\r\nType=Application\r\nName=Foo\r\nExec=foo %U\r\nTerminal=true\r\n",
                  app("Foo", "foo", "", {}, true)},
        ParseCase{"CrLfHeader", "[Desktop Entry]\r\nType=Application\r\nName=Foo\r\nExec=foo\r\n",
                  app("Foo", "foo")},
        ParseCase{"NoFinalNewline", head + "Name=Foo\nExec=foo", app("Foo", "foo")},
        ParseCase{"NoFinalNewlineFlag", minimal + "Terminal=1", app("Foo", "foo", "", {}, true)},
        ParseCase{"InvalidLineSkipped", head + "Name=Caf\xE9\nName=Cafe\nExec=foo\n", app("Cafe", "foo")},
        ParseCase{"InvalidOnlyName", head + "Name=\xFF\xFE\nExec=foo\n", std::nullopt},
        ParseCase{"InvalidHeaderKeepsGroup", head + "[Other\xFF]\nName=Foo\nExec=foo\n", app("Foo", "foo")},
        ParseCase{"InvalidFlagIgnored", minimal + "NoDisplay=true\nNoDisplay=\xC0\xAF\n", std::nullopt},
        ParseCase{"Surrogate", head + "Name=\xED\xA0\x80x\nName=Ok\nExec=foo\n", app("Ok", "foo")},
        ParseCase{"NonAscii", head + "Name=Caf\xC3\xA9 \xE2\x98\x95\nExec=caf\xC3\xA9\n",
                  app("Caf\xC3\xA9 \xE2\x98\x95", "caf\xC3\xA9")},
        // U+00A0, U+3000, U+2003, U+0085, U+FEFF: the first four are white space, the BOM is not.
        ParseCase{"UnicodeBlanks",
                  head + "Name=\xC2\xA0"
                         "Foo\xE3\x80\x80\nExec=\xE2\x80\x83"
                         "foo %u\xC2\x85\n",
                  app("Foo", "foo")},
        ParseCase{"UnicodeBlankBeforeKey",
                  "\xE3\x80\x80[Desktop Entry]\xC2\xA0\n\xE3\x80\x80Type=Application\n"
                  "\xE2\x80\x83Name=Foo\nExec=foo\n",
                  app("Foo", "foo")},
        ParseCase{"AsciiBlanksBeforeKeys", head + "\t Name=Foo\n\vExec=foo\n\f Terminal=1\n",
                  app("Foo", "foo", "", {}, true)},
        ParseCase{"BlanksBeforeHeaderClose", minimal + "\t[Other]\nIcon=other\n", app("Foo", "foo")},
        // U+0085 is white space: the header behind it closes the main group.
        ParseCase{"NextLineBeforeHeaderClose", head + "Name=Foo\n\xC2\x85[Other]\nExec=foo\n", std::nullopt},
        ParseCase{"InvalidBytesInKey", head + "Na\xFFme=Bad\nName=Foo\nExec=foo\n", app("Foo", "foo")},
        ParseCase{"ByteOrderMarkIsNoBlank",
                  "\xEF\xBB\xBF[Desktop Entry]\nType=Application\nName=Foo\nExec=foo\n", std::nullopt},
        ParseCase{"NulByteInValue", head + std::string("Name=a\0b\nExec=foo\n"sv),
                  app(std::string("a\0b"sv), "foo")}),
    name_for);

// ---- reading -----------------------------------------------------------------

using ParseDesktopEntryFile = TempHomeTest;

TEST_F(ParseDesktopEntryFile, MissingFileYieldsNothing) {
    EXPECT_FALSE(parse_desktop_entry(home.path() + "/absent.desktop"));
}

TEST_F(ParseDesktopEntryFile, DirectoryYieldsNothing) {
    EXPECT_FALSE(parse_desktop_entry(home.make_dir("dir.desktop")));
}

TEST_F(ParseDesktopEntryFile, FifoWithoutWriterYieldsNothing) {
    const auto path = home.path() + "/fifo.desktop";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_FALSE(parse_desktop_entry(path));
}

TEST_F(ParseDesktopEntryFile, SymlinkToFileIsRead) {
    const auto target = home.write("real.txt", minimal);
    const auto link = home.path() + "/link.desktop";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(describe(parse_desktop_entry(link)), describe(app("Foo", "foo")));
}

// Lines that cross the read buffer's edges, one byte apart, including a "\r\n"
// split between two reads and the header itself straddling the edge.
TEST_F(ParseDesktopEntryFile, LinesAcrossBufferEdges) {
    for (size_t padding = 8150; padding < 8200; ++padding) {
        const std::string content = "#" + std::string(padding, 'x') +
                                    "\r\n[Desktop Entry]\r\nType=Application\r\n" +
                                    "Name=Edge\r\nExec=edge %f\r\nTerminal=true\r\n";
        const auto path = home.write("edge.desktop", content);
        EXPECT_EQ(describe(parse_desktop_entry(path)), describe(app("Edge", "edge", "", {}, true)))
            << "padding " << padding;
    }
}

TEST_F(ParseDesktopEntryFile, LineLongerThanBuffer) {
    const std::string long_exec = "run " + std::string(100'000, 'a') + " end";
    const std::string long_name(20'000, 'N');
    const auto path =
        home.write("long.desktop", head + "Name=" + long_name + "\nExec=" + long_exec + " %U\n" +
                                       "Comment=" + std::string(50'000, 'c') + "\nIcon=i\n");
    EXPECT_EQ(describe(parse_desktop_entry(path)), describe(app(long_name, long_exec, "i")));
}

TEST_F(ParseDesktopEntryFile, InvalidUtf8LineLongerThanBuffer) {
    const auto path =
        home.write("bad.desktop", head + "Name=" + std::string(10'000, 'a') + "\xFF\nName=Foo\nExec=foo\n");
    EXPECT_EQ(describe(parse_desktop_entry(path)), describe(app("Foo", "foo")));
}

// A keyword bomb: the first 256 distinct keywords are kept, localised ones
// first, and the rest ignored; repeats take no place.
TEST_F(ParseDesktopEntryFile, KeepsAtMost256Keywords) {
    std::string plain;
    for (int i = 0; i < 100'000; ++i) {
        plain += "k" + std::to_string(i) + ";";
    }
    const std::string localised = "de;de;k0;";
    const auto path =
        home.write("bomb.desktop", minimal + "Keywords=" + plain + "\nKeywords[de]=" + localised + "\n");
    const auto entry = parse_desktop_entry(path, {"de"});
    ASSERT_TRUE(entry);
    ASSERT_EQ(entry->keywords.size(), 256U);
    EXPECT_EQ(entry->keywords[0], "de");
    EXPECT_EQ(entry->keywords[1], "k0");
    EXPECT_EQ(entry->keywords[2], "k1");
    EXPECT_EQ(entry->keywords[255], "k254");
}

TEST_F(ParseDesktopEntryFile, KeepsEveryKeywordWithinTheBound) {
    std::string keywords;
    for (int i = 0; i < 256; ++i) {
        keywords += "k" + std::to_string(i) + ";k0;";
    }
    const auto entry =
        parse_desktop_entry(home.write("full.desktop", minimal + "Keywords=" + keywords + "\n"));
    ASSERT_TRUE(entry);
    ASSERT_EQ(entry->keywords.size(), 256U);
    EXPECT_EQ(entry->keywords.back(), "k255");
}

// The size bound is on the bytes read: a valid entry at the start of a file
// that is one byte too large still yields nothing.
TEST_F(ParseDesktopEntryFile, SizeBound) {
    for (const off_t size : {static_cast<off_t>(max_file_size), static_cast<off_t>(max_file_size) + 1}) {
        const auto path = home.write("big.desktop", minimal);
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        const auto entry = parse_desktop_entry(path);
        if (size == static_cast<off_t>(max_file_size)) {
            EXPECT_EQ(describe(entry), describe(app("Foo", "foo")));
        } else {
            EXPECT_FALSE(entry) << describe(entry);
        }
    }
}

}  // namespace
}  // namespace lumenpad
