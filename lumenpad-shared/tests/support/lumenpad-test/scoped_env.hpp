// Environment variables changed for one test: each is put back as it was
// (set to its old value, or unset) when the ScopedEnv goes.
#pragma once

#include <stdlib.h>

#include <map>
#include <optional>
#include <string>

namespace lumenpad::test {

class ScopedEnv {
public:
    ScopedEnv() = default;
    // Sets (or, given nothing, unsets) one variable for the scope.
    ScopedEnv(const std::string& name, const std::optional<std::string>& value) { set(name, value); }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) {
            apply(name, value);
        }
    }

    // Sets `name` to `value`, or unsets it given nothing.
    void set(const std::string& name, const std::optional<std::string>& value) {
        if (!saved_.contains(name)) {
            const char* old = ::getenv(name.c_str());
            saved_.emplace(name, old ? std::optional<std::string>(old) : std::nullopt);
        }
        apply(name, value);
    }
    void unset(const std::string& name) { set(name, std::nullopt); }

private:
    static void apply(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }

    // The first value seen of each variable this object changed.
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace lumenpad::test
