// Strict reading of a flat JSON object: one object of members whose values
// are all scalars, each taken or refused by a rule of the caller. A later
// member of the same name replaces an earlier one.
#pragma once

#include "lumenpad-shared/json.hpp"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>

namespace lumenpad {

// A member's value as the parser reported it. nlohmann reports "1.0" and
// "1e2" as floats and every number written with '-' as a signed integer, so
// the alternative tells how a number was written.
using JsonScalar = std::variant<std::nullptr_t, bool, std::int64_t, std::uint64_t, double, std::string>;

template <typename Value>
using JsonObject = std::unordered_map<std::string, Value>;

namespace detail {

template <typename Value, typename Rule>
class FlatObjectReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit FlatObjectReader(Rule& rule) : rule_(rule) {}

    JsonObject<Value> members;

    bool null() override { return member(nullptr); }
    bool boolean(bool value) override { return member(value); }
    bool number_integer(number_integer_t value) override { return member(std::int64_t{value}); }
    bool number_unsigned(number_unsigned_t value) override { return member(std::uint64_t{value}); }
    bool number_float(number_float_t value, const string_t&) override { return member(double{value}); }
    bool string(string_t& value) override { return member(std::move(value)); }
    bool binary(binary_t&) override { return false; }
    // Only the one object itself: nested objects, arrays and a second
    // document all stop the parse.
    bool start_object(std::size_t) override { return !std::exchange(opened_, true); }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return false; }
    bool end_array() override { return false; }
    bool key(string_t& name) override {
        name_ = std::move(name);
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception&) override {
        return false;
    }

private:
    bool member(JsonScalar value) {
        // A scalar outside an object has no name and makes the text invalid.
        if (!opened_) {
            return false;
        }
        std::optional<Value> taken = rule_(std::move(value));
        if (!taken) {
            return false;
        }
        members.insert_or_assign(std::move(name_), std::move(*taken));
        return true;
    }

    Rule& rule_;
    std::string name_;
    bool opened_ = false;
};

}  // namespace detail

// The members of the flat object `text`, each value what `rule` (a callable
// from JsonScalar to std::optional<Value>) makes of it; nothing when the text
// is not strict JSON, not one flat object, or the rule refuses a value.
template <typename Value, typename Rule>
std::optional<JsonObject<Value>> parse_flat_json_object(std::string_view text, Rule rule) {
    detail::FlatObjectReader<Value, Rule> reader(rule);
    if (!sax_parse_json(text, &reader)) {
        return std::nullopt;
    }
    return std::move(reader.members);
}

}  // namespace lumenpad
