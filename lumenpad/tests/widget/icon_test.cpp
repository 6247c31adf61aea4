// Icon files named by the manifest: a readable image is shown; anything else
// (special files included, which must neither block nor flood the reader)
// falls back to the icon name.
#include "lumenpad/rows.hpp"

#include "lumenpad-shared/gobject_ptr.hpp"
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

TEST_P(IconFiles, ShowTheImageOrFallBackToTheName) {
    const test::TempDir dir;
    const std::string path = GetParam().make(dir);
    if (path.empty()) {
        GTEST_SKIP() << "cannot create a device node here";
    }
    // A blocked or endless read would stall the run: the alarm ends it.
    ::alarm(20);
    GtkWidget* image = g_object_ref_sink(make_icon("zq-name", path));
    ::alarm(0);
    if (GetParam().shows_file) {
        EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(image)), GTK_IMAGE_PAINTABLE);
    } else {
        ASSERT_EQ(gtk_image_get_storage_type(GTK_IMAGE(image)), GTK_IMAGE_ICON_NAME);
        EXPECT_STREQ(gtk_image_get_icon_name(GTK_IMAGE(image)), "zq-name");
    }
    EXPECT_EQ(gtk_image_get_pixel_size(GTK_IMAGE(image)), 32);
    g_object_unref(image);
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

}  // namespace
}  // namespace lumenpad
