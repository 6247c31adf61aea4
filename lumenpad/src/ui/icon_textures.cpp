#include "lumenpad/icon_textures.hpp"

#include "lumenpad-shared/read_file.hpp"
#include "lumenpad/worker_failure.hpp"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace lumenpad {

namespace {

// Far above any real icon; a bigger file or image is not one. A small file
// can declare a huge image, which decoding would allocate and fill whole.
constexpr size_t max_icon_file_size = 4 * 1024 * 1024;
constexpr int max_icon_side = 2048;

struct DeclaredSize {
    int width = 0;
    int height = 0;
};

void on_size_prepared(GdkPixbufLoader* loader, int width, int height, gpointer data) {
    auto* size = static_cast<DeclaredSize*>(data);
    size->width = width;
    size->height = height;
    gdk_pixbuf_loader_set_size(loader, 0, 0);
}

// GTK decodes these formats itself, recognised by their first bytes; it hands
// any other to the image loaders, which recognise it through the MIME
// database. The size check does the same, so it needs that database no more
// than GTK does.
GObjectPtr<GdkPixbufLoader> loader_for(std::string_view data) {
    using namespace std::string_view_literals;
    const char* type = nullptr;
    if (data.starts_with("\x89PNG\r\n\x1a\n"sv)) {
        type = "png";
    } else if (data.starts_with("\xFF\xD8\xFF"sv)) {
        type = "jpeg";
    } else if (data.starts_with("II*\0"sv) || data.starts_with("MM\0*"sv)) {
        type = "tiff";
    }
    return adopt(type != nullptr ? gdk_pixbuf_loader_new_with_type(type, nullptr) : gdk_pixbuf_loader_new());
}

// The size the image declares, read as gdk_pixbuf_get_file_info does: asking
// the loader for a 0x0 image makes it stop after the header.
bool declares_icon_size(std::string_view data) {
    const auto loader = loader_for(data);
    if (!loader) {
        return false;
    }
    DeclaredSize size;
    const gulong handler =
        g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(on_size_prepared), &size);
    // Small pieces, no more once the header is read: the loader would go on
    // inflating the rest, which for a decompression bomb takes seconds.
    constexpr size_t piece = 4096;
    for (size_t at = 0; at < data.size() && size.width == 0; at += piece) {
        GErrorOut error;
        const bool written =
            gdk_pixbuf_loader_write(loader.get(), reinterpret_cast<const guchar*>(data.data() + at),
                                    std::min(piece, data.size() - at), error.out());
        if (!written) {
            break;
        }
    }
    // Reports the stop as an error.
    GErrorOut closed;
    gdk_pixbuf_loader_close(loader.get(), closed.out());
    g_signal_handler_disconnect(loader.get(), handler);
    return size.width > 0 && size.height > 0 && size.width <= max_icon_side && size.height <= max_icon_side;
}

}  // namespace

GObjectPtr<GdkTexture> load_icon_texture(const std::string& path) {
    int read_error = 0;
    auto data = read_file(path, read_error, max_icon_file_size);
    if (!data || !declares_icon_size(*data)) {
        return nullptr;
    }
    auto* owned = new std::string(std::move(*data));
    GBytes* bytes = g_bytes_new_with_free_func(
        owned->data(), owned->size(), [](gpointer p) { delete static_cast<std::string*>(p); }, owned);
    GErrorOut error;
    auto texture = adopt(gdk_texture_new_from_bytes(bytes, error.out()));
    g_bytes_unref(bytes);
    return texture;
}

IconTextures::IconTextures(const std::vector<AppEntry>& entries, std::function<void()> on_decoded)
    : file_of_(entries.size(), -1), on_decoded_(std::move(on_decoded)) {
    // One decode per file, however many entries share it.
    std::unordered_map<std::string_view, std::int32_t> known;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].icon_path) {
            continue;
        }
        const auto [found, added] =
            known.try_emplace(*entries[i].icon_path, static_cast<std::int32_t>(files_.size()));
        if (added) {
            files_.push_back({*entries[i].icon_path, State::pending, nullptr});
        }
        file_of_[i] = found->second;
    }
    if (!files_.empty()) {
        thread_ = std::thread([this] { or_end_program([this] { decode_all(); }); });
    }
}

IconTextures::~IconTextures() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        if (notice_ != 0) {
            g_source_remove(notice_);
            notice_ = 0;
        }
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

IconTextures::Lookup IconTextures::texture_for(std::uint32_t index, bool wait) {
    if (index >= file_of_.size() || file_of_[index] < 0) {
        return {};
    }
    const auto file = static_cast<std::size_t>(file_of_[index]);
    std::unique_lock<std::mutex> lock(mutex_);
    if (files_[file].state != State::done) {
        if (!wait) {
            asked_ = true;
            return {true, nullptr};
        }
        if (files_[file].state == State::pending) {
            decode(file, lock);
        }
        decoded_.wait(lock, [&] { return files_[file].state == State::done; });
    }
    return {false, files_[file].texture.get()};
}

// Called and returning with the lock held; decodes without it.
void IconTextures::decode(std::size_t file, std::unique_lock<std::mutex>& lock) {
    files_[file].state = State::decoding;
    const std::string path = files_[file].path;
    lock.unlock();
    GObjectPtr<GdkTexture> texture = load_icon_texture(path);
    lock.lock();
    files_[file].texture = std::move(texture);
    files_[file].state = State::done;
    decoded_.notify_all();
    if (asked_ && notice_ == 0 && !stopping_) {
        notify_decoded();
    }
}

void IconTextures::decode_all() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (std::size_t file = 0; file < files_.size() && !stopping_; ++file) {
        if (files_[file].state != State::pending) {
            continue;
        }
        decode(file, lock);
    }
}

// With the lock held.
void IconTextures::notify_decoded() {
    notice_ = g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer data) {
            auto* self = static_cast<IconTextures*>(data);
            {
                const std::lock_guard<std::mutex> lock(self->mutex_);
                self->notice_ = 0;
                self->asked_ = false;
            }
            self->on_decoded_();
            return G_SOURCE_REMOVE;
        },
        this, nullptr);
}

}  // namespace lumenpad
