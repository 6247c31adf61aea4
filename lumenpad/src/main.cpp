// Start-up: the toggle check, then GTK's start while another thread gathers
// every input the window needs, once, in order.
#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad-shared/owned_signal.hpp"
#include "lumenpad/inputs.hpp"
#include "lumenpad/instance.hpp"
#include "lumenpad/window.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace {

// A closed standard stream would otherwise lend its number to the next file
// or socket we open, and a stray write would land there.
void reopen_closed_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) == -1) {
            const int null_fd = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
            if (null_fd >= 0 && null_fd != fd) {
                dup2(null_fd, fd);
                close(null_fd);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace lumenpad;

    signal(SIGPIPE, SIG_IGN);
    reopen_closed_standard_streams();

    if (stop_running_instance()) {
        return 0;
    }
    write_pid_file();

    auto data = std::make_unique<ActivationData>(
        ActivationData{std::make_shared<LauncherState>(), start_gathering_inputs()});
    // Asked here, not by the application's start-up, which would end the
    // program at once, the other thread still reading.
    if (!gtk_init_check()) {
        data->inputs.wait();
        const char* name = g_getenv("WAYLAND_DISPLAY");
        std::fprintf(stderr, "cannot open display: %s\n", name != nullptr ? name : "");
        return 1;
    }

    const auto application = adopt(gtk_application_new("com.velmora.lumenpad", GApplicationFlags{}));
    connect_owned(application.get(), "activate", on_activate, data.release());

    g_application_run(G_APPLICATION(application.get()), argc, argv);
    return 0;
}
