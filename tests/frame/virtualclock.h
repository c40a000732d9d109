// A virtual performance counter for the frame tests: time moves only when a
// test advances it, and an optional per-read step lets whole runs of the
// frame loop be scripted.
#pragma once

#include <cstdint>

#include "system/frameclock.h"

namespace virtualclock {

constexpr uint64_t kFrequency = 1'000'000'000; // counts per second

inline uint64_t now = 0;
inline uint64_t stepPerRead = 0;   // time that passes before each read
inline void (*onRead)() = nullptr; // runs before each read (frame scripts)

inline uint64_t Read()
{
    if (onRead)
        onRead();
    now += stepPerRead;
    return now;
}

inline constexpr uint64_t Milliseconds(uint64_t ms) { return ms * (kFrequency / 1000); }

// Installs the virtual counter at `start` and restarts the frame clock on it.
inline void Install(uint64_t start = Milliseconds(1000))
{
    now = start;
    stepPerRead = 0;
    onRead = nullptr;
    gFrameClock = FrameClock{};
    gLoopFlags = LoopFlags{};
    SetFrameCounterSource(Read, kFrequency);
    InitFrameClock();
}

inline void Remove()
{
    onRead = nullptr;
    SetFrameCounterSource(nullptr, 0);
}

} // namespace virtualclock
