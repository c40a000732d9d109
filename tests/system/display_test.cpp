// The display wrappers, the back-end choice and the gamma rule.
#include "system/display.h"
#include "system/frameclock.h"
#include "system/mainwindow.h"
#include "system/settings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string gCalls;
const PaletteEntry* gPaletteSeen = nullptr;

int RecordOpen(DisplayMode&)
{
    gCalls += "open ";
    return 1;
}
void RecordClose() { gCalls += "close "; }
void RecordBlit(DisplayMode&) { gCalls += "blit "; }
void RecordPresent(DisplayMode&) { gCalls += "present "; }
void RecordLock(DisplayMode&) { gCalls += "lock "; }
void RecordFlush() { gCalls += "flush "; }
void RecordHandle(const SystemPalette*) { gCalls += "handle "; }
void RecordInit(const PaletteEntry* p)
{
    gCalls += "init ";
    gPaletteSeen = p;
}
void RecordSet(const PaletteEntry* p)
{
    gCalls += "set ";
    gPaletteSeen = p;
}

constexpr DisplayDriver kRecorder = {RecordOpen, RecordClose, RecordBlit, RecordPresent, RecordLock,
                                     RecordFlush, RecordHandle, RecordInit, RecordSet};

TEST(DisplayWrappers, DispatchThroughTheCurrentTableAndIgnoreANullPalette)
{
    const DisplayDriver* saved = gDisplayDriver;
    gDisplayDriver = &kRecorder;
    gCalls.clear();
    DisplayMode mode;
    PaletteEntry palette[256] = {};
    palette[20] = {1, 2, 3, 0};
    EXPECT_EQ(DisplayOpen(mode), 1);
    DisplayLock(mode);
    DisplayBlit(mode);
    DisplayPresent(mode);
    DisplayFlush();
    DisplayPaletteFromHandle(nullptr);
    DisplayInitPalette(palette);
    DisplaySetPalette(nullptr);
    DisplaySetPalette(palette);
    DisplayClose();
    EXPECT_EQ(gCalls, "open lock blit present flush handle init set close ");
    EXPECT_EQ(gPaletteSeen, palette);
    EXPECT_EQ(DisplayLastPalette()[20].blue, 3);
    gDisplayDriver = saved;
}

TEST(DisplayChoice, EachRoutineSetsTableFilmPlayerAndFlags)
{
    gSettings = Settings{};
    UseFrameworkDisplay();
    EXPECT_EQ(gDisplayDriver, &kFrameworkDisplay);
    EXPECT_EQ(gFilmPlayer, FilmPlayer::Canvas);
    EXPECT_EQ(gFrameworkPalette, 255);
    EXPECT_EQ(gSettings.fullScreen, 0);

    UseFullScreenDisplay(); // the tests run where a screen can be made
    EXPECT_EQ(gDisplayDriver, &kFullScreenDisplay);
    EXPECT_EQ(gFilmPlayer, FilmPlayer::Surface);
    EXPECT_EQ(gSettings.fullScreen, 255);
    EXPECT_EQ(gSettings.exclusiveMode, 255);
    EXPECT_EQ(gFrameworkPalette, 0);

    UseWindowDisplay();
    EXPECT_EQ(gDisplayDriver, &kWindowDisplay);
    EXPECT_EQ(gFilmPlayer, FilmPlayer::Canvas);
    EXPECT_EQ(gSettings.fullScreen, 0);
    EXPECT_EQ(gSettings.exclusiveMode, 0);
}

TEST(PaletteMessages, TheFrameworkBackEndReinstallsTheLastPaletteUnlessAFilmPlays)
{
    const DisplayDriver* saved = gDisplayDriver;
    gDisplayDriver = &kRecorder;
    PaletteEntry palette[256] = {};
    DisplaySetPalette(palette);

    struct Case {
        uint8_t frameworkPalette, filmPlaying;
        platform::Message kind;
        const char* calls;
    };
    const Case cases[] = {
        {255, 0, platform::Message::QueryNewPalette, "init "},
        {255, 0, platform::Message::PaletteChanged, "init "},
        {255, 255, platform::Message::PaletteChanged, ""},
        {0, 0, platform::Message::QueryNewPalette, ""},
    };
    for (const Case& c : cases) {
        gCalls.clear();
        gPaletteSeen = nullptr;
        gFrameworkPalette = c.frameworkPalette;
        gLoopFlags.mciFilmPlaying = c.filmPlaying;
        WindowMessage message;
        message.kind = c.kind;
        MainWindowProc(message);
        EXPECT_EQ(gCalls, c.calls);
        EXPECT_EQ(gPaletteSeen, *c.calls ? DisplayLastPalette() : nullptr);
    }
    gFrameworkPalette = 0;
    gLoopFlags.mciFilmPlaying = 0;
    gDisplayDriver = saved;
}

TEST(Gamma, OneLeavesEveryEntryUnchanged)
{
    PaletteEntry in[256], out[256];
    for (int i = 0; i < 256; ++i)
        in[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), uint8_t(i)};
    GammaCorrectPalette(in, out, 1.0f);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(out[i].red, in[i].red);
        EXPECT_EQ(out[i].green, in[i].green);
        EXPECT_EQ(out[i].blue, in[i].blue);
    }
}

TEST(Gamma, CorrectsOnlyTheGamesEntries)
{
    PaletteEntry in[256], out[256];
    for (int i = 0; i < 256; ++i)
        in[i] = {64, 128, 255, 9};
    GammaCorrectPalette(in, out, 2.0f);
    for (int i = 0; i < 256; ++i) {
        SCOPED_TRACE(i);
        bool game = i >= 10 && i <= 245;
        // 256 * sqrt(64 / 256) = 128; 256 * sqrt(0.5) = 181.02; 256 * sqrt(255 / 256) = 255.5
        EXPECT_EQ(out[i].red, game ? 128 : 64);
        EXPECT_EQ(out[i].green, game ? 181 : 128);
        EXPECT_EQ(out[i].blue, 255);
        EXPECT_EQ(out[i].unused, 9);
    }
}

TEST(Gamma, TruncatesAndStaysInRange)
{
    EXPECT_EQ(GammaCorrect(0, 0.5f), 0);
    EXPECT_EQ(GammaCorrect(128, 0.5f), 64); // 256 * 0.25
    EXPECT_EQ(GammaCorrect(100, 0.5f), 39); // 256 * 0.1526 = 39.06
    EXPECT_EQ(GammaCorrect(255, 3.0f), 255);
    EXPECT_EQ(GammaCorrect(77, 0.0f), 77); // no gamma at all leaves colours alone
}

} // namespace
