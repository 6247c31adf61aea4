// A fresh directory under the system's temporary directory for one test,
// removed with all its content at the end of its scope.
#pragma once

#include "lumenpad-test/files.hpp"

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace lumenpad::test {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumenpad-test-XXXXXX").string();
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

    // The path of `relative` inside the directory.
    std::string operator/(const std::string& relative) const {
        return (std::filesystem::path(path_) / relative).string();
    }

    // Creates the directory `relative` (with its parents) and returns its path.
    std::string make_dir(const std::string& relative) const {
        const std::string dir = *this / relative;
        std::filesystem::create_directories(dir);
        return dir;
    }

    // Writes `content` to `relative`, creating parent directories; returns its path.
    std::string write(const std::string& relative, const std::string& content) const {
        const std::string file = *this / relative;
        write_file(file, content);
        return file;
    }

private:
    std::string path_;
};

}  // namespace lumenpad::test
