#define _GNU_SOURCE
#include "lumenpad/resident_wire.h"

#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

int lumenpad_resident_socket_path(char* buffer, size_t size) {
    const char* dir = getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (dir == NULL || dir[0] != '/' || stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) {
        return -1;
    }
    const int length =
        snprintf(buffer, size, "%s%s%s", dir, dir[strlen(dir) - 1] == '/' ? "" : "/", LUMENPAD_SOCKET_NAME);
    return length >= 0 && (size_t)length < size ? 0 : -1;
}

/* A string the daemon accepts as an environment entry. */
static int is_assignment(const char* text) {
    const char* equals = strchr(text, '=');
    return equals != NULL && equals != text;
}

size_t lumenpad_request_body_size(const char* directory, char* const* environment) {
    if (directory[0] != '/') {
        return 0;
    }
    size_t size = strlen(directory) + 1;
    for (char* const* entry = environment; *entry != NULL; ++entry) {
        if (is_assignment(*entry)) {
            size += strlen(*entry) + 1;
            if (size > LUMENPAD_REQUEST_MAX) {
                return 0;
            }
        }
    }
    return size <= LUMENPAD_REQUEST_MAX ? size : 0;
}

void lumenpad_encode_request(char* frame, size_t body_size, const char* directory, char* const* environment) {
    const uint32_t length = (uint32_t)body_size;
    memcpy(frame, &length, LUMENPAD_REQUEST_HEADER);
    char* out = frame + LUMENPAD_REQUEST_HEADER;
    out = stpcpy(out, directory) + 1;
    for (char* const* entry = environment; *entry != NULL; ++entry) {
        if (is_assignment(*entry)) {
            out = stpcpy(out, *entry) + 1;
        }
    }
}

long lumenpad_request_frame_size(const char* received, size_t size) {
    if (size < LUMENPAD_REQUEST_HEADER) {
        return 0;
    }
    uint32_t length;
    memcpy(&length, received, LUMENPAD_REQUEST_HEADER);
    if (length == 0 || length > LUMENPAD_REQUEST_MAX) {
        return -1;
    }
    return (long)(LUMENPAD_REQUEST_HEADER + length);
}

int lumenpad_request_body_valid(const char* body, size_t size) {
    if (size < 2 || body[0] != '/' || body[size - 1] != '\0') {
        return 0;
    }
    const char* end = body + size;
    for (const char* text = body + strlen(body) + 1; text < end; text += strlen(text) + 1) {
        if (!is_assignment(text)) {
            return 0;
        }
    }
    return 1;
}

int lumenpad_peer_is_own_user(int fd) {
    struct ucred credentials;
    socklen_t length = sizeof credentials;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 &&
           length == sizeof credentials && credentials.uid == geteuid();
}

static long long now_ms(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000 + now.tv_nsec / 1000000;
}

/* Waits for `events` on `fd` until `deadline`; whether they came. */
static int wait_for(int fd, short events, long long deadline) {
    for (;;) {
        const long long left = deadline - now_ms();
        if (left <= 0) {
            return 0;
        }
        struct pollfd watched = {.fd = fd, .events = events, .revents = 0};
        const int ready = poll(&watched, 1, (int)left);
        if (ready > 0) {
            return (watched.revents & events) != 0;
        }
        if (ready < 0 && errno != EINTR) {
            return 0;
        }
    }
}

static int send_all(int fd, const char* data, size_t size, long long deadline) {
    while (size > 0) {
        const ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent > 0) {
            data += sent;
            size -= (size_t)sent;
        } else if (sent < 0 && errno == EINTR) {
        } else if (sent < 0 && errno == EAGAIN) {
            if (!wait_for(fd, POLLOUT, deadline)) {
                return 0;
            }
        } else {
            return 0;
        }
    }
    return 1;
}

/* The answer on a connected socket, or 0. */
static char exchange(int fd, char* const* environment, long long deadline) {
    if (!lumenpad_peer_is_own_user(fd)) {
        return 0;
    }
    char directory[PATH_MAX];
    if (getcwd(directory, sizeof directory) == NULL) {
        return 0;
    }
    const size_t body_size = lumenpad_request_body_size(directory, environment);
    if (body_size == 0) {
        return 0;
    }
    char* frame = malloc(LUMENPAD_REQUEST_HEADER + body_size);
    if (frame == NULL) {
        return 0;
    }
    lumenpad_encode_request(frame, body_size, directory, environment);
    const int sent = send_all(fd, frame, LUMENPAD_REQUEST_HEADER + body_size, deadline);
    free(frame);
    if (!sent) {
        return 0;
    }
    for (;;) {
        if (!wait_for(fd, POLLIN, deadline)) {
            return 0;
        }
        char answer;
        const ssize_t got = recv(fd, &answer, 1, 0);
        if (got == 1) {
            return answer == 's' || answer == 'h' ? answer : 0;
        }
        if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            return 0;
        }
    }
}

char lumenpad_ask_resident(const char* path, char* const* environment) {
    const long long deadline = now_ms() + LUMENPAD_ANSWER_TIMEOUT_MS;
    struct sockaddr_un address = {.sun_family = AF_UNIX};
    if (strlen(path) >= sizeof address.sun_path) {
        return 0;
    }
    strcpy(address.sun_path, path);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return 0;
    }
    /* Non-blocking, a daemon whose backlog is full refuses at once (EAGAIN)
     * rather than holding the client past its deadline. */
    char answer = 0;
    if (connect(fd, (const struct sockaddr*)&address, sizeof address) == 0) {
        answer = exchange(fd, environment, deadline);
    }
    close(fd);
    return answer;
}
