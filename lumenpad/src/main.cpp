// Start-up: the toggle check, then every input the window needs, gathered
// once, in order, before GTK starts.
#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad-shared/owned_signal.hpp"
#include "lumenpad-shared/text.hpp"
#include "lumenpad/catalogue.hpp"
#include "lumenpad/config.hpp"
#include "lumenpad/history.hpp"
#include "lumenpad/hyprland.hpp"
#include "lumenpad/instance.hpp"
#include "lumenpad/manifest.hpp"
#include "lumenpad/ordering.hpp"
#include "lumenpad/window.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

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

    const Config config = load_config();
    const auto workspace = query_active_workspace();
    const Context* context = select_context(config, workspace.value_or(""));

    History history = load_history();
    const Manifest manifest = load_manifest();
    std::vector<AppEntry> entries = scan_applications();
    apply_manifest(entries, manifest);

    std::vector<std::string> lowered_priority;
    if (context != nullptr) {
        for (const auto& term : context->priority) {
            lowered_priority.push_back(lower(term));
        }
    }
    sort_initial(entries, lowered_priority, history);

    const auto application = adopt(gtk_application_new("com.velmora.lumenpad", GApplicationFlags{}));
    auto* data = new ActivationData{std::move(entries), std::make_shared<LauncherState>()};
    data->state->history = std::move(history);
    connect_owned(application.get(), "activate", on_activate, data);

    g_application_run(G_APPLICATION(application.get()), argc, argv);
    return 0;
}
