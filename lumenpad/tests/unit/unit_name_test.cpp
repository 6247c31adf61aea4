#include "lumenpad/unit_name.hpp"

#include <gtest/gtest.h>

namespace lumenpad {
namespace {

struct EscapeCase {
    const char* id;
    const char* escaped;
};

class SystemdEscape : public testing::TestWithParam<EscapeCase> {};

// Each expectation is what systemd-escape prints for the same text.
TEST_P(SystemdEscape, EscapesAsSystemdEscapeDoes) {
    EXPECT_EQ(systemd_escape(GetParam().id), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(Ids, SystemdEscape,
                         testing::Values(EscapeCase{"org.gnome.Nautilus", "org.gnome.Nautilus"},
                                         EscapeCase{"firefox-esr", "firefox\\x2desr"},
                                         EscapeCase{"my_app:2", "my_app:2"},
                                         EscapeCase{".hidden", "\\x2ehidden"}, EscapeCase{"..x.", "\\x2e.x."},
                                         EscapeCase{"caf\xC3\xA9", "caf\\xc3\\xa9"},
                                         EscapeCase{"bad\xFF", "bad\\xff"}, EscapeCase{"a/b", "a-b"},
                                         EscapeCase{"a b~@\\", "a\\x20b\\x7e\\x40\\x5c"},
                                         EscapeCase{"", ""}));

TEST(ScopeUnitName, NamesTheLauncherTheIdAndSixteenHexDigits) {
    EXPECT_EQ(scope_unit_name("org.gnome.Nautilus", 0x0123456789abcdefULL),
              "app-lumenpad-org.gnome.Nautilus-0123456789abcdef.scope");
    EXPECT_EQ(scope_unit_name("firefox-esr", 0xa), "app-lumenpad-firefox\\x2desr-000000000000000a.scope");
}

}  // namespace
}  // namespace lumenpad
