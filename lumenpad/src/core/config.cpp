#include "lumenpad/config.hpp"

#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/read_file.hpp"
#include "lumenpad/dirs.hpp"
#include "lumenpad/toml_guard.hpp"

#include <toml++/toml.h>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <utility>

namespace lumenpad {

namespace {

// A value of the wrong shape, reported like a syntax error: what is wrong and
// where the offending value starts.
struct ShapeError {
    std::string description;
    toml::source_position position;
};

std::string with_position(std::string_view description, std::size_t line, std::size_t column) {
    return std::string(description) + " at line " + std::to_string(line) + ", column " +
           std::to_string(column);
}

std::string with_position(std::string_view description, const toml::source_position& position) {
    return with_position(description, position.line, position.column);
}

// The value of `key` as an array of strings.
std::optional<ShapeError> read_strings(const toml::node& node, std::string_view key,
                                       std::vector<std::string>& out) {
    const std::string wrong = "\"" + std::string(key) + "\" must be an array of strings";
    const auto* array = node.as_array();
    if (array == nullptr) {
        return ShapeError{wrong, node.source().begin};
    }
    for (const auto& element : *array) {
        const auto* text = element.as_string();
        if (text == nullptr) {
            return ShapeError{wrong, element.source().begin};
        }
        out.push_back(text->get());
    }
    return std::nullopt;
}

std::optional<ShapeError> read_context(const toml::node& node, Context& context) {
    const auto* table = node.as_table();
    if (table == nullptr) {
        return ShapeError{"every \"context\" entry must be a table", node.source().begin};
    }
    const auto* name = table->get("name");
    if (name == nullptr) {
        return ShapeError{"context without a \"name\"", node.source().begin};
    }
    const auto* name_text = name->as_string();
    if (name_text == nullptr) {
        return ShapeError{"\"name\" must be a string", name->source().begin};
    }
    context.name = name_text->get();
    if (const auto* priority = table->get("priority")) {
        return read_strings(*priority, "priority", context.priority);
    }
    return std::nullopt;
}

std::optional<ShapeError> read_config(const toml::table& root, Config& config) {
    if (const auto* show_actions = root.get("show_actions")) {
        const auto* value = show_actions->as_boolean();
        if (value == nullptr) {
            return ShapeError{"\"show_actions\" must be true or false", show_actions->source().begin};
        }
        config.show_actions = value->get();
    }
    if (const auto* prefix = root.get("launch_prefix")) {
        if (auto error = read_strings(*prefix, "launch_prefix", config.launch_prefix)) {
            return error;
        }
    }
    const auto* contexts = root.get("context");
    if (contexts == nullptr) {
        return std::nullopt;
    }
    const auto* array = contexts->as_array();
    if (array == nullptr) {
        return ShapeError{"\"context\" must be an array of tables", contexts->source().begin};
    }
    for (const auto& element : *array) {
        Context context;
        if (auto error = read_context(element, context)) {
            return error;
        }
        config.contexts.push_back(std::move(context));
    }
    return std::nullopt;
}

}  // namespace

Config load_config() {
    const auto dir = config_dir();
    return dir ? load_config(join_path(*dir, "config.toml"), std::cerr) : Config{};
}

Config load_config(const std::string& path, std::ostream& err) {
    int error = 0;
    const auto text = read_text_file(path, error);
    if (!text) {
        if (error == EILSEQ) {
            err << "lumenpad: could not read " << path << ": stream did not contain valid UTF-8\n";
        } else if (error != ENOENT) {
            err << "lumenpad: could not read " << path << ": " << std::strerror(error) << " (os error "
                << error << ")\n";
        }
        return {};
    }
    if (const auto refusal = refuse_unsafe_toml(*text)) {
        err << "lumenpad: parse error in " << path << ": "
            << with_position(refusal->description, refusal->line, refusal->column) << "\n";
        return {};
    }
    toml::table root;
    try {
        root = toml::parse(*text, std::string_view(path));
    } catch (const toml::parse_error& failure) {
        err << "lumenpad: parse error in " << path << ": "
            << with_position(failure.description(), failure.source().begin) << "\n";
        return {};
    }
    Config config;
    if (const auto shape = read_config(root, config)) {
        err << "lumenpad: parse error in " << path << ": "
            << with_position(shape->description, shape->position) << "\n";
        return {};
    }
    return config;
}

const Context* select_context(const Config& config, std::string_view workspace) {
    const Context* fallback = nullptr;
    for (const auto& context : config.contexts) {
        if (context.name == workspace) {
            return &context;
        }
        if (fallback == nullptr && context.name == "default") {
            fallback = &context;
        }
    }
    return fallback;
}

}  // namespace lumenpad
