#include "lumenpad/resident_socket.hpp"
#include "lumenpad/resident_request.hpp"
#include "lumenpad/resident_wire.h"

#include "lumenpad-test/files.hpp"
#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_dir.hpp"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>

namespace lumenpad {
namespace {

using test::ScopedEnv;
using test::TempDir;

// --- The socket's path ------------------------------------------------------

struct PathCase {
    const char* name;
    // Given the scratch directory, what XDG_RUNTIME_DIR is (nothing: unset).
    std::function<std::optional<std::string>(const TempDir&)> runtime_dir;
    std::optional<std::string> expected_under;  // relative to the scratch directory
};

class SocketPath : public testing::TestWithParam<PathCase> {};

TEST_P(SocketPath, FollowsTheRuntimeDirectory) {
    const TempDir tmp;
    tmp.make_dir("run");
    tmp.write("file", "");
    const ScopedEnv env("XDG_RUNTIME_DIR", GetParam().runtime_dir(tmp));
    const auto expected = GetParam().expected_under;
    EXPECT_EQ(resident_socket_path(), expected ? std::optional(tmp / *expected) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    RuntimeDir, SocketPath,
    testing::Values(PathCase{"unset", [](const TempDir&) { return std::nullopt; }, std::nullopt},
                    PathCase{"empty", [](const TempDir&) { return ""; }, std::nullopt},
                    PathCase{"relative", [](const TempDir&) { return "run"; }, std::nullopt},
                    PathCase{"missing", [](const TempDir& t) { return t / "gone"; }, std::nullopt},
                    PathCase{"file", [](const TempDir& t) { return t / "file"; }, std::nullopt},
                    PathCase{"ok", [](const TempDir& t) { return t / "run"; }, "run/lumenpad.sock"},
                    PathCase{"trailing_slash", [](const TempDir& t) { return t / "run/"; },
                             "run/lumenpad.sock"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Claiming it -------------------------------------------------------------

sockaddr_un address_of(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    return address;
}

// A socket bound at `path`, listening unless told otherwise.
UniqueFd bound_socket(const std::string& path, bool listening = true) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_un address = address_of(path);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        (listening && ::listen(fd.get(), 8) != 0)) {
        ADD_FAILURE() << "cannot set up a socket at " << path;
    }
    return fd;
}

// Whether a connection to `path` reaches `listener`.
bool reaches(const std::string& path, const UniqueFd& listener) {
    const UniqueFd client(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_un address = address_of(path);
    if (::connect(client.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return false;
    }
    return UniqueFd(::accept4(listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)).get() >= 0;
}

TEST(ClaimResidentSocket, ListensWithMode0600WhereNothingWas) {
    const TempDir tmp;
    const std::string path = tmp / "lumenpad.sock";
    const ClaimedSocket claimed = claim_resident_socket(path);
    ASSERT_TRUE(claimed.listener) << claimed.message;
    EXPECT_EQ(claimed.message, "");
    struct stat st {};
    ASSERT_EQ(::lstat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_TRUE(reaches(path, claimed.listener));
    // Nothing of the temporary name is left beside it.
    EXPECT_EQ(test::tree_snapshot(tmp.path()).size(), 1u);
}

TEST(ClaimResidentSocket, ReplacesALeftoverThatRefuses) {
    const TempDir tmp;
    const std::string path = tmp / "lumenpad.sock";
    bound_socket(path, false);
    struct stat before {};
    ASSERT_EQ(::lstat(path.c_str(), &before), 0);
    const ClaimedSocket claimed = claim_resident_socket(path);
    ASSERT_TRUE(claimed.listener) << claimed.message;
    struct stat after {};
    ASSERT_EQ(::lstat(path.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_TRUE(reaches(path, claimed.listener));
    EXPECT_EQ(test::tree_snapshot(tmp.path()).size(), 1u);
}

TEST(ClaimResidentSocket, LeavesARunningDaemonAnswering) {
    const TempDir tmp;
    const std::string path = tmp / "lumenpad.sock";
    const UniqueFd daemon = bound_socket(path);
    const auto before = test::tree_snapshot(tmp.path());
    const ClaimedSocket claimed = claim_resident_socket(path);
    EXPECT_FALSE(claimed.listener);
    EXPECT_EQ(claimed.message, "a daemon is already running on " + path);
    EXPECT_EQ(test::tree_snapshot(tmp.path()), before);
    EXPECT_TRUE(reaches(path, daemon));
}

// Whatever else lies at the path is refused and left as it was.
struct OccupantCase {
    const char* name;
    std::function<void(const TempDir&, const std::string& path)> make;
    const char* said;
};

class ClaimRefuses : public testing::TestWithParam<OccupantCase> {};

TEST_P(ClaimRefuses, AndLeavesItIntact) {
    const TempDir tmp;
    const std::string path = tmp / "run/lumenpad.sock";
    tmp.make_dir("run");
    tmp.make_dir("elsewhere");
    GetParam().make(tmp, path);
    const auto before = test::tree_snapshot(tmp.path());
    const ClaimedSocket claimed = claim_resident_socket(path);
    EXPECT_FALSE(claimed.listener);
    EXPECT_EQ(claimed.message,
              path + " is " + GetParam().said + ", not the daemon's socket; leaving it alone");
    EXPECT_EQ(test::tree_snapshot(tmp.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Occupants, ClaimRefuses,
    testing::Values(OccupantCase{"regular_file",
                                 [](const TempDir&, const std::string& p) { test::write_file(p, "notes\n"); },
                                 "a regular file"},
                    OccupantCase{"directory",
                                 [](const TempDir&, const std::string& p) {
                                     std::filesystem::create_directory(p);
                                     test::write_file(p + "/inside", "kept");
                                 },
                                 "a directory"},
                    OccupantCase{"fifo",
                                 [](const TempDir&, const std::string& p) { ::mkfifo(p.c_str(), 0600); },
                                 "a FIFO"},
                    OccupantCase{"link_to_leftover_socket",
                                 [](const TempDir& t, const std::string& p) {
                                     bound_socket(t / "elsewhere/old.sock", false);
                                     std::filesystem::create_symlink(t / "elsewhere/old.sock", p);
                                 },
                                 "a symbolic link"},
                    OccupantCase{"dangling_link",
                                 [](const TempDir& t, const std::string& p) {
                                     std::filesystem::create_symlink(t / "elsewhere/none", p);
                                 },
                                 "a symbolic link"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClaimResidentSocket, SaysWhyWhenTheDirectoryIsMissing) {
    const TempDir tmp;
    const std::string path = tmp / "gone/lumenpad.sock";
    const ClaimedSocket claimed = claim_resident_socket(path);
    EXPECT_FALSE(claimed.listener);
    EXPECT_EQ(claimed.message, "cannot listen on " + path + ": " + std::strerror(ENOENT));
}

// --- The request on the wire ---------------------------------------------------

std::string header(std::uint32_t length) {
    return std::string(reinterpret_cast<const char*>(&length), sizeof length);
}

TEST(ResidentRequest, RoundTrips) {
    const ResidentRequest request{"/home/ana/src", {"PATH=/usr/bin:/bin", "EMPTY=", "TERMINAL=foot", "A==b"}};
    const std::string frame = encode_resident_request(request);
    ASSERT_FALSE(frame.empty());
    const DecodedRequest decoded = decode_resident_request(frame);
    ASSERT_EQ(decoded.state, DecodedRequest::State::complete);
    EXPECT_EQ(decoded.request.directory, request.directory);
    EXPECT_EQ(decoded.request.environment, request.environment);
}

TEST(ResidentRequest, EncodingLeavesOutWhatCannotBeSent) {
    EXPECT_EQ(encode_resident_request({"relative", {"A=1"}}), "");
    EXPECT_EQ(encode_resident_request({"/", {std::string(LUMENPAD_REQUEST_MAX, 'x') + "=1"}}), "");
    // Entries without a name, which no one can set, are dropped.
    const auto decoded = decode_resident_request(encode_resident_request({"/", {"=x", "NOVALUE", "B=2"}}));
    ASSERT_EQ(decoded.state, DecodedRequest::State::complete);
    EXPECT_EQ(decoded.request.environment, std::vector<std::string>{"B=2"});
}

struct DecodeCase {
    const char* name;
    std::string received;
    DecodedRequest::State state;
};

class DecodeRequest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeRequest, Table) {
    EXPECT_EQ(decode_resident_request(GetParam().received).state, GetParam().state);
}

using State = DecodedRequest::State;
const std::string body = std::string("/tmp\0A=1\0", 9);
const std::string biggest_body = "/" + std::string(LUMENPAD_REQUEST_MAX - 6, 'd') + std::string("\0A=1\0", 5);

INSTANTIATE_TEST_SUITE_P(
    Frames, DecodeRequest,
    testing::Values(DecodeCase{"nothing", "", State::incomplete},
                    DecodeCase{"part_of_the_header", header(9).substr(0, 3), State::incomplete},
                    DecodeCase{"truncated_body", header(9) + body.substr(0, 8), State::incomplete},
                    DecodeCase{"whole", header(9) + body, State::complete},
                    DecodeCase{"directory_alone", header(5) + body.substr(0, 5), State::complete},
                    DecodeCase{"at_the_bound", header(LUMENPAD_REQUEST_MAX) + biggest_body, State::complete},
                    DecodeCase{"over_the_bound", header(LUMENPAD_REQUEST_MAX + 1), State::malformed},
                    DecodeCase{"no_body", header(0), State::malformed},
                    DecodeCase{"missing_terminator", header(8) + body.substr(0, 8), State::malformed},
                    DecodeCase{"relative_directory", header(4) + std::string("tmp\0", 4), State::malformed},
                    DecodeCase{"entry_without_name", header(9) + std::string("/tmp\0=1\0\0", 9),
                               State::malformed},
                    DecodeCase{"empty_entry", header(6) + std::string("/tmp\0\0", 6), State::malformed},
                    DecodeCase{"bytes_after_the_frame", header(9) + body + "x", State::malformed}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lumenpad
