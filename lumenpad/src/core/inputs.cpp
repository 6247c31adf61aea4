#include "lumenpad/inputs.hpp"

#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/text.hpp"
#include "lumenpad/catalogue.hpp"
#include "lumenpad/config.hpp"
#include "lumenpad/dmenu_input.hpp"
#include "lumenpad/hyprland.hpp"
#include "lumenpad/inputs_thread.hpp"
#include "lumenpad/manifest.hpp"
#include "lumenpad/ordering.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace lumenpad {

namespace {

// The entries, sorted, with the keys of their names.
struct Gathered {
    std::vector<AppEntry> entries;
    std::vector<MatchKeys> keys;
    History history;
    std::vector<std::string> launch_prefix;
    Config config;
};

Gathered gather(ScanShare& scan) {
    const Config config = load_config();
    const auto workspace = query_active_workspace();
    const Context* context = select_context(config, workspace.value_or(""));

    Gathered gathered{{}, {}, load_history(), config.launch_prefix, config};
    const Manifest manifest = load_manifest();
    gathered.entries = scan_applications(application_dirs(), scan);
    apply_manifest(gathered.entries, manifest);

    std::vector<std::string> lowered_priority;
    if (context != nullptr) {
        for (const auto& term : context->priority) {
            lowered_priority.push_back(lower(term));
        }
    }
    gathered.keys = sort_initial(gathered.entries, lowered_priority, gathered.history);
    if (config.show_actions) {
        gathered.entries = with_action_rows(std::move(gathered.entries));
        gathered.keys.clear();
        for (const AppEntry& entry : gathered.entries) {
            gathered.keys.push_back(name_keys(entry));
        }
    }
    return gathered;
}

bool stopped(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

}  // namespace

std::future<Inputs> start_reading_choices() {
    return start_inputs_thread(
        [] {
            auto read = std::make_shared<DmenuText>(read_dmenu_text(STDIN_FILENO));
            MadeInputs made;
            std::vector<AppEntry>& entries = made.inputs.entries;
            // No more than the bound: a text of newlines alone holds millions.
            const auto newlines =
                static_cast<std::size_t>(std::count(read->text.begin(), read->text.end(), '\n'));
            entries.reserve(std::min(newlines + 1, max_dmenu_lines));
            back_with_huge_pages(entries.data(), entries.capacity() * sizeof(AppEntry));
            const bool cut = for_each_dmenu_line(read->text, max_dmenu_lines, [&](std::string_view line) {
                entries.emplace_back().name.assign(line);
            });
            if (cut || read->cut) {
                std::fprintf(
                    stderr,
                    "lumenpad: standard input holds more than %zu lines or %zu MiB; the rest is left "
                    "out\n",
                    max_dmenu_lines, max_dmenu_bytes / (1024 * 1024));
            }
            // Lowered from the text again, which only the lowering keeps.
            made.lower_keys =
                [read = std::shared_ptr<const DmenuText>(std::move(read))](const std::atomic<bool>* stop) {
                    std::vector<MatchKeys> keys;
                    for_each_dmenu_line(read->text, max_dmenu_lines, [&](std::string_view line) {
                        if (!stopped(stop)) {
                            keys.push_back(line_keys(line));
                        }
                    });
                    return keys;
                };
            return made;
        },
        [] {});
}

std::future<Inputs> start_gathering_inputs() {
    // At thousands of entries the window waits for the catalogue: its thread
    // then reads desktop files too, on the core that would stand idle.
    auto scan = std::make_shared<ScanShare>();
    // The keys of the names, and the words to search by, which go no further
    // than the keys.
    struct Rest {
        std::vector<MatchKeys> keys;
        std::vector<std::vector<std::string>> generic_names;
        std::vector<std::vector<std::string>> keywords;
    };
    return start_inputs_thread(
        [scan] {
            // However the gathering ends, no helper is left waiting for files.
            const std::unique_ptr<ScanShare, void (*)(ScanShare*)> ending(scan.get(),
                                                                          [](ScanShare* s) { s->end(); });
            Gathered gathered = gather(*scan);
            auto rest = std::make_shared<Rest>(Rest{std::move(gathered.keys), {}, {}});
            for (AppEntry& entry : gathered.entries) {
                rest->generic_names.push_back(std::move(entry.generic_names));
                rest->keywords.push_back(std::move(entry.keywords));
                entry.generic_names.clear();
                entry.keywords.clear();
            }
            return MadeInputs{
                Inputs{std::move(gathered.entries),
                       {},
                       std::move(gathered.history),
                       std::move(gathered.launch_prefix),
                       std::move(gathered.config)},
                [rest = std::shared_ptr<const Rest>(std::move(rest))](const std::atomic<bool>* stop) {
                    std::vector<MatchKeys> keys;
                    keys.reserve(rest->keys.size());
                    for (std::size_t i = 0; i < rest->keys.size() && !stopped(stop); ++i) {
                        add_search_words(keys.emplace_back(rest->keys[i]), rest->generic_names[i],
                                         rest->keywords[i]);
                    }
                    return keys;
                }};
        },
        [scan] { scan->help(); });
}

}  // namespace lumenpad
