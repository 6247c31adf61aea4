#include "oriel-theme/palette.hpp"
#include "oriel-theme/stylesheet.hpp"
#include "widget_support.hpp"

#include <vector>

namespace oriel {
namespace {

// Every problem GTK's CSS parser reports while loading `css`.
std::vector<std::string> parse_errors(const std::string& css) {
    std::vector<std::string> errors;
    const auto provider = lumenpad::adopt(gtk_css_provider_new());
    g_signal_connect(
        provider.get(), "parsing-error",
        G_CALLBACK(+[](GtkCssProvider*, GtkCssSection* section, const GError* error, gpointer data) {
            const lumenpad::GCharPtr where(gtk_css_section_to_string(section));
            static_cast<std::vector<std::string>*>(data)->push_back(std::string(where.get()) + ": " +
                                                                    error->message);
        }),
        &errors);
    load_css_text(provider.get(), css);
    return errors;
}

class GeneratedCss : public testing::GtkTest {};

TEST_F(GeneratedCss, ParsesWithoutErrors) {
    ASSERT_FALSE(parse_errors("button { colour: red; }").empty())
        << "the parser's errors must reach the test";
    EXPECT_EQ(parse_errors(generate_stylesheet(default_palette())), std::vector<std::string>{});
}

}  // namespace
}  // namespace oriel
