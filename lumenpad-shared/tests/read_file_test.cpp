#include "lumenpad-shared/read_file.hpp"

#include "lumenpad-test/temp_home.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>

namespace lumenpad {
namespace {

using test::TempHomeTest;

class ReadFile : public TempHomeTest {
protected:
    // A sparse file of `size` bytes that starts with `head`.
    std::string sparse_file(const std::string& name, const std::string& head, off_t size) const {
        const auto path = home.write(name, head);
        const int fd = ::open(path.c_str(), O_WRONLY);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        return path;
    }
};

TEST_F(ReadFile, RegularFile) {
    const std::string content("line one\nbinary \0\xFF end", 23);
    int error = 0;
    EXPECT_EQ(read_file(home.write("plain", content), error), content);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(read_file(home.write("empty", "")), "");
}

// Some regular files report a size of 0 and still have content.
TEST_F(ReadFile, SizeIsOnlyAHint) {
    const auto status = read_file("/proc/self/status");
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->starts_with("Name:")) << *status;
}

TEST_F(ReadFile, LargerThanFirstGuess) {
    // Larger than any buffer a size of 0 would start with.
    std::string content;
    for (int i = 0; content.size() < 300'000; ++i) {
        content += std::to_string(i) + '\n';
    }
    EXPECT_EQ(read_file(home.write("big", content)), content);
}

struct ErrorCase {
    const char* label;
    std::string path;
    int error;
};
void PrintTo(const ErrorCase& c, std::ostream* out) {
    *out << c.label;
}

class ReadFileError : public ReadFile, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ReadFileError, Errno) {
    std::string path = GetParam().path;
    if (path.starts_with("{home}")) {
        path.replace(0, 6, home.path());
    }
    if (path.ends_with("fifo")) {
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    if (path.ends_with("to-zero")) {
        ASSERT_EQ(::symlink("/dev/zero", path.c_str()), 0);
    }
    const auto started = std::chrono::steady_clock::now();
    int error = 0;
    EXPECT_FALSE(read_file(path, error));
    EXPECT_EQ(error, GetParam().error) << path;
    error = 0;
    EXPECT_FALSE(read_text_file(path, error));
    EXPECT_EQ(error, GetParam().error) << path;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

INSTANTIATE_TEST_SUITE_P(Table, ReadFileError,
                         ::testing::Values(ErrorCase{"Missing", "{home}/missing", ENOENT},
                                           ErrorCase{"Directory", "{home}", EISDIR},
                                           ErrorCase{"FifoWithoutWriter", "{home}/fifo", EINVAL},
                                           ErrorCase{"CharacterDevice", "/dev/null", EINVAL},
                                           ErrorCase{"LinkToDevZero", "{home}/to-zero", EINVAL},
                                           ErrorCase{"NotADirectory", "/dev/null/x", ENOTDIR}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(ReadFile, SizeBound) {
    int error = 0;
    const auto at_bound = read_file(sparse_file("at", "head", static_cast<off_t>(max_file_size)), error);
    ASSERT_TRUE(at_bound);
    EXPECT_EQ(at_bound->size(), max_file_size);
    EXPECT_TRUE(at_bound->starts_with("head"));

    error = 0;
    EXPECT_FALSE(read_file(sparse_file("over", "head", static_cast<off_t>(max_file_size) + 1), error));
    EXPECT_EQ(error, EFBIG);

    error = 0;
    EXPECT_FALSE(read_file(sparse_file("far-over", "head", 64 * 1024 * 1024), error));
    EXPECT_EQ(error, EFBIG);

    // Readers that read in pieces of their own are refused at the opening.
    error = 0;
    EXPECT_FALSE(
        open_regular_file(sparse_file("opened", "head", static_cast<off_t>(max_file_size) + 1), error));
    EXPECT_EQ(error, EFBIG);
}

TEST_F(ReadFile, TextFile) {
    int error = 0;
    EXPECT_EQ(read_text_file(home.write("text", "caf\xC3\xA9\n"), error), "caf\xC3\xA9\n");
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(read_text_file(home.write("latin1", "caf\xE9\n"), error));
    EXPECT_EQ(error, EILSEQ);
    error = 0;
    EXPECT_FALSE(read_text_file(home.write("surrogate", "\xED\xA0\x80"), error));
    EXPECT_EQ(error, EILSEQ);
}

TEST_F(ReadFile, OpenRegularFileThenReadAll) {
    const auto path = home.write("plain", "abc");
    int error = 0;
    const UniqueFd fd = open_regular_file(path, error);
    ASSERT_TRUE(fd);
    EXPECT_EQ(read_all(fd, error), "abc");
    EXPECT_TRUE(fcntl(fd.get(), F_GETFD) & FD_CLOEXEC);
}

}  // namespace
}  // namespace lumenpad
