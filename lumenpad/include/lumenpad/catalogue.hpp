// The application catalogue: every usable desktop-entry file of the application
// directories, one entry per file name, the directory latest in the list winning.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lumenpad {

// The files of one scan (a share serves one scan only), which a thread that
// waits for the catalogue may help to read: the scan lists them, then
// whoever is at hand reads the next one.
class ScanShare {
public:
    // Reads files of the scan until none is left. Waits for the scan to list
    // them first; returns at once when the scan is over or none comes.
    void help();
    // No scan, or no more of it: help() returns from now on.
    void end();

private:
    friend std::vector<AppEntry> scan_applications(const std::vector<std::string>&, ScanShare&);
    enum State : int { to_come, listed, over };
    void read_files();

    std::atomic<int> state_{to_come};
    // Fixed once listed.
    std::vector<std::string> suffixes_;
    std::vector<std::string> paths_;
    // Each written by the one thread that took its file.
    std::vector<std::optional<AppEntry>> parsed_;
    std::atomic<std::size_t> next_{0};
    std::atomic<std::size_t> read_{0};
};

// Scans application_dirs(). The order of the result is unspecified.
std::vector<AppEntry> scan_applications();
std::vector<AppEntry> scan_applications(const std::vector<std::string>& dirs);
// The same, with the files read by this thread and any that helps.
std::vector<AppEntry> scan_applications(const std::vector<std::string>& dirs, ScanShare& share);

// Each entry followed by a row per desktop action, "App name: Action name",
// which starts the action's command with the application's icon, window
// class and terminal.
std::vector<AppEntry> with_action_rows(std::vector<AppEntry> entries);

}  // namespace lumenpad
