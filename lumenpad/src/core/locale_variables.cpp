#include "lumenpad/locale_variables.hpp"

#include "lumenpad-shared/text.hpp"

#include <algorithm>
#include <cstdlib>
#include <string_view>

extern char** environ;

namespace lumenpad {

namespace {

constexpr std::string_view locale_variables[] = {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"};

std::string_view name_of(std::string_view variable) {
    return variable.substr(0, variable.find('='));
}

// Kept from the start of main for the rest of the program; written once
// before any other thread runs.
std::vector<std::string>& dropped() {
    static std::vector<std::string> variables;
    return variables;
}

}  // namespace

std::vector<std::string> unusable_locale_variables(const char* const* environment) {
    std::vector<std::string> found;
    for (const char* const* variable = environment; variable != nullptr && *variable != nullptr; ++variable) {
        const std::string_view text(*variable);
        const std::string_view name = name_of(text);
        if (name.size() < text.size() &&
            std::find(std::begin(locale_variables), std::end(locale_variables), name) !=
                std::end(locale_variables) &&
            !is_valid_utf8(text.substr(name.size() + 1))) {
            found.emplace_back(text);
        }
    }
    return found;
}

void drop_unusable_locale_variables() {
    dropped() = unusable_locale_variables(environ);
    for (const std::string& variable : dropped()) {
        ::unsetenv(std::string(name_of(variable)).c_str());
    }
}

void add_dropped_locale_variables(std::vector<std::string>& environment) {
    for (const std::string& variable : dropped()) {
        const std::string_view name = name_of(variable);
        if (std::none_of(environment.begin(), environment.end(),
                         [&](const std::string& text) { return name_of(text) == name; })) {
            environment.push_back(variable);
        }
    }
}

}  // namespace lumenpad
