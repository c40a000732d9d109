// Frames reach the screen: 8-bit frames through their palette and 16-bit
// frames, seen through the present hook, on SDL's dummy driver.
#include "platform/display.h"
#include "platform/window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Seen {
    int width = 0, height = 0, pitch = 0, depth = 0;
    std::vector<uint8_t> bytes;
    uint8_t paletteRed7 = 0;
} gSeen;

void Capture(const void* pixels, int width, int height, int pitch, int depth, const platform::PaletteColour* palette)
{
    gSeen = {width, height, pitch, depth, {}, palette ? palette[7].red : uint8_t(0)};
    const auto* p = static_cast<const uint8_t*>(pixels);
    gSeen.bytes.assign(p, p + static_cast<std::size_t>(pitch) * height);
}

TEST(Screen, PresentsIndexedAnd565FramesThroughTheHook)
{
    ASSERT_TRUE(platform::VideoAvailable());
    ASSERT_TRUE(platform::OpenWindow("Vorn", 640, 480));
    std::vector<uint8_t> frame(640 * 480, 0);
    platform::PaletteColour palette[256] = {};
    palette[7] = {200, 100, 50, 0};
    EXPECT_FALSE(platform::PresentIndexed(frame.data(), 640, palette)); // no screen yet

    ASSERT_TRUE(platform::OpenScreen(640, 480, platform::ScreenKind::Window));
    platform::SetPresentHook(Capture);
    frame[641] = 7;
    EXPECT_TRUE(platform::PresentIndexed(frame.data(), 640, palette));
    EXPECT_EQ(gSeen.width, 640);
    EXPECT_EQ(gSeen.height, 480);
    EXPECT_EQ(gSeen.depth, 8);
    EXPECT_EQ(gSeen.paletteRed7, 200);
    EXPECT_EQ(gSeen.bytes[641], 7);

    std::vector<uint16_t> wide(640 * 480, 0xF800);
    EXPECT_TRUE(platform::Present565(wide.data(), 640 * 2));
    EXPECT_EQ(gSeen.depth, 16);
    EXPECT_EQ(gSeen.bytes.size(), 640u * 2 * 480);

    platform::SetPresentHook(nullptr);
    platform::CloseScreen();
    EXPECT_FALSE(platform::ScreenIsOpen());
    platform::VideoShutdown();
}

} // namespace
