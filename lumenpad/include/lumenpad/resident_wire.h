/* The resident launcher's wire format and the client's side of its socket,
 * in plain C with libc alone: the `lumenpad` executable, which must start
 * without the C++ runtime, compiles this too. */
#ifndef LUMENPAD_RESIDENT_WIRE_H
#define LUMENPAD_RESIDENT_WIRE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LUMENPAD_SOCKET_NAME "lumenpad.sock"

/* A request: a 4-byte length in native byte order, then that many bytes: the
 * working directory, NUL, then each environment string followed by NUL. */
#define LUMENPAD_REQUEST_HEADER 4u
#define LUMENPAD_REQUEST_MAX (4u * 1024u * 1024u)

/* How long a client waits in all, from connecting to the daemon's answer. */
#define LUMENPAD_ANSWER_TIMEOUT_MS 1000

/* Writes XDG_RUNTIME_DIR joined with LUMENPAD_SOCKET_NAME into `buffer`;
 * 0, or -1 when the variable is unset, empty, relative, not an existing
 * directory, or the path does not fit. */
int lumenpad_resident_socket_path(char* buffer, size_t size);

/* The length of the request's body for `directory` and the NULL-terminated
 * `environment`, of which only "NAME=value" strings are sent; 0 when the body
 * would exceed LUMENPAD_REQUEST_MAX or the directory is not absolute. */
size_t lumenpad_request_body_size(const char* directory, char* const* environment);

/* Writes the header and the body (of the size above, not 0) into `frame`,
 * which holds LUMENPAD_REQUEST_HEADER + body_size bytes. */
void lumenpad_encode_request(char* frame, size_t body_size, const char* directory, char* const* environment);

/* From the first `size` bytes received: the whole frame's length once the
 * header is in, 0 while it is not, -1 when the length is 0 or over the bound. */
long lumenpad_request_frame_size(const char* received, size_t size);

/* Whether a body of `size` bytes is well formed: an absolute directory, then
 * "NAME=value" strings (a non-empty name), each ending with its NUL. */
int lumenpad_request_body_valid(const char* body, size_t size);

/* Whether the peer of a connected Unix socket runs as our effective user. */
int lumenpad_peer_is_own_user(int fd);

/* Asks the daemon listening at `path` to toggle, sending the current working
 * directory and `environment`; the answer ('s' shown, 'h' hidden), or 0 when
 * nothing answered within LUMENPAD_ANSWER_TIMEOUT_MS. */
char lumenpad_ask_resident(const char* path, char* const* environment);

#ifdef __cplusplus
}
#endif

#endif
