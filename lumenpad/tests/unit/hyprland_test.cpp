#include "lumenpad/hyprland.hpp"

#include "lumenpad-test/temp_home.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace lumenpad {
namespace {

using namespace std::chrono_literals;
using test::ScopedEnv;
using test::TempHomeTest;
using Clock = std::chrono::steady_clock;

enum class Behaviour {
    reply,                // answers, then closes
    reply_and_keep_open,  // answers, but never closes
    never_answer,         // reads the request and waits
    stream_forever,       // sends without end
};

// A stand-in for the compositor's request socket, served from its own thread
// for one connection.
class FakeHyprland {
public:
    FakeHyprland(const std::string& path, Behaviour behaviour, std::string reply = {})
        : behaviour_(behaviour), reply_(std::move(reply)) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (listener_ < 0 || path.size() >= sizeof(address.sun_path) || ::pipe2(stop_, O_CLOEXEC) != 0) {
            throw std::runtime_error("cannot set up the fake server");
        }
        std::memcpy(address.sun_path, path.data(), path.size());
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(listener_, 4) != 0) {
            throw std::runtime_error("cannot listen on " + path);
        }
        thread_ = std::thread([this] { serve(); });
    }
    FakeHyprland(const FakeHyprland&) = delete;
    FakeHyprland& operator=(const FakeHyprland&) = delete;
    ~FakeHyprland() {
        finish();
        ::close(listener_);
        ::close(stop_[0]);
        ::close(stop_[1]);
    }

    // Stops serving; afterwards the counters below are final.
    void finish() {
        if (thread_.joinable()) {
            EXPECT_EQ(::write(stop_[1], "x", 1), 1);
            thread_.join();
            while (true) {
                const int pending = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
                if (pending < 0) {
                    break;
                }
                ::close(pending);
                ++connections_;
            }
        }
    }

    int connections() {
        finish();
        return connections_;
    }

    // What the client sent before shutting down its side.
    std::string request() {
        finish();
        return request_;
    }

private:
    // Waits for `fd` or the stop signal, for at most a generous limit.
    bool wait_for(int fd, short events) {
        pollfd entries[] = {{fd, events, 0}, {stop_[0], POLLIN, 0}};
        return ::poll(entries, 2, 10000) > 0 && entries[1].revents == 0;
    }

    void serve() {
        if (!wait_for(listener_, POLLIN)) {
            return;
        }
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            return;
        }
        ++connections_;
        char buffer[256];
        while (wait_for(client, POLLIN)) {
            const ssize_t n = ::recv(client, buffer, sizeof(buffer), 0);
            if (n <= 0) {
                break;
            }
            request_.append(buffer, static_cast<std::size_t>(n));
        }
        switch (behaviour_) {
            case Behaviour::reply:
            case Behaviour::reply_and_keep_open:
                send_all(client, reply_);
                if (behaviour_ == Behaviour::reply_and_keep_open) {
                    wait_for(-1, 0);
                }
                break;
            case Behaviour::never_answer:
                wait_for(-1, 0);
                break;
            case Behaviour::stream_forever: {
                const std::string chunk(64 * 1024, '[');
                while (send_all(client, chunk)) {
                }
                break;
            }
        }
        ::close(client);
    }

    bool send_all(int fd, std::string_view data) {
        while (!data.empty()) {
            if (!wait_for(fd, POLLOUT)) {
                return false;
            }
            const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    Behaviour behaviour_;
    std::string reply_;
    int listener_ = -1;
    int stop_[2] = {-1, -1};
    std::thread thread_;
    int connections_ = 0;
    std::string request_;
};

class HyprlandQuery : public TempHomeTest {
protected:
    std::string socket_path = home.path() + "/hypr.sock";
};

struct ReplyCase {
    const char* what;
    std::string reply;
    std::optional<std::string> name;
};

void PrintTo(const ReplyCase& reply, std::ostream* out) {
    *out << reply.what;
}

class HyprlandReplies : public HyprlandQuery, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(HyprlandReplies, GiveTheNameMember) {
    FakeHyprland server(socket_path, Behaviour::reply, GetParam().reply);
    EXPECT_EQ(query_active_workspace(socket_path, 5s), GetParam().name);
    EXPECT_EQ(server.request(), "j/activeworkspace");
}

INSTANTIATE_TEST_SUITE_P(
    Hyprland, HyprlandReplies,
    ::testing::Values(
        ReplyCase{"real_shape",
                  R"({"id":3,"name":"code","monitor":"DP-1","monitorID":0,"windows":2,"hasfullscreen":false,)"
                  R"("lastwindow":"0x55d3c0a1b2c0","lastwindowtitle":"lumenpad — Editor"})",
                  "code"},
        ReplyCase{"non_ascii", R"({"id":1,"name":"日本語 ✓"})", "日本語 ✓"},
        ReplyCase{"escapes_decoded", R"({"name":"caf\u00e9\t\"q\""})", "caf\xC3\xA9\t\"q\""},
        ReplyCase{"empty_name", R"({"name":""})", ""},
        ReplyCase{"white_space_around", " \n{\"name\":\"code\"}\n ", "code"},
        ReplyCase{"number_name", R"({"id":3,"name":3})", std::nullopt},
        ReplyCase{"null_name", R"({"name":null})", std::nullopt},
        ReplyCase{"later_name_counts", R"({"name":"a","id":1,"name":"b"})", "b"},
        ReplyCase{"later_name_not_a_string", R"({"name":"a","name":{"name":"b"}})", std::nullopt},
        ReplyCase{"nested_name_only", R"({"id":{"name":"a"},"ws":[{"name":"b"}]})", std::nullopt},
        ReplyCase{"deeply_nested",
                  "{\"name\":\"a\",\"x\":" + std::string(20000, '[') + std::string(20000, ']') + "}", "a"},
        ReplyCase{"no_name", R"({"id":3})", std::nullopt},
        ReplyCase{"array", R"([{"name":"code"}])", std::nullopt},
        ReplyCase{"bare_string", R"("code")", std::nullopt}, ReplyCase{"empty", "", std::nullopt},
        ReplyCase{"trailing_text", R"({"name":"code"} ok)", std::nullopt},
        ReplyCase{"truncated", R"({"name":"code")", std::nullopt},
        ReplyCase{"byte_order_mark", "\xEF\xBB\xBF{\"name\":\"code\"}", std::nullopt},
        ReplyCase{"nul_then_text", std::string(R"({"name":"code"})") + '\0' + "anything", std::nullopt},
        ReplyCase{"invalid_utf8", "{\"name\":\"caf\xE9\"}", std::nullopt},
        ReplyCase{"invalid_utf8_elsewhere", "{\"name\":\"code\",\"title\":\"\xFF\"}", std::nullopt}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(HyprlandQuery, RepliesUpTo64KiB) {
    const std::string head = R"({"name":"big","pad":")";
    const std::string tail = "\"}";
    const std::string fits = head + std::string(64 * 1024 - head.size() - tail.size(), 'a') + tail;
    {
        FakeHyprland server(socket_path, Behaviour::reply, fits);
        EXPECT_EQ(query_active_workspace(socket_path, 5s), "big");
    }
    std::filesystem::remove(socket_path);
    FakeHyprland server(socket_path, Behaviour::reply, head + "a" + fits.substr(head.size()));
    EXPECT_EQ(query_active_workspace(socket_path, 5s), std::nullopt);
}

TEST(HyprlandReply, ParsingCountsAgainstTheTimeLimit) {
    const auto now = Clock::now();
    EXPECT_EQ(workspace_name_from_reply(R"({"name":"code"})", now + 1s), "code");
    EXPECT_EQ(workspace_name_from_reply(R"({"name":"code"})", now - 1ms), std::nullopt);
    // Long enough that the reader looks at the clock while it is still busy.
    std::string busy = R"({"name":"code","x":[0)";
    for (int i = 0; i < 1000; ++i) {
        busy += ",0";
    }
    busy += "]}";
    EXPECT_EQ(workspace_name_from_reply(busy, now + 1s), "code");
    EXPECT_EQ(workspace_name_from_reply(busy, now - 1ms), std::nullopt);
}

TEST_F(HyprlandQuery, ASilentCompositorIsGivenUpOn) {
    FakeHyprland server(socket_path, Behaviour::never_answer);
    const auto start = Clock::now();
    EXPECT_EQ(query_active_workspace(socket_path, 300ms), std::nullopt);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 250ms);
    EXPECT_LT(elapsed, 1500ms);
    EXPECT_EQ(server.request(), "j/activeworkspace");
}

TEST_F(HyprlandQuery, AReplyThatNeverEndsIsIncomplete) {
    FakeHyprland server(socket_path, Behaviour::reply_and_keep_open, R"({"name":"code"})");
    const auto start = Clock::now();
    EXPECT_EQ(query_active_workspace(socket_path, 300ms), std::nullopt);
    EXPECT_LT(Clock::now() - start, 1500ms);
}

TEST_F(HyprlandQuery, AnEndlessStreamIsCutOffBeforeTheTimeLimit) {
    FakeHyprland server(socket_path, Behaviour::stream_forever);
    const auto start = Clock::now();
    EXPECT_EQ(query_active_workspace(socket_path, 5s), std::nullopt);
    EXPECT_LT(Clock::now() - start, 2500ms);
}

TEST_F(HyprlandQuery, NobodyListening) {
    EXPECT_EQ(query_active_workspace(socket_path, 1s), std::nullopt);  // no socket file

    const int stale = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socket_path.data(), socket_path.size());
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(stale);
    EXPECT_EQ(query_active_workspace(socket_path, 1s), std::nullopt);
}

TEST_F(HyprlandQuery, PathsThatDoNotFitAnAddress) {
    // The longest usable path is 107 bytes; one byte more, or a NUL, must not
    // reach the socket named by a shortened path.
    const std::string dir = home.path();
    const std::string longest = dir + "/" + std::string(107 - dir.size() - 1, 's');
    ASSERT_EQ(longest.size(), 107u);
    FakeHyprland longest_server(longest, Behaviour::reply, R"({"name":"long"})");
    FakeHyprland short_server(socket_path, Behaviour::reply, R"({"name":"short"})");
    EXPECT_EQ(query_active_workspace(longest + "x", 1s), std::nullopt);
    EXPECT_EQ(query_active_workspace(socket_path + '\0' + "x", 1s), std::nullopt);
    EXPECT_EQ(short_server.connections(), 0);
    EXPECT_EQ(query_active_workspace(longest, 1s), "long");
    EXPECT_EQ(longest_server.connections(), 1);
}

TEST_F(HyprlandQuery, SocketPathFromTheEnvironment) {
    const auto runtime = home.path() + "/run";
    {
        const ScopedEnv signature("HYPRLAND_INSTANCE_SIGNATURE", "abc_123");
        EXPECT_EQ(hyprland_socket_path(), runtime + "/hypr/abc_123/.socket.sock");
        const ScopedEnv slash("XDG_RUNTIME_DIR", runtime + "/");
        EXPECT_EQ(hyprland_socket_path(), runtime + "//hypr/abc_123/.socket.sock");
    }
    {
        const ScopedEnv signature("HYPRLAND_INSTANCE_SIGNATURE", "");
        EXPECT_EQ(hyprland_socket_path(), runtime + "/hypr//.socket.sock");
        const ScopedEnv unset("XDG_RUNTIME_DIR", std::nullopt);
        EXPECT_EQ(hyprland_socket_path(), std::nullopt);
    }
    const ScopedEnv not_utf8("HYPRLAND_INSTANCE_SIGNATURE", "sig\xFF");
    EXPECT_EQ(hyprland_socket_path(), std::nullopt);
    const ScopedEnv unset("HYPRLAND_INSTANCE_SIGNATURE", std::nullopt);
    EXPECT_EQ(hyprland_socket_path(), std::nullopt);
}

TEST_F(HyprlandQuery, AsksTheCompositorOfThisSession) {
    const ScopedEnv signature("HYPRLAND_INSTANCE_SIGNATURE", "sig");
    const ScopedEnv slash("XDG_RUNTIME_DIR", home.path() + "/run/");
    FakeHyprland server(home.path() + "/run/hypr/sig/.socket.sock", Behaviour::reply, R"({"name":"web"})");
    EXPECT_EQ(query_active_workspace(), "web");
    EXPECT_EQ(server.request(), "j/activeworkspace");
}

TEST_F(HyprlandQuery, WithoutASignatureNothingIsAsked) {
    FakeHyprland server(home.path() + "/run/hypr/sig/.socket.sock", Behaviour::reply, R"({"name":"web"})");
    const ScopedEnv signature("HYPRLAND_INSTANCE_SIGNATURE", std::nullopt);
    EXPECT_EQ(query_active_workspace(), std::nullopt);
    EXPECT_EQ(server.connections(), 0);
}

TEST_F(HyprlandQuery, TheWholeQueryTakesAtMostASecond) {
    const ScopedEnv signature("HYPRLAND_INSTANCE_SIGNATURE", "sig");
    FakeHyprland server(home.path() + "/run/hypr/sig/.socket.sock", Behaviour::never_answer);
    const auto start = Clock::now();
    EXPECT_EQ(query_active_workspace(), std::nullopt);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 900ms);
    EXPECT_LT(elapsed, 1500ms);
}

}  // namespace
}  // namespace lumenpad
