#include "lumenpad/options.hpp"

namespace lumenpad {

namespace {

ParsedOptions failure(std::string error) {
    ParsedOptions parsed;
    parsed.action = ParsedOptions::Action::error;
    parsed.error = std::move(error);
    return parsed;
}

}  // namespace

ParsedOptions parse_options(const std::vector<std::string_view>& arguments) {
    using namespace std::literals;
    ParsedOptions parsed;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--help") {
            parsed.action = ParsedOptions::Action::help;
            return parsed;
        }
        if (argument == "--version") {
            parsed.action = ParsedOptions::Action::version;
            return parsed;
        }
        if (argument == "--daemon") {
            parsed.options.daemon = true;
        } else if (argument == "--dmenu") {
            parsed.options.dmenu = true;
        } else if (argument == "--prompt") {
            if (i + 1 == arguments.size()) {
                return failure("option '--prompt' needs a text");
            }
            parsed.options.prompt.emplace(arguments[++i]);
        } else if (argument.starts_with("--prompt=")) {
            parsed.options.prompt.emplace(argument.substr("--prompt="sv.size()));
        } else if (argument.starts_with("-") && argument != "-") {
            return failure("unknown option '" + std::string(argument) + "'");
        } else {
            return failure("unexpected argument '" + std::string(argument) + "'");
        }
    }
    if (parsed.options.daemon && parsed.options.dmenu) {
        return failure("option '--daemon' does not work with '--dmenu'");
    }
    if (parsed.options.daemon && parsed.options.prompt) {
        return failure("option '--daemon' does not work with '--prompt'");
    }
    if (parsed.options.prompt && !parsed.options.dmenu) {
        return failure("option '--prompt' works only with '--dmenu'");
    }
    return parsed;
}

std::string usage_text() {
    return "Usage: lumenpad [--daemon | --dmenu [--prompt TEXT]]\n"
           "\n"
           "Opens the application launcher, or closes the one that is open.\n"
           "\n"
           "  --daemon         keep a hidden launcher ready, which 'lumenpad' then\n"
           "                   opens and closes at once\n"
           "  --dmenu          show the lines read from standard input instead, and\n"
           "                   print the one chosen (exit status 0); Escape or a click\n"
           "                   outside prints nothing (exit status 1)\n"
           "  --prompt TEXT    what the search field shows while empty, with --dmenu\n"
           "  --help           print this help and exit\n"
           "  --version        print the version and exit\n";
}

std::string version_text() {
    return "lumenpad " LUMENPAD_VERSION "\n";
}

}  // namespace lumenpad
