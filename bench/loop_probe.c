/* Preloaded into a GTK program by bench/startup: times each iteration of the
 * main thread's main loop, from the moment poll() returns to the next call,
 * that is the work one iteration does between waits. Each iteration of 1 ms
 * or more is appended to LUMENPAD_LOOP_LOG as it ends, as a line
 * "start_us duration_us", start on CLOCK_REALTIME (the clock of
 * WAYLAND_DEBUG's stamps). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

enum { min_reported_us = 1000 };

static int log_fd = -2;
static long long returned_realtime;
static long long returned_monotonic;

static long long now_us(clockid_t clock) {
    struct timespec ts;
    clock_gettime(clock, &ts);
    return (long long)ts.tv_sec * 1000000 + ts.tv_nsec / 1000;
}

static void report(long long start, long long took) {
    if (log_fd == -2) {
        const char* path = getenv("LUMENPAD_LOOP_LOG");
        log_fd = path != NULL ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }
    if (log_fd >= 0) {
        char line[64];
        const int length = snprintf(line, sizeof line, "%lld %lld\n", start, took);
        if (write(log_fd, line, (size_t)length) != length) {
            log_fd = -1;
        }
    }
}

int poll(struct pollfd* fds, nfds_t nfds, int timeout) {
    static int (*real_poll)(struct pollfd*, nfds_t, int);
    if (real_poll == NULL) {
        /* POSIX's way round ISO C's ban on turning an object pointer into
         * a function pointer. */
        *(void**)&real_poll = dlsym(RTLD_NEXT, "poll");
    }
    const int main_thread = gettid() == getpid();
    if (main_thread && returned_monotonic != 0) {
        const long long took = now_us(CLOCK_MONOTONIC) - returned_monotonic;
        if (took >= min_reported_us) {
            report(returned_realtime, took);
        }
    }
    const int result = real_poll(fds, nfds, timeout);
    if (main_thread) {
        returned_monotonic = now_us(CLOCK_MONOTONIC);
        returned_realtime = now_us(CLOCK_REALTIME);
    }
    return result;
}
