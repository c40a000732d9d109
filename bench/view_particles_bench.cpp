// One frame of 20 full large emitters (250 points each), in two steady
// states: every point living one tick and emitted anew each frame (the
// costliest case), and points living 10-19 ticks with a tenth of them
// re-emitted each frame (a full exhaust). The target is under 0.15 ms a
// frame in the release build.
#include <benchmark/benchmark.h>

#include "framework/scene.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "view/particles.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"

namespace {

// Twenty large type-`type` emitters on one item, each frame one tick.
void RunTwentyEmitters(benchmark::State& state, int32_t type, int32_t pointLife, int32_t rate)
{
    HxBegin();
    ResetSimulation();
    CRandSeed(1);
    SceneItem* item = NewSceneItem();
    AttachSim(item, nullptr);
    InsertSceneItem(item, 0);
    AttachRootTDP(item);
    item->sim->radius = 1000.0f;
    gFrameClock.frameTicks = 1;
    gFrameClock.frameSeconds = 0.01f;
    TDP* emitters[kMaxParticleEmitters];
    for (TDP*& tdp : emitters) {
        tdp = AttachParticleEmitter(item, nullptr, type, kEmitterGeneral, 1000, kLargeEmitterPoints, pointLife,
                                    500.0f, rate, 45.0f);
        if (!tdp) {
            state.SkipWithError("no emitter record");
            return;
        }
    }
    for (int warm = 0; warm < 50; ++warm)
        for (TDP* tdp : emitters)
            UpdateEmitterTdp(tdp, &item->sim->matrix);
    int live = 0;
    for (TDP* tdp : emitters)
        for (int i = 0; i < kLargeEmitterPoints; ++i)
            live += tdp->emitter->points[i].life > 0;
    for (auto _ : state)
        for (TDP* tdp : emitters)
            UpdateEmitterTdp(tdp, &item->sim->matrix);
    state.counters["live"] = live;
    ResetSimulation();
    HxEnd();
}

// Type 0 refills every free point; each lives one tick.
void BM_TwentyEmittersAllNewEachFrame(benchmark::State& state)
{
    RunTwentyEmitters(state, 0, 2, 0);
}
BENCHMARK(BM_TwentyEmittersAllNewEachFrame)->Unit(benchmark::kMicrosecond);

// 2,500 points a second, 25 a frame, each living 10-19 ticks: full.
void BM_TwentyFullExhausts(benchmark::State& state)
{
    RunTwentyEmitters(state, 2, 20, 2500);
}
BENCHMARK(BM_TwentyFullExhausts)->Unit(benchmark::kMicrosecond);

} // namespace
