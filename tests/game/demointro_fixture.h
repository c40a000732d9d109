// The fixture of the demo-introduction tests: the demo data tree in a
// scratch folder, a disc holding the introduction's film, and the game in
// demo mode with its introduction. Start-up runs once a process, so each
// test has a program of its own.
#pragma once

#include "game/frameloop.h"
#include "game/startup.h"
#include "platform/film.h"
#include "platform/window.h"
#include "script/interpreter.h"
#include "script/scriptbase.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/settings.h"
#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

inline constexpr uint16_t kKeyA = 0x1E61;

class DemoIntro : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = gSettings;
        ASSERT_TRUE(platform::VideoAvailable());
        ASSERT_TRUE(platform::OpenWindow("Vorn", 640, 480));
        // A quit that the last test's window left behind would end this one.
        platform::WindowMessage message;
        while (platform::PeekWindowMessage(message)) {
        }
        UseWindowDisplay();
        CopyDemoData(scratch.Path());
        const std::filesystem::path disc = scratch / "disc";
        std::filesystem::create_directories(disc);
        const std::vector<std::vector<uint8_t>> frames(50, std::vector<uint8_t>(32 * 16 * 3, 90));
        ASSERT_TRUE(platform::WriteAviFile((disc / "intro.avi").c_str(), 32, 16, 10, frames));
        drives = "E=" + disc.string() + ":cdrom";
        ::setenv("KELVANDRIST_DRIVES", drives.c_str(), 1);
        gSettings.intro = 255;
        gSettings.demo = 255;
        gLoopFlags = LoopFlags{};
        gLoopFlags.applicationActive = 1;
    }
    void TearDown() override
    {
        ShutDown();
        platform::VideoShutdown();
        ::unsetenv("KELVANDRIST_DRIVES");
        gSettings = saved;
        gLoopFlags = LoopFlags{};
    }

    // The introduction plays, then a key ends it.
    void EndIntroByKey()
    {
        ASSERT_EQ(StartGame(), -1);
        ASSERT_EQ(gLoopFlags.mciFilmPlaying, 255);
        EXPECT_EQ(gMissionScriptPosition, kNoScriptPosition);
        KeyQueuePush(kKeyA);
        ASSERT_TRUE(RunFrameLoopPass(exitCode));
        EXPECT_EQ(gSettings.intro, 0);
    }

    Settings saved;
    ScratchFolder scratch{"demo_intro", true};
    std::string drives;
    int exitCode = 0;
};
