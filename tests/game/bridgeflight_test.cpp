// The bridge in flight on the demo data tree: a command-line mission starts
// at the NAV station; leaving it stands the player up into the NAV ahead
// view, whose backdrop is then on the screen; the options screen stops the
// world while frames go on, and Esc returns to the station.
#include "game/frameloop.h"
#include "game/startup.h"
#include "platform/window.h"
#include "screens/bridge.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/settings.h"
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"
#include "ui/drawtypes.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace {

constexpr uint16_t kKeyEscape = 0x011B;

class BridgeFlight : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = gSettings;
        ASSERT_TRUE(platform::VideoAvailable());
        ASSERT_TRUE(platform::OpenWindow("Vorn", 640, 480));
        platform::WindowMessage message;
        while (platform::PeekWindowMessage(message)) {
        }
        UseWindowDisplay();
        CopyDemoData(scratch.Path());
        ::setenv(kUnpacedVariable, "1", 1);
        ::setenv(kFrameSecondsVariable, "0.01", 1);
        UseFixedFrameTimeFromEnvironment();
        gSettings.missionName = "mission01.scr";
        gSettings.noCommandLineMission = 0;
        gLoopFlags = LoopFlags{};
        gLoopFlags.applicationActive = 1;
    }
    void TearDown() override
    {
        ShutDown();
        platform::VideoShutdown();
        ::unsetenv(kUnpacedVariable);
        ::unsetenv(kFrameSecondsVariable);
        gSettings = saved;
        gLoopFlags = LoopFlags{};
    }

    // Frame-loop passes until the full-screen film is over, then `frames`
    // more; false when the loop ended or a film never did.
    bool Passes(int frames)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240); // a hang
        while (gLoopFlags.filmMode) {
            if (!RunFrameLoopPass(exitCode) || std::chrono::steady_clock::now() > deadline)
                return false;
        }
        for (int i = 0; i < frames; ++i)
            if (!RunFrameLoopPass(exitCode))
                return false;
        return true;
    }
    static uint8_t ScreenAt(int x, int y)
    {
        const Canvas screen = ScreenCanvas();
        return screen.pixels ? screen.pixels[y * screen.rowLength + x] : 0;
    }

    Settings saved;
    ScratchFolder scratch{"bridge_flight", true};
    int exitCode = 0;
};

TEST_F(BridgeFlight, LeavingNavShowsItsViewAndTheOptionsStopTheWorldButNotTheFrames)
{
    ASSERT_NE(StartGame(), 0);
    ASSERT_STREQ(gScreens.current->name, "NAV");
    // A stand-in options layout: a window filling the top of the screen
    // with colour 77. (Defining it makes it current; back to NAV then.)
    guiBeginScreenDefinition("OptionScreen");
    ASSERT_NE(guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, guiTickWindow, guiDrawRectWindow, 0, 0, 640, 275, 77),
              nullptr);
    guiGotoScreen("NAV");
    ASSERT_TRUE(Passes(2));

    gMouse.x = 320; // away from the edges that turn the view
    gMouse.y = 240;
    guiLeaveNavStation(nullptr); // "NAVQuit"
    ASSERT_TRUE(Passes(3));
    EXPECT_STREQ(gScreens.current->name, "NAVStand");
    EXPECT_EQ(CurrentStation, 0);
    // The NAV view: its band along the top in one colour, and its console
    // standing out from the wall (the film's colours are matched to the
    // palette shown, so they are compared, not named).
    EXPECT_NE(ScreenAt(320, 5), 0);
    EXPECT_EQ(ScreenAt(5, 5), ScreenAt(630, 5));
    EXPECT_NE(ScreenAt(320, 300), ScreenAt(5, 300)) << "the console";

    ASSERT_NE(gPlayerItem, nullptr);
    gPlayerItem->sim->velocity = {0, 0, 500}; // moving, so a running world would show
    guiGoToOptions();
    EXPECT_STREQ(gScreens.current->name, "OptionScreen");
    const WorldPosition before = gPlayerItem->sim->position;
    const uint16_t frames = gFrameClock.frameCounter;
    ASSERT_TRUE(Passes(100));
    EXPECT_GE(static_cast<uint16_t>(gFrameClock.frameCounter - frames), 100) << "frames go on";
    EXPECT_EQ(gPlayerItem->sim->position.x, before.x) << "the world stands";
    EXPECT_EQ(gPlayerItem->sim->position.y, before.y);
    EXPECT_EQ(gPlayerItem->sim->position.z, before.z);
    EXPECT_EQ(ScreenAt(320, 100), 77) << "the options screen is drawn";

    KeyQueuePush(kKeyEscape); // the options screen's own key handler
    ASSERT_TRUE(Passes(1));
    EXPECT_STREQ(gScreens.current->name, "NAV");
    EXPECT_EQ(CurrentStation, 2);
}

} // namespace
