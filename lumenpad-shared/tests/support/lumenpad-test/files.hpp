// Whole-file writes and reads for setting up and checking tests. A write that
// fails throws, so a test never runs against a fixture it did not get.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
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

}  // namespace lumenpad::test
