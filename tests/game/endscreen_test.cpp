// The demo's end picture after a mission: it waits for a key even though
// the mission's end also ends the program.
#include "game/frameloop.h"
#include "game/startup.h"
#include "platform/window.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/settings.h"

#include <gtest/gtest.h>

namespace {

constexpr int kHostScancodeA = 4; // the host keyboard's code of A

class DemoEndScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = gSettings;
        ASSERT_TRUE(platform::VideoAvailable());
        ASSERT_TRUE(platform::OpenWindow("Vorn", 640, 480));
        UseWindowDisplay();
        gScreenMode = DisplayMode{};
        ASSERT_EQ(DisplayOpen(gScreenMode), 1);
        ResetInput();
        gLoopFlags = LoopFlags{};
    }
    void TearDown() override
    {
        DisplayClose();
        platform::CloseWindow();
        platform::VideoShutdown();
        gLoopFlags = LoopFlags{};
        gSettings = saved_;
    }
    Settings saved_;
};

TEST_F(DemoEndScreen, WaitsForAKeyAndThenEndsTheProgram)
{
    gSettings.demo = 1;
    gSettings.missionName = "zqk\\resource\\scripts\\missions\\demo00.scr";
    gSettings.noCommandLineMission = 0;
    platform::InjectKey(kHostScancodeA, true);
    platform::InjectKey(kHostScancodeA, false);

    ShowEndScreen();

    EXPECT_EQ(KeyQueueCount(), 1) << "the wait ended before the key was taken in";
    EXPECT_NE(gLoopFlags.quitRequest, 0) << "a command-line mission ends the program at its end";
}

} // namespace
