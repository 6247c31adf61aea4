#include "lumenpad-shared/text.hpp"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/uloc.h>

#include <clocale>
#include <cstdint>
#include <random>
#include <string>

namespace lumenpad {
namespace {

using namespace std::literals;

// A plain encoder that also encodes surrogates, so the checker can be fed them.
std::string encode(uint32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// ---- is_valid_utf8 -------------------------------------------------------------

struct Utf8Case {
    const char* label;
    std::string_view bytes;
    bool valid;
};
void PrintTo(const Utf8Case& c, std::ostream* out) {
    *out << c.label;
}

class IsValidUtf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(IsValidUtf8, Table) {
    EXPECT_EQ(is_valid_utf8(GetParam().bytes), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsValidUtf8,
    ::testing::Values(
        Utf8Case{"Empty", ""sv, true}, Utf8Case{"Ascii", "plain text"sv, true},
        Utf8Case{"Nul", "a\0b"sv, true}, Utf8Case{"TwoByte", "caf\xC3\xA9"sv, true},
        Utf8Case{"ThreeByte", "\xE2\x82\xAC"sv, true}, Utf8Case{"FourByte", "\xF0\x9D\x84\x9E"sv, true},
        Utf8Case{"NonCharacterFFFF", "\xEF\xBF\xBF"sv, true}, Utf8Case{"Max", "\xF4\x8F\xBF\xBF"sv, true},
        Utf8Case{"OverlongSlash2", "\xC0\xAF"sv, false}, Utf8Case{"OverlongC1", "\xC1\xBF"sv, false},
        Utf8Case{"OverlongSlash3", "\xE0\x80\xAF"sv, false}, Utf8Case{"Overlong7FF", "\xE0\x9F\xBF"sv, false},
        Utf8Case{"OverlongSlash4", "\xF0\x80\x80\xAF"sv, false},
        Utf8Case{"OverlongFFFF", "\xF0\x8F\xBF\xBF"sv, false}, Utf8Case{"OverlongNul", "\xC0\x80"sv, false},
        Utf8Case{"SurrogateHigh", "\xED\xA0\x80"sv, false}, Utf8Case{"SurrogateLow", "\xED\xBF\xBF"sv, false},
        Utf8Case{"SurrogatePair", "\xED\xA0\xBD\xED\xB8\x80"sv, false},
        Utf8Case{"AboveMax", "\xF4\x90\x80\x80"sv, false}, Utf8Case{"LeadF5", "\xF5\x80\x80\x80"sv, false},
        Utf8Case{"LeadFF", "a\xFF"sv, false}, Utf8Case{"LoneContinuation", "\x80"sv, false},
        Utf8Case{"TruncatedTwo", "\xC3"sv, false}, Utf8Case{"TruncatedThree", "\xE2\x82"sv, false},
        Utf8Case{"TruncatedFour", "\xF0\x9D\x84"sv, false},
        Utf8Case{"TruncatedThenAscii", "\xE2\x82x"sv, false},
        Utf8Case{"TruncatedThenValid", "\xC3\xC3\xA9"sv, false},
        Utf8Case{"FiveByteForm", "\xF8\x88\x80\x80\x80"sv, false}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(IsValidUtf8, EveryScalarValueIsValidAndEverySurrogateIsNot) {
    for (uint32_t c = 0; c <= 0x10FFFF; ++c) {
        const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
        ASSERT_EQ(is_valid_utf8(encode(c)), !surrogate) << std::hex << c;
    }
}

TEST(IsValidUtf8, EveryTwoBytePair) {
    for (int first = 0; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
            const bool expected = (first < 0x80 && second < 0x80) ||
                                  (first >= 0xC2 && first <= 0xDF && second >= 0x80 && second <= 0xBF);
            ASSERT_EQ(is_valid_utf8(bytes), expected) << std::hex << first << ' ' << second;
        }
    }
}

// ---- lossy_utf8 ------------------------------------------------------------------

const std::string replacement = "\xEF\xBF\xBD";

struct LossyCase {
    std::string_view input;
    std::string expected;
};
void PrintTo(const LossyCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(c.input);
}

class LossyUtf8 : public ::testing::TestWithParam<LossyCase> {};

TEST_P(LossyUtf8, Table) {
    EXPECT_EQ(lossy_utf8(GetParam().input), GetParam().expected);
}

// One U+FFFD per maximal ill-formed subpart, the Unicode recommended practice.
INSTANTIATE_TEST_SUITE_P(
    Table, LossyUtf8,
    ::testing::Values(LossyCase{""sv, ""},
                      LossyCase{"caf\xC3\xA9 \xE2\x82\xAC"sv, "caf\xC3\xA9 \xE2\x82\xAC"},
                      LossyCase{"a\0b"sv, "a\0b"s},
                      LossyCase{"a\xFF"
                                "b"sv,
                                "a" + replacement + "b"},
                      LossyCase{"caf\xE9.desktop"sv, "caf" + replacement + ".desktop"},
                      LossyCase{"\xE2\x82"sv, replacement}, LossyCase{"\xE2\x82x"sv, replacement + "x"},
                      LossyCase{"\xF0\x9D\x84"sv, replacement},
                      LossyCase{"\xC0\xAF"sv, replacement + replacement},
                      LossyCase{"\xED\xA0\x80"sv, replacement + replacement + replacement},
                      LossyCase{"\xF4\x90\x80\x80"sv, replacement + replacement + replacement + replacement},
                      LossyCase{"\x80\x80"sv, replacement + replacement},
                      LossyCase{"\xC3\xC3\xA9"sv, replacement + "\xC3\xA9"}));

TEST(LossyUtf8, ResultIsAlwaysValidAndValidInputUnchanged) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 64, '\0');
        for (auto& byte : bytes) {
            // Mostly high bytes, so that valid and broken sequences both occur.
            byte = static_cast<char>(0x70 + random() % 0x90);
        }
        const std::string out = lossy_utf8(bytes);
        ASSERT_TRUE(is_valid_utf8(out));
        if (is_valid_utf8(bytes)) {
            ASSERT_EQ(out, bytes);
        } else {
            ASSERT_NE(out.find(replacement), std::string::npos);
        }
    }
}

// ---- trim ------------------------------------------------------------------------

struct TrimCase {
    std::string_view input;
    std::string_view expected;
};
void PrintTo(const TrimCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(c.input);
}

class Trim : public ::testing::TestWithParam<TrimCase> {};

TEST_P(Trim, Table) {
    EXPECT_EQ(trim(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, Trim,
                         ::testing::Values(TrimCase{"", ""}, TrimCase{"   ", ""}, TrimCase{"a", "a"},
                                           TrimCase{"  a b  ", "a b"}, TrimCase{"\t\n\v\f\r a \r\n", "a"},
                                           TrimCase{"\xC2\xA0"
                                                    "a\xC2\xA0",
                                                    "a"},  // U+00A0
                                           TrimCase{"\xE3\x80\x80"
                                                    "a\xE3\x80\x80",
                                                    "a"},  // U+3000
                                           TrimCase{"\xC2\x85\xE1\x9A\x80"
                                                    "a\xE2\x80\xA8\xE2\x80\xA9",
                                                    "a"},  // U+0085 U+1680 U+2028 U+2029
                                           TrimCase{"\xE2\x80\x80\xE2\x80\x8A"
                                                    "a\xE2\x80\xAF\xE2\x81\x9F",
                                                    "a"},  // U+2000 U+200A U+202F U+205F
                                           TrimCase{"\xE2\x80\x8B"
                                                    "a",
                                                    "\xE2\x80\x8B"
                                                    "a"},  // U+200B is no white space
                                           TrimCase{"\xEF\xBB\xBF"
                                                    "a",
                                                    "\xEF\xBB\xBF"
                                                    "a"},                               // nor is the BOM
                                           TrimCase{"a\xE1\xA0\x8E", "a\xE1\xA0\x8E"},  // nor U+180E
                                           TrimCase{"\xC2\xA0 x \xE3\x80\x80y\xC2\xA0", "x \xE3\x80\x80y"},
                                           TrimCase{"\0a\0"sv, "\0a\0"sv}));

// The set of characters trimmed is exactly ICU's White_Space property.
TEST(Trim, AgreesWithWhiteSpacePropertyForEveryCharacter) {
    for (UChar32 c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) {
            continue;
        }
        const std::string text = encode(static_cast<uint32_t>(c));
        const bool white = u_isUWhiteSpace(c);
        ASSERT_EQ(trim(text).empty(), white) << std::hex << c;
        ASSERT_EQ(trim("x" + text + "x"), "x" + text + "x") << std::hex << c;
    }
}

// ---- lower -----------------------------------------------------------------------

struct LowerCase {
    const char* label;
    std::string input;
    std::string expected;
};
void PrintTo(const LowerCase& c, std::ostream* out) {
    *out << c.label;
}

class Lower : public ::testing::TestWithParam<LowerCase> {};

TEST_P(Lower, Table) {
    EXPECT_EQ(lower(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Lower,
    ::testing::Values(LowerCase{"Empty", "", ""}, LowerCase{"Ascii", "Hello WORLD 42_Z", "hello world 42_z"},
                      LowerCase{"Latin1", "\xC3\x84PFEL \xC3\x89T\xC3\x89", "\xC3\xA4pfel \xC3\xA9t\xC3\xA9"},
                      LowerCase{"SharpSStays",
                                "Stra\xC3\x9F"
                                "e",
                                "stra\xC3\x9F"
                                "e"},
                      LowerCase{"CapitalSharpS", "\xE1\xBA\x9E", "\xC3\x9F"},
                      // U+0130 maps to "i" + U+0307 in the full mapping.
                      LowerCase{"DottedCapitalI", "\xC4\xB0", "i\xCC\x87"},
                      LowerCase{"DottedCapitalIWord", "\xC4\xB0STANBUL", "i\xCC\x87stanbul"},
                      // Final sigma: word-final U+03A3 becomes U+03C2, elsewhere U+03C3.
                      LowerCase{"FinalSigma", "\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3",
                                "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82"},
                      LowerCase{"SigmaInsideWord", "\xCE\xA3\xCE\x91", "\xCF\x83\xCE\xB1"},
                      LowerCase{"Cyrillic", "\xD0\x9C\xD0\x98\xD0\xA0", "\xD0\xBC\xD0\xB8\xD1\x80"},
                      LowerCase{"NoCase", "\xE6\x97\xA5\xE6\x9C\xAC 123", "\xE6\x97\xA5\xE6\x9C\xAC 123"}),
    [](const auto& info) { return std::string(info.param.label); });

// Neither the C locale nor ICU's default locale may change the mapping: under
// Turkish rules "I" would become a dotless i. "Ä" keeps the text off the ASCII
// path, so the Unicode mapping is what is tested.
TEST(Lower, IndependentOfLocale) {
    const std::string old_c_locale = std::setlocale(LC_ALL, nullptr);
    const bool have_turkish = std::setlocale(LC_ALL, "tr_TR.UTF-8") != nullptr;
    const std::string old_icu_locale = uloc_getDefault();
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault("tr_TR", &status);
    ASSERT_TRUE(U_SUCCESS(status));

    EXPECT_EQ(lower("I"), "i");
    EXPECT_EQ(lower("I\xC3\x84"), "i\xC3\xA4");
    EXPECT_EQ(lower("\xC4\xB0I"), "i\xCC\x87i");

    uloc_setDefault(old_icu_locale.c_str(), &status);
    std::setlocale(LC_ALL, old_c_locale.c_str());
    if (!have_turkish) {
        GTEST_LOG_(INFO) << "no tr_TR.UTF-8 locale installed; only ICU's default locale was switched";
    }
}

}  // namespace
}  // namespace lumenpad
