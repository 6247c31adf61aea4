// Inputs gathered again on a thread: handed to the main context that asked,
// with what changed since and every key; never once the handle is dropped.
#include "lumenpad/rescan.hpp"

#include "lumenpad-test/temp_home.hpp"
#include "own_context.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <thread>

namespace lumenpad {
namespace {

class RescanTest : public test::TempHomeTest {
protected:
    test::OwnContext context;
};

bool holds(const Inputs& inputs, const std::string& name) {
    return std::any_of(inputs.entries.begin(), inputs.entries.end(),
                       [&](const AppEntry& entry) { return entry.name == name; });
}

TEST_F(RescanTest, DeliversTheInputsAsTheyAreNowOnTheCallersContext) {
    home.write(".local/share/applications/old.desktop",
               "[Desktop Entry]\nType=Application\nName=Old\nExec=old\n");
    std::optional<Inputs> delivered;
    std::thread::id delivered_on;
    const auto rescan = [&] {
        delivered.reset();
        const auto handle = rescan_inputs([&](Inputs inputs) {
            delivered = std::move(inputs);
            delivered_on = std::this_thread::get_id();
        });
        ASSERT_TRUE(context.run_until([&] { return delivered.has_value(); }));
    };
    rescan();
    EXPECT_TRUE(holds(*delivered, "Old"));
    EXPECT_FALSE(holds(*delivered, "New"));

    home.write(".config/lumenpad/config.toml", "[[context]]\nname = \"code\"\npriority = [\"Editor\"]\n");
    home.write(".local/share/applications/new.desktop",
               "[Desktop Entry]\nType=Application\nName=New\nExec=new\nKeywords=fresh;\n");
    rescan();
    EXPECT_EQ(delivered_on, std::this_thread::get_id());
    EXPECT_TRUE(holds(*delivered, "Old"));
    ASSERT_TRUE(holds(*delivered, "New"));
    ASSERT_EQ(delivered->config.contexts.size(), 1u);
    EXPECT_EQ(delivered->config.contexts[0].name, "code");
    // The keys, search words included, are all there already.
    ASSERT_TRUE(delivered->keys_to_come.pending());
    const auto keys = delivered->keys_to_come.take();
    ASSERT_EQ(keys.size(), delivered->entries.size());
    const auto new_row = std::find_if(delivered->entries.begin(), delivered->entries.end(),
                                      [](const AppEntry& e) { return e.name == "New"; });
    const auto& new_keys = keys[static_cast<std::size_t>(new_row - delivered->entries.begin())];
    EXPECT_NE(std::find(new_keys.words.begin(), new_keys.words.end(), "fresh"), new_keys.words.end());
}

TEST_F(RescanTest, DroppedHandleNeverDelivers) {
    home.write(".local/share/applications/app.desktop",
               "[Desktop Entry]\nType=Application\nName=App\nExec=a\n");
    int delivered = 0;
    rescan_inputs([&](Inputs) { ++delivered; }).reset();
    EXPECT_TRUE(context.run_until_idle());
    EXPECT_EQ(delivered, 0);
}

}  // namespace
}  // namespace lumenpad
