#include "oriel-theme/colour.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace oriel {
namespace {

struct ChannelCase {
    const char* colour;
    int red;
    int green;
    int blue;
};

void PrintTo(const ChannelCase& c, std::ostream* out) {
    *out << '"' << c.colour << '"';
}

class ChannelByte : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(ChannelByte, ReadsEachTwoDigitWindow) {
    const ChannelCase& c = GetParam();
    EXPECT_EQ(channel_byte(c.colour, 0), c.red) << '"' << c.colour << '"';
    EXPECT_EQ(channel_byte(c.colour, 1), c.green) << '"' << c.colour << '"';
    EXPECT_EQ(channel_byte(c.colour, 2), c.blue) << '"' << c.colour << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Colours, ChannelByte,
    ::testing::Values(ChannelCase{"#1e1e2e", 30, 30, 46}, ChannelCase{"1e1e2e", 30, 30, 46},
                      ChannelCase{"##1e1e2e", 30, 30, 46}, ChannelCase{"#1E1E2E", 30, 30, 46},
                      ChannelCase{"#1e1e2eff", 30, 30, 46}, ChannelCase{"#1e1", 30, 0, 0},
                      ChannelCase{"#1e1e2", 30, 30, 0}, ChannelCase{"#fff", 255, 0, 0},
                      ChannelCase{"#zz1e2e", 0, 30, 46}, ChannelCase{"", 0, 0, 0}, ChannelCase{"#", 0, 0, 0},
                      ChannelCase{"red", 0, 0, 0}, ChannelCase{"#+f+F+0", 15, 15, 0},
                      ChannelCase{"#-1ffff", 0, 255, 255}, ChannelCase{"#+ ff++", 0, 255, 0},
                      ChannelCase{"# 1ffff", 0, 255, 255},
                      ChannelCase{"#00\xc3\xa9"
                                  "ff",
                                  0, 0, 255},
                      ChannelCase{"#1\xe2\x82\xac"
                                  "e2e",
                                  0, 0, 226},
                      ChannelCase{"#ffffff", 255, 255, 255}));

struct InkCase {
    const char* colour;
    float luminance;
    std::string_view ink;
};

void PrintTo(const InkCase& c, std::ostream* out) {
    *out << '"' << c.colour << '"';
}

class Luminance : public ::testing::TestWithParam<InkCase> {};

TEST_P(Luminance, DecidesTheInk) {
    const InkCase& c = GetParam();
    EXPECT_NEAR(relative_luminance(c.colour), c.luminance, 5e-5f) << c.colour;
    EXPECT_EQ(ink_for(c.colour), c.ink) << c.colour;
}

INSTANTIATE_TEST_SUITE_P(
    Colours, Luminance,
    ::testing::Values(InkCase{"#1e1e2e", 0.0140f, light_ink}, InkCase{"#cdd6f4", 0.6760f, dark_ink},
                      InkCase{"#45475a", 0.0651f, light_ink}, InkCase{"#f38ba8", 0.4035f, dark_ink},
                      InkCase{"#89b4fa", 0.4486f, dark_ink}, InkCase{"#bac2de", 0.5430f, dark_ink},
                      InkCase{"#ffffff", 1.0f, dark_ink}, InkCase{"#000000", 0.0f, light_ink},
                      InkCase{"#fff", 0.2126f, dark_ink}, InkCase{"", 0.0f, light_ink},
                      InkCase{"#757575", 0.1779f, light_ink}, InkCase{"#767676", 0.1812f, dark_ink},
                      InkCase{"#0000ff", 0.0722f, light_ink}, InkCase{"#00ff00", 0.7152f, dark_ink},
                      InkCase{"#0a0a0a", 0.0030f, light_ink}));

TEST(Inks, AreTheTwoFixedTexts) {
    EXPECT_EQ(dark_ink, "#11111b");
    EXPECT_EQ(light_ink, "#f5f5f5");
}

struct RgbaCase {
    const char* colour;
    float alpha;
    const char* text;
};

void PrintTo(const RgbaCase& c, std::ostream* out) {
    *out << '"' << c.colour << "\" " << c.alpha;
}

class RgbaText : public ::testing::TestWithParam<RgbaCase> {};

TEST_P(RgbaText, WritesChannelsAndShortestAlpha) {
    const RgbaCase& c = GetParam();
    EXPECT_EQ(rgba_text(c.colour, c.alpha), c.text);
}

INSTANTIATE_TEST_SUITE_P(Colours, RgbaText,
                         ::testing::Values(RgbaCase{"#1e1e2e", 0.6f, "rgba(30, 30, 46, 0.6)"},
                                           RgbaCase{"", 0.6f, "rgba(0, 0, 0, 0.6)"},
                                           RgbaCase{"#ffffff", 1.0f, "rgba(255, 255, 255, 1)"},
                                           RgbaCase{"#010203", 0.0f, "rgba(1, 2, 3, 0)"},
                                           RgbaCase{"#0a0b0c", 0.25f, "rgba(10, 11, 12, 0.25)"},
                                           RgbaCase{"#000000", 0.1f, "rgba(0, 0, 0, 0.1)"},
                                           RgbaCase{"#000000", 0.85f, "rgba(0, 0, 0, 0.85)"},
                                           RgbaCase{"#000000", 1e-7f, "rgba(0, 0, 0, 0.0000001)"},
                                           RgbaCase{"#000000", 1.5e-5f, "rgba(0, 0, 0, 0.000015)"},
                                           RgbaCase{"#000000", 1e10f, "rgba(0, 0, 0, 10000000000)"},
                                           RgbaCase{"#000000", 123.456f, "rgba(0, 0, 0, 123.456)"},
                                           RgbaCase{"#000000", -0.5f, "rgba(0, 0, 0, -0.5)"}));

TEST(RgbaText, AlphaReadsBackAsTheSameFloat) {
    for (float alpha : {0.6f, 0.1f + 0.2f, 1.0f / 3.0f, 0.999999f, 2.0f / 255.0f}) {
        const std::string text = rgba_text("#000000", alpha);
        const std::string digits = text.substr(text.rfind(' ') + 1, text.size() - text.rfind(' ') - 2);
        EXPECT_EQ(std::strtof(digits.c_str(), nullptr), alpha) << text;
        EXPECT_EQ(digits.find_first_of("eE"), std::string::npos) << text;
    }
}

// Restores the C locale however the test ends.
class CommaLocale : public ::testing::Test {
protected:
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(CommaLocale, AlphaKeepsItsDecimalPoint) {
    bool found = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr && std::string(std::localeconv()->decimal_point) == ",") {
            found = true;
            break;
        }
    }
    if (!found) {
        GTEST_SKIP() << "no comma-decimal locale is installed";
    }
    EXPECT_EQ(rgba_text("#1e1e2e", 0.6f), "rgba(30, 30, 46, 0.6)");
    EXPECT_EQ(rgba_text("#1e1e2e", 1234.5f), "rgba(30, 30, 46, 1234.5)");
}

}  // namespace
}  // namespace oriel
