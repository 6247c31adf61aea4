// Time of one catalogue scan over generated application directories of
// realistic desktop-entry files (warm page cache).
#include "lumenpad/catalogue.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

// Translations of the name and comment, as a typical installed file has.
constexpr const char* languages[] = {"ar", "bg",    "ca", "cs", "da", "de", "el",   "es",
                                     "fi", "fr",    "he", "hu", "it", "ja", "ko",   "nl",
                                     "pl", "pt_BR", "ru", "sv", "tr", "uk", "zh_CN"};

std::string desktop_file(int n) {
    const std::string id = std::to_string(n);
    std::string out = "[Desktop Entry]\nVersion=1.0\nType=Application\nName=Application " + id + "\n";
    for (const char* lang : languages) {
        out += std::string("Name[") + lang + "]=Anwendung \xC3\xBC " + id + "\n";
    }
    out += "GenericName=Example Tool\nComment=Does the things that application " + id + " does\n";
    for (const char* lang : languages) {
        out += std::string("Comment[") + lang + "]=Tut die Dinge, die Anwendung " + id +
               " tut \xE2\x80\x94 gr\xC3\xBCndlich\n";
    }
    out += "Keywords=example;tool;app" + id + ";\nExec=app" + id + " --profile default %U\nIcon=app" + id +
           "\nTerminal=false\nCategories=Utility;Development;\nMimeType=text/plain;text/x-log;\n"
           "StartupNotify=true\nStartupWMClass=App" +
           id +
           "\nActions=new-window;private;\n\n"
           "[Desktop Action new-window]\nName=New Window\nName[de]=Neues Fenster\nExec=app" +
           id + " --new-window %U\n\n[Desktop Action private]\nName=Private Window\nExec=app" + id +
           " --private %U\n";
    return out;
}

// One generated application directory, removed when the program ends.
class Tree {
public:
    explicit Tree(int files) {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumenpad-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        dir_ = pattern;
        for (int n = 0; n < files; ++n) {
            std::ofstream(dir_ + "/org.example.App" + std::to_string(n) + ".desktop") << desktop_file(n);
        }
    }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    ~Tree() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    const std::string& dir() const { return dir_; }

private:
    std::string dir_;
};

const Tree& tree_of(int files) {
    static std::map<int, std::unique_ptr<Tree>> trees;
    auto& tree = trees[files];
    if (!tree) {
        tree = std::make_unique<Tree>(files);
    }
    return *tree;
}

void scan(benchmark::State& state) {
    const auto files = static_cast<int>(state.range(0));
    const std::vector<std::string> dirs{tree_of(files).dir()};
    for (auto _ : state) {
        auto catalogue = lumenpad::scan_applications(dirs);
        if (catalogue.size() != static_cast<size_t>(files)) {
            state.SkipWithError("wrong number of entries");
            break;
        }
        benchmark::DoNotOptimize(catalogue);
    }
    state.SetItemsProcessed(state.iterations() * files);
}

BENCHMARK(scan)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The same with a second thread helping from the start, as the window's
// thread does while it waits for the catalogue (wall-clock time).
void scan_helped(benchmark::State& state) {
    const auto files = static_cast<int>(state.range(0));
    const std::vector<std::string> dirs{tree_of(files).dir()};
    for (auto _ : state) {
        lumenpad::ScanShare share;
        std::thread helper([&share] { share.help(); });
        auto catalogue = lumenpad::scan_applications(dirs, share);
        helper.join();
        if (catalogue.size() != static_cast<size_t>(files)) {
            state.SkipWithError("wrong number of entries");
            break;
        }
        benchmark::DoNotOptimize(catalogue);
    }
    state.SetItemsProcessed(state.iterations() * files);
}

BENCHMARK(scan_helped)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
