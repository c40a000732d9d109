// The per-frame screen update over a screen of 300 windows that have
// nothing to redraw: the hit-test of every window, one tick each (a message
// poll and a countdown test) and the sweep. The budget is 20 us a frame.
#include <benchmark/benchmark.h>

#include "system/frameclock.h"
#include "system/input.h"
#include "ui/drawtypes.h"
#include "ui/windows.h"
#include "world/messages.h"

namespace {

constexpr int kWindows = 300;

void BM_UpdateScreenNothingToRedraw(benchmark::State& state)
{
    InitMessageBuffer();
    ResetInput();
    guiResetWindowPool();
    WindowHandle* main = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, guiTickWindow, guiDrawRectWindow, 0, 0,
                                         640, 480, 0);
    // Rows of small windows, a third of them children of a panel, some
    // overlapping, as on a bridge station.
    WindowHandle* panel = main;
    for (int i = 1; i < kWindows; ++i) {
        const int16_t x = static_cast<int16_t>((i % 20) * 30);
        const int16_t y = static_cast<int16_t>((i / 20) * 28);
        WindowHandle* parent = i % 3 == 0 ? panel : main;
        WindowHandle* w = guiCreateWindow(static_cast<int16_t>(i % 7 == 4 ? kAnchorTopLeft : i % 7), parent, nullptr,
                                          guiTickWindow, guiDrawButtonWindow, x, y, 40, 20, 0);
        if (i % 30 == 1)
            panel = w;
    }
    gMouse.x = 321;
    gMouse.y = 123;
    gFrameClock.frameTicks = 3;
    guiUpdateScreen(); // the first frame draws everything once
    guiUpdateScreen();
    for (auto _ : state) {
        gFrameClock.gameClock += 3;
        guiUpdateScreen();
    }
    state.counters["windows"] = kWindows;
    guiResetWindowPool();
}
BENCHMARK(BM_UpdateScreenNothingToRedraw)->Unit(benchmark::kMicrosecond);

} // namespace
