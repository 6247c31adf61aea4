// Saving the history when the file system fails it: each fault is injected in
// a child with a private mount namespace, on a small tmpfs of its own. After
// the failed save the old file must be byte for byte as it was, with nothing
// left beside it.
#include "lumenpad/history.hpp"

#include "lumenpad-test/child.hpp"
#include "lumenpad-test/temp_dir.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace lumenpad {
namespace {

using test::in_child;
using test::TempDir;
using test::tree_snapshot;
using test::write_file;

constexpr uid_t other_uid = 65534;
const std::string old_text = R"({"Files":4,"Terminal":1})";

// Fills the file system under `dir` until it refuses more; true when it did.
bool fill_blocks(const std::string& dir) {
    const int fd = ::open((dir + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const std::string block(4096, 'x');
    bool full = false;
    while (fd >= 0 && !full) {
        full = ::write(fd, block.data(), block.size()) < 0 && errno == ENOSPC;
    }
    ::close(fd);
    return full;
}

bool fill_inodes(const std::string& dir) {
    for (int i = 0; i < 100000; ++i) {
        const int fd = ::open((dir + "/f" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            return errno == ENOSPC;
        }
        ::close(fd);
    }
    return false;
}

bool set_immutable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    const bool set = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                     (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    ::close(fd);
    return set;
}

// One fault. `mount_options` are the tmpfs's; `inject` gets the mount point,
// whose "lumenpad/history.json" holds the old text, and breaks something
// (an empty report when it did). `refused` saves as after a refused load.
struct Fault {
    const char* what;
    const char* mount_options;
    std::function<std::string(const std::string& mount)> inject;
    bool refused = false;
};

void PrintTo(const Fault& fault, std::ostream* out) {
    *out << fault.what;
}

class HistorySaveFault : public ::testing::TestWithParam<Fault> {
protected:
    TempDir dir;
};

TEST_P(HistorySaveFault, LeavesTheOldFileAndNothingElse) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root for a private mount namespace";
    }
    const std::string mount = dir.make_dir("mnt");
    const std::string report = in_child([&]() -> std::string {
        if (auto skip = test::enter_private_mounts(); !skip.empty()) {
            return skip;
        }
        if (!test::mount_tmpfs(mount, GetParam().mount_options)) {
            return "could not mount a tmpfs";
        }
        write_file(mount + "/lumenpad/history.json", old_text);
        if (auto failed = GetParam().inject(mount); !failed.empty()) {
            return failed;
        }
        const auto before = tree_snapshot(mount);
        History history{mount + "/lumenpad/history.json", {{"A name that needs a few bytes", 1}}};
        history.refused_file = GetParam().refused;
        if (save_history_to(history, *history.path)) {
            return "the save reported success";
        }
        if (tree_snapshot(mount) != before) {
            return "the save changed the directory";
        }
        return {};
    });
    if (report.starts_with(test::skip_report)) {
        GTEST_SKIP() << report;
    }
    EXPECT_EQ(report, "");
}

INSTANTIATE_TEST_SUITE_P(
    Save, HistorySaveFault,
    ::testing::Values(
        Fault{"disk_full", "size=64k",
              [](const std::string& mount) { return fill_blocks(mount) ? "" : "could not fill the disk"; }},
        Fault{
            "no_inodes", "nr_inodes=16",
            [](const std::string& mount) { return fill_inodes(mount) ? "" : "could not use up the inodes"; }},
        Fault{"read_only_file_system", "size=64k",
              [](const std::string& mount) -> std::string {
                  const bool remounted =
                      ::mount(nullptr, mount.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
                  return remounted ? "" : "could not remount read-only";
              }},
        Fault{"read_only_file_system_without_the_directory", "size=64k",
              [](const std::string& mount) -> std::string {
                  std::filesystem::remove_all(mount + "/lumenpad");
                  const bool remounted =
                      ::mount(nullptr, mount.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
                  return remounted ? "" : "could not remount read-only";
              }},
        // Root writes into any directory: the save runs as its owner instead.
        Fault{"read_only_directory", "size=64k",
              [](const std::string& mount) -> std::string {
                  for (const std::string path :
                       {mount, mount + "/lumenpad", mount + "/lumenpad/history.json"}) {
                      if (::chown(path.c_str(), other_uid, other_uid) != 0) {
                          return "could not give away " + path;
                      }
                  }
                  std::filesystem::permissions(mount + "/..", std::filesystem::perms(0755));
                  std::filesystem::permissions(mount + "/lumenpad", std::filesystem::perms(0500));
                  const bool became = ::setgid(other_uid) == 0 && ::setuid(other_uid) == 0;
                  return became ? "" : "could not take on the user id";
              }},
        Fault{"failed_rename", "size=64k",
              [](const std::string& mount) {
                  return set_immutable(mount + "/lumenpad/history.json") ? "" : "skip: no immutable files";
              }},
        // The refused file cannot be set aside: a directory holds its place.
        Fault{"failed_set_aside", "size=64k",
              [](const std::string& mount) {
                  write_file(mount + "/lumenpad/history.json.bad/kept", "kept");
                  return std::string();
              },
              true}),
    [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace lumenpad
