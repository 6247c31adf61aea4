// One keystroke in the real launcher window: the search field's handler
// (live order, model update, selection) on a list of generated entries,
// alone and together with the frame that shows its result. Needs a Wayland
// compositor with layer-shell (run it through the harness's with_sway.py).
#include "lumenpad/search.hpp"
#include "lumenpad/theming.hpp"
#include "lumenpad/window.hpp"
#include "synthetic_catalogue.hpp"
#include "typing.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <map>
#include <memory>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;

// Other processes compete for the cores, so next to the wall time (the
// benchmark's own figure) the thread's CPU time is reported as "cpu_ms".
double thread_cpu_ms() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// A word typed and erased again letter by letter; each step is one keystroke.
constexpr const char* keystrokes[] = {"t", "te", "ter", "term", "ter", "te", "t", ""};
constexpr std::size_t keystroke_count = sizeof(keystrokes) / sizeof(keystrokes[0]);

GtkApplication* bench_application() {
    static GtkApplication* application = [] {
        GtkApplication* app =
            gtk_application_new("com.velmora.lumenpad.KeystrokeBench", G_APPLICATION_NON_UNIQUE);
        g_application_register(G_APPLICATION(app), nullptr, nullptr);
        // A blinking cursor would bring frames of its own between keystrokes.
        g_object_set(gtk_settings_get_default(), "gtk-cursor-blink", FALSE, nullptr);
        lumenpad::apply_launcher_theme();
        return app;
    }();
    return application;
}

// Times the paint phases of the frames of one window.
struct FrameTimes {
    Clock::time_point begun;
    double begun_cpu_ms = 0;
    Clock::duration painted{};
    double painted_cpu_ms = 0;
    bool done = false;
};

void on_before_paint(GdkFrameClock*, FrameTimes* times) {
    times->begun = Clock::now();
    times->begun_cpu_ms = thread_cpu_ms();
}

void on_after_paint(GdkFrameClock*, FrameTimes* times) {
    times->painted = Clock::now() - times->begun;
    times->painted_cpu_ms = thread_cpu_ms() - times->begun_cpu_ms;
    times->done = true;
}

// Wall and CPU time of one step.
struct Spent {
    Clock::duration wall{};
    double cpu_ms = 0;
};

// One presented launcher window with `rows` rows, kept for all runs of the
// benchmarks of that size.
class OpenWindow {
public:
    explicit OpenWindow(std::size_t rows) {
        data_.state = std::make_shared<lumenpad::LauncherState>();
        data_.state->entries = lumenpad::bench::synthetic_catalogue(rows);
        data_.state->history = lumenpad::bench::synthetic_history(data_.state->entries);
        built_ = lumenpad::build_window(bench_application(), data_);
        gtk_window_present(built_.window);
        gtk_widget_grab_focus(GTK_WIDGET(built_.field));
        // Mapped and drawn before any keystroke is timed.
        wait_for_frame();
        times_.done = false;
        wait_for_frame();
    }
    OpenWindow(const OpenWindow&) = delete;
    OpenWindow& operator=(const OpenWindow&) = delete;
    ~OpenWindow() {
        if (clock_ != nullptr) {
            g_signal_handlers_disconnect_by_data(clock_, &times_);
        }
        gtk_window_destroy(built_.window);
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }

    // Runs the search field's handler for the next keystroke of the cycle.
    Spent type_next() {
        const char* text = keystrokes[next_++ % keystroke_count];
        times_.done = false;
        const double start_cpu_ms = thread_cpu_ms();
        const auto start = Clock::now();
        lumenpad::test::type_step(built_.field, text);
        return {Clock::now() - start, thread_cpu_ms() - start_cpu_ms};
    }

    // Runs the main loop until the next frame has been painted; returns how
    // long its paint phases took, or nothing when no frame came.
    std::optional<Spent> wait_for_frame() {
        if (clock_ == nullptr) {
            clock_ = gtk_widget_get_frame_clock(GTK_WIDGET(built_.window));
            if (clock_ == nullptr) {
                return std::nullopt;
            }
            g_signal_connect(clock_, "before-paint", G_CALLBACK(on_before_paint), &times_);
            g_signal_connect(clock_, "after-paint", G_CALLBACK(on_after_paint), &times_);
            times_.done = false;
            gtk_widget_queue_draw(GTK_WIDGET(built_.window));
        }
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (!times_.done && Clock::now() < deadline) {
            g_main_context_iteration(nullptr, TRUE);
        }
        if (!times_.done) {
            return std::nullopt;
        }
        return Spent{times_.painted, times_.painted_cpu_ms};
    }

private:
    lumenpad::ActivationData data_;
    lumenpad::LauncherWindow built_{};
    GdkFrameClock* clock_ = nullptr;
    FrameTimes times_;
    std::size_t next_ = 0;
};

OpenWindow& window_of(std::size_t rows) {
    static std::map<std::size_t, std::unique_ptr<OpenWindow>> windows;
    if (!windows.contains(rows)) {
        // One window at a time, so the compositor draws only the one timed.
        windows.clear();
        windows.emplace(rows, std::make_unique<OpenWindow>(rows));
    }
    return *windows.at(rows);
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// The handler alone: text stored, every entry matched, the shown ones
// ordered, the model changed and the best row selected.
void keystroke_handler(benchmark::State& state) {
    OpenWindow& window = window_of(static_cast<std::size_t>(state.range(0)));
    double cpu_ms = 0;
    for (auto _ : state) {
        const Spent handler = window.type_next();
        state.SetIterationTime(seconds(handler.wall));
        cpu_ms += handler.cpu_ms;
        if (!window.wait_for_frame()) {
            state.SkipWithError("no frame after the keystroke");
            break;
        }
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu_ms, benchmark::Counter::kAvgIterations);
}

// The handler plus the paint phases (layout, snapshot, render, commit) of
// the frame that follows; the wait for the frame clock is not counted.
void keystroke_to_frame(benchmark::State& state) {
    OpenWindow& window = window_of(static_cast<std::size_t>(state.range(0)));
    double cpu_ms = 0;
    for (auto _ : state) {
        const Spent handler = window.type_next();
        const auto paint = window.wait_for_frame();
        if (!paint) {
            state.SkipWithError("no frame after the keystroke");
            break;
        }
        state.SetIterationTime(seconds(handler.wall + paint->wall));
        cpu_ms += handler.cpu_ms + paint->cpu_ms;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu_ms, benchmark::Counter::kAvgIterations);
}

void row_counts(benchmark::internal::Benchmark* benchmark) {
    benchmark->Arg(100)->Arg(1000)->Arg(5000)->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(keystroke_handler)->Apply(row_counts);
BENCHMARK(keystroke_to_frame)->Apply(row_counts);

}  // namespace

BENCHMARK_MAIN();
