// The cost of the frame loop itself: an empty frame (every subsystem it calls
// doing nothing, the display a no-op), one frame-clock update, and the share
// of one core that the paced loop uses when it has nothing else to do.
#include <benchmark/benchmark.h>

#include "system/display.h"
#include "system/frameclock.h"
#include "game/frameloop.h"
#include "system/input.h"
#include "system/settings.h"

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace {

int OpenNothing(DisplayMode&) { return 1; }
void Nothing() {}
void NothingWithMode(DisplayMode&) {}
void NoPaletteHandle(const SystemPalette*) {}
void NoPalette(const PaletteEntry*) {}
const DisplayDriver kNullDisplay = {OpenNothing, Nothing, NothingWithMode,
                                    NothingWithMode, NothingWithMode, Nothing,
                                    NoPaletteHandle, NoPalette, NoPalette};

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

double ProcessCpuSeconds()
{
    timespec t;
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Two seconds of the loop with pacing on and empty frames: the counters give
// the share of a core used and the passes run a second.
void BM_PacedIdleLoop(benchmark::State& state)
{
    const DisplayDriver* saved = gDisplayDriver;
    gDisplayDriver = &kNullDisplay;
    gLoopFlags.applicationActive = 1;
    ResetInput();
    ::unsetenv(kUnpacedVariable);
    double cpu = 0, wall = 0, passes = 0;
    for (auto _ : state) {
        const double cpuStart = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        int exitCode = 0;
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2)) {
            RunFrameLoopPass(exitCode);
            ++passes;
        }
        cpu += ProcessCpuSeconds() - cpuStart;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["core_share"] = cpu / wall;
    state.counters["passes_per_s"] = passes / wall;
    gDisplayDriver = saved;
}
BENCHMARK(BM_PacedIdleLoop)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
