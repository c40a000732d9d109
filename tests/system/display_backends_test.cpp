// The three display back ends on SDL's dummy driver: each opens from its
// switch, shows a test canvas, and hands the frame and the palette it shows
// to the capture hook; palettes follow each back end's rules (system
// colours, gamma on the game's entries only, none on the framework device);
// a palette change alone shows the last frame again. Screenshots of the
// screen canvas load back equal.
#include "system/display.h"
#include "system/mainwindow.h"

#include "framework/fw.h"
#include "platform/display.h"
#include "platform/window.h"
#include "system/calltrace.h"
#include "system/canvas.h"
#include "system/res/pcx.h"
#include "system/settings.h"
#include "system/switches.h"
#include "ui/windows.h"

#include "../support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

namespace {

struct Captured {
    int frames = 0;
    int width = 0, height = 0, depth = 0;
    std::vector<uint8_t> pixels; // rows packed
    std::vector<platform::PaletteColour> palette;
} gCaptured;

void Capture(const void* pixels, int width, int height, int pitch, int depth, const platform::PaletteColour* palette)
{
    ++gCaptured.frames;
    gCaptured.width = width;
    gCaptured.height = height;
    gCaptured.depth = depth;
    const int rowBytes = width * depth / 8;
    gCaptured.pixels.resize(static_cast<std::size_t>(rowBytes) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(gCaptured.pixels.data() + static_cast<std::size_t>(y) * rowBytes,
                    static_cast<const uint8_t*>(pixels) + static_cast<std::ptrdiff_t>(y) * pitch, rowBytes);
    gCaptured.palette.assign(palette, palette ? palette + 256 : palette);
}

// A palette whose every entry is distinct: (i, 255 - i, i / 2).
std::vector<PaletteEntry> TestPalette(int shift = 0)
{
    std::vector<PaletteEntry> p(256);
    for (int i = 0; i < 256; ++i)
        p[i] = {uint8_t(i + shift), uint8_t(255 - i), uint8_t(i / 2), 7};
    return p;
}

// Draws the test canvas: a frame of each colour band and a diagonal.
void DrawTestCanvas(const Canvas& screen)
{
    CanvasClear(screen, 12);
    CanvasFillRect(screen, 3, 0, 0, 639, 9);         // a system colour
    CanvasFillRect(screen, 250, 0, 470, 639, 479);   // another
    CanvasFillRect(screen, 100, 100, 100, 300, 200); // a game colour
    CanvasLine(screen, 0, 0, 479, 479, 200);
}

class DisplayBackEnds : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = gSettings;
        savedDriver = gDisplayDriver;
        ASSERT_TRUE(platform::VideoAvailable());
        ASSERT_TRUE(platform::OpenWindow("Vorn", 640, 480));
        platform::SetPresentHook(Capture);
        gCaptured = {};
        gDisplayGamma = 2.0f;
        gScreenMode = DisplayMode{};
    }
    void TearDown() override
    {
        DisplayClose();
        platform::SetPresentHook(nullptr);
        if (HxFwActive())
            HxCoreEnd();
        platform::CloseScreen();
        platform::CloseWindow();
        platform::VideoShutdown();
        gDisplayGamma = 1.0f;
        gSettings = saved;
        gDisplayDriver = savedDriver;
    }

    // Opens the chosen back end, installs the palette, draws and presents
    // the test canvas.
    void OpenAndPresent(const char* sw, const std::vector<PaletteEntry>& palette)
    {
        ApplyCommandLine({sw});
        ASSERT_EQ(DisplayOpen(gScreenMode), 1) << sw;
        DisplayInitPalette(palette.data());
        DisplayLock(gScreenMode);
        Canvas screen = ScreenCanvas();
        ASSERT_NE(screen.pixels, nullptr);
        DrawTestCanvas(screen);
        expected.assign(screen.pixels, screen.pixels + 640 * 480);
        DisplayPresent(gScreenMode);
    }

    Settings saved;
    const DisplayDriver* savedDriver = nullptr;
    std::vector<uint8_t> expected;
};

TEST_F(DisplayBackEnds, EachSwitchOpensItsBackEndAndShowsTheCanvasWithItsPaletteRules)
{
    struct Case {
        const char* sw;
        const DisplayDriver* driver;
        bool systemColours; // 0-9 and 246-255 from the host
        bool gamma;         // 10-245 corrected
    };
    const Case cases[] = {
        {"-w", &kWindowDisplay, true, true},
        {"-f", &kFullScreenDisplay, false, true},
        {"-b", &kFrameworkDisplay, false, false},
    };
    const std::vector<PaletteEntry> palette = TestPalette();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sw);
        TearDown();
        SetUp();
        OpenAndPresent(c.sw, palette);
        EXPECT_EQ(gDisplayDriver, c.driver);
        ASSERT_EQ(gCaptured.frames, 1);
        EXPECT_EQ(gCaptured.width, 640);
        EXPECT_EQ(gCaptured.height, 480);
        EXPECT_EQ(gCaptured.depth, 8);
        EXPECT_EQ(gCaptured.pixels, expected);
        ASSERT_EQ(gCaptured.palette.size(), 256u);
        const platform::PaletteColour* system = platform::SystemPaletteColours();
        for (int i = 0; i < 256; ++i) {
            SCOPED_TRACE(i);
            const bool game = i >= 10 && i <= 245;
            const platform::PaletteColour& got = gCaptured.palette[i];
            if (!game && c.systemColours) {
                EXPECT_EQ(got.red, system[i].red);
                EXPECT_EQ(got.blue, system[i].blue);
            } else if (game && c.gamma) {
                EXPECT_EQ(got.red, GammaCorrect(palette[i].red, 2.0f));
                EXPECT_EQ(got.green, GammaCorrect(palette[i].green, 2.0f));
            } else {
                EXPECT_EQ(got.red, palette[i].red);
                EXPECT_EQ(got.green, palette[i].green);
                EXPECT_EQ(got.blue, palette[i].blue);
            }
        }
    }
}

TEST_F(DisplayBackEnds, APaletteChangeAloneShowsTheLastFrameAgain)
{
    for (const char* sw : {"-w", "-f", "-b"}) {
        SCOPED_TRACE(sw);
        TearDown();
        SetUp();
        OpenAndPresent(sw, TestPalette());
        gDisplayGamma = 1.0f;
        DisplaySetPalette(TestPalette(1).data());
        ASSERT_EQ(gCaptured.frames, 2);
        EXPECT_EQ(gCaptured.pixels, expected);
        EXPECT_EQ(gCaptured.palette[100].red, 101);
        // The window keeps the system's colours; the others take the game's.
        const bool window = std::string(sw) == "-w";
        EXPECT_EQ(gCaptured.palette[3].red, window ? platform::SystemPaletteColours()[3].red : 4);
    }
}

TEST_F(DisplayBackEnds, TheWindowShowsTheFrameOneToOne)
{
    OpenAndPresent("-w", TestPalette());
    std::vector<uint32_t> shown;
    int width = 0, height = 0;
    ASSERT_TRUE(platform::ReadScreenPixels(shown, width, height));
    ASSERT_EQ(width, 640);
    ASSERT_EQ(height, 480);
    for (std::size_t i = 0; i < shown.size(); i += 97) {
        const platform::PaletteColour& c = gCaptured.palette[expected[i]];
        ASSERT_EQ(shown[i], uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue) << i;
    }

    // The screen's row table addresses the frame buffer; off the screen nothing is written.
    BuildRowTable();
    const Canvas screen = ScreenCanvas();
    ScreenPlot(77, 5, 7);
    ScreenPlot(78, 640, 0);
    ScreenPlot(78, -1, 1);
    EXPECT_EQ(screen.pixels[7 * 640 + 5], 77);
    EXPECT_EQ(screen.pixels[640], expected[640]);
    EXPECT_EQ(screen.pixels[639], expected[639]);
}

TEST_F(DisplayBackEnds, FullScreenWithoutTheSystemBufferAndInSixteenBits)
{
    gSettings.systemBuffer = 0;
    OpenAndPresent("-f", TestPalette());
    EXPECT_EQ(gCaptured.pixels, expected);
    EXPECT_EQ(gSettings.fullScreen, 255);

    // Switching back to the game restores the surfaces and redraws every window.
    gWindows.fullRedrawRequest = 0;
    WindowMessage activate;
    activate.kind = platform::Message::ActivateApp;
    activate.active = true;
    MainWindowProc(activate);
    EXPECT_EQ(gWindows.fullRedrawRequest, 1);
    EXPECT_EQ(gCaptured.frames, 2); // shown again
    EXPECT_EQ(DisplayRestoreSurfaces(), 1);
    EnableCallTrace(false);
    DisplayClose();
    EXPECT_EQ(DisplayRestoreSurfaces(), 0);

    // With "slave" the desktop's mode is kept and the frame shown in it.
    gSettings.slave = 255;
    gCaptured = {};
    OpenAndPresent("-f", TestPalette());
    EXPECT_EQ(gCaptured.pixels, expected);
    DisplayClose();
}

// At 16 bits the canvas still draws palette indices, and the 3D view's 565
// colour plane shows through the key where the view marked its rectangle:
// the frame presented is one of 565 pixels, the palette applied to all but
// those. A palette change recomposes the last frame; with the view's windows
// gone the key is a colour like any other.
TEST_F(DisplayBackEnds, SixteenBitFramesComposeThePaletteArtWithTheViewsColourPlane)
{
    for (const char* sw : {"-w", "-f"}) {
        SCOPED_TRACE(sw);
        TearDown();
        SetUp();
        gDisplayGamma = 1.0f;
        gSettings.colourDepth = 16;
        OpenAndPresent(sw, TestPalette());
        ASSERT_NE(gScreenMode.colourPlane, nullptr);
        uint16_t* colour = *gScreenMode.colourPlane;
        const Canvas screen = ScreenCanvas();
        const std::vector<PaletteEntry> palette = TestPalette();
        ASSERT_EQ(gCaptured.depth, 16);
        const auto captured = [](int x, int y) {
            return reinterpret_cast<const uint16_t*>(gCaptured.pixels.data())[y * 640 + x];
        };
        // The whole palette applies on a 16-bit desktop, system entries too.
        for (int i : {0, 5, 100, 200, 250, 255}) {
            EXPECT_EQ(DisplayColour565(uint8_t(i)), PaletteEntryTo565(palette[i])) << i;
        }
        EXPECT_EQ(captured(300, 150), PaletteEntryTo565(palette[100]));
        EXPECT_EQ(captured(0, 5), PaletteEntryTo565(palette[3]));

        // A view at (200, 300)-(299, 349): its colour plane red, a HUD mark
        // of index 100 drawn over it; the key outside it stays a colour.
        std::fill(colour, colour + 640 * 480, uint16_t{0xF800});
        DisplayShowColourPlane(200, 300, 299, 349);
        EXPECT_EQ(screen.pixels[300 * 640 + 200], kColourPlaneKey);
        CanvasFillRect(screen, 100, 250, 320, 259, 329);
        CanvasFillRect(screen, kColourPlaneKey, 10, 400, 19, 409);
        DisplayPresent(gScreenMode);
        EXPECT_EQ(captured(200, 300), 0xF800);
        EXPECT_EQ(captured(299, 349), 0xF800);
        EXPECT_EQ(captured(255, 325), PaletteEntryTo565(palette[100]));
        EXPECT_EQ(captured(199, 300), PaletteEntryTo565(palette[12]));
        EXPECT_EQ(captured(15, 405), PaletteEntryTo565(palette[kColourPlaneKey]));
        ASSERT_NE(DisplayShownFrame565(), nullptr);
        EXPECT_EQ(DisplayShownFrame565()[325 * 640 + 255], captured(255, 325));

        // The rectangle holds for a frame the view does not draw; a palette
        // change alone shows the last frame in the new colours, the view's
        // pixels as they were.
        DisplayPresent(gScreenMode);
        EXPECT_EQ(captured(200, 300), 0xF800);
        const std::vector<PaletteEntry> shifted = TestPalette(40);
        const int frames = gCaptured.frames;
        DisplaySetPalette(shifted.data());
        EXPECT_EQ(gCaptured.frames, frames + 1);
        EXPECT_EQ(captured(255, 325), PaletteEntryTo565(shifted[100]));
        EXPECT_EQ(captured(200, 300), 0xF800);

        // The view's windows gone: the key shows its palette colour.
        DisplayHideColourPlane();
        DisplayPresent(gScreenMode);
        EXPECT_EQ(captured(200, 300), PaletteEntryTo565(shifted[kColourPlaneKey]));
        DisplayClose();
        EXPECT_EQ(DisplayShownFrame565(), nullptr);
    }
}

TEST_F(DisplayBackEnds, EightBitFramesHaveNoColourPlane)
{
    OpenAndPresent("-w", TestPalette());
    EXPECT_EQ(gScreenMode.colourPlane, nullptr);
    DisplayShowColourPlane(0, 0, 639, 479); // nothing at 8 bits
    EXPECT_EQ(ScreenCanvas().pixels[0], expected[0]);
    EXPECT_EQ(DisplayShownFrame565(), nullptr);
    EXPECT_EQ(DisplayColour565(100), 0);
}

TEST_F(DisplayBackEnds, TheFrameworkDeviceLockLeavesTheFrameBufferWherePresentPutIt)
{
    OpenAndPresent("-b", TestPalette());
    uint8_t* const after = *gScreenMode.frameBuffer;
    DisplayLock(gScreenMode);
    EXPECT_EQ(*gScreenMode.frameBuffer, after);
    DisplayClose(); // nothing: the device stays until the framework ends
    DisplayPresent(gScreenMode);
    EXPECT_EQ(gCaptured.frames, 2);
}

TEST_F(DisplayBackEnds, ScreenshotsAreNumberedAfterTheHighestAndLoadBackEqual)
{
    ScratchFolder data("screenshots", true);
    OpenAndPresent("-w", TestPalette());
    std::filesystem::create_directories("zqk/resource/art/screens");
    uint8_t headerPalette[768] = {};
    uint8_t one = 0;
    PcxImage* header = PcxFromPixels(nullptr, 0, &one, 1, 1, headerPalette);
    ASSERT_TRUE(PcxSave("zqk\\resource\\art\\screens\\header.pcx", header));
    PcxFree(header);
    data.Write("zqk/resource/art/screens/T00041.PCX", "old");

    ResetCanvasSaving();
    ASSERT_TRUE(SaveScreenshot(ScreenCanvas()));
    ASSERT_TRUE(SaveScreenshot(ScreenCanvas()));
    EXPECT_TRUE(std::filesystem::exists("zqk/resource/art/screens/t00042.pcx"));
    EXPECT_TRUE(std::filesystem::exists("zqk/resource/art/screens/t00043.pcx"));

    PcxImage* shot = PcxLoad("zqk\\resource\\art\\screens\\t00042.pcx");
    ASSERT_NE(shot, nullptr);
    ASSERT_EQ(shot->width, 640);
    ASSERT_EQ(shot->height, 480);
    EXPECT_EQ(std::vector<uint8_t>(shot->pixels, shot->pixels + 640 * 480), expected);
    const PaletteEntry* shown = DisplayLastPalette();
    EXPECT_EQ(shot->palette[3 * 100], shown[100].red);
    EXPECT_EQ(shot->palette[3 * 100 + 1], shown[100].green);
    PcxFree(shot);

    // A screenshot written to a path of its own takes no number and holds
    // the same bytes.
    ASSERT_TRUE(SaveScreenshotAs(ScreenCanvas(), "named.pcx"));
    ASSERT_TRUE(SaveScreenshot(ScreenCanvas()));
    EXPECT_TRUE(std::filesystem::exists("zqk/resource/art/screens/t00044.pcx"));
    EXPECT_FALSE(std::filesystem::exists("zqk/resource/art/screens/t00045.pcx"));
    const std::string named = data.Read("named.pcx");
    EXPECT_FALSE(named.empty());
    EXPECT_EQ(named, data.Read("zqk/resource/art/screens/t00044.pcx"));

    // A canvas saved by name takes the palette of the game's standard picture.
    uint8_t standard[768];
    for (int i = 0; i < 768; ++i)
        standard[i] = uint8_t(i * 3);
    PcxImage* klv = PcxFromPixels(nullptr, 0, &one, 1, 1, standard);
    ASSERT_TRUE(PcxSave("zqk\\resource\\art\\klvstd.pcx", klv));
    PcxFree(klv);
    std::vector<uint8_t> panelPixels(30 * 20);
    for (std::size_t i = 0; i < panelPixels.size(); ++i)
        panelPixels[i] = uint8_t(i % 7 == 0 ? 200 : i / 30);
    const Canvas panel = {panelPixels.data(), 30, 20};
    ASSERT_TRUE(CanvasSavePcx(panel, "panel.pcx"));
    PcxImage* saved = PcxLoad("panel.pcx");
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->width, 30);
    EXPECT_EQ(std::vector<uint8_t>(saved->pixels, saved->pixels + 600), panelPixels);
    EXPECT_EQ(std::vector<uint8_t>(saved->palette, saved->palette + 768), std::vector<uint8_t>(standard, standard + 768));
    PcxFree(saved);

    // Without its header picture a save writes nothing.
    ResetCanvasSaving();
    std::filesystem::remove("zqk/resource/art/screens/header.pcx");
    std::filesystem::remove("zqk/resource/art/klvstd.pcx");
    EXPECT_FALSE(SaveScreenshot(ScreenCanvas()));
    EXPECT_FALSE(CanvasSavePcx(ScreenCanvas(), "x.pcx"));
    EXPECT_FALSE(std::filesystem::exists("x.pcx"));
    ResetCanvasSaving();
}

} // namespace
