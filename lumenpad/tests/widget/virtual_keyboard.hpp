// The harness's virtual keyboard for the widget tests.
#pragma once

#include <glib.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace lumenpad::test {

// The harness's virtual keyboard (LUMENPAD_VKBD), driven as the end-to-end
// tests drive it: a command per line, answered once the compositor has seen
// its events. The keys then reach whichever surface has the keyboard.
class VirtualKeyboard {
public:
    VirtualKeyboard() {
        const char* helper = std::getenv("LUMENPAD_VKBD");
        if (helper == nullptr) {
            return;
        }
        char* argv[] = {const_cast<char*>(helper), nullptr};
        int in = -1;
        int out = -1;
        if (!g_spawn_async_with_pipes(nullptr, argv, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr,
                                      &pid_, &in, &out, nullptr, nullptr)) {
            return;
        }
        in_ = fdopen(in, "w");
        out_ = fdopen(out, "r");
        ready_ = answer() == "ready";
    }
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;
    // The helper leaves once its input ends.
    ~VirtualKeyboard() {
        if (in_ != nullptr) {
            std::fclose(in_);
        }
        if (out_ != nullptr) {
            std::fclose(out_);
        }
        if (pid_ != 0) {
            waitpid(pid_, nullptr, 0);
            g_spawn_close_pid(pid_);
        }
    }
    bool ready() const { return ready_; }
    // "ok", or what went wrong.
    std::string send(const std::string& command) {
        std::fprintf(in_, "%s\n", command.c_str());
        std::fflush(in_);
        return answer();
    }

private:
    std::string answer() {
        char line[256];
        if (out_ == nullptr || std::fgets(line, sizeof line, out_) == nullptr) {
            return "no answer";
        }
        std::string text(line);
        while (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        return text;
    }

    GPid pid_ = 0;
    FILE* in_ = nullptr;
    FILE* out_ = nullptr;
    bool ready_ = false;
};

}  // namespace lumenpad::test
