// The images of the icon files that the manifest names, decoded once per
// file on a thread of their own, in the catalogue's initial order, so that
// binding a row to an entry never reads or decodes a file while the list
// scrolls.
#pragma once

#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad/app_entry.hpp"

#include <gtk/gtk.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace lumenpad {

// The image of an icon file: nothing when the file is no image, or is too
// large to be an icon. Reads it like every other file we are given.
GObjectPtr<GdkTexture> load_icon_texture(const std::string& path);

class IconTextures {
public:
    // Starts decoding the icon files of `entries`, which must outlive this.
    // `on_decoded` runs on the main thread once textures that were asked for
    // with wait = false have become ready.
    IconTextures(const std::vector<AppEntry>& entries, std::function<void()> on_decoded);
    IconTextures(const IconTextures&) = delete;
    IconTextures& operator=(const IconTextures&) = delete;
    // Stops decoding, waits for the thread and drops the pending notice.
    ~IconTextures();

    struct Lookup {
        // Whether the entry has an icon file whose image is still to come.
        bool pending = false;
        // Borrowed; null when there is no image, or it is still to come.
        GdkTexture* texture = nullptr;
    };
    // The image of entry `index`'s icon file. With `wait`, one still to come
    // is decoded at once (or waited for) rather than left pending.
    Lookup texture_for(std::uint32_t index, bool wait);

private:
    enum class State : std::uint8_t { pending, decoding, done };
    struct File {
        std::string path;
        State state = State::pending;
        GObjectPtr<GdkTexture> texture;
    };

    void decode_all();
    void decode(std::size_t file, std::unique_lock<std::mutex>& lock);
    void notify_decoded();

    // Per entry, its file's place in files_, or -1 without one.
    std::vector<std::int32_t> file_of_;
    std::function<void()> on_decoded_;

    std::mutex mutex_;
    std::condition_variable decoded_;
    std::vector<File> files_;
    bool stopping_ = false;
    // Whether a texture asked for has been left pending since the last notice.
    bool asked_ = false;
    guint notice_ = 0;

    std::thread thread_;
};

}  // namespace lumenpad
