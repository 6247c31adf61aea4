// Test scaffolding: a fresh scratch directory per test, removed afterwards, and
// environment overrides that restore the old value when they go.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>

namespace lumenpad::testing {

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumenpad-shared-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    const std::string& path() const { return path_; }

    std::string write(const std::string& name, const std::string& content) const {
        const auto file = std::filesystem::path(path_) / name;
        std::ofstream out(file, std::ios::binary);
        out << content;
        out.close();
        if (!out) {
            throw std::runtime_error("could not write " + file.string());
        }
        return file.string();
    }

private:
    std::string path_;
};

// Sets (or, given nothing, unsets) a variable and restores the old state.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        set(value);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() { set(old_); }

    void set(const std::optional<std::string>& value) const {
        if (value) {
            ::setenv(name_.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A fixture whose tests see a private HOME and XDG directories under `home`.
class TempHomeTest : public ::testing::Test {
protected:
    TempDir home;
    ScopedEnv home_env{"HOME", home.path()};
    ScopedEnv data_home_env{"XDG_DATA_HOME", home.path() + "/.local/share"};
    ScopedEnv data_dirs_env{"XDG_DATA_DIRS", home.path() + "/system"};
    ScopedEnv config_home_env{"XDG_CONFIG_HOME", home.path() + "/.config"};
    ScopedEnv cache_home_env{"XDG_CACHE_HOME", home.path() + "/.cache"};
    ScopedEnv runtime_dir_env{"XDG_RUNTIME_DIR", home.path() + "/run"};
};

}  // namespace lumenpad::testing
