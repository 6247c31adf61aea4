#include "lumenpad/catalogue.hpp"

#include "lumenpad/desktop_entry.hpp"
#include "lumenpad/desktop_locale.hpp"

#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/text.hpp"

#include <dirent.h>

#include <memory>
#include <string_view>
#include <unordered_map>

namespace lumenpad {

namespace {

struct DirClose {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirClose>;

constexpr std::string_view desktop_extension = ".desktop";

// The part after the last '.'; a name whose only '.' leads it has none.
bool has_desktop_extension(std::string_view name) {
    return name.size() > desktop_extension.size() && name.ends_with(desktop_extension);
}

}  // namespace

void ScanShare::read_files() {
    const std::size_t count = paths_.size();
    for (std::size_t i = next_.fetch_add(1); i < count; i = next_.fetch_add(1)) {
        parsed_[i] = parse_desktop_entry(paths_[i], suffixes_);
        if (read_.fetch_add(1, std::memory_order_acq_rel) + 1 == count) {
            read_.notify_all();
        }
    }
}

void ScanShare::help() {
    state_.wait(to_come);
    if (state_.load(std::memory_order_acquire) == listed) {
        read_files();
    }
}

void ScanShare::end() {
    state_.store(over, std::memory_order_release);
    state_.notify_all();
}

std::vector<AppEntry> scan_applications(const std::vector<std::string>& dirs, ScanShare& share) {
    share.suffixes_ = locale_suffixes(messages_locale());
    // Each candidate with the name it is known by, in the order of the
    // directories: a later one wins.
    std::vector<std::string> names;
    std::vector<std::string> ids;
    for (const auto& dir : dirs) {
        const DirPtr handle(::opendir(dir.c_str()));
        if (!handle) {
            continue;
        }
        // Only the name decides: a directory or FIFO that looks like a candidate
        // is left to the parser, which refuses anything but a regular file.
        while (const dirent* item = ::readdir(handle.get())) {
            const std::string_view name(item->d_name);
            if (has_desktop_extension(name)) {
                share.paths_.push_back(join_path(dir, name));
                names.push_back(lossy_utf8(name));
                ids.emplace_back(name.substr(0, name.size() - desktop_extension.size()));
            }
        }
    }
    const std::size_t count = share.paths_.size();
    share.parsed_.resize(count);
    share.state_.store(ScanShare::listed, std::memory_order_release);
    share.state_.notify_all();
    share.read_files();
    for (std::size_t read = share.read_.load(std::memory_order_acquire); read < count;
         read = share.read_.load(std::memory_order_acquire)) {
        share.read_.wait(read);
    }
    share.end();

    std::unordered_map<std::string, AppEntry> by_file_name;
    for (std::size_t i = 0; i < count; ++i) {
        if (share.parsed_[i]) {
            share.parsed_[i]->desktop_id = std::move(ids[i]);
            by_file_name.insert_or_assign(std::move(names[i]), std::move(*share.parsed_[i]));
        }
    }
    std::vector<AppEntry> catalogue;
    catalogue.reserve(by_file_name.size());
    for (auto& item : by_file_name) {
        catalogue.push_back(std::move(item.second));
    }
    return catalogue;
}

std::vector<AppEntry> scan_applications(const std::vector<std::string>& dirs) {
    ScanShare alone;
    return scan_applications(dirs, alone);
}

std::vector<AppEntry> with_action_rows(std::vector<AppEntry> entries) {
    std::vector<AppEntry> rows;
    rows.reserve(entries.size());
    for (AppEntry& entry : entries) {
        std::vector<DesktopAction> actions = std::move(entry.actions);
        entry.actions.clear();
        if (actions.empty()) {
            rows.push_back(std::move(entry));
            continue;
        }
        const std::string shown = shown_name(entry);
        rows.push_back(std::move(entry));
        // A copy: the rows that follow move the vector.
        const AppEntry app = rows.back();
        for (DesktopAction& action : actions) {
            AppEntry row;
            row.name = app.name + ": " + action.name;
            if (app.localised_name || action.localised_name) {
                row.localised_name = shown + ": " + action.localised_name.value_or(action.name);
            }
            row.exec = std::move(action.exec);
            row.icon = app.icon;
            row.icon_path = app.icon_path;
            row.startup_wm_class = app.startup_wm_class;
            row.terminal = app.terminal;
            row.desktop_id = app.desktop_id;
            row.action = std::move(action.key);
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

std::vector<AppEntry> scan_applications() {
    return scan_applications(application_dirs());
}

}  // namespace lumenpad
