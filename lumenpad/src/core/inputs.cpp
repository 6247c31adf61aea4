#include "lumenpad/inputs.hpp"

#include "lumenpad-shared/text.hpp"
#include "lumenpad/catalogue.hpp"
#include "lumenpad/config.hpp"
#include "lumenpad/hyprland.hpp"
#include "lumenpad/manifest.hpp"
#include "lumenpad/ordering.hpp"

#include <locale.h>
#include <clocale>

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

    Inputs inputs{{}, {}, load_history()};
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

std::future<Inputs> start_gathering_inputs() {
    return std::async(std::launch::async, [] {
        const ThreadCLocale c_locale;
        return gather_inputs();
    });
}

}  // namespace lumenpad
