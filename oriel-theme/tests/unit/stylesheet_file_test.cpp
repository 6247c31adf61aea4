#include "oriel-theme/stylesheet_file.hpp"

#include "lumenpad-test/temp_dir.hpp"

#include <gtest/gtest.h>

#include <string>

namespace oriel {
namespace {

using lumenpad::test::TempDir;

std::string rules_of_size(std::size_t size) {
    std::string css;
    while (css.size() + 18 <= size) {
        css += "* { color: red; }\n";
    }
    css.append(size - css.size(), ' ');
    return css;
}

TEST(ReadStylesheetFile, ReadsAFileUpToTheBound) {
    const TempDir dir;
    const std::string css = rules_of_size(max_stylesheet_size);
    EXPECT_EQ(read_stylesheet_file(dir.write("style.css", css)), css);
    EXPECT_EQ(read_stylesheet_file(dir.write("small.css", "row { color: red; }")), "row { color: red; }");
}

TEST(ReadStylesheetFile, APastTheBoundCountsAsUnreadable) {
    const TempDir dir;
    EXPECT_EQ(read_stylesheet_file(dir.write("style.css", rules_of_size(max_stylesheet_size + 1))),
              std::nullopt);
    // A stylesheet bomb: 500,000 rules, 9 MB.
    EXPECT_EQ(read_stylesheet_file(dir.write("bomb.css", rules_of_size(500'000 * 18))), std::nullopt);
}

TEST(ReadStylesheetFile, MissingDirectoryOrNotUtf8IsUnreadable) {
    const TempDir dir;
    EXPECT_EQ(read_stylesheet_file(dir / "absent.css"), std::nullopt);
    EXPECT_EQ(read_stylesheet_file(dir.make_dir("dir.css")), std::nullopt);
    EXPECT_EQ(read_stylesheet_file(dir.write("bad.css", "row { color: \xFF; }")), std::nullopt);
}

}  // namespace
}  // namespace oriel
