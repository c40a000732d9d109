// The film player headless: full-screen films of our Smacker fixtures shown
// through both tables (frame dumps from the capture hook, palette change at
// frame k, a doubled 320 x 200 film, centring), clips (centring, colour-0
// transparency, the hold, the last frame, closing), keys that end a film,
// the blocking player, damaged films, looping clips and the film path.
#include "system/film.h"

#include "platform/display.h"
#include "platform/film.h"
#include "platform/window.h"
#include "screens/bridge.h"
#include "system/datalocation.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "game/frameloop.h"
#include "system/input.h"
#include "system/settings.h"
#include "tests/support/scratch_folder.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "tests/support/sound_fixture.h"
#include "tools/film_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

struct Dump {
    std::vector<uint8_t> pixels; // 640 x 480
    std::vector<platform::PaletteColour> palette;
};
std::vector<Dump> gDumps;

void Capture(const void* pixels, int width, int height, int pitch, int depth, const platform::PaletteColour* palette)
{
    if (depth != 8)
        return;
    Dump d;
    d.pixels.resize(static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y)
        std::memcpy(d.pixels.data() + static_cast<size_t>(y * width),
                    static_cast<const uint8_t*>(pixels) + static_cast<ptrdiff_t>(y) * pitch,
                    static_cast<size_t>(width));
    d.palette.assign(palette, palette + 256);
    gDumps.push_back(std::move(d));
}

double gNow = 0;

// The game palette the tests start from: entry i = (i, i, i).
GamePalette GreyPalette()
{
    GamePalette p{};
    for (int i = 0; i < 256; ++i)
        p.entries[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 0};
    return p;
}

class FilmPlayer_ : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedSettings = gSettings;
        savedFolder = gVideoFolder;
        savedPlayer = gFilmPlayer;
        ASSERT_TRUE(platform::VideoAvailable());
        ASSERT_TRUE(platform::OpenWindow("Vorn", 640, 480));
        gSettings.sound = 0;
        UseWindowDisplay();
        gScreenMode = DisplayMode{};
        ASSERT_EQ(DisplayOpen(gScreenMode), 1);
        DisplayInitPalette(grey.entries);
        DisplayLock(gScreenMode);
        platform::SetPresentHook(Capture);
        platform::SetFilmClock([] { return gNow; });
        gNow = 0;
        gDumps.clear();
        gVideoFolder = scratch.Path().string();
        ResetInput();
        gLoopFlags = LoopFlags{};
    }
    void TearDown() override
    {
        StopFilm();
        platform::SetFilmClock(nullptr);
        platform::SetPresentHook(nullptr);
        DisplayClose();
        platform::CloseScreen();
        platform::CloseWindow();
        platform::VideoShutdown();
        gSettings = savedSettings;
        gVideoFolder = savedFolder;
        gFilmPlayer = savedPlayer;
        gLoopFlags = LoopFlags{};
        ResetInput();
    }

    void WriteFilm(const char* name, const smk::FixtureShape& shape)
    {
        const std::vector<uint8_t> bytes = smk::Write(smk::MakeFixtureFilm(shape));
        std::ofstream(scratch / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Steps a full-screen film to its end, a frame's time apart; returns
    // the steps taken.
    int PlayToTheEnd(double frameSeconds = 0.1)
    {
        int steps = 0;
        while (StepFilm()) {
            gNow += frameSeconds;
            if (++steps > 1000)
                break;
        }
        return steps;
    }

    ScratchFolder scratch{"films"};
    GamePalette grey = GreyPalette();
    Settings savedSettings;
    std::string savedFolder;
    FilmPlayer savedPlayer;
};

// Checks that a dump shows fixture frame `frame` at (x0, y0), scaled by `scale`.
void ExpectShows(const Dump& d, const smk::FixtureShape& shape, int frame, int x0, int y0, int scale = 1)
{
    int wrong = 0;
    for (int y = 0; y < shape.height * scale && y0 + y < 480; ++y)
        for (int x = 0; x < shape.width * scale && x0 + x < 640; ++x)
            if (d.pixels[static_cast<size_t>((y0 + y) * 640 + x0 + x)] !=
                smk::FixturePixel(frame, x / scale, y / scale, shape.width, shape.height, shape.holes))
                ++wrong;
    EXPECT_EQ(wrong, 0) << "frame " << frame;
}

TEST(FilmPath, ShortNamesGoBehindTheFolderAndLongOnesKeepTheirFileName)
{
    const std::string saved = gVideoFolder;
    gVideoFolder = "zqk\\resource\\video";
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"navarmin.smk", "zqk\\resource\\video\\navarmin.smk"}, // 12 characters
        {"b01.smk", "zqk\\resource\\video\\b01.smk"},
        {"zqk\\resource\\video\\navsit.smk", "zqk\\resource\\video\\navsit.smk"},
        {"D:\\films\\x.smk", "zqk\\resource\\video\\x.smk"},
        {"averylongname.smk", "zqk\\resource\\video\\averylongname.smk"}, // no '\': the folder's form
    };
    for (const auto& c : cases)
        EXPECT_STREQ(MakeFilmPath(c.name), c.path) << c.name;
    gVideoFolder = saved;
}

TEST_F(FilmPlayer_, AFullScreenFilmShowsEveryFrameWithItsPaletteAndPutsTheGamePaletteBack)
{
    const smk::FixtureShape shape{640, 480, 5, 2};
    WriteFilm("wide.smk", shape);
    EXPECT_EQ(PlayFilm(nullptr), 0);
    EXPECT_EQ(PlayFilm("nosuch.smk"), 0);
    ASSERT_EQ(PlayFilm("wide.smk"), 1);
    gLoopFlags.filmMode = 255;
    // The first step clears the screen; each step shows one frame (a new
    // palette shows the screen once more); the last clears the screen
    // again and puts the game palette back.
    for (int n = 0; n < 5; ++n) {
        ASSERT_EQ(StepFilm(), n < 4 ? 1 : 0) << n;
        if (n == 0) {
            EXPECT_EQ(std::count(gDumps[0].pixels.begin(), gDumps[0].pixels.end(), 0), 640 * 480);
        }
        const Dump& d = n < 4 ? gDumps.back() : gDumps[gDumps.size() - 3];
        ExpectShows(d, shape, n, 0, 0);
        const smk::Palette film = smk::FixturePalette(n < 2 ? 0 : 1);
        // The window back end shows the system's own colours in 0-9 and 246-255.
        for (int i : {10, 100, 245})
            EXPECT_EQ(d.palette[static_cast<size_t>(i)].red, smk::RoundTrip(film[static_cast<size_t>(3 * i)]))
                << n << " " << i;
        gNow += 0.1;
    }
    EXPECT_EQ(gDumps.size(), 1u + 1u + 5u + 1u + 2u);
    EXPECT_EQ(gLoopFlags.filmMode, 0);
    EXPECT_FALSE(FullScreenFilmOpen());
    EXPECT_EQ(std::memcmp(DisplayLastPalette(), grey.entries, sizeof grey.entries), 0);
    EXPECT_EQ(std::count(gDumps.back().pixels.begin(), gDumps.back().pixels.end(), 0), 640 * 480);
}

TEST_F(FilmPlayer_, TheFilmPaletteKeepsTheSystemEntriesOfTheGamePalette)
{
    WriteFilm("pal.smk", {64, 32, 2});
    ASSERT_EQ(PlayFilm("pal.smk"), 1);
    TakeFilmPalette();
    const PaletteEntry* p = DisplayLastPalette();
    const smk::Palette film = smk::FixturePalette(0);
    for (int i = 0; i < 256; ++i) {
        const uint8_t want = i < 10 || i > 245 ? uint8_t(i) : smk::RoundTrip(film[static_cast<size_t>(3 * i)]);
        ASSERT_EQ(p[i].red, want) << i;
    }
}

TEST_F(FilmPlayer_, A320WideFilmFillsTwiceItsSizeOnBothTables)
{
    const smk::FixtureShape shape{320, 200, 2};
    WriteFilm("small.smk", shape);
    for (FilmPlayer player : {FilmPlayer::Canvas, FilmPlayer::Surface}) {
        gFilmPlayer = player;
        gDumps.clear();
        DisplayLock(gScreenMode);
        CanvasClear(ScreenCanvas(), 99);
        ASSERT_EQ(PlayFilm("small.smk"), 1);
        gLoopFlags.filmMode = 255;
        ASSERT_EQ(StepFilm(), 1);
        const Dump& d = gDumps.back();
        ExpectShows(d, shape, 0, 0, 0, 2);
        // Below the doubled picture the screen is as it was (table A) or
        // cleared before the first frame (table B).
        EXPECT_EQ(d.pixels[static_cast<size_t>(450 * 640 + 5)], player == FilmPlayer::Canvas ? 99 : 0);
        PlayToTheEnd();
    }
}

TEST_F(FilmPlayer_, AfterADoubledFilmTheRootWindowsPictureIsBack)
{
    WriteFilm("small.smk", {320, 200, 2});
    // The screen's root window: a 16 x 8 picture of colour 77 at 100, 150.
    std::vector<uint8_t> picture(16 * 8, 77);
    Bitmap bitmap{picture.data(), 16, 8, 0, 0};
    guiResetWindowPool();
    WindowHandle* root = guiCreateWindow(kAnchorTopLeft, nullptr, &bitmap, nullptr, nullptr, 100, 150, 16, 8, 0);
    ASSERT_EQ(gScreens.current->mainWindow, root);
    auto rootShown = [](const Dump& d) {
        int shown = 0;
        for (int y = 150; y < 158; ++y)
            for (int x = 100; x < 116; ++x)
                shown += d.pixels[static_cast<size_t>(y * 640 + x)] == 77;
        return shown;
    };
    struct Case {
        FilmPlayer player;
        uint8_t noRedraw;
        uint32_t rootFlags;
        bool pictureBack, gamePaletteBack;
    };
    const Case cases[] = {
        {FilmPlayer::Canvas, 0, 0, true, true},
        {FilmPlayer::Surface, 0, 0, true, true},
        {FilmPlayer::Canvas, 1, 0, false, true},
        {FilmPlayer::Canvas, 0, kWindowKeepsPalette, true, false},
    };
    for (const Case& c : cases) {
        gFilmPlayer = c.player;
        gNoRedraw = c.noRedraw;
        root->flags = kWindowInUse | c.rootFlags;
        gDumps.clear();
        DisplaySetPalette(grey.entries);
        DisplayLock(gScreenMode);
        ASSERT_EQ(PlayFilm("small.smk"), 1);
        gLoopFlags.filmMode = 255;
        PlayToTheEnd();
        ASSERT_FALSE(gDumps.empty());
        if (c.pictureBack) {
            EXPECT_EQ(rootShown(gDumps.back()), 16 * 8);
        } else {
            EXPECT_LT(rootShown(gDumps.back()), 16 * 8);
        }
        EXPECT_EQ(std::memcmp(DisplayLastPalette(), grey.entries, sizeof grey.entries) == 0, c.gamePaletteBack)
            << c.rootFlags;
    }
    gNoRedraw = 0;
    guiResetWindowPool();
}

TEST_F(FilmPlayer_, SmallerFilmsAreCentredAndLargerOnesCutOnBothTables)
{
    const smk::FixtureShape centred{368, 168, 2};
    const smk::FixtureShape large{704, 488, 1};
    WriteFilm("centre.smk", centred);
    WriteFilm("large.smk", large);
    for (FilmPlayer player : {FilmPlayer::Canvas, FilmPlayer::Surface}) {
        gFilmPlayer = player;
        ASSERT_EQ(PlayFilm("centre.smk"), 1);
        gLoopFlags.filmMode = 255;
        ASSERT_EQ(StepFilm(), 1);
        ExpectShows(gDumps.back(), centred, 0, 136, 156);
        EXPECT_EQ(gDumps.back().pixels[100 * 640 + 100], 0);
        PlayToTheEnd();

        ASSERT_EQ(PlayFilm("large.smk"), 1);
        gLoopFlags.filmMode = 255;
        EXPECT_EQ(StepFilm(), 0);                  // its only frame
        const Dump& d = gDumps[gDumps.size() - 3]; // before the clearing and the palette
        for (int y : {0, 479})
            for (int x : {0, 639})
                EXPECT_EQ(d.pixels[static_cast<size_t>(y * 640 + x)], smk::FixturePixel(0, x + 32, y + 4, 704, 488, false));
    }
}

TEST_F(FilmPlayer_, AWaitingKeyWithQHeldEndsTheFilmAndAFrameWaitsForItsTime)
{
    WriteFilm("keys.smk", {64, 32, 6});
    ASSERT_EQ(PlayFilm("keys.smk"), 1);
    gLoopFlags.filmMode = 255;
    ASSERT_EQ(StepFilm(), 1);
    const size_t shown = gDumps.size();
    EXPECT_EQ(StepFilm(), 1); // not due yet: nothing shown
    EXPECT_EQ(gDumps.size(), shown);

    GetKeyStateBlock()[16] = 255; // Q held, but no key waits
    gNow += 0.1;
    EXPECT_EQ(StepFilm(), 1);
    KeyQueuePush(0x1071);
    EXPECT_EQ(StepFilm(), 0);
    EXPECT_FALSE(FullScreenFilmOpen());
    EXPECT_EQ(gLoopFlags.filmMode, 0);
}

TEST_F(FilmPlayer_, TheFrameLoopStepsTheFilmAndTheGameClockStands)
{
    WriteFilm("loop.smk", {64, 32, 3});
    ASSERT_EQ(PlayFilm("loop.smk"), 1);
    gLoopFlags.filmMode = 255;
    gLoopFlags.applicationActive = 1;
    const uint32_t clock = gFrameClock.gameClock;
    int exitCode = 0;
    for (int i = 0; i < 100 && FullScreenFilmOpen(); ++i) {
        RunFrameLoopPass(exitCode);
        gNow += 0.05;
    }
    EXPECT_FALSE(FullScreenFilmOpen());
    EXPECT_EQ(gFrameClock.gameClock, clock);
    EXPECT_EQ(gDumps.size(), 2u + 3u + 2u); // clear, palette, frames, clear, palette
}

TEST_F(FilmPlayer_, TheGamesSoundsPauseWhileAFullScreenFilmPlays)
{
    CapturedSound sound;
    sound.LoadSlots({3});
    SoundPlay(3, 0, 0, 0, 1);
    ASSERT_TRUE(CapturedSound::Status(gSoundSlots[3]).playing);
    WriteFilm("quiet.smk", {64, 32, 2});
    ASSERT_EQ(PlayFilm("quiet.smk"), 1);
    gLoopFlags.filmMode = 255;
    EXPECT_FALSE(CapturedSound::Status(gSoundSlots[3]).playing);
    PlayToTheEnd();
    EXPECT_TRUE(CapturedSound::Status(gSoundSlots[3]).playing);
}

TEST_F(FilmPlayer_, ABlockingFilmPlaysToItsEndAndHandsAQuitOn)
{
    WriteFilm("block.smk", {64, 32, 4});
    static int steps;
    steps = 0;
    platform::SetFilmClock([] { return 0.1 * steps++; });
    const uint32_t clock = gFrameClock.gameClock;
    ASSERT_EQ(PlayFilmBlocking("block.smk"), 1);
    EXPECT_EQ(gDumps.size(), 2u + 4u + 2u);
    EXPECT_EQ(gFrameClock.gameClock, clock);
    EXPECT_FALSE(FullScreenFilmOpen());

    // A quit during the film ends it and is still there for the frame loop.
    platform::PostQuit(3);
    ASSERT_EQ(PlayFilmBlocking("block.smk"), 1);
    EXPECT_FALSE(FullScreenFilmOpen());
    platform::WindowMessage m;
    bool quit = false;
    while (platform::PeekWindowMessage(m))
        if (m.kind == platform::Message::Quit && m.exitCode == 3)
            quit = true;
    EXPECT_TRUE(quit);

    // Holding Q with a key waiting ends it too.
    GetKeyStateBlock()[16] = 255;
    KeyQueuePush(0x1071);
    gDumps.clear();
    ASSERT_EQ(PlayFilmBlocking("block.smk"), 1);
    EXPECT_LE(gDumps.size(), 2u); // no frame: only the clearing and the palette
    for (const Dump& d : gDumps)
        EXPECT_EQ(std::count(d.pixels.begin(), d.pixels.end(), 0), 640 * 480);
}

TEST_F(FilmPlayer_, ADamagedFilmEndsWithoutHarm)
{
    std::vector<uint8_t> bytes = smk::Write(smk::MakeFixtureFilm({64, 32, 6}));
    bytes.resize(bytes.size() * 2 / 3);
    std::ofstream(scratch / "cut.smk", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_EQ(PlayFilm("cut.smk"), 1);
    gLoopFlags.filmMode = 255;
    EXPECT_LT(PlayToTheEnd(), 5);
    EXPECT_EQ(gLoopFlags.filmMode, 0);
}

class Clips : public FilmPlayer_ {
protected:
    // The film's own colours become the game palette, so remapped pixels
    // can be told by colour.
    void UseFilmColours()
    {
        const smk::Palette p = smk::FixturePalette(0);
        for (int i = 0; i < 256; ++i)
            filmColours.entries[i] = {smk::RoundTrip(p[3 * i]), smk::RoundTrip(p[3 * i + 1]),
                                      smk::RoundTrip(p[3 * i + 2]), 0};
        DisplaySetPalette(filmColours.entries);
    }
    // The colour of a remapped pixel is that of the film's pixel.
    void ExpectColour(uint8_t remapped, uint8_t filmPixel)
    {
        const PaletteEntry a = filmColours.entries[remapped], b = filmColours.entries[filmPixel];
        EXPECT_TRUE(a.red == b.red && a.green == b.green && a.blue == b.blue)
            << int(remapped) << " for " << int(filmPixel);
    }
    GamePalette filmColours{};
    void Fill(uint8_t colour)
    {
        DisplayLock(gScreenMode);
        CanvasClear(ScreenCanvas(), colour);
    }
    uint8_t At(int x, int y) { return ScreenCanvas().pixels[y * 640 + x]; }
};

TEST_F(Clips, AClipIsCentredInItsRectangleAndColourZeroIsTransparent)
{
    const smk::FixtureShape shape{368, 168, 3, -1, 0, true};
    WriteFilm("face.smk", shape);
    FilmClip* slot = nullptr;
    EXPECT_EQ(OpenClip(&slot, nullptr, 0, 0, 255, 0), 0);
    ASSERT_EQ(OpenClip(&slot, "face.smk", 0, 0, 255, 42), 1);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->value, 42);
    Fill(77);
    const ClipRect rect{100, 100, 499, 299}; // 400 x 200: the clip at (116, 116)
    ASSERT_EQ(DrawClip(slot, rect), 1);
    int wrong = 0;
    for (int y = 0; y < 168; ++y)
        for (int x = 0; x < 368; ++x) {
            const uint8_t p = smk::FixturePixel(0, x, y, 368, 168, true);
            wrong += At(116 + x, 116 + y) != (p ? p : 77);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(At(115, 150), 77);

    // Not due yet: the same frame again. On the bridge's hold likewise.
    Fill(77);
    gNow += 0.05;
    DrawClip(slot, rect);
    EXPECT_EQ(At(116 + 12, 116 + 100), smk::FixturePixel(0, 12, 100, 368, 168, true));
    gNow += 0.1;
    gPanelHold = 255;
    DrawClip(slot, rect);
    EXPECT_EQ(At(116 + 12, 116 + 100), smk::FixturePixel(0, 12, 100, 368, 168, true));
    gPanelHold = 0;
    DrawClip(slot, rect);
    EXPECT_EQ(At(116 + 12, 116 + 100), smk::FixturePixel(1, 12, 100, 368, 168, true));

    // After the final frame the handle in the record is cleared; closing
    // twice is safe.
    gNow += 0.1;
    EXPECT_EQ(DrawClip(slot, rect), 1);
    EXPECT_EQ(slot->film, nullptr);
    EXPECT_EQ(DrawClip(slot, rect), 0);
    CloseClip(&slot);
    EXPECT_EQ(slot, nullptr);
    CloseClip(&slot);
    EXPECT_EQ(DrawClip(nullptr, rect), 0);
}

TEST_F(Clips, ALargerClipIsCutEvenlyAndTheLastFrameHolds)
{
    const smk::FixtureShape shape{64, 32, 5};
    WriteFilm("cut.smk", shape);
    UseFilmColours();
    FilmClip* slot = nullptr;
    ASSERT_EQ(OpenClip(&slot, "cut.smk", 0, 2, 0, 0), 1);
    Fill(5);
    const ClipRect rect{10, 10, 41, 25}; // 32 x 16: 16 columns and 8 rows cut each side
    DrawClip(slot, rect);
    ExpectColour(At(10, 10), smk::FixturePixel(0, 16, 8, 64, 32, false));
    ExpectColour(At(41, 25), smk::FixturePixel(0, 47, 23, 64, 32, false));
    EXPECT_EQ(At(9, 10), 5);
    EXPECT_EQ(At(42, 25), 5);
    gNow += 0.1;
    DrawClip(slot, rect);
    EXPECT_TRUE(slot->finished);
    gNow += 0.1;
    DrawClip(slot, rect);
    ExpectColour(At(10, 10), smk::FixturePixel(1, 16, 8, 64, 32, false)); // held at its last frame
    EXPECT_NE(slot->film, nullptr);

    // Continuing from frame 4 keeps the clip; from the start reopens it.
    FilmClip* before = slot;
    ASSERT_EQ(OpenClip(&slot, "cut.smk", 4, 0, 0, 0), 1);
    EXPECT_EQ(slot, before);
    EXPECT_FALSE(slot->finished);
    Fill(5);
    DrawClip(slot, rect);
    ExpectColour(At(10, 10), smk::FixturePixel(3, 16, 8, 64, 32, false));
    ASSERT_EQ(OpenClip(&slot, "cut.smk", 0, 0, 0, 0), 1); // the old clip is closed, not lost
    CloseClip(&slot);
}

TEST_F(Clips, ALoopClipStartsAgainAfterItsFinalFrame)
{
    const smk::FixtureShape shape{16, 8, 3};
    WriteFilm("loop.smk", shape);
    EXPECT_EQ(OpenLoopClip("missing.smk"), nullptr);
    LoopClip* clip = OpenLoopClip("loop.smk");
    ASSERT_NE(clip, nullptr);
    UseFilmColours();
    std::vector<uint8_t> buffer(16 * 8);
    for (int n = 0; n < 7; ++n) {
        ASSERT_EQ(DecodeLoopClip(clip, buffer.data()), 1);
        ExpectColour(buffer[6 * 16 + 10], smk::FixturePixel(n % 3, 10, 6, 16, 8, false));
        EXPECT_EQ(DecodeLoopClip(clip, buffer.data()), 1); // not due: nothing changes
        gNow += 0.1;
    }
    EXPECT_EQ(DecodeLoopClip(nullptr, buffer.data()), 0);
    CloseLoopClip(clip);
}

} // namespace
