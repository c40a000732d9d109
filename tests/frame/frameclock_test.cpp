// The frame clock: tick counting, the 20-tick limit, time compression with its
// carried fraction, the screenshot step, films and the counter's wrap.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>

#include "system/frameclock.h"
#include "tests/frame/virtualclock.h"

namespace {

using virtualclock::Milliseconds;

class FrameClockTest : public ::testing::Test {
protected:
    void SetUp() override { virtualclock::Install(); }
    void TearDown() override { virtualclock::Remove(); }

    // Lets `ms` pass and runs one frame; returns its frame ticks.
    static int32_t Frame(uint64_t ms)
    {
        virtualclock::now += Milliseconds(ms);
        return UpdateFrameTime();
    }
};

TEST_F(FrameClockTest, StartSetsDivisorsAndZeroClock)
{
    EXPECT_DOUBLE_EQ(gFrameClock.tickDivisor, virtualclock::kFrequency / 100.0);
    EXPECT_DOUBLE_EQ(gFrameClock.millisecondDivisor, virtualclock::kFrequency / 1000.0);
    EXPECT_DOUBLE_EQ(gFrameClock.preciseDivisor, virtualclock::kFrequency / 100000.0);
    EXPECT_EQ(gFrameClock.tickCount, 100u); // the counter stood at 1 s
    EXPECT_EQ(gFrameClock.previousTickCount, 100u);
    EXPECT_EQ(gFrameClock.gameClock, 0u);
    EXPECT_EQ(gFrameClock.frameTicks, 0);
}

TEST_F(FrameClockTest, NormalFramesAdvanceByElapsedHundredths)
{
    EXPECT_EQ(Frame(30), 3);
    EXPECT_EQ(gFrameClock.rawFrameTicks, 3);
    EXPECT_FLOAT_EQ(gFrameClock.frameSeconds, 0.03f);
    EXPECT_EQ(gFrameClock.millisecondCount, 1030u);
    EXPECT_EQ(Frame(0), 0);
    EXPECT_EQ(Frame(200), 20); // exactly the limit
    EXPECT_EQ(gFrameClock.gameClock, 23u);
    EXPECT_EQ(gFrameClock.tickCount, 123u);
    EXPECT_EQ(gFrameClock.previousTickCount, 123u);
}

TEST_F(FrameClockTest, SlowFrameIsLimitedToTwentyTicksTimesCompression)
{
    EXPECT_EQ(Frame(500), 20);
    EXPECT_EQ(gFrameClock.rawFrameTicks, 20);
    gFrameClock.timeCompression = 4.0f;
    EXPECT_EQ(Frame(500), 80);
    EXPECT_EQ(gFrameClock.rawFrameTicks, 20);
    EXPECT_EQ(gFrameClock.gameClock, 100u);
}

TEST_F(FrameClockTest, FastFramesLoseNoTime)
{
    // A thousand frames a second: most frames see no new hundredth.
    for (int i = 0; i < 1000; ++i)
        Frame(1);
    EXPECT_EQ(gFrameClock.gameClock, 100u);
}

TEST_F(FrameClockTest, CompressionOverManyShortFramesAddsUpExactly)
{
    struct Case {
        float compression;
        uint64_t frameMs;
        int frames;
        uint32_t gameTicks;
    };
    const Case cases[] = {
        {4.0f, 30, 100, 1200}, // 3-tick frames advance 12 each
        {4.0f, 10, 250, 1000},
        {0.5f, 10, 300, 150}, // 1-tick frames: time neither stops nor is lost
        {0.5f, 30, 100, 150}, // 3-tick frames alternate 1 and 2
        {1.5f, 10, 200, 300},
        {0.25f, 10, 400, 100},
        {1.0f, 30, 100, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "compression " << c.compression << ", " << c.frameMs << " ms");
        virtualclock::Install();
        gFrameClock.timeCompression = c.compression;
        int32_t smallest = INT32_MAX, largest = 0;
        for (int i = 0; i < c.frames; ++i) {
            const int32_t ticks = Frame(c.frameMs);
            smallest = std::min(smallest, ticks);
            largest = std::max(largest, ticks);
        }
        EXPECT_EQ(gFrameClock.gameClock, c.gameTicks);
        // No frame lags more than one tick behind another of the same length.
        EXPECT_LE(largest - smallest, 1);
    }
}

TEST_F(FrameClockTest, CompressionOfHalfAdvancesEveryOtherTickFrame)
{
    gFrameClock.timeCompression = 0.5f;
    EXPECT_EQ(Frame(10), 0);
    EXPECT_EQ(Frame(10), 1);
    EXPECT_EQ(Frame(10), 0);
    EXPECT_EQ(Frame(10), 1);
}

TEST_F(FrameClockTest, UnusableCompressionFactorsNeitherReverseNorOverflow)
{
    const float factors[] = {0.0f, -2.0f, std::nanf(""), INFINITY, 1e30f};
    const int32_t ticks[] = {0, 0, 0, INT32_MAX, INT32_MAX};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(factors[i]);
        virtualclock::Install();
        gFrameClock.timeCompression = factors[i];
        EXPECT_EQ(Frame(30), ticks[i]);
        EXPECT_GE(gFrameClock.compressionCarry, 0.0);
        EXPECT_LT(gFrameClock.compressionCarry, 1.0);
    }
}

TEST_F(FrameClockTest, AnUnusableFactorInAShortFrameLeavesNoDebtForLaterFrames)
{
    // A frame shorter than one tick under +infinity asks for 0 x infinity.
    const float factors[] = {INFINITY, 0.0f, std::nanf(""), -INFINITY};
    for (float factor : factors) {
        SCOPED_TRACE(factor);
        virtualclock::Install();
        gFrameClock.timeCompression = factor;
        EXPECT_EQ(Frame(5), 0);
        EXPECT_TRUE(std::isfinite(gFrameClock.compressionCarry));
        gFrameClock.timeCompression = 1.0f;
        const uint32_t before = gFrameClock.gameClock;
        EXPECT_EQ(Frame(30), 3);
        EXPECT_EQ(Frame(20), 2);
        EXPECT_EQ(gFrameClock.gameClock - before, 5u);
    }
}

TEST_F(FrameClockTest, ScreenshotModeStepsSevenTicks)
{
    gLoopFlags.screenshotRequest = 255;
    EXPECT_EQ(Frame(500), 7);
    EXPECT_EQ(Frame(1), 7);
    EXPECT_EQ(Frame(0), 7);
    gFrameClock.timeCompression = 2.0f;
    EXPECT_EQ(Frame(40), 14);
    EXPECT_EQ(gFrameClock.rawFrameTicks, 7);
    gLoopFlags.screenshotRequest = 0;
    EXPECT_EQ(Frame(40), 8);
}

TEST_F(FrameClockTest, GameClockStandsDuringAFilm)
{
    Frame(50);
    const uint32_t before = gFrameClock.gameClock;
    gLoopFlags.filmMode = 255;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Frame(50), 0);
    EXPECT_EQ(gFrameClock.gameClock, before);
    EXPECT_EQ(gFrameClock.rawFrameTicks, 5);
    EXPECT_FLOAT_EQ(gFrameClock.frameSeconds, 0.0f);

    // The start-up delay lets the clock run although a film is flagged.
    gLoopFlags.startupDelay = 10;
    EXPECT_EQ(Frame(50), 5);
    gLoopFlags.startupDelay = 0;
    gLoopFlags.filmMode = 0;
    EXPECT_EQ(Frame(50), 5);
    EXPECT_EQ(gFrameClock.gameClock, before + 10);
}

TEST_F(FrameClockTest, WrapOfTheLowThirtyTwoBitsDoesNotJump)
{
    // A nanosecond counter passes 2^32 every 4.3 s.
    virtualclock::now = (uint64_t{1} << 32) - Milliseconds(15);
    InitFrameClock();
    EXPECT_EQ(Frame(30), 3);
    virtualclock::now = (uint64_t{7} << 32) - Milliseconds(5);
    InitFrameClock();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Frame(10), 1);
}

TEST_F(FrameClockTest, CounterGoingBackwardsCountsAsALongFrame)
{
    virtualclock::now -= Milliseconds(100);
    EXPECT_EQ(UpdateFrameTime(), 20);
    EXPECT_EQ(Frame(20), 2); // and counting resumes from there
}

TEST_F(FrameClockTest, PreciseClockCountsHundredThousandths)
{
    virtualclock::now = Milliseconds(3000) + 12345; // 3 s and 12.345 us
    EXPECT_DOUBLE_EQ(ReadPreciseClock(), 300001.2345);

    // Odd frequencies convert exactly, even for very large counts.
    SetFrameCounterSource(virtualclock::Read, 3'579'545);
    virtualclock::now = uint64_t{3'579'545} * 1'000'000'000;
    EXPECT_DOUBLE_EQ(ReadPreciseClock(), 1e14);
    InitFrameClock();
    EXPECT_EQ(gFrameClock.previousTicks, uint64_t{100'000'000'000});
}

} // namespace
