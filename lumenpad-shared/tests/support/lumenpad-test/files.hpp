// Whole-file writes and reads for setting up and checking tests. A write that
// fails throws, so a test never runs against a fixture it did not get.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>

namespace lumenpad::test {

// Writes `content` to `path`, replacing it and creating its parent directories.
inline void write_file(const std::filesystem::path& path, const std::string& content) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) {
        throw std::runtime_error("could not write " + path.string());
    }
}

// The whole file as bytes; empty when it can't be read.
inline std::string read_whole_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every entry under `root` with its kind, owner, permissions, inode and
// content or link text: two equal snapshots mean that nothing was written,
// replaced or left behind.
inline std::map<std::string, std::string> tree_snapshot(const std::string& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        const std::string path = entry.path().string();
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            entries.emplace(path, "vanished");
            continue;
        }
        std::string state = std::to_string(st.st_mode) + " " + std::to_string(st.st_uid) + " " +
                            std::to_string(st.st_ino) + " ";
        if (S_ISREG(st.st_mode)) {
            state += read_whole_file(path);
        } else if (S_ISLNK(st.st_mode)) {
            state += std::filesystem::read_symlink(path).string();
        } else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
            state += std::to_string(st.st_rdev);
        }
        entries.emplace(path.substr(root.size()), std::move(state));
    }
    return entries;
}

}  // namespace lumenpad::test
