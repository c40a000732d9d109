// The message log: typing tick by tick (pace, sentence pauses, markup, word
// wrap, the speech mark), the blanking after a complete text, a new text
// completing the one being typed, the 3000-byte limit, the speech time, and
// what the two draw routines put on a memory canvas.
#include "ui/messagelog.h"

#include "screens/bridge.h"
#include "script/vitalobjects.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/wav.h"
#include "tests/support/sound_fixture.h"
#include "ui/shiplog.h"
#include "ui/windows.h"
#include "ui_canvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class MessageLogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gFontB = &font_.font;
        gPresentation = {};
        MissionEndState = kMissionInFlight;
        gMessageLogKeep = 0;
        guiClearMessageLog();
        gFrameClock.frameTicks = 1;
        gFrameClock.frameCounter = 0;
    }
    void TearDown() override
    {
        guiClearMessageLog();
        gMessageLog.window = nullptr;
        gMessageLogKeep = 0;
        gPresentation = {};
        gFontB = gFontR = gMessageLogFont = nullptr;
        gFrameClock.frameTicks = 0;
    }

    // Ticks one at a time until the pending text is typed: the tick at
    // which each of its positions was passed.
    static std::vector<int> TypingTicks()
    {
        std::vector<int> ticks;
        int last = gMessageLogTypingPosition;
        for (int t = 1; t <= 5000 && gMessageLogTypingPosition < gMessageLogTextLength; ++t) {
            guiTickMessageLog();
            for (int p = last; p < gMessageLogTypingPosition; ++p)
                ticks.push_back(t);
            last = gMessageLogTypingPosition;
        }
        return ticks;
    }
    static void TypeAll()
    {
        while (gMessageLogTypingPosition < gMessageLogTextLength)
            guiTypeMessageLogChar();
    }
    static std::string Typed() { return std::string(gMessageLog.text, static_cast<size_t>(gMessageLog.typed)); }

    BlockFont font_{100}; // advance 6, line 8
};

TEST_F(MessageLogTest, TypingKeepsPaceAndPausesAfterLinesSentencesAndBeforeTildes)
{
    struct Case {
        const char* text;
        int32_t style;
        int16_t areaWidth;
        std::vector<int> ticks; // at which each position is passed
        const char* typed;
    };
    // Pace 4: a character every 4 ticks; the pause adds 50 after a character
    // that ends a line or a sentence or stands before '~'.
    const Case cases[] = {
        {"ab\ncd", 0, 640, {1, 5, 59, 63, 67}, "ab\ncd\n"},
        {"A. B", 1, 640, {1, 5, 59, 63}, "A. B\n"},
        {"A...B", 0, 640, {1, 5, 9, 13, 67}, "A...B\n"}, // only the last full stop pauses
        {"A~B", 0, 640, {1, 55, 59}, "AB\n"},
        {"A\rB", 2, 640, {1, 5, 9}, "AB\n"},
        // "cd" would reach 42 > 40 - 12: a new line, and its blank is dropped.
        {"ab cd", 2, 40, {1, 5, 9, 9, 13}, "ab\ncd\n"},
    };
    for (const Case& c : cases) {
        guiClearMessageLog();
        EXPECT_EQ(guiAddMessageLogText(c.text, c.style), static_cast<int32_t>(std::strlen(c.text))) << c.text;
        gMessageLog.areaWidth = c.areaWidth;
        EXPECT_EQ(TypingTicks(), c.ticks) << c.text;
        EXPECT_EQ(Typed(), c.typed) << c.text;
        EXPECT_EQ(std::vector<uint8_t>(gMessageLog.style, gMessageLog.style + gMessageLog.typed),
                  std::vector<uint8_t>(std::strlen(c.typed), static_cast<uint8_t>(c.style)))
            << c.text;
    }
}

TEST_F(MessageLogTest, ABlankAtTheWrapThatEndsTheTextLeavesTheTypingAtItsEnd)
{
    guiAddMessageLogText("ab ", 0);
    gMessageLog.areaWidth = 25; // the blank would reach 30
    TypeAll();
    EXPECT_EQ(gMessageLogTypingPosition, 3);
    EXPECT_EQ(Typed(), "ab\n\n");
    EXPECT_EQ(guiTypeMessageLogChar(), 0);
    EXPECT_EQ(Typed(), "ab\n\n");
}

TEST_F(MessageLogTest, TheSpeechMarkStartsThePendingSpeechWithItsPlayTime)
{
    CapturedSound sound; // one second of tone: 1 s x 100 + 100 ticks
    guiAddMessageLogText("A#B", 0);
    guiSetMessageLogSpeech(sound.tonePath.c_str());
    guiTickMessageLog(); // types "A"
    EXPECT_EQ(gSpeechCountdown, 0);
    for (int i = 0; i < 4; ++i)
        guiTickMessageLog(); // types the mark
    EXPECT_EQ(gMessageLogTypingPosition, 2);
    EXPECT_EQ(gSpeechCountdown, 200);
    EXPECT_TRUE(SoundIsPlaying(&gSpeechChannel));
    EXPECT_STREQ(gMessageLog.speech, "") << "the name is forgotten";
    TypeAll();
    EXPECT_EQ(Typed(), "AB\n");
}

TEST_F(MessageLogTest, ASpeechThatCannotPlayLeavesTheLineTimedByTheRestOfItsText)
{
    guiAddMessageLogText("A#BC", 0);
    guiSetMessageLogSpeech("zqk\\resource\\text\\audio\\missing_0.wav");
    gSpeechCountdown = 360000; // the dialogue's wait for the mark
    TypeAll();
    EXPECT_EQ(gSpeechCountdown, guiMessageTextDuration("BC", nullptr));
    EXPECT_STREQ(gMessageLog.speech, "");
}

TEST_F(MessageLogTest, ASpeechTimeIsCountedInSixtyFourBitsAndARateOfZeroFallsBack)
{
    struct Case {
        uint32_t bytes;
        uint16_t blockAlign;
        uint32_t rate;
        int32_t ticks;
    };
    const Case cases[] = {
        {44100, 2, 22050, 200},            // one second of 16-bit mono
        {100'000'000, 1, 8000, 1'250'100}, // frames x 100 passes 32 bits
        {8000, 1, 0, 77},                  // no rate: the fallback
    };
    for (const Case& c : cases) {
        WaveFormat format{1, 1, c.rate, c.rate * c.blockAlign, c.blockAlign, static_cast<uint16_t>(8 * c.blockAlign), 0};
        SoundSlot slot{};
        slot.length = c.bytes;
        slot.format = &format;
        EXPECT_EQ(guiSpeechTicks(&slot, 77), c.ticks) << c.bytes;
    }
    EXPECT_EQ(guiSpeechTicks(nullptr, 5), 5);
}

TEST_F(MessageLogTest, TheDurationCountsPausesAndPaceAndSeesTheSpeechMark)
{
    bool mark = true;
    EXPECT_EQ(guiMessageTextDuration("ab", &mark), 108);
    EXPECT_FALSE(mark);
    EXPECT_EQ(guiMessageTextDuration("a.\n~#", &mark), 100 + 4 + 50 + 50 + 50 + 4);
    EXPECT_TRUE(mark);
}

TEST_F(MessageLogTest, ACompleteTextBlanksAfterTwoHundredFiftyTicksAndUnsetsTheBrowseCursor)
{
    guiAddMessageLogText("hi", 0);
    TypingTicks();
    gShipLog.cursor = 2;
    guiTickMessageLog(); // all typed: the countdown starts
    EXPECT_EQ(gMessageLog.erase, kMessageLogEraseDelay);
    for (int i = 0; i < 249; ++i)
        guiTickMessageLog();
    EXPECT_EQ(gMessageLog.active, 1);
    guiTickMessageLog();
    EXPECT_EQ(gMessageLog.active, 0);
    EXPECT_EQ(Typed(), "hi\n\n\n\n") << "three line feeds scroll it away";
    EXPECT_EQ(gShipLog.cursor, kShipLogCursorUnset);

    // During a presentation a typed text stays.
    gPresentation.running = 1;
    guiAddMessageLogText("brief", 0);
    for (int i = 0; i < 600; ++i)
        guiTickMessageLog();
    EXPECT_EQ(gMessageLogTypingPosition, 5);
    EXPECT_EQ(gMessageLog.active, 1);
    // ...and a paused one does not type.
    gPresentation.paused = 1;
    guiAddMessageLogText("held", 0);
    for (int i = 0; i < 20; ++i)
        guiTickMessageLog();
    EXPECT_EQ(gMessageLogTypingPosition, 0);
}

TEST_F(MessageLogTest, ANewTextCompletesTheOneBeingTyped)
{
    gMessageLogKeep = 255; // texts accumulate
    guiAddMessageLogText("hello", 0);
    for (int i = 0; i < 5; ++i)
        guiTickMessageLog();
    ASSERT_EQ(gMessageLogTypingPosition, 2);
    guiAddMessageLogText("world", 1);
    EXPECT_EQ(Typed(), "hello\n");
    EXPECT_STREQ(gMessageLogPendingText, "world");
    EXPECT_EQ(gMessageLogTypingPosition, 0);
    EXPECT_EQ(gMessageLogPendingStyle, 1);

    // Otherwise the log starts empty; appending never clears.
    gMessageLogKeep = 0;
    guiAddMessageLogText("next", 0);
    EXPECT_EQ(Typed(), "");
    guiAppendMessageLogText("more", 0);
    EXPECT_EQ(Typed(), "next\n");
}

TEST_F(MessageLogTest, NothingIsTakenWithoutAFontANullTextOrDuringTheDebrief)
{
    EXPECT_EQ(guiAddMessageLogText(nullptr, 0), 0);
    MissionEndState = kMissionDebrief;
    EXPECT_EQ(guiAddMessageLogText("debrief", 0), 0);
    MissionEndState = kMissionInFlight;
    gFontB = nullptr;
    EXPECT_EQ(guiAddMessageLogText("no font", 0), 0);
    EXPECT_STREQ(gMessageLogPendingText, "");
    EXPECT_EQ(gMessageLog.active, 0);
}

TEST_F(MessageLogTest, TheLogNeverHoldsMoreThanThreeThousandBytesWithItsZero)
{
    gMessageLogKeep = 255;
    std::string line;
    for (int i = 0; i < 20; ++i)
        line += "word ";
    for (int i = 0; i < 40; ++i) {
        guiAddMessageLogText(("[" + std::to_string(i) + "]" + line).c_str(), 0);
        TypeAll();
        ASSERT_LT(gMessageLog.typed, kMessageLogCapacity) << i;
        ASSERT_EQ(std::strlen(gMessageLog.text), static_cast<size_t>(gMessageLog.typed)) << i;
    }
    EXPECT_NE(Typed().find("[39]"), std::string::npos);
    EXPECT_EQ(Typed().find("[0]"), std::string::npos) << "the oldest lines went";

    // A text longer than the log: the room left, typed with its wraps.
    guiClearMessageLog();
    const std::string huge(3500, 'x');
    EXPECT_EQ(guiAddMessageLogText(huge.c_str(), 0), kMessageLogCapacity - 1);
    TypeAll();
    EXPECT_LT(gMessageLog.typed, kMessageLogCapacity);
    EXPECT_EQ(std::strlen(gMessageLog.text), static_cast<size_t>(gMessageLog.typed));
    gMessageLogKeep = 0;
}

TEST_F(MessageLogTest, TheAreaShowsTheLastLinesThatFitItsHeight)
{
    MemoryScreen screen;
    guiAddMessageLogText("1\n2\n3\n4\n5", 0);
    TypeAll();
    gFrameClock.frameTicks = 0;
    struct Case {
        int32_t height;
        std::set<int> shown; // the digits' rows, by their first line
        int16_t first;
    };
    // Two lines and 4 pixels, then a line for each line feed from the end.
    const Case cases[] = {{30, {5}, 8}, {40, {4, 5}, 6}, {100, {1, 2, 3, 4, 5}, 0}};
    for (const Case& c : cases) {
        screen.Clear();
        guiDrawMessageLog(0, 0, 200, c.height);
        EXPECT_EQ(gMessageLog.shown, c.first) << c.height;
        std::set<int> lines;
        for (int line = 0; line < 5; ++line) // baselines 12, 20, ...
            if (screen.Colours(4, 7 + 8 * line, 7, 12 + 8 * line).count(100))
                lines.insert(line);
        std::set<int> expected;
        for (int digit : c.shown)
            expected.insert(digit - *c.shown.begin());
        EXPECT_EQ(lines, expected) << c.height;
    }
}

TEST_F(MessageLogTest, TheCursorShowsOnTwentyFourFramesOfFifty)
{
    MemoryScreen screen;
    guiAddMessageLogText("1", 0);
    TypeAll();
    gFrameClock.frameTicks = 0;
    int shown = 0;
    for (int frame = 0; frame < 50; ++frame) {
        screen.Clear();
        gFrameClock.frameCounter = static_cast<uint16_t>(frame);
        guiDrawMessageLog(0, 0, 200, 100);
        shown += screen.Colours(0, 0, 199, 99).count(160) ? 1 : 0;
    }
    EXPECT_EQ(shown, 24);
    // A 5-pixel box of font height - 2 ending at the pen (4, 20).
    EXPECT_EQ(screen.At(4, 20), 160);
    EXPECT_EQ(screen.At(0, 15), 160);
    EXPECT_EQ(screen.At(5, 20), 0);
    EXPECT_EQ(screen.At(0, 14), 0);
}

TEST_F(MessageLogTest, EachCharacterIsDrawnInTheFontOfItsStyle)
{
    MemoryScreen screen;
    BlockFont highlight(200);
    gFontR = &highlight.font;
    gMessageLogKeep = 255;
    guiAddMessageLogText("ab", 0);
    TypeAll();
    guiAddMessageLogText("cd", 1);
    TypeAll();
    gFrameClock.frameTicks = 0;
    guiDrawMessageLog(0, 0, 200, 100);
    EXPECT_EQ(screen.Colours(0, 7, 199, 12), (std::set<int>{0, 100}));
    EXPECT_EQ(screen.Colours(0, 15, 199, 20), (std::set<int>{0, 200}));
}

TEST_F(MessageLogTest, TheWindowDrawTypeFillsItsWindowAndTakesItsFontAndSize)
{
    MemoryScreen screen;
    screen.Clear(7);
    BlockFont windowFont(90);
    Resource fontRecord{};
    fontRecord.data = &windowFont.font;
    WindowHandle window{};
    window.font = &fontRecord;
    window.x = 10; // at the top left of the screen: rect 10, 10, 69, 49
    window.y = 10;
    window.width = 60;
    window.height = 40;
    guiAddMessageLogText("abc def ghi", 0);
    gFrameClock.frameTicks = 0;
    guiDrawMessageLogWindow(&window);
    EXPECT_EQ(gMessageLog.areaWidth, 60);
    EXPECT_EQ(gMessageLog.window, &window);
    TypeAll(); // wrapped at the window's width: the blank and "ghi" reach 78 > 60
    EXPECT_EQ(Typed(), "abc def\nghi\n");
    guiDrawMessageLogWindow(&window);
    EXPECT_EQ(screen.Colours(10, 10, 69, 49).count(7), 0u) << "filled with colour 0";
    EXPECT_EQ(screen.Colours(10, 10, 69, 49).count(90), 1u);
    EXPECT_EQ(screen.At(9, 9), 7);
    EXPECT_EQ(screen.At(70, 50), 7);
}

} // namespace
