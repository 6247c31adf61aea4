// Start-up: the options, the toggle check, then GTK's start while another
// thread gathers every input the window needs, once, in order (or, in dmenu
// mode, reads the lines to choose from); or the resident launcher.
#include "lumenpad/program.h"

#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad-shared/owned_signal.hpp"
#include "lumenpad/inputs.hpp"
#include "lumenpad/instance.hpp"
#include "lumenpad/locale_variables.hpp"
#include "lumenpad/options.hpp"
#include "lumenpad/resident.hpp"
#include "lumenpad/window.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

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

// Runs the window over the inputs being gathered; the exit status.
int run_window(std::unique_ptr<lumenpad::ActivationData> data, GApplicationFlags flags, char* program) {
    using namespace lumenpad;
    // Asked here, not by the application's start-up, which would end the
    // program at once, the other thread still reading.
    if (!gtk_init_check()) {
        data->inputs.wait();
        const char* name = g_getenv("WAYLAND_DISPLAY");
        std::fprintf(stderr, "cannot open display: %s\n", name != nullptr ? name : "");
        return 1;
    }
    const auto application = adopt(gtk_application_new("com.velmora.lumenpad", flags));
    ActivationData* activation = data.release();
    connect_owned(application.get(), "activate", on_activate, activation);
    // The options are the program's own; GApplication sees none.
    char* arguments[] = {program, nullptr};
    g_application_run(G_APPLICATION(application.get()), 1, arguments);
    return activation->exit_status;
}

}  // namespace

// The one symbol the library exports.
extern "C" __attribute__((visibility("default"))) int lumenpad_program_main(int argc, char** argv) {
    using namespace lumenpad;

    signal(SIGPIPE, SIG_IGN);
    reopen_closed_standard_streams();
    // Before GTK, or any thread, reads the locale.
    drop_unusable_locale_variables();

    const ParsedOptions parsed =
        parse_options(std::vector<std::string_view>(argv + std::min(argc, 1), argv + argc));
    switch (parsed.action) {
        case ParsedOptions::Action::help:
            std::fputs(usage_text().c_str(), stdout);
            return 0;
        case ParsedOptions::Action::version:
            std::fputs(version_text().c_str(), stdout);
            return 0;
        case ParsedOptions::Action::error:
            std::fprintf(stderr, "lumenpad: %s\nTry 'lumenpad --help'.\n", parsed.error.c_str());
            return 2;
        case ParsedOptions::Action::run:
            break;
    }
    char* program = argc > 0 ? argv[0] : const_cast<char*>("lumenpad");

    if (parsed.options.daemon) {
        return run_resident(program);
    }

    if (parsed.options.dmenu) {
        if (isatty(STDIN_FILENO) != 0) {
            std::fputs(
                "lumenpad: --dmenu chooses among the lines of standard input; pipe them in, as in "
                "'ls | lumenpad --dmenu'\n",
                stderr);
            return 2;
        }
        // No toggle and no pid file: a menu may open while the launcher is.
        auto data = std::make_unique<ActivationData>(
            ActivationData{std::make_shared<LauncherState>(), start_reading_choices(), parsed.options});
        return run_window(std::move(data), G_APPLICATION_NON_UNIQUE, program);
    }

    if (stop_running_instance()) {
        return 0;
    }
    write_pid_file();
    auto data = std::make_unique<ActivationData>(
        ActivationData{std::make_shared<LauncherState>(), start_gathering_inputs()});
    return run_window(std::move(data), GApplicationFlags{}, program);
}
