// Hostile application directories: garbage, truncated files, huge lines and
// special files must neither crash nor hang the scan.
#include "lumenpad/catalogue.hpp"
#include "lumenpad/desktop_entry.hpp"

#include "lumenpad-test/temp_home.hpp"

#include "lumenpad-shared/read_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <string>

namespace lumenpad {
namespace {

using test::TempHomeTest;

// gtest has no timeout of its own: a hung read would stall the run, so the
// alarm's default action ends the process and fails the test instead.
class HangGuard {
public:
    explicit HangGuard(unsigned seconds) { ::alarm(seconds); }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;
    ~HangGuard() { ::alarm(0); }
};

class BadInput : public TempHomeTest {
protected:
    std::mt19937 random{20240607};

    size_t below(size_t bound) { return std::uniform_int_distribution<size_t>(0, bound - 1)(random); }

    std::string random_bytes(size_t length) {
        std::string out(length, '\0');
        for (auto& byte : out) {
            byte = static_cast<char>(below(256));
        }
        return out;
    }

    // A line that is never valid UTF-8 (0xFF can't occur in it) and has no '\n'.
    std::string invalid_line() {
        std::string line = random_bytes(1 + below(200));
        for (auto& byte : line) {
            if (byte == '\n') {
                byte = ' ';
            }
        }
        line[below(line.size())] = '\xFF';
        return line + "\n";
    }

    std::string long_line(size_t length) {
        std::string line = "X-Padding=";
        line.reserve(length + 1);
        while (line.size() < length) {
            line += static_cast<char>('a' + below(26));
        }
        return line + "\n";
    }
};

TEST_F(BadInput, ScanOfHostileTreeFinishes) {
    const auto dir = home.make_dir("applications");
    std::map<std::string, std::string> expected;  // name to exec
    for (int i = 0; i < 1000; ++i) {
        const std::string id = std::to_string(i);
        const std::string file = "applications/f" + id + ".desktop";
        switch (i % 5) {
            case 0:
                home.write(file, random_bytes(below(64 * 1024)));
                break;
            case 1: {
                // Exec comes last, so a cut yields an entry exactly when some
                // of the Exec value survives.
                const std::string head = "[Desktop Entry]\nType=Application\nName=cut" + id + "\nExec=";
                const std::string whole = head + "run" + id + "\n";
                const size_t cut = below(whole.size());
                home.write(file, whole.substr(0, cut));
                if (cut > head.size()) {
                    expected["cut" + id] = whole.substr(head.size(), cut - head.size());
                }
                break;
            }
            case 2:
                home.write(file, invalid_line() + "[Desktop Entry]\n" + invalid_line() +
                                     "Type=Application\n" + invalid_line() + "Name=valid" + id + "\n" +
                                     invalid_line() + "Exec=run" + id + " %U\n" + invalid_line());
                expected["valid" + id] = "run" + id;
                break;
            case 3:
                if (i % 100 == 3) {
                    home.write(file, "[Desktop Entry]\n" + long_line(1024 * 1024) +
                                         "Type=Application\nName=long" + id + "\n" + long_line(1024 * 1024) +
                                         "Exec=run" + id + "\n");
                    expected["long" + id] = "run" + id;
                } else {
                    home.write(file, "[Desktop Entry]\nType=Application\nName=" + random_bytes(below(100)) +
                                         "\nExec=" + random_bytes(below(100)) + "\n");
                }
                break;
            default:
                home.write(file, "[Desktop Entry]\r\nType=Application\r\nName=crlf" + id + "\r\nExec=run" +
                                     id + "\r\n" + random_bytes(below(4096)));
                expected["crlf" + id] = "run" + id;
                break;
        }
    }
    home.make_dir("applications/x.desktop");
    ASSERT_EQ(::mkfifo((dir + "/fifo.desktop").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", (dir + "/zero.desktop").c_str()), 0);
    ASSERT_EQ(::symlink("/dev/urandom", (dir + "/urandom.desktop").c_str()), 0);
    ASSERT_EQ(::symlink("fifo.desktop", (dir + "/to-fifo.desktop").c_str()), 0);
    ASSERT_EQ(::symlink("loop.desktop", (dir + "/loop.desktop").c_str()), 0);

    const auto started = std::chrono::steady_clock::now();
    std::vector<AppEntry> catalogue;
    {
        const HangGuard guard(60);
        catalogue = scan_applications({dir});
    }
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(elapsed, std::chrono::seconds(20));

    std::map<std::string, std::string> found;
    for (const auto& entry : catalogue) {
        // Names from random bytes only get here when they happen to be valid.
        if (entry.name.starts_with("valid") || entry.name.starts_with("cut") ||
            entry.name.starts_with("long") || entry.name.starts_with("crlf")) {
            found[entry.name] = entry.exec;
        }
    }
    EXPECT_EQ(found, expected);
    EXPECT_GT(expected.size(), 400U);
}

TEST_F(BadInput, OversizedFileYieldsNothing) {
    const auto path = home.write("huge.desktop", "[Desktop Entry]\nType=Application\nName=Huge\nExec=huge\n");
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 20 * 1024 * 1024), 0);
    ::close(fd);
    const HangGuard guard(60);
    EXPECT_FALSE(parse_desktop_entry(path));
    EXPECT_TRUE(scan_applications({home.path()}).empty());
}

TEST_F(BadInput, SpecialFilesYieldNothingPromptly) {
    const auto fifo = home.path() + "/fifo.desktop";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const HangGuard guard(60);
    for (const std::string& path : {fifo, std::string("/dev/zero"), std::string("/dev/null"), home.path()}) {
        EXPECT_FALSE(parse_desktop_entry(path)) << path;
    }
}

}  // namespace
}  // namespace lumenpad
