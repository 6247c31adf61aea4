#include "lumenpad/dmenu_input.hpp"

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

namespace lumenpad {
namespace {

struct LinesCase {
    std::string text;
    std::vector<std::string> lines;
};

class DmenuLinesOf : public testing::TestWithParam<LinesCase> {};

TEST_P(DmenuLinesOf, Text) {
    const DmenuLines lines = dmenu_lines(GetParam().text);
    EXPECT_EQ(lines.lines, GetParam().lines);
    EXPECT_FALSE(lines.cut);
}

INSTANTIATE_TEST_SUITE_P(Table, DmenuLinesOf,
                         testing::Values(LinesCase{"", {}}, LinesCase{"one\ntwo\n", {"one", "two"}},
                                         LinesCase{"no end", {"no end"}}, LinesCase{"a\n\n\nb", {"a", "b"}},
                                         LinesCase{"dos\r\nline\r\n", {"dos", "line"}},
                                         LinesCase{"  kept  \n", {"  kept  "}},
                                         LinesCase{"bad\xFF\n", {"bad\xEF\xBF\xBD"}}, LinesCase{"\r\n", {}}));

TEST(DmenuLinesOf, KeepsTheFirstLinesUpToTheBound) {
    const DmenuLines lines = dmenu_lines("a\nb\nc\n", 2);
    EXPECT_EQ(lines.lines, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(lines.cut);
    EXPECT_FALSE(dmenu_lines("a\nb\n\n", 2).cut);
}

// A pipe written to by another thread, as a script writes to it; past the
// byte bound, the line the bound cuts is left out.
TEST(ReadDmenuText, ReadsAPipeToItsEndWithinTheByteBound) {
    // The reader stops at the bound; the rest is written to a closed pipe.
    signal(SIGPIPE, SIG_IGN);
    for (const std::size_t size : {std::size_t{5}, max_dmenu_bytes + 3}) {
        int ends[2];
        ASSERT_EQ(::pipe(ends), 0);
        std::string text(size - 1, 'x');
        text[size / 2] = '\n';
        text += '\n';
        std::thread writer([&] {
            for (std::size_t done = 0; done < text.size();) {
                const ssize_t n = ::write(ends[1], text.data() + done, text.size() - done);
                if (n <= 0) {
                    break;
                }
                done += static_cast<std::size_t>(n);
            }
            ::close(ends[1]);
        });
        const DmenuText read = read_dmenu_text(ends[0]);
        const DmenuLines lines = dmenu_lines(read.text);
        ::close(ends[0]);
        writer.join();
        const bool over = size > max_dmenu_bytes;
        EXPECT_EQ(read.cut, over) << size;
        ASSERT_EQ(lines.lines.size(), over ? 1U : 2U) << size;
        EXPECT_EQ(lines.lines[0].size(), size / 2);
    }
    signal(SIGPIPE, SIG_DFL);
}

// A file redirected to standard input is read by its size, with the same
// bound.
TEST(ReadDmenuText, ReadsAFileToItsEndWithinTheByteBound) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{5}, max_dmenu_bytes, max_dmenu_bytes + 3}) {
        FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        std::string text(size, 'x');
        if (size > 0) {
            text[size / 2] = '\n';
            text.back() = '\n';
        }
        ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file), text.size());
        std::fflush(file);
        std::rewind(file);
        const DmenuText read = read_dmenu_text(fileno(file));
        std::fclose(file);
        const bool over = size > max_dmenu_bytes;
        EXPECT_EQ(read.cut, over) << size;
        EXPECT_EQ(read.text, over ? text.substr(0, size / 2 + 1) : text) << size;
    }
}

}  // namespace
}  // namespace lumenpad
