// The frame clock's state and its update once per frame. See frameclock.h.
#include "system/frameclock.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

#include "platform/host.h"

FrameClock gFrameClock;
LoopFlags gLoopFlags;

namespace {

CounterRead gCounterRead = platform::PerformanceCounter;
uint64_t gCounterFrequency = 0; // 0: the platform's, asked on first use
bool gClockStarted = false;

uint64_t CounterFrequency()
{
    if (gCounterFrequency == 0)
        gCounterFrequency = platform::PerformanceFrequency();
    return gCounterFrequency;
}

// count x unitsPerSecond / frequency, exact and without overflow for every
// 64-bit count.
uint64_t CountToUnits(uint64_t count, uint64_t frequency, uint64_t unitsPerSecond)
{
    return count / frequency * unitsPerSecond + count % frequency * unitsPerSecond / frequency;
}

} // namespace

void SetFrameCounterSource(CounterRead read, uint64_t frequency)
{
    gCounterRead = read ? read : platform::PerformanceCounter;
    gCounterFrequency = read ? frequency : 0;
}

void InitFrameClock()
{
    const uint64_t frequency = CounterFrequency();
    gFrameClock.tickDivisor = static_cast<double>(frequency) / 100.0;
    gFrameClock.millisecondDivisor = static_cast<double>(frequency) / 1000.0;
    gFrameClock.preciseDivisor = static_cast<double>(frequency) / 100000.0;

    const uint64_t count = gCounterRead();
    gFrameClock.previousTicks = CountToUnits(count, frequency, 100);
    gFrameClock.tickCount = static_cast<uint32_t>(gFrameClock.previousTicks);
    gFrameClock.previousTickCount = gFrameClock.tickCount;
    gFrameClock.millisecondCount = static_cast<uint32_t>(CountToUnits(count, frequency, 1000));
    gFrameClock.rawFrameTicks = 0;
    gFrameClock.frameTicks = 0;
    gFrameClock.frameSeconds = 0.0f;
    gFrameClock.gameClock = 0;
    gFrameClock.compressionCarry = 0.0;
    gClockStarted = true;
}

int32_t UpdateFrameTime()
{
    if (!gClockStarted)
        InitFrameClock(); // the first frame then counts from here
    FrameClock& clock = gFrameClock;
    const uint64_t frequency = CounterFrequency();
    const uint64_t count = gCounterRead();
    const uint64_t ticks = CountToUnits(count, frequency, 100);
    clock.tickCount = static_cast<uint32_t>(ticks);
    clock.millisecondCount = static_cast<uint32_t>(CountToUnits(count, frequency, 1000));

    // A counter that went backwards (a replaced source) counts as a long frame.
    const uint64_t elapsed = ticks >= clock.previousTicks ? ticks - clock.previousTicks : UINT64_MAX;
    clock.previousTicks = ticks;
    clock.previousTickCount = clock.tickCount;

    int32_t step = elapsed > kMaxFrameTicks ? kMaxFrameTicks : static_cast<int32_t>(elapsed);
    if (gLoopFlags.screenshotRequest)
        step = kScreenshotFrameTicks;
    clock.rawFrameTicks = step;

    if (gLoopFlags.filmMode && gLoopFlags.startupDelay <= 0) {
        // A film holds the game clock; nothing is owed for the time it plays.
        clock.frameTicks = 0;
    } else {
        // No factor, however wild, can make a frame run backwards or
        // overflow the tick count: below 0 and NaN stop the clock, +infinity
        // is the largest finite factor (0 x infinity would be NaN), so the
        // carried fraction is always a finite number in [0, 1).
        const double compression =
            std::clamp(std::isnan(clock.timeCompression) ? 0.0 : double{clock.timeCompression}, 0.0,
                       double{FLT_MAX});
        const double scaled = std::min(step * compression + clock.compressionCarry, double{INT32_MAX});
        const double whole = std::floor(scaled);
        clock.frameTicks = static_cast<int32_t>(whole);
        clock.compressionCarry = scaled - whole;
        clock.gameClock += static_cast<uint32_t>(clock.frameTicks);
    }
    clock.frameSeconds = static_cast<float>(clock.frameTicks) / 100.0f;
    return clock.frameTicks;
}

double ReadPreciseClock()
{
    const uint64_t frequency = CounterFrequency();
    const uint64_t count = gCounterRead();
    return static_cast<double>(count / frequency) * 100000.0 +
           static_cast<double>(count % frequency) * 100000.0 / static_cast<double>(frequency);
}
