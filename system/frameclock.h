// The frame clock and the loop flags: how far each frame advances the game.
//
// Time is counted in hundredths of a second ("ticks"). These values are read
// by every subsystem (message delays, countdowns, reload timers); the frame
// loop updates them once per frame through UpdateFrameTime.
//
// The clock reads a monotonic 64-bit counter (the platform's performance
// counter, or a replacement that tests install), so a counter whose low 32
// bits wrap never makes a frame jump. A frame advances at most 20 ticks
// before time compression; the fraction that time compression leaves over is
// carried into the next frame, so slow factors neither lose nor stop time.
#pragma once

#include <cstdint>

struct FrameClock {
    double tickDivisor = 1.0;        // counter frequency / 100
    double millisecondDivisor = 1.0; // counter frequency / 1000
    double preciseDivisor = 1.0;     // counter frequency / 100000
    uint32_t tickCount = 0;          // current tick count
    uint32_t millisecondCount = 0;
    uint32_t previousTickCount = 0;
    int32_t rawFrameTicks = 0; // clamped, before time compression
    int32_t frameTicks = 0;    // ticks this frame advances the game
    uint32_t gameClock = 0;    // sum of frame ticks since start-up
    float frameSeconds = 0.0f; // frameTicks / 100
    float timeCompression = 1.0f;
    uint16_t frameCounter = 0;
    uint64_t previousTicks = 0;    // full tick count of the previous frame
    double compressionCarry = 0.0; // ticks owed by time compression, below 1
};

struct LoopFlags {
    uint8_t quitRequest = 0;
    uint8_t filmMode = 0;
    uint8_t mciFilmPlaying = 0;
    uint8_t pause = 0;
    uint8_t applicationActive = 0;
    int32_t startupDelay = 0; // ticks
    uint8_t skipPresent = 0;
    uint8_t screenshotRequest = 0;
    uint8_t endOfMissionRequest = 0;
    uint8_t jumpArrivalRequest = 0; // 1: the capsule film has run, the jump is due
};

extern FrameClock gFrameClock;
extern LoopFlags gLoopFlags;

// The longest step one frame may take, and the fixed step while screenshots
// are being taken; both before time compression.
constexpr int32_t kMaxFrameTicks = 20;
constexpr int32_t kScreenshotFrameTicks = 7;

// Where the clock reads its counter: a routine returning the count and the
// count's frequency per second. Null restores the performance counter.
using CounterRead = uint64_t (*)();
void SetFrameCounterSource(CounterRead read, uint64_t frequency);

// Sets the divisors from the counter's frequency and takes the first tick
// count; the frame ticks and the game clock start at 0. Run once when the
// main window is created, before the first frame.
void InitFrameClock();

// Reads the counter and advances the frame clock by one frame; returns the
// frame ticks.
int32_t UpdateFrameTime();

// The full counter in units of 1/100000 s, for the frame profiler.
double ReadPreciseClock();
