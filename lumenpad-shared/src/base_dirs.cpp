#include "lumenpad-shared/base_dirs.hpp"

#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/text.hpp"

#include <pwd.h>
#include <unistd.h>

namespace lumenpad {

namespace {

std::optional<std::string> password_database_home() {
    const long reported = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(reported < 0 ? 512 : static_cast<std::size_t>(reported));
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        entry.pw_dir == nullptr || *entry.pw_dir == '\0') {
        return std::nullopt;
    }
    return std::string(entry.pw_dir);
}

struct UserDirNames {
    const char* variable;
    const char* under_home;
};

// In the order of UserDir.
constexpr UserDirNames user_dir_names[] = {
    {"XDG_CONFIG_HOME", ".config"},
    {"XDG_CACHE_HOME", ".cache"},
    {"XDG_DATA_HOME", ".local/share"},
};

}  // namespace

std::optional<std::string> find_home(VariableRule rule, HomeFallback fallback) {
    if (auto home = env_value("HOME", rule)) {
        return home;
    }
    if (fallback == HomeFallback::none) {
        return std::nullopt;
    }
    // A relative entry would name a directory under wherever we were started.
    auto home = password_database_home();
    if (!home || home->front() != '/' || (rule.bytes == Bytes::utf8 && !is_valid_utf8(*home))) {
        return std::nullopt;
    }
    return home;
}

std::optional<std::string> user_dir(UserDir which, const std::function<std::optional<std::string>()>& home,
                                    VariableRule rule) {
    const UserDirNames& names = user_dir_names[static_cast<std::size_t>(which)];
    if (auto value = env_value(names.variable, rule)) {
        return value;
    }
    if (auto base = home()) {
        return join_path(*base, names.under_home);
    }
    return std::nullopt;
}

std::optional<std::string> runtime_dir(VariableRule rule) {
    return env_value("XDG_RUNTIME_DIR", rule);
}

std::vector<std::string> system_data_dirs(VariableRule rule) {
    const std::string list = env_value("XDG_DATA_DIRS", rule).value_or("/usr/local/share:/usr/share");
    std::vector<std::string> dirs;
    for (const std::string_view piece : split_path_list(list)) {
        dirs.emplace_back(piece);
    }
    return dirs;
}

}  // namespace lumenpad
