// The real window under a virtual X server: the window back end shows the
// test canvas, and a screenshot of the X screen (taken by xwd) holds exactly
// the captured frame in the captured palette's colours. Skipped, with a
// message, where Xvfb or xwd is absent.
#include "system/canvas.h"
#include "system/display.h"
#include "system/settings.h"
#include "platform/display.h"
#include "platform/window.h"

#include "../support/leak_check.h"
#include "../support/scratch_folder.h"
#include "../support/virtual_x.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Captured {
    std::vector<uint8_t> frame;
    std::vector<platform::PaletteColour> palette;
} gCaptured;

void Capture(const void* pixels, int width, int height, int pitch, int depth, const platform::PaletteColour* palette)
{
    if (depth != 8)
        return;
    gCaptured.frame.resize(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(gCaptured.frame.data() + static_cast<std::size_t>(y) * width,
                    static_cast<const uint8_t*>(pixels) + static_cast<std::ptrdiff_t>(y) * pitch, width);
    gCaptured.palette.assign(palette, palette + 256);
}

class VirtualX : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!server.Available())
            GTEST_SKIP() << "Xvfb or xwd is absent: the real window is not checked (install xvfb and x11-apps)";
        ASSERT_TRUE(server.Start(800, 600)) << "Xvfb did not start";
        platform::VideoShutdown();
        previousDriver = std::getenv("SDL_VIDEODRIVER") ? std::getenv("SDL_VIDEODRIVER") : "";
        ::setenv("DISPLAY", server.Display().c_str(), 1);
        ::setenv("SDL_VIDEODRIVER", "x11", 1);
        saved = gSettings;
        started = true;
    }
    void TearDown() override
    {
        if (!started)
            return;
        platform::SetPresentHook(nullptr);
        DisplayClose();
        platform::VideoShutdown();
        if (previousDriver.empty())
            ::unsetenv("SDL_VIDEODRIVER");
        else
            ::setenv("SDL_VIDEODRIVER", previousDriver.c_str(), 1);
        ::unsetenv("DISPLAY");
        gSettings = saved;
    }

    VirtualXServer server;
    std::string previousDriver;
    bool started = false;
    Settings saved;
};

TEST_F(VirtualX, TheWindowShowsTheCapturedFrameInItsPalette)
{
    // The X libraries (and the desktop bus they start) keep allocations for
    // the whole process: not counted while the X side starts and runs.
    const LeakCheckPause notCounted;
    ASSERT_TRUE(platform::VideoAvailable());
    ASSERT_TRUE(platform::OpenWindow("Vorn", 640, 480));
    UseWindowDisplay();
    gScreenMode = DisplayMode{};
    ASSERT_EQ(DisplayOpen(gScreenMode), 1);
    PaletteEntry palette[256];
    for (int i = 0; i < 256; ++i)
        palette[i] = {uint8_t(i), uint8_t(i * 5), uint8_t(255 - i), 0};
    DisplayInitPalette(palette);
    platform::SetPresentHook(Capture);

    DisplayLock(gScreenMode);
    const Canvas screen = ScreenCanvas();
    CanvasClear(screen, 40);
    CanvasFillRect(screen, 200, 50, 60, 400, 300);
    CanvasLine(screen, 0, 479, 639, 0, 120);
    CanvasFillRect(screen, 3, 600, 0, 639, 20); // a system colour

    ScratchFolder folder("xvfb");
    const std::string dump = (folder / "screen.xwd").string();
    Screenshot shot;
    // The server draws what the client sent; tries for up to two minutes
    // cover a busy machine's delay.
    bool found = false;
    int left = 0, top = 0;
    for (int attempt = 0; attempt < 1200 && !found; ++attempt) {
        platform::WindowMessage m;
        while (platform::PeekWindowMessage(m)) {
        }
        DisplayPresent(gScreenMode);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ASSERT_TRUE(server.TakeScreenshot(dump, shot));
        // The root is black: the window's top-left pixel is the first that is not.
        for (std::size_t i = 0; i < shot.pixels.size() && !found; ++i) {
            if (shot.pixels[i]) {
                left = int(i % shot.width);
                top = int(i / shot.width);
                found = left + 640 <= shot.width && top + 480 <= shot.height;
            }
        }
    }
    ASSERT_TRUE(found) << "the window never showed on the virtual screen";
    ASSERT_EQ(gCaptured.frame.size(), 640u * 480u);
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const platform::PaletteColour& c = gCaptured.palette[gCaptured.frame[std::size_t(y) * 640 + x]];
            const uint32_t want = uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
            wrong += shot.pixels[std::size_t(top + y) * shot.width + left + x] != want;
        }
    EXPECT_EQ(wrong, 0);
}

} // namespace
