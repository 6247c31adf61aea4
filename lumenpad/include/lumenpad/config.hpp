// The optional config.toml: named contexts, each with the priority list that
// ranks applications first while a workspace of that name is active, and how
// applications are started.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace lumenpad {

struct Context {
    std::string name;
    std::vector<std::string> priority;

    bool operator==(const Context&) const = default;
};

struct Config {
    std::vector<Context> contexts;
    // Whether each application's desktop actions are rows of their own.
    bool show_actions = false;
    // Words put before every launched command ("uwsm", "app", "--"); with
    // them the launcher asks systemd for no scope of its own.
    std::vector<std::string> launch_prefix;
};

// Reads config_dir()/config.toml (nothing without a configuration directory),
// or `path` with problems reported to `err`.
// Every failure gives the empty Config; only a missing file goes unreported.
Config load_config();
Config load_config(const std::string& path, std::ostream& err);

// The first context named `workspace`, else the first named "default".
const Context* select_context(const Config& config, std::string_view workspace);

}  // namespace lumenpad
