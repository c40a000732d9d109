// "-fontmake" on the demo data tree: start-up builds the small font from
// the glyph pictures in fonts\smallfnt and writes it as fonts\tiny.fnt, a
// font the resource manager loads.
#include "system/rasterfont.h"
#include "system/res/resman.h"

#include "tests/support/game_run.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <chrono>

namespace fs = std::filesystem;

namespace {

TEST(FontMake, StartUpWritesTheSmallFontOfTheDemoPictures)
{
    ScratchFolder scratch{"fontmake", true};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    const fs::path tiny = folder / "zqk/resource/fonts/tiny.fnt";
    ASSERT_FALSE(fs::exists(tiny));

    const GameProcess game =
        LaunchGame({"-w,-fontmake"},
                   {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_LOCK_DIR=" + folder.string()}, folder);
    ASSERT_GT(game.pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(240);
    while (!fs::exists(tiny) && std::chrono::steady_clock::now() < deadline)
        ::usleep(20000);
    ::kill(game.pid, SIGTERM);
    const GameRun run = FinishGame(game);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    ASSERT_TRUE(fs::exists(tiny)) << run.output;

    ResInit();
    const auto* font =
        static_cast<const RasterFont*>(ResGet(ResRegister("zqk\\resource\\fonts\\tiny.fnt", ResType::FntFont)));
    ASSERT_NE(font, nullptr);
    ASSERT_NE(font->glyphs['A'], nullptr);
    EXPECT_EQ(font->glyphs['A']->width, 3);
    EXPECT_EQ(font->glyphs['A']->height, 5);
    EXPECT_NE(font->glyphs['A'], font->glyphs[' ']);
    EXPECT_EQ(font->glyphs['~'], font->glyphs[' ']); // no picture: the blank
    ResShutdown();
}

TEST(FontMake, WithoutThePictureOfTheSpaceTheRunFailsNamingTheFolder)
{
    ScratchFolder scratch{"fontmake_none"};
    const fs::path& folder = scratch.Path();
    CopyDemoData(folder);
    fs::remove(folder / "zqk/resource/fonts/smallfnt/c032.bbm");
    const GameRun run = RunGame({"-w,-fontmake"},
                                {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy", "KELVANDRIST_LOCK_DIR=" + folder.string()},
                                folder);
    EXPECT_EQ(run.hung, "") << run.output;
    EXPECT_NE(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("no font made: zqk\\resource\\fonts\\smallfnt"), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(folder / "zqk/resource/fonts/tiny.fnt"));
}

} // namespace
