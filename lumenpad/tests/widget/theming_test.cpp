// The launcher's stylesheets read again for a resident window's next show:
// style.css and the wal colours take effect, and what the files no longer say
// is gone rather than left behind by a provider stacked on the display.
#include "lumenpad/theming.hpp"

#include "lumenpad-test/main_loop.hpp"
#include "lumenpad-test/temp_home.hpp"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>

namespace lumenpad {
namespace {

GdkRGBA colour_of(GtkWidget* widget) {
    GdkRGBA colour{};
#if GTK_CHECK_VERSION(4, 10, 0)
    gtk_widget_get_color(widget, &colour);
#else
    gtk_style_context_get_color(gtk_widget_get_style_context(widget), &colour);
#endif
    return colour;
}

bool is(const GdkRGBA& colour, float red, float green, float blue) {
    constexpr float close = 0.01f;
    return std::abs(colour.red - red) < close && std::abs(colour.green - green) < close &&
           std::abs(colour.blue - blue) < close;
}

struct Reread {
    const char* name;
    // Files before and after, empty for none.
    std::string style_before;
    std::string style_after;
    std::string wal_before;
    std::string wal_after;
    // The probe's colour before and after.
    std::array<float, 3> before;
    std::array<float, 3> after;
};

void PrintTo(const Reread& reread, std::ostream* out) {
    *out << reread.name;
}

class ReloadLauncherTheme : public test::TempHomeTest, public ::testing::WithParamInterface<Reread> {
protected:
    // Before the private home moves XDG_RUNTIME_DIR away from the display.
    static void SetUpTestSuite() { gtk_init(); }

    void write_or_remove(const std::string& relative, const std::string& text) {
        if (text.empty()) {
            std::filesystem::remove(home / relative);
        } else {
            home.write(relative, text);
        }
    }
};

TEST_P(ReloadLauncherTheme, TakesTheFilesAsTheyAreNow) {
    const Reread& reread = GetParam();
    home.make_dir("run");
    write_or_remove(".config/lumenpad/style.css", reread.style_before);
    write_or_remove(".cache/wal/colors.json", reread.wal_before);
    apply_launcher_theme();

    GtkWidget* window = gtk_window_new();
    GtkWidget* probe = gtk_label_new("probe");
    gtk_widget_add_css_class(probe, "launcher-bg");
    gtk_widget_add_css_class(probe, "probe");
    gtk_window_set_child(GTK_WINDOW(window), probe);
    gtk_window_present(GTK_WINDOW(window));
    const auto shows = [&](const std::array<float, 3>& rgb) {
        if (test::wait_until([&] { return is(colour_of(probe), rgb[0], rgb[1], rgb[2]); })) {
            return ::testing::AssertionSuccess();
        }
        const GdkRGBA seen = colour_of(probe);
        return ::testing::AssertionFailure()
               << "the probe shows " << seen.red << " " << seen.green << " " << seen.blue;
    };
    EXPECT_TRUE(shows(reread.before));

    write_or_remove(".config/lumenpad/style.css", reread.style_after);
    write_or_remove(".cache/wal/colors.json", reread.wal_after);
    reload_launcher_theme();
    EXPECT_TRUE(shows(reread.after));

    gtk_window_destroy(GTK_WINDOW(window));
    test::drain_main_loop();
    // What a later case finds: the launcher's own rules alone.
    write_or_remove(".config/lumenpad/style.css", "");
    write_or_remove(".cache/wal/colors.json", "");
    reload_launcher_theme();
}

const std::string dark = R"({"special": {"background": "#000000"}})";
const std::string light = R"({"special": {"background": "#ffffff"}})";
const std::string red = ".probe { color: rgb(255, 0, 0); }";
const std::string green = ".probe { color: rgb(0, 255, 0); }";

// The launcher's panel text: light ink on a dark background, dark on a light one.
constexpr std::array<float, 3> light_ink{0.961f, 0.961f, 0.961f};
constexpr std::array<float, 3> dark_ink{0.067f, 0.067f, 0.106f};

INSTANTIATE_TEST_SUITE_P(
    Table, ReloadLauncherTheme,
    ::testing::Values(
        Reread{"StyleChanged", red, green, dark, dark, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}},
        Reread{"StyleRuleDropped", red, ".other { color: blue; }", dark, dark, {1.0f, 0.0f, 0.0f}, light_ink},
        Reread{"StyleRemoved", red, "", dark, dark, {1.0f, 0.0f, 0.0f}, light_ink},
        Reread{"WalColoursChanged", "", "", dark, light, light_ink, dark_ink}),
    [](const ::testing::TestParamInfo<Reread>& info) { return info.param.name; });

}  // namespace
}  // namespace lumenpad
