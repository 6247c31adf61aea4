// A resident launcher's freshness: the time from a change in an application
// directory to the watch calling the inputs stale (its quiet period
// included), and a rescan of the inputs at 1,000 and 5,000 generated entries,
// delivered to the main context with every key. A private home, generated
// files; the system's application directory comes on top, as it would.
#include "lumenpad/inputs_watch.hpp"
#include "lumenpad/rescan.hpp"
#include "synthetic_catalogue.hpp"

#include <benchmark/benchmark.h>
#include <glib.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string join(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& word : words) {
        out += word + ";";
    }
    return out;
}

std::string desktop_file(const lumenpad::AppEntry& entry) {
    std::string out = "[Desktop Entry]\nType=Application\nName=" + entry.name + "\nExec=" + entry.exec +
                      "\nIcon=" + entry.icon + "\n";
    if (entry.startup_wm_class) {
        out += "StartupWMClass=" + *entry.startup_wm_class + "\n";
    }
    if (!entry.generic_names.empty()) {
        out += "GenericName=" + entry.generic_names.front() + "\n";
    }
    if (!entry.keywords.empty()) {
        out += "Keywords=" + join(entry.keywords) + "\n";
    }
    return out;
}

// A home of its own with `count` applications, for the life of the program.
class Home {
public:
    explicit Home(std::size_t count) {
        std::string pattern = (fs::temp_directory_path() / "lumenpad-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        root_ = pattern;
        ::setenv("HOME", root_.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (root_ / "system").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (root_ / "cache").c_str(), 1);
        apps_ = root_ / "data/applications";
        fs::create_directories(apps_);
        std::size_t n = 0;
        for (const auto& entry : lumenpad::bench::synthetic_catalogue(count)) {
            std::ofstream(apps_ / ("app" + std::to_string(n++) + ".desktop")) << desktop_file(entry);
        }
    }
    Home(const Home&) = delete;
    Home& operator=(const Home&) = delete;
    ~Home() { fs::remove_all(root_); }

    const fs::path& apps() const { return apps_; }

private:
    fs::path root_;
    fs::path apps_;
};

// Runs the default context until `done` holds.
template <typename Done>
void run_until(Done done) {
    while (!done()) {
        g_main_context_iteration(nullptr, TRUE);
    }
}

void BM_ChangeToStale(benchmark::State& state) {
    const Home home(10);
    bool stale = false;
    const lumenpad::InputsWatch watch([&] { stale = true; });
    int n = 0;
    for (auto _ : state) {
        stale = false;
        const auto start = std::chrono::steady_clock::now();
        std::ofstream(home.apps() / ("new" + std::to_string(n++) + ".desktop"))
            << "[Desktop Entry]\nType=Application\nName=New\nExec=new\n";
        run_until([&] { return stale; });
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_ChangeToStale)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

void BM_Rescan(benchmark::State& state) {
    const Home home(static_cast<std::size_t>(state.range(0)));
    std::size_t entries = 0;
    for (auto _ : state) {
        std::optional<lumenpad::Inputs> delivered;
        const auto rescan =
            lumenpad::rescan_inputs([&](lumenpad::Inputs inputs) { delivered = std::move(inputs); });
        run_until([&] { return delivered.has_value(); });
        entries = delivered->entries.size();
    }
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_Rescan)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
