// The frame clock and the loop flags: how far each frame advances the game.
//
// Time is counted in hundredths of a second ("ticks"). These values are read
// by every subsystem (message delays, countdowns, reload timers); the frame
// loop updates them once per frame.
#pragma once

#include <cstdint>

struct FrameClock {
    double tickDivisor = 1.0;        // counter frequency / 100
    double millisecondDivisor = 1.0; // counter frequency / 1000
    double preciseDivisor = 1.0;     // counter frequency / 100000
    uint32_t tickCount = 0;          // current tick count
    uint32_t millisecondCount = 0;
    uint32_t previousTickCount = 0;
    int32_t rawFrameTicks = 0;       // clamped, before time compression
    int32_t frameTicks = 0;          // ticks this frame advances the game
    uint32_t gameClock = 0;          // sum of frame ticks since start-up
    float frameSeconds = 0.0f;       // frameTicks / 100
    float timeCompression = 1.0f;
    uint16_t frameCounter = 0;
};

struct LoopFlags {
    uint8_t quitRequest = 0;
    uint8_t filmMode = 0;
    uint8_t mciFilmPlaying = 0;
    uint8_t pause = 0;
    uint8_t applicationActive = 0;
    int32_t startupDelay = 0;        // ticks
    uint8_t skipPresent = 0;
    uint8_t screenshotRequest = 0;
    uint8_t endOfMissionRequest = 0;
};

extern FrameClock gFrameClock;
extern LoopFlags gLoopFlags;
