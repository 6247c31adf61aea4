#include "lumenpad/inputs.hpp"

#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/text.hpp"
#include "lumenpad/catalogue.hpp"
#include "lumenpad/config.hpp"
#include "lumenpad/dmenu_input.hpp"
#include "lumenpad/hyprland.hpp"
#include "lumenpad/manifest.hpp"
#include "lumenpad/ordering.hpp"

#include <locale.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <memory>

namespace lumenpad {

namespace {

// GTK sets the program's locale while the thread reads; the readers keep the
// C locale they always ran in, and never see the global one change under them.
class ThreadCLocale {
public:
    ThreadCLocale() : own_(newlocale(LC_ALL_MASK, "C", locale_t{})) {
        if (own_ != locale_t{}) {
            previous_ = uselocale(own_);
        }
    }
    ThreadCLocale(const ThreadCLocale&) = delete;
    ThreadCLocale& operator=(const ThreadCLocale&) = delete;
    ~ThreadCLocale() {
        if (own_ != locale_t{}) {
            uselocale(previous_);
            freelocale(own_);
        }
    }

private:
    locale_t own_;
    locale_t previous_ = LC_GLOBAL_LOCALE;
};

// The entries, sorted, with the keys of their names.
struct Gathered {
    std::vector<AppEntry> entries;
    std::vector<MatchKeys> keys;
    History history;
    std::vector<std::string> launch_prefix;
};

Gathered gather(ScanShare& scan) {
    const Config config = load_config();
    const auto workspace = query_active_workspace();
    const Context* context = select_context(config, workspace.value_or(""));

    Gathered gathered{{}, {}, load_history(), config.launch_prefix};
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

// The inputs from a thread that makes them by `make` and hands them over,
// then lowers the rest of their keys by `finish_keys`: the keys to come.
// Whoever waits for the inputs first does `help` (in the C locale too).
template <typename Make, typename FinishKeys, typename Help>
std::future<Inputs> start_thread(Make make, FinishKeys finish_keys, Help help) {
    auto handed = std::make_shared<std::promise<Inputs>>();
    std::future<Inputs> inputs = handed->get_future();
    // The thread's own future: its destructor waits for the thread.
    std::future<std::vector<MatchKeys>> keys = std::async(
        std::launch::async, [handed, make = std::move(make), finish_keys = std::move(finish_keys)] {
            // GTK sets the program's locale meanwhile; the thread keeps the C
            // locale the readers always ran in.
            const ThreadCLocale c_locale;
            auto made = make(*handed);
            // The keys are not needed before the first edit: the window
            // being built and drawn goes first.
            setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
            return finish_keys(std::move(made));
        });
    return std::async(std::launch::deferred,
                      [inputs = std::move(inputs), keys = std::move(keys), help = std::move(help)]() mutable {
                          {
                              const ThreadCLocale c_locale;
                              help();
                          }
                          Inputs taken = inputs.get();
                          taken.keys_to_come = std::move(keys);
                          return taken;
                      });
}

}  // namespace

std::future<Inputs> start_reading_choices() {
    return start_thread(
        [](std::promise<Inputs>& handed) {
            DmenuText read = read_dmenu_text(STDIN_FILENO);
            Inputs inputs;
            inputs.entries.reserve(
                static_cast<std::size_t>(std::count(read.text.begin(), read.text.end(), '\n')) + 1);
            back_with_huge_pages(inputs.entries.data(), inputs.entries.capacity() * sizeof(AppEntry));
            const bool cut = for_each_dmenu_line(read.text, max_dmenu_lines, [&](std::string_view line) {
                inputs.entries.emplace_back().name.assign(line);
            });
            if (cut || read.cut) {
                std::fprintf(
                    stderr,
                    "lumenpad: standard input holds more than %zu lines or %zu MiB; the rest is left "
                    "out\n",
                    max_dmenu_lines, max_dmenu_bytes / (1024 * 1024));
            }
            handed.set_value(std::move(inputs));
            return read;
        },
        [](const DmenuText& read) {
            // Lowered from the text again, which the thread alone holds.
            std::vector<MatchKeys> keys;
            for_each_dmenu_line(read.text, max_dmenu_lines,
                                [&](std::string_view line) { keys.push_back(line_keys(line)); });
            return keys;
        },
        [] {});
}

std::future<Inputs> start_gathering_inputs() {
    // At thousands of entries the window waits for the catalogue: its thread
    // then reads desktop files too, on the core that would stand idle.
    auto scan = std::make_shared<ScanShare>();
    struct Rest {
        std::vector<MatchKeys> keys;
        std::vector<std::vector<std::string>> generic_names;
        std::vector<std::vector<std::string>> keywords;
    };
    return start_thread(
        [scan](std::promise<Inputs>& handed) {
            // However the gathering ends, no helper is left waiting for files.
            const std::unique_ptr<ScanShare, void (*)(ScanShare*)> ending(scan.get(),
                                                                          [](ScanShare* s) { s->end(); });
            Gathered gathered = gather(*scan);
            // The words to search by go no further than the keys.
            Rest rest{std::move(gathered.keys), {}, {}};
            for (AppEntry& entry : gathered.entries) {
                rest.generic_names.push_back(std::move(entry.generic_names));
                rest.keywords.push_back(std::move(entry.keywords));
                entry.generic_names.clear();
                entry.keywords.clear();
            }
            handed.set_value(Inputs{std::move(gathered.entries),
                                    {},
                                    std::move(gathered.history),
                                    std::move(gathered.launch_prefix)});
            return rest;
        },
        [](Rest rest) {
            for (std::size_t i = 0; i < rest.keys.size(); ++i) {
                add_search_words(rest.keys[i], rest.generic_names[i], rest.keywords[i]);
            }
            return std::move(rest.keys);
        },
        [scan] { scan->help(); });
}

}  // namespace lumenpad
