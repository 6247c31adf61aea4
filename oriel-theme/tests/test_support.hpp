// Hermetic surroundings for the theme library's tests: a private temporary
// directory and environment variables restored when the test ends.
#pragma once

#include <pwd.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>

namespace oriel::testing {

// A fresh directory under the system's temporary directory, removed with all
// its content at the end of its scope.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "oriel-test-XXXXXX").string();
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

    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Sets, unsets and restores environment variables.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

    void set(const std::string& name, const std::string& value) {
        save(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void unset(const std::string& name) {
        save(name);
        ::unsetenv(name.c_str());
    }

private:
    void save(const std::string& name) {
        if (saved_.count(name) == 0) {
            const char* value = ::getenv(name.c_str());
            saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
        }
    }

    std::map<std::string, std::optional<std::string>> saved_;
};

// Writes a whole file, creating its parent directories.
inline void write_file(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

// The whole file as bytes; empty when it can't be read.
inline std::string read_whole_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `check` in a child process under a user id that has no password entry,
// without HOME and XDG_CACHE_HOME, in `dir`; returns whether it held. Needs
// root: callers skip otherwise.
inline bool holds_for_user_without_home(const std::filesystem::path& dir,
                                        const std::function<bool()>& check) {
    uid_t stranger = 54321;
    while (::getpwuid(stranger) != nullptr) {
        ++stranger;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::unsetenv("HOME");
        ::unsetenv("XDG_CACHE_HOME");
        const bool held =
            ::chdir(dir.c_str()) == 0 && ::setgid(stranger) == 0 && ::setuid(stranger) == 0 && check();
        ::_exit(held ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

}  // namespace oriel::testing
