// The cost of the frame loop itself: an empty frame (every subsystem it calls
// doing nothing, the display a no-op) and one frame-clock update.
#include <benchmark/benchmark.h>

#include "system/display.h"
#include "system/frameclock.h"
#include "system/frameloop.h"
#include "system/input.h"

namespace {

int OpenNothing(DisplayMode&) { return 1; }
void Nothing() {}
void NothingWithMode(DisplayMode&) {}
void NoPaletteHandle(const SystemPalette*) {}
void NoPalette(const PaletteEntry*) {}
const DisplayDriver kNullDisplay = {OpenNothing,     Nothing,         NothingWithMode,
                                    NothingWithMode, NothingWithMode, Nothing,
                                    NoPaletteHandle, NoPalette,       NoPalette};

uint64_t gCount = 0;
uint64_t SteppingCounter()
{
    return gCount += 10'000'000; // 10 ms a read on a nanosecond counter
}

void BM_EmptyFrame(benchmark::State& state)
{
    const DisplayDriver* saved = gDisplayDriver;
    gDisplayDriver = &kNullDisplay;
    ResetInput();
    for (auto _ : state)
        benchmark::DoNotOptimize(RunFrame());
    gDisplayDriver = saved;
}
BENCHMARK(BM_EmptyFrame);

void BM_UpdateFrameTime(benchmark::State& state)
{
    SetFrameCounterSource(SteppingCounter, 1'000'000'000);
    InitFrameClock();
    for (auto _ : state)
        benchmark::DoNotOptimize(UpdateFrameTime());
    SetFrameCounterSource(nullptr, 0);
}
BENCHMARK(BM_UpdateFrameTime);

} // namespace
