#include "lumenpad/resident_server.hpp"

#include "lumenpad/resident_request.hpp"
#include "lumenpad/resident_wire.h"

#include <glib-unix.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace lumenpad {

namespace {

// A client that sends nothing complete within this is dropped.
constexpr guint request_timeout_ms = 1000;
constexpr size_t read_chunk = 64 * 1024;

// A source attached to a main context, destroyed with its owner.
struct SourceDestroy {
    void operator()(GSource* source) const {
        g_source_destroy(source);
        g_source_unref(source);
    }
};
using OwnedSource = std::unique_ptr<GSource, SourceDestroy>;

OwnedSource attach(GSource* source, GMainContext* context, GSourceFunc callback, gpointer data) {
    g_source_set_callback(source, callback, data, nullptr);
    g_source_attach(source, context);
    return OwnedSource(source);
}

}  // namespace

struct ResidentServer::Impl {
    struct Client {
        Impl* server;
        UniqueFd fd;
        std::string received;
        // Until its request is complete.
        OwnedSource reader;
        OwnedSource deadline;
    };

    Impl(UniqueFd listener_fd, std::string socket_path, ResidentToggle on_toggle)
        : listener(std::move(listener_fd)),
          path(std::move(socket_path)),
          toggle(std::move(on_toggle)),
          context(g_main_context_ref_thread_default()) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            created = st;
        }
        accepting =
            attach(g_unix_fd_source_new(listener.get(), G_IO_IN), context, G_SOURCE_FUNC(on_listener), this);
    }

    ~Impl() {
        // Clients first: their sources and the replies they wait for.
        clients.clear();
        accepting.reset();
        struct stat st {};
        if (created && ::lstat(path.c_str(), &st) == 0 && st.st_dev == created->st_dev &&
            st.st_ino == created->st_ino) {
            ::unlink(path.c_str());
        }
        g_main_context_unref(context);
    }

    static gboolean on_listener(gint fd, GIOCondition, gpointer data) {
        auto* self = static_cast<Impl*>(data);
        for (;;) {
            UniqueFd client_fd(::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (!client_fd && (errno == EINTR || errno == ECONNABORTED)) {
                continue;
            }
            if (!client_fd) {
                // EAGAIN: all taken; anything else (no file descriptor to
                // spare) waits for the next readiness.
                return G_SOURCE_CONTINUE;
            }
            if (lumenpad_peer_is_own_user(client_fd.get())) {
                self->add_client(std::move(client_fd));
            }
        }
    }

    void add_client(UniqueFd fd) {
        auto client = std::make_shared<Client>();
        client->server = this;
        client->fd = std::move(fd);
        Client* raw = client.get();
        client->reader = attach(g_unix_fd_source_new(raw->fd.get(), G_IO_IN), context,
                                G_SOURCE_FUNC(on_client_readable), raw);
        client->deadline = attach(g_timeout_source_new(request_timeout_ms), context, on_client_late, raw);
        clients.push_back(std::move(client));
    }

    void drop(Client* client) {
        clients.remove_if([client](const std::shared_ptr<Client>& c) { return c.get() == client; });
    }

    static gboolean on_client_late(gpointer data) {
        auto* client = static_cast<Client*>(data);
        client->server->drop(client);
        return G_SOURCE_REMOVE;
    }

    static gboolean on_client_readable(gint fd, GIOCondition, gpointer data) {
        auto* client = static_cast<Client*>(data);
        Impl* self = client->server;
        char buffer[read_chunk];
        for (;;) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0 && errno == EAGAIN) {
                return G_SOURCE_CONTINUE;
            }
            if (got <= 0) {
                self->drop(client);
                return G_SOURCE_REMOVE;
            }
            client->received.append(buffer, static_cast<size_t>(got));
            DecodedRequest decoded = decode_resident_request(client->received);
            if (decoded.state == DecodedRequest::State::malformed) {
                self->drop(client);
                return G_SOURCE_REMOVE;
            }
            if (decoded.state == DecodedRequest::State::complete) {
                self->hand_over(client, std::move(decoded.request));
                return G_SOURCE_REMOVE;
            }
        }
    }

    void hand_over(Client* client, ResidentRequest request) {
        client->received = std::string();
        client->deadline.reset();
        client->reader.reset();
        std::weak_ptr<Client> waiting;
        for (const auto& c : clients) {
            if (c.get() == client) {
                waiting = c;
            }
        }
        // The reply may come at once, or after the window's toggle; either
        // way the client is done and dropped then.
        toggle(std::move(request), [waiting](ResidentAnswer answer) {
            const std::shared_ptr<Client> client = waiting.lock();
            if (!client) {
                return false;
            }
            const char byte = static_cast<char>(answer);
            const bool delivered = ::send(client->fd.get(), &byte, 1, MSG_NOSIGNAL) == 1;
            client->server->drop(client.get());
            return delivered;
        });
    }

    UniqueFd listener;
    std::string path;
    ResidentToggle toggle;
    GMainContext* context;
    std::optional<struct stat> created;
    OwnedSource accepting;
    std::list<std::shared_ptr<Client>> clients;
};

ResidentServer::ResidentServer(UniqueFd listener, std::string path, ResidentToggle toggle)
    : impl_(std::make_unique<Impl>(std::move(listener), std::move(path), std::move(toggle))) {}

ResidentServer::~ResidentServer() = default;

}  // namespace lumenpad
