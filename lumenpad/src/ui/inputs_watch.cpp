#include "lumenpad/inputs_watch.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad/dirs.hpp"
#include "oriel-theme/palette.hpp"

#include <gio/gio.h>
#include <sys/stat.h>

namespace lumenpad {

namespace {

// Links followed: a link to a directory counts as the directory.
bool is_directory(GFile* file) {
    const GCharPtr path(g_file_get_path(file));
    struct stat st {};
    return path != nullptr && ::stat(path.get(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool names(GFile* event_file, GFile* file) {
    return event_file != nullptr && file != nullptr && g_file_equal(event_file, file);
}

}  // namespace

WatchedInputs watched_inputs() {
    WatchedInputs watched{application_dirs(), {}};
    if (const auto dir = config_dir()) {
        watched.files.push_back(join_path(*dir, "config.toml"));
        watched.files.push_back(join_path(*dir, "style.css"));
    }
    if (const auto dir = cache_dir()) {
        watched.files.push_back(join_path(*dir, "manifest.json"));
    }
    if (const auto cache = oriel::user_cache_dir()) {
        watched.files.push_back(join_path(*cache, "wal/colors.json"));
    }
    return watched;
}

struct InputsWatch::Impl {
    // One directory or file, watched from where it can be: a directory from
    // itself, a file from its directory (and, for a link or a hard link,
    // through the file itself); or, while that directory is missing, from
    // the nearest directory above it that exists, for the next step down
    // to appear. GIO would poll for a missing directory; this never asks it to.
    struct Target {
        Impl* owner;
        GObjectPtr<GFile> path;
        bool directory;
        // The directory watched: the target's own (for a file, its parent)
        // or one above it.
        GObjectPtr<GFile> watched;
        // The entry of `watched` on the way down; null when `watched` is the
        // target's own directory.
        GObjectPtr<GFile> next;
        GObjectPtr<GFileMonitor> monitor;
        // A file's own monitor, which follows a link to where it leads.
        GObjectPtr<GFileMonitor> file_monitor;
    };

    Impl(WatchedInputs watched, std::function<void()> stale_, std::chrono::milliseconds quiet_)
        : stale(std::move(stale_)), quiet(quiet_), context(g_main_context_ref_thread_default()) {
        for (auto& dir : watched.directories) {
            add(dir, true);
        }
        for (auto& file : watched.files) {
            add(file, false);
        }
    }

    ~Impl() {
        for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
            release(**it);
        }
        if (settle != nullptr) {
            g_source_destroy(settle);
            g_source_unref(settle);
        }
        g_main_context_unref(context);
    }

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void add(const std::string& path, bool directory) {
        auto target = std::make_unique<Target>(
            Target{this, adopt(g_file_new_for_path(path.c_str())), directory, {}, {}, {}, {}});
        arm(*target);
        targets.push_back(std::move(target));
    }

    static GObjectPtr<GFileMonitor> monitor(Target& target, GFile* file, bool directory,
                                            GFileMonitorFlags flags) {
        GErrorOut error;
        auto made = adopt(directory ? g_file_monitor_directory(file, flags, nullptr, error.out())
                                    : g_file_monitor_file(file, flags, nullptr, error.out()));
        if (error || !made) {
            return {};
        }
        // Every change as it comes: GIO's default holds a file's second
        // change back for most of a second, which would settle a file still
        // being written.
        g_file_monitor_set_rate_limit(made.get(), 0);
        g_signal_connect(made.get(), "changed", G_CALLBACK(on_changed), &target);
        return made;
    }

    static void release_monitor(GObjectPtr<GFileMonitor>& monitor, Target& target) {
        if (monitor) {
            g_signal_handlers_disconnect_by_data(monitor.get(), &target);
            g_file_monitor_cancel(monitor.get());
            monitor.reset();
        }
    }

    static void release(Target& target) {
        release_monitor(target.file_monitor, target);
        release_monitor(target.monitor, target);
    }

    // Watches the target from where it can be now. Returns whether it is now
    // watched from its own directory and was not before: what it holds
    // came with that directory and was never seen.
    bool arm(Target& target) {
        const bool was_direct = target.monitor && !target.next;
        // A directory that appears or goes while a monitor is being made
        // is noticed by looking again once it is made.
        for (int attempt = 0; attempt < 8; ++attempt) {
            auto own =
                target.directory ? retain(target.path.get()) : adopt(g_file_get_parent(target.path.get()));
            if (!own) {
                break;
            }
            GObjectPtr<GFile> next;
            GObjectPtr<GFile> watched = std::move(own);
            while (!is_directory(watched.get())) {
                auto up = adopt(g_file_get_parent(watched.get()));
                if (!up) {
                    return false;
                }
                next = std::move(watched);
                watched = std::move(up);
            }
            const bool same =
                target.monitor && g_file_equal(watched.get(), target.watched.get()) &&
                (next ? target.next && g_file_equal(next.get(), target.next.get()) : !target.next);
            if (same) {
                return false;
            }
            release(target);
            target.watched = std::move(watched);
            target.next = std::move(next);
            g_main_context_push_thread_default(context);
            target.monitor = monitor(target, target.watched.get(), true, G_FILE_MONITOR_WATCH_MOVES);
            if (!target.directory && !target.next) {
                target.file_monitor =
                    monitor(target, target.path.get(), false,
                            GFileMonitorFlags(G_FILE_MONITOR_WATCH_MOVES | G_FILE_MONITOR_WATCH_HARD_LINKS));
            }
            g_main_context_pop_thread_default(context);
            const bool settled =
                is_directory(target.watched.get()) && !(target.next && is_directory(target.next.get()));
            if (settled) {
                return !was_direct && !target.next;
            }
        }
        return false;
    }

    static void on_changed(GFileMonitor* monitor, GFile* file, GFile* other, GFileMonitorEvent event,
                           gpointer data) {
        auto& target = *static_cast<Target*>(data);
        // Flushed after a change already reported, or made up by GIO two
        // seconds after it: nothing new.
        if (event == G_FILE_MONITOR_EVENT_CHANGES_DONE_HINT) {
            return;
        }
        Impl& impl = *target.owner;
        const bool own_directory = !target.next;
        const bool about_watched = names(file, target.watched.get()) || names(other, target.watched.get());
        if (own_directory) {
            const bool counts = target.directory || monitor == target.file_monitor.get() ||
                                names(file, target.path.get()) || names(other, target.path.get());
            if (counts || about_watched) {
                impl.kick();
            }
            // The directory itself went or moved away: from above until it
            // is back.
            if (about_watched || !is_directory(target.watched.get())) {
                if (impl.arm(target)) {
                    impl.kick();
                }
            }
            return;
        }
        if (about_watched || names(file, target.next.get()) || names(other, target.next.get())) {
            if (impl.arm(target)) {
                impl.kick();
            }
        }
    }

    // Starts the quiet period again.
    void kick() {
        if (settle != nullptr) {
            g_source_destroy(settle);
            g_source_unref(settle);
        }
        settle = g_timeout_source_new(static_cast<guint>(quiet.count()));
        g_source_set_callback(settle, on_settled, this, nullptr);
        g_source_attach(settle, context);
    }

    static gboolean on_settled(gpointer data) {
        auto& impl = *static_cast<Impl*>(data);
        g_source_unref(impl.settle);
        impl.settle = nullptr;
        // Last: `stale` may drop the watch.
        impl.stale();
        return G_SOURCE_REMOVE;
    }

    std::function<void()> stale;
    std::chrono::milliseconds quiet;
    GMainContext* context;
    std::vector<std::unique_ptr<Target>> targets;
    GSource* settle = nullptr;
};

InputsWatch::InputsWatch(std::function<void()> stale) : InputsWatch(watched_inputs(), std::move(stale)) {}

InputsWatch::InputsWatch(WatchedInputs watched, std::function<void()> stale, std::chrono::milliseconds quiet)
    : impl_(std::make_unique<Impl>(std::move(watched), std::move(stale), quiet)) {}

InputsWatch::~InputsWatch() = default;

}  // namespace lumenpad
