// The command line: no options opens (or closes) the launcher; --dmenu makes
// it the menu of a script; --daemon keeps a hidden launcher ready.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumenpad {

struct Options {
    bool daemon = false;
    bool dmenu = false;
    // The search field's placeholder in dmenu mode.
    std::optional<std::string> prompt;
};

struct ParsedOptions {
    enum class Action { run, help, version, error };
    Action action = Action::run;
    Options options;
    // For Action::error: what is wrong, naming the argument.
    std::string error;
};

// The arguments after the program's name.
ParsedOptions parse_options(const std::vector<std::string_view>& arguments);

std::string usage_text();
std::string version_text();

}  // namespace lumenpad
