// Watches what the inputs are read from (the application directories, the
// configuration, the user stylesheet, the icon manifest and the wal colours)
// and says, once things have settled, that the inputs read so far are stale.
// GIO file monitors only: nothing wakes the process while nothing changes.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumenpad {

// What the inputs are read from: directories whose entries (top level only)
// count, and single files. Either may not exist yet.
struct WatchedInputs {
    std::vector<std::string> directories;
    std::vector<std::string> files;
};

// application_dirs(); config.toml and style.css in config_dir();
// manifest.json in cache_dir(); wal/colors.json in the user's cache.
WatchedInputs watched_inputs();

// How long nothing must change before `stale` runs: a file still being
// written keeps it unsettled.
inline constexpr std::chrono::milliseconds settle_quiet_period{250};

class InputsWatch {
public:
    // Watches watched_inputs(); calls `stale` once per settled burst of
    // changes, on the thread-default main context of construction.
    explicit InputsWatch(std::function<void()> stale);
    InputsWatch(WatchedInputs watched, std::function<void()> stale,
                std::chrono::milliseconds quiet = settle_quiet_period);
    // Removes every monitor and a pending settle: `stale` never runs after.
    ~InputsWatch();
    InputsWatch(const InputsWatch&) = delete;
    InputsWatch& operator=(const InputsWatch&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace lumenpad
