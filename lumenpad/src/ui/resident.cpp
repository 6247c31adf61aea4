#include "lumenpad/resident.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad/inputs.hpp"
#include "lumenpad/inputs_watch.hpp"
#include "lumenpad/rescan.hpp"
#include "lumenpad/resident_server.hpp"
#include "lumenpad/resident_socket.hpp"
#include "lumenpad/resident_window.hpp"
#include "lumenpad/theming.hpp"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace lumenpad {

namespace {

// What the daemon ends, in reverse order of creation: the server first,
// which removes the socket, then the watch and a rescan in progress, then
// the window.
struct Daemon {
    GApplication* application = nullptr;
    std::unique_ptr<ResidentWindow> window;
    std::unique_ptr<Rescan> rescan;
    // Changes came while a rescan was in progress: another follows it.
    bool stale_again = false;
    std::unique_ptr<InputsWatch> watch;
    std::unique_ptr<ResidentServer> server;
    guint signals[2] = {0, 0};
};

void rescan(Daemon& daemon);

// One rescan at a time: dropping one in progress would wait for it.
void on_stale(Daemon& daemon) {
    reload_launcher_theme();
    if (daemon.rescan) {
        daemon.stale_again = true;
        return;
    }
    rescan(daemon);
}

void rescan(Daemon& daemon) {
    daemon.rescan = rescan_inputs([&daemon](Inputs inputs) {
        daemon.rescan.reset();
        daemon.window->replace_inputs(std::move(inputs));
        if (std::exchange(daemon.stale_again, false)) {
            rescan(daemon);
        }
    });
}

gboolean on_stop_signal(gpointer data) {
    auto& daemon = *static_cast<Daemon*>(data);
    if (daemon.application != nullptr) {
        g_application_quit(daemon.application);
    }
    return G_SOURCE_CONTINUE;
}

void on_bus_activation(GApplication*, gpointer data) {
    if (auto& window = static_cast<Daemon*>(data)->window) {
        window->show();
    }
}

}  // namespace

int run_resident(char* program) {
    const std::optional<std::string> path = resident_socket_path();
    if (!path) {
        std::fputs("lumenpad: XDG_RUNTIME_DIR must name an existing directory by an absolute path\n", stderr);
        return 1;
    }
    // From the start: a stop during start-up still ends the daemon with 0,
    // once its main loop runs.
    Daemon daemon{};
    daemon.signals[0] = g_unix_signal_add(SIGTERM, on_stop_signal, &daemon);
    daemon.signals[1] = g_unix_signal_add(SIGINT, on_stop_signal, &daemon);
    const std::unique_ptr<Daemon, void (*)(Daemon*)> signals(&daemon, [](Daemon* d) {
        g_source_remove(d->signals[1]);
        g_source_remove(d->signals[0]);
    });
    if (const auto refusal = resident_socket_refusal(*path)) {
        std::fprintf(stderr, "lumenpad: %s\n", refusal->c_str());
        return 1;
    }
    // Before anything else reads the environment: the daemon's own launches
    // get it as it was.
    std::vector<std::string> own_environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        own_environment.emplace_back(*variable);
    }
    choose_resident_renderer();
    std::future<Inputs> gathering = start_gathering_inputs();
    {
        const GCharPtr name(g_path_get_basename(program));
        g_set_prgname(name.get());
    }
    if (!gtk_init_check()) {
        gathering.wait();
        const char* name = g_getenv("WAYLAND_DISPLAY");
        std::fprintf(stderr, "cannot open display: %s\n", name != nullptr ? name : "");
        return 1;
    }
    // The cold launcher's name: a cold start while the daemon runs asks it,
    // over the session bus, to show its window rather than open another. As
    // a service it is refused the name another launcher holds, and is not
    // activated by its own start.
    const auto application = adopt(gtk_application_new("com.velmora.lumenpad", G_APPLICATION_IS_SERVICE));
    GApplication* app = G_APPLICATION(application.get());
    if (!g_application_register(app, nullptr, nullptr)) {
        gathering.wait();
        std::fputs("lumenpad: another launcher holds the application's name on the session bus\n", stderr);
        return 1;
    }
    // No window is visible while hidden: the application lives on this.
    g_application_hold(app);

    daemon.application = app;
    apply_launcher_theme();
    daemon.window =
        std::make_unique<ResidentWindow>(application.get(), gathering.get(), std::move(own_environment));
    const gulong activate = g_signal_connect(app, "activate", G_CALLBACK(on_bus_activation), &daemon);
    daemon.watch = std::make_unique<InputsWatch>([&daemon] { on_stale(daemon); });

    // Ready to show: the socket is claimed only now.
    ClaimedSocket claimed = claim_resident_socket(*path);
    int status = 0;
    if (!claimed.listener) {
        std::fprintf(stderr, "lumenpad: %s\n", claimed.message.c_str());
        status = 1;
        // Run only to give the name back: the application leaves the bus
        // in g_application_run alone, which must not be asked to quit first.
        g_idle_add_once([](gpointer data) { g_application_quit(G_APPLICATION(data)); }, app);
    } else {
        daemon.server = std::make_unique<ResidentServer>(
            std::move(claimed.listener), *path, [&daemon](ResidentRequest request, ResidentReply reply) {
                daemon.window->toggle(std::move(request), std::move(reply));
            });
    }
    // The options are the program's own; GApplication sees none.
    char* arguments[] = {program, nullptr};
    g_application_run(app, 1, arguments);
    daemon.server.reset();
    daemon.watch.reset();
    daemon.rescan.reset();
    g_signal_handler_disconnect(app, activate);
    daemon.window.reset();
    g_application_release(app);
    // What the window's end queued (the surface's release) reaches the
    // compositor before the process ends.
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    return status;
}

}  // namespace lumenpad
