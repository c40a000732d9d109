// ConsolePrint while the loading screen is up: progress dots for the front
// end's start-up, the on-screen log otherwise; both drawn on the screen
// canvas and presented through the window back end.
#include "system/canvas.h"
#include "system/calltrace.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/rasterfont.h"
#include "system/settings.h"
#include "game/startup.h"
#include "platform/display.h"
#include "platform/window.h"
#include "ui/messagelog.h"
#include "platform/files.h"
#include "system/res/pcx.h"
#include "system/res/resman.h"

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

int gPresented = 0;
std::vector<uint8_t> gFrame; // the last frame presented, 8 bits a pixel
void CountFrames(const void* pixels, int width, int height, int pitch, int depth, const platform::PaletteColour*)
{
    ++gPresented;
    if (depth != 8)
        return;
    gFrame.assign(static_cast<std::size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y)
        std::memcpy(gFrame.data() + static_cast<std::size_t>(y) * width,
                    static_cast<const uint8_t*>(pixels) + static_cast<std::size_t>(y) * pitch, width);
}

class LoadingScreen : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = gSettings;
        ASSERT_TRUE(platform::VideoAvailable());
        ASSERT_TRUE(platform::OpenWindow("Vorn", 640, 480));
        UseWindowDisplay();
        gScreenMode = DisplayMode{};
        ASSERT_EQ(DisplayOpen(gScreenMode), 1);
        PaletteEntry palette[256] = {};
        DisplayInitPalette(palette);
        platform::SetPresentHook(CountFrames);
        gPresented = 0;
        gLoadingScreenUp = 255;
        PassThePresentPeriod();
    }
    // The loading screen is shown at most every 30 ms: waiting longer makes
    // the next console text show it.
    static void PassThePresentPeriod() { std::this_thread::sleep_for(std::chrono::milliseconds(40)); }
    void TearDown() override
    {
        gLoadingScreenUp = 0;
        platform::SetPresentHook(nullptr);
        DisplayClose();
        platform::CloseWindow();
        platform::VideoShutdown();
        gSettings = saved;
    }
    Settings saved;
};

TEST_F(LoadingScreen, DotsRunAlongTheTopAndThe155thClearsTheRow)
{
    gSettings.noCommandLineMission = 255;
    const Canvas screen = ScreenCanvas();
    ConsolePrint("Loading x ... \n");
    EXPECT_EQ(gPresented, 1) << "the first dot is shown at once";
    for (int i = 1; i < 153; ++i)
        ConsolePrint("Loading x ... \n");
    EXPECT_LT(gPresented, 153) << "not every dot is shown: the display waits for no one";
    PassThePresentPeriod();
    const int before = gPresented;
    ConsolePrint("Loading x ... \n");
    EXPECT_EQ(gPresented, before + 1);
    // Every dot is drawn, and what is shown holds them all.
    for (const auto& pixels : {std::vector<uint8_t>(screen.pixels, screen.pixels + 640 * 480), gFrame}) {
        EXPECT_EQ(pixels[8 * 640 + 20], 255);
        EXPECT_EQ(pixels[8 * 640 + 21], 0);
        EXPECT_EQ(pixels[8 * 640 + 20 + 4 * 153], 255);
    }
    ConsolePrint("155\n"); // at x 636, then the row is cleared
    for (int x = 20; x < 640; ++x)
        ASSERT_EQ(screen.pixels[8 * 640 + x], 0) << x;
    PassThePresentPeriod();
    ConsolePrint("156\n");
    EXPECT_EQ(screen.pixels[8 * 640 + 20], 255);
    EXPECT_EQ(gFrame[8 * 640 + 20], 255);
    EXPECT_EQ(gFrame[8 * 640 + 24], 0);
}

TEST_F(LoadingScreen, OtherwiseTheTextGoesToTheLogInTheLogsOwnFont)
{
    const Canvas screen = ScreenCanvas();
    CanvasClear(screen, 9);
    RasterFont own{}, logFont{};
    gMessageLogFont = &own;
    gFontB = &logFont;
    EnableCallTrace(true);
    ClearCallTrace();
    ConsolePrint("Loading y ... \n");
    EnableCallTrace(false);
    EXPECT_STREQ(gMessageLogPendingText, "Loading y ... ");
    EXPECT_EQ(gMessageLogTypingPosition, gMessageLogTextLength) << "typed at once";
    EXPECT_EQ(gMessageLogFont, &own); // restored
    EXPECT_EQ(gPresented, 1);
    EXPECT_EQ(screen.pixels[8 * 640 + 20], 0); // the log's band is cleared
    EXPECT_EQ(screen.pixels[82 * 640 + 620], 0);
    EXPECT_EQ(screen.pixels[83 * 640 + 620], 9);
    EXPECT_EQ(screen.pixels[8 * 640 + 19], 9);
    gMessageLogFont = nullptr;
    gFontB = nullptr;

    gLoadingScreenUp = 0; // and once the loading screen is gone, nowhere
    ConsolePrint("later\n");
    EXPECT_EQ(gPresented, 1);
}

TEST_F(LoadingScreen, TheDemoLoadingScreenIsPresentedWithItsPaletteAndTheBuildDate)
{
    gLoadingScreenUp = 0; // start-up shows the picture before the flag goes on
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(KV_SOURCE_DIR) / "data");
    ResInit();
    gFontB = static_cast<RasterFont*>(ResGet(ResRegister("zqk\\resource\\fonts\\demo.fnt", ResType::FntFont)));
    ASSERT_NE(gFontB, nullptr);
    std::vector<uint8_t> file;
    ASSERT_TRUE(platform::ReadWholeFile("zqk\\resource\\art\\loadscrn.pcx", file));

    ShowLoadingScreen();
    gFontB = nullptr;
    ResShutdown();
    std::filesystem::current_path(previous);

    ASSERT_EQ(gPresented, 1);
    ASSERT_EQ(gFrame.size(), 640u * 480u);
    PcxInfo info{};
    ASSERT_TRUE(PcxReadInfo(file, &info));
    std::vector<uint8_t> picture(640 * 480);
    PcxDecodeBody(file, info, picture.data(), 640, 640, 480);
    GamePalette palette{};
    ASSERT_TRUE(PcxReadPalette(file, &palette));
    // The picture everywhere above the text line, the text in colour 247.
    for (int y = 0; y < 455; ++y)
        for (int x = 0; x < 640; x += 7)
            ASSERT_EQ(gFrame[y * 640 + x], picture[y * 640 + x]) << x << "," << y;
    int textPixels = 0;
    for (int y = 455; y < 480; ++y)
        for (int x = 20; x < 640; ++x)
            textPixels += gFrame[y * 640 + x] == 247;
    EXPECT_GT(textPixels, 100);
    EXPECT_EQ(DisplayLastPalette()[100].red, palette.entries[100].red);
    EXPECT_EQ(DisplayLastPalette()[100].blue, palette.entries[100].blue);
}

} // namespace
