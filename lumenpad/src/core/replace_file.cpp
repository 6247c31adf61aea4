#include "lumenpad/replace_file.hpp"

#include "lumenpad-shared/read_file.hpp"
#include "lumenpad-shared/unique_fd.hpp"
#include "lumenpad/write_all.hpp"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <utility>

namespace lumenpad {

namespace {

// Linux gives up on a chain of links at the same depth.
constexpr int max_link_hops = 40;

// One directory entry, held by the directory's descriptor so that a renamed
// or replaced parent cannot redirect what follows.
struct Place {
    UniqueFd dir;
    std::string name;
    // The permission bits of the regular file there; nothing when there is none.
    std::optional<mode_t> mode;
};

// "a/b/c" gives "a/b/" and "c"; a bare name lies in ".".
std::pair<std::string, std::string> split_path(std::string_view path) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return {".", std::string(path)};
    }
    return {std::string(path.substr(0, slash + 1)), std::string(path.substr(slash + 1))};
}

bool names_a_file(const std::string& name) {
    return !name.empty() && name != "." && name != "..";
}

UniqueFd open_directory(int at, const std::string& path) {
    return UniqueFd(::openat(at, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// Opens the directory at `path`, creating each missing one on the way with
// mode 0700, as the XDG base-directory rules ask. Existing ones stay as they are.
UniqueFd open_or_create_directory(const std::string& path) {
    UniqueFd dir = open_directory(AT_FDCWD, path);
    if (dir || errno != ENOENT) {
        return dir;
    }
    dir = open_directory(AT_FDCWD, path.starts_with('/') ? "/" : ".");
    std::size_t start = 0;
    while (dir && start < path.size()) {
        const auto end = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty()) {
            continue;
        }
        UniqueFd next = open_directory(dir.get(), part);
        if (!next && errno == ENOENT && (::mkdirat(dir.get(), part.c_str(), 0700) == 0 || errno == EEXIST)) {
            next = open_directory(dir.get(), part);
        }
        dir = std::move(next);
    }
    return dir;
}

std::optional<std::string> read_link(int dir, const std::string& name) {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlinkat(dir, name.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) == buffer.size()) {
        return std::nullopt;
    }
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

// The regular file that saving through `name` would replace, or the new file
// to create there; nothing when the save must leave the place alone.
std::optional<Place> resolve_target(UniqueFd dir, std::string name) {
    for (int hop = 0; hop < max_link_hops; ++hop) {
        struct stat st {};
        if (::fstatat(dir.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            // A missing file is created, but a link to nowhere is not followed.
            if (errno == ENOENT && hop == 0) {
                return Place{std::move(dir), std::move(name), std::nullopt};
            }
            return std::nullopt;
        }
        if (!owned_by_us(st)) {
            return std::nullopt;
        }
        if (S_ISREG(st.st_mode)) {
            return Place{std::move(dir), std::move(name), st.st_mode & 0777};
        }
        if (!S_ISLNK(st.st_mode)) {
            return std::nullopt;
        }
        const auto link = read_link(dir.get(), name);
        if (!link) {
            return std::nullopt;
        }
        auto [link_dir, link_name] = split_path(*link);
        if (!names_a_file(link_name)) {
            return std::nullopt;
        }
        // An absolute link text makes openat ignore the directory.
        dir = open_directory(dir.get(), link_dir);
        if (!dir) {
            return std::nullopt;
        }
        name = std::move(link_name);
    }
    return std::nullopt;
}

// Read from the kernel rather than by setting the umask, which would change it
// for every thread for a moment.
mode_t current_umask() {
    const auto status = read_file("/proc/self/status");
    const std::string_view key = "\nUmask:\t";
    const auto at = status ? status->find(key) : std::string::npos;
    if (at == std::string::npos) {
        return 077;
    }
    mode_t mask = 0;
    for (auto i = at + key.size(); i < status->size() && (*status)[i] >= '0' && (*status)[i] <= '7'; ++i) {
        mask = (mask << 3) | static_cast<mode_t>((*status)[i] - '0');
    }
    return mask & 0777;
}

// A new, private file beside `name`, with a name nobody can guess in advance.
std::pair<UniqueFd, std::string> create_temporary(int dir, const std::string& name) {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::array<unsigned char, 6> random{};
        if (::getrandom(random.data(), random.size(), 0) != static_cast<ssize_t>(random.size())) {
            return {};
        }
        std::string temp = "." + name + ".";
        for (const unsigned char byte : random) {
            temp += letters[byte % (sizeof(letters) - 1)];
        }
        UniqueFd fd(::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd) {
            return {std::move(fd), std::move(temp)};
        }
        if (errno != EEXIST) {
            return {};
        }
    }
    return {};
}

}  // namespace

bool replace_own_file(const std::string& path, std::string_view content, bool set_aside_old) {
    auto [dir_path, name] = split_path(path);
    if (!names_a_file(name)) {
        return false;
    }
    UniqueFd dir = open_or_create_directory(dir_path);
    if (!dir) {
        return false;
    }
    auto target = resolve_target(std::move(dir), std::move(name));
    if (!target) {
        return false;
    }
    const int at = target->dir.get();
    auto [fd, temp] = create_temporary(at, target->name);
    if (!fd) {
        return false;
    }
    // A replaced file keeps its permissions; a new one, or one that takes the
    // place of a file set aside (perhaps for being unreadable), gets what
    // creating it directly would have given.
    const bool fresh = !target->mode || set_aside_old;
    const mode_t mode = fresh ? 0666 & ~current_umask() : *target->mode;
    bool done = write_all(fd.get(), content) && ::fchmod(fd.get(), mode) == 0 && ::fsync(fd.get()) == 0;
    done = ::close(fd.release()) == 0 && done;
    if (done && set_aside_old && target->mode) {
        done = ::renameat(at, target->name.c_str(), at, (target->name + ".bad").c_str()) == 0;
    }
    if (!done || ::renameat(at, temp.c_str(), at, target->name.c_str()) != 0) {
        ::unlinkat(at, temp.c_str(), 0);
        return false;
    }
    // Makes the rename itself durable; the file is complete either way.
    ::fsync(at);
    return true;
}

}  // namespace lumenpad
