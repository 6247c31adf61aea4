#include "lumenpad/inputs.hpp"

#include "lumenpad-shared/text.hpp"
#include "lumenpad/catalogue.hpp"
#include "lumenpad/config.hpp"
#include "lumenpad/dmenu_input.hpp"
#include "lumenpad/hyprland.hpp"
#include "lumenpad/manifest.hpp"
#include "lumenpad/ordering.hpp"

#include <locale.h>
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

}  // namespace

Inputs gather_inputs() {
    const Config config = load_config();
    const auto workspace = query_active_workspace();
    const Context* context = select_context(config, workspace.value_or(""));

    Inputs inputs{{}, {}, {}, load_history()};
    const Manifest manifest = load_manifest();
    inputs.entries = scan_applications();
    apply_manifest(inputs.entries, manifest);

    std::vector<std::string> lowered_priority;
    if (context != nullptr) {
        for (const auto& term : context->priority) {
            lowered_priority.push_back(lower(term));
        }
    }
    inputs.keys = sort_initial(inputs.entries, lowered_priority, inputs.history);
    if (config.show_actions) {
        inputs.entries = with_action_rows(std::move(inputs.entries));
        inputs.keys = catalogue_keys(inputs.entries);
    }
    return inputs;
}

std::future<Inputs> start_reading_choices() {
    auto lines = std::make_shared<std::promise<Inputs>>();
    std::future<Inputs> choices = lines->get_future();
    // The thread's own future: its destructor waits for the thread.
    std::future<std::vector<MatchKeys>> keys = std::async(std::launch::async, [lines] {
        const DmenuText read = read_dmenu_text(STDIN_FILENO);
        Inputs inputs;
        inputs.entries.reserve(
            static_cast<std::size_t>(std::count(read.text.begin(), read.text.end(), '\n')) + 1);
        const bool cut = for_each_dmenu_line(read.text, max_dmenu_lines, [&](std::string_view line) {
            inputs.entries.emplace_back().name.assign(line);
        });
        if (cut || read.cut) {
            std::fprintf(
                stderr,
                "lumenpad: standard input holds more than %zu lines or %zu MiB; the rest is left out\n",
                max_dmenu_lines, max_dmenu_bytes / (1024 * 1024));
        }
        const std::size_t count = inputs.entries.size();
        lines->set_value(std::move(inputs));
        // Lowered from the text again, which the thread alone holds.
        const ThreadCLocale c_locale;
        std::vector<MatchKeys> lowered;
        lowered.reserve(count);
        for_each_dmenu_line(read.text, max_dmenu_lines,
                            [&](std::string_view line) { lowered.push_back(line_keys(line)); });
        return lowered;
    });
    return std::async(std::launch::deferred,
                      [choices = std::move(choices), keys = std::move(keys)]() mutable {
                          Inputs inputs = choices.get();
                          inputs.keys_to_come = std::move(keys);
                          return inputs;
                      });
}

std::future<Inputs> start_gathering_inputs() {
    return std::async(std::launch::async, [] {
        const ThreadCLocale c_locale;
        return gather_inputs();
    });
}

}  // namespace lumenpad
