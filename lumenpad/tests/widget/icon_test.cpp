// Icon files named by the manifest: a readable image gives a texture;
// anything else (special files included, which must neither block nor flood
// the reader) gives none, and the row falls back to the icon name.
#include "lumenpad/icon_textures.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"
#include "lumenpad-test/main_loop.hpp"
#include "lumenpad-test/temp_dir.hpp"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace lumenpad {
namespace {

// A PNG of opaque magenta, made by GTK itself.
std::string png_bytes(int width = 2, int height = 2) {
    std::string pixels;
    for (int i = 0; i < width * height; ++i) {
        pixels.append("\xFF\x00\xFF\xFF", 4);
    }
    GBytes* memory = g_bytes_new(pixels.data(), pixels.size());
    auto texture = adopt(
        gdk_memory_texture_new(width, height, GDK_MEMORY_R8G8B8A8, memory, static_cast<gsize>(width) * 4));
    g_bytes_unref(memory);
    GBytes* png = gdk_texture_save_to_png_bytes(texture.get());
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(png, &size));
    std::string out(data, size);
    g_bytes_unref(png);
    return out;
}

struct IconFileCase {
    const char* what;
    // Makes the file in the directory and returns its path; empty to skip.
    std::function<std::string(const test::TempDir&)> make;
    bool shows_file;
};

void PrintTo(const IconFileCase& c, std::ostream* out) {
    *out << c.what;
}

// The same device numbers as the system's endless source of zero bytes, but
// a node of our own: nothing outside the test directory is touched.
std::string zero_device(const test::TempDir& dir) {
    const std::string path = dir / "zero";
    return ::mknod(path.c_str(), S_IFCHR | 0400, makedev(1, 5)) == 0 ? path : std::string();
}

class IconFiles : public testing::TestWithParam<IconFileCase> {
protected:
    static void SetUpTestSuite() { gtk_init(); }
};

TEST_P(IconFiles, GiveAnImageOnlyForAnIconSizedImageFile) {
    const test::TempDir dir;
    const std::string path = GetParam().make(dir);
    if (path.empty()) {
        GTEST_SKIP() << "cannot create a device node here";
    }
    // A blocked or endless read would stall the run: the alarm ends it.
    ::alarm(20);
    const auto texture = load_icon_texture(path);
    ::alarm(0);
    EXPECT_EQ(texture != nullptr, GetParam().shows_file);
}

INSTANTIATE_TEST_SUITE_P(
    Manifest, IconFiles,
    testing::Values(
        IconFileCase{"png", [](const test::TempDir& d) { return d.write("icon.png", png_bytes()); }, true},
        IconFileCase{"link_to_png",
                     [](const test::TempDir& d) {
                         d.write("icon.png", png_bytes());
                         const std::string link = d / "link.png";
                         return ::symlink("icon.png", link.c_str()) == 0 ? link : std::string();
                     },
                     true},
        // The decoder would stop at the image's end; the reader must not.
        IconFileCase{"png_past_the_size_cap",
                     [](const test::TempDir& d) {
                         return d.write("big.png", png_bytes() + std::string(5 * 1024 * 1024, '\0'));
                     },
                     false},
        IconFileCase{"largest_image",
                     [](const test::TempDir& d) { return d.write("large.png", png_bytes(2048, 2048)); },
                     true},
        // Decoded, it would take far more memory than the file does.
        IconFileCase{"image_too_wide",
                     [](const test::TempDir& d) { return d.write("wide.png", png_bytes(2049, 1)); }, false},
        IconFileCase{"image_too_tall",
                     [](const test::TempDir& d) { return d.write("tall.png", png_bytes(1, 2049)); }, false},
        IconFileCase{"not_an_image", [](const test::TempDir& d) { return d.write("notes.txt", "hello\n"); },
                     false},
        IconFileCase{"missing", [](const test::TempDir& d) { return d / "missing.png"; }, false},
        IconFileCase{"directory", [](const test::TempDir& d) { return d.make_dir("icons"); }, false},
        IconFileCase{"fifo_without_writer",
                     [](const test::TempDir& d) {
                         const std::string path = d / "fifo";
                         return ::mkfifo(path.c_str(), 0600) == 0 ? path : std::string();
                     },
                     false},
        IconFileCase{"zero_device", zero_device, false},
        IconFileCase{"link_to_zero_device",
                     [](const test::TempDir& d) {
                         const std::string device = zero_device(d);
                         const std::string link = d / "zero.png";
                         return !device.empty() && ::symlink(device.c_str(), link.c_str()) == 0
                                    ? link
                                    : std::string();
                     },
                     false}),
    [](const auto& info) { return std::string(info.param.what); });

// The decoding thread: one texture per file, shared by the entries that name
// it; a texture asked for before it is ready comes with a notice once it is.
TEST(IconTextureStore, DecodesEachFileOnceAndTellsWhenAskedOnesAreReady) {
    gtk_init();
    const test::TempDir dir;
    std::vector<AppEntry> entries(400);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].name = "Entry " + std::to_string(i);
        entries[i].exec = "true";
        if (i % 4 != 3) {
            // Pairs of entries share a file; every fourth entry names none.
            entries[i].icon_path = dir.write("icon" + std::to_string(i / 2) + ".png", png_bytes());
        }
    }
    entries[5].icon_path = dir / "missing.png";
    int notices = 0;
    IconTextures textures(entries, [&] { ++notices; });

    // Waiting gives the texture at once, decoded here if need be.
    const auto first = textures.texture_for(0, true);
    EXPECT_FALSE(first.pending);
    ASSERT_NE(first.texture, nullptr);
    EXPECT_EQ(textures.texture_for(1, true).texture, first.texture);
    EXPECT_EQ(textures.texture_for(3, true).texture, nullptr);
    EXPECT_EQ(textures.texture_for(5, true).texture, nullptr);

    // The last file is the thread's last: asked for without waiting, it is
    // still to come or ready, and each notice is a time to ask again.
    if (textures.texture_for(398, false).pending) {
        ASSERT_TRUE(
            test::wait_until([&] { return notices > 0 && !textures.texture_for(398, false).pending; }));
    }
    EXPECT_NE(textures.texture_for(398, false).texture, nullptr);
}

// Torn down while the thread still decodes: it stops, and no notice comes.
TEST(IconTextureStore, StopsWhenDestroyedMidway) {
    gtk_init();
    const test::TempDir dir;
    const std::string png = png_bytes(64, 64);
    std::vector<AppEntry> entries(500);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].icon_path = dir.write("icon" + std::to_string(i) + ".png", png);
    }
    bool noticed = false;
    {
        IconTextures textures(entries, [&] { noticed = true; });
        EXPECT_TRUE(textures.texture_for(499, false).pending);
    }
    test::drain_main_loop();
    EXPECT_FALSE(noticed);
}

}  // namespace
}  // namespace lumenpad
