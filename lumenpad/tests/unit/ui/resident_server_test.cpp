// The daemon's server driven by a main context of the test's own, with real
// clients: the `lumenpad` command's own code on a thread, raw sockets, and a
// forked child under another user id.
#include "lumenpad/resident_server.hpp"
#include "lumenpad/resident_request.hpp"
#include "lumenpad/resident_wire.h"

#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_dir.hpp"

#include <glib.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

namespace lumenpad {
namespace {

using test::TempDir;

// A main context pushed as the thread default for the test's lifetime.
class OwnContext {
public:
    OwnContext() : context_(g_main_context_new()) { g_main_context_push_thread_default(context_); }
    ~OwnContext() {
        g_main_context_pop_thread_default(context_);
        g_main_context_unref(context_);
    }
    OwnContext(const OwnContext&) = delete;
    OwnContext& operator=(const OwnContext&) = delete;

    // Iterates until `done` holds or ten seconds have passed; whether it holds.
    bool run_until(const std::function<bool()>& done) {
        bool expired = false;
        GSource* timer = g_timeout_source_new_seconds(10);
        g_source_set_callback(
            timer,
            [](gpointer flag) {
                *static_cast<bool*>(flag) = true;
                return G_SOURCE_REMOVE;
            },
            &expired, nullptr);
        g_source_attach(timer, context_);
        while (!done() && !expired) {
            g_main_context_iteration(context_, TRUE);
        }
        g_source_destroy(timer);
        g_source_unref(timer);
        return done();
    }

    // For a condition that another thread brings about.
    void wake() { g_main_context_wakeup(context_); }
    GMainContext* get() { return context_; }

private:
    GMainContext* context_;
};

UniqueFd connect_to(const std::string& path) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ADD_FAILURE() << "cannot connect to " << path << ": " << std::strerror(errno);
    }
    return fd;
}

void send_text(const UniqueFd& fd, const std::string& text) {
    ASSERT_EQ(::send(fd.get(), text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

// Whether the server has closed its end (without answering anything).
bool closed_by_server(const UniqueFd& fd) {
    char byte = 0;
    return ::recv(fd.get(), &byte, 1, MSG_DONTWAIT) == 0;
}

std::string length_header(std::uint32_t length) {
    return std::string(reinterpret_cast<const char*>(&length), sizeof length);
}

// A claimed socket in a scratch directory and the server on it, recording
// each request and keeping each reply for the test to give.
struct Served {
    OwnContext context;
    TempDir tmp;
    std::string path = tmp / "lumenpad.sock";
    std::vector<ResidentRequest> requests;
    std::vector<ResidentReply> replies;
    std::optional<ResidentServer> server;

    explicit Served(std::function<void(ResidentReply&)> on_toggle = {}) {
        ClaimedSocket claimed = claim_resident_socket(path);
        EXPECT_TRUE(claimed.listener) << claimed.message;
        server.emplace(std::move(claimed.listener), path,
                       [this, on_toggle](ResidentRequest request, ResidentReply reply) {
                           requests.push_back(std::move(request));
                           replies.push_back(std::move(reply));
                           if (on_toggle) {
                               on_toggle(replies.back());
                           }
                       });
    }
};

class ToggleAnswer : public testing::TestWithParam<ResidentAnswer> {};

TEST_P(ToggleAnswer, ReachesTheCommandWithItsDirectoryAndEnvironment) {
    const ResidentAnswer answer = GetParam();
    bool delivered = false;
    Served served([&](ResidentReply& reply) { delivered = reply(answer); });
    const test::ScopedEnv marker("LUMENPAD_TEST_MARKER", "a b=c");
    std::atomic<char> got{1};
    std::thread command([&] {
        got = lumenpad_ask_resident(served.path.c_str(), environ);
        served.context.wake();
    });
    ASSERT_TRUE(served.context.run_until([&] { return got != 1; }));
    command.join();
    EXPECT_EQ(got, static_cast<char>(answer));
    EXPECT_TRUE(delivered);
    ASSERT_EQ(served.requests.size(), 1u);
    EXPECT_EQ(served.requests[0].directory, std::filesystem::current_path().string());
    const auto& environment = served.requests[0].environment;
    EXPECT_NE(std::find(environment.begin(), environment.end(), "LUMENPAD_TEST_MARKER=a b=c"),
              environment.end());
}

INSTANTIATE_TEST_SUITE_P(Answers, ToggleAnswer,
                         testing::Values(ResidentAnswer::shown, ResidentAnswer::hidden));

TEST(ResidentServer, ReplyToAClientThatLeftReturnsFalse) {
    Served served;
    const std::string frame = encode_resident_request({"/", {"A=1"}});
    {
        const UniqueFd client = connect_to(served.path);
        send_text(client, frame);
        ASSERT_TRUE(served.context.run_until([&] { return served.replies.size() == 1; }));
    }
    EXPECT_FALSE(served.replies[0](ResidentAnswer::shown));

    const UniqueFd client = connect_to(served.path);
    send_text(client, frame);
    ASSERT_TRUE(served.context.run_until([&] { return served.replies.size() == 2; }));
    EXPECT_TRUE(served.replies[1](ResidentAnswer::hidden));
    // Once only.
    EXPECT_FALSE(served.replies[1](ResidentAnswer::hidden));
    char answer = 0;
    EXPECT_EQ(::recv(client.get(), &answer, 1, 0), 1);
    EXPECT_EQ(answer, 'h');
    EXPECT_TRUE(closed_by_server(client));
}

TEST(ResidentServer, DropsWaitingClientsWhenItGoes) {
    Served served;
    const UniqueFd waiting = connect_to(served.path);
    send_text(waiting, encode_resident_request({"/", {}}));
    const UniqueFd reading = connect_to(served.path);
    send_text(reading, length_header(100));
    ASSERT_TRUE(served.context.run_until([&] { return served.replies.size() == 1; }));
    served.server.reset();
    EXPECT_FALSE(served.replies[0](ResidentAnswer::shown));
    EXPECT_TRUE(closed_by_server(waiting));
    EXPECT_TRUE(closed_by_server(reading));
}

// Clients that never complete a request are dropped without a toggle.
struct DroppedCase {
    const char* name;
    std::string sent;
};

class DroppedClient : public testing::TestWithParam<DroppedCase> {};

TEST_P(DroppedClient, GetsNoAnswer) {
    Served served;
    const UniqueFd client = connect_to(served.path);
    send_text(client, GetParam().sent);
    EXPECT_TRUE(served.context.run_until([&] { return closed_by_server(client); }));
    EXPECT_TRUE(served.requests.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Requests, DroppedClient,
    testing::Values(DroppedCase{"silent", ""},
                    // Within the bound, but the rest never comes: the deadline.
                    DroppedCase{"incomplete", length_header(100) + "/tmp"},
                    DroppedCase{"over_the_bound", length_header(LUMENPAD_REQUEST_MAX + 1)},
                    DroppedCase{"malformed", length_header(4) + std::string("tmp\0", 4)}),
    [](const auto& info) { return std::string(info.param.name); });

// A forked child connects and asks, under `uid`; whether it got an answer.
// Only system calls in the child: the parent has threads.
bool child_gets_answer(Served& served, uid_t uid) {
    const std::string frame = encode_resident_request({"/", {"A=1"}});
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, served.path.c_str(), sizeof address.sun_path - 1);
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        char answer = 0;
        const bool got =
            ::setresgid(uid, uid, uid) == 0 && ::setresuid(uid, uid, uid) == 0 &&
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size()) &&
            ::recv(fd, &answer, 1, 0) == 1;
        ::_exit(got ? 0 : 1);
    }
    std::optional<int> status;
    GSource* watch = g_child_watch_source_new(child);
    g_source_set_callback(watch, G_SOURCE_FUNC(+[](GPid, gint wait_status, gpointer data) {
                              *static_cast<std::optional<int>*>(data) = wait_status;
                          }),
                          &status, nullptr);
    g_source_attach(watch, served.context.get());
    EXPECT_TRUE(served.context.run_until([&] { return status.has_value(); }));
    g_source_destroy(watch);
    g_source_unref(watch);
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

TEST(ResidentServer, AnswersOnlyItsOwnUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "taking on another user id needs root";
    }
    Served served([](ResidentReply& reply) { reply(ResidentAnswer::shown); });
    // Open to everyone, so that only the server's own check stands in the way.
    ::chmod(served.tmp.path().c_str(), 0755);
    ::chmod(served.path.c_str(), 0777);
    EXPECT_TRUE(child_gets_answer(served, ::geteuid()));
    EXPECT_EQ(served.requests.size(), 1u);
    EXPECT_FALSE(child_gets_answer(served, 65534));
    EXPECT_EQ(served.requests.size(), 1u);
}

TEST(ResidentServer, RemovesOnlyItsOwnSocketWhenItGoes) {
    Served served;
    served.server.reset();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(served.path)));

    Served replaced;
    ::unlink(replaced.path.c_str());
    replaced.tmp.write("lumenpad.sock", "someone else's");
    replaced.server.reset();
    EXPECT_TRUE(std::filesystem::is_regular_file(replaced.path));
}

}  // namespace
}  // namespace lumenpad
