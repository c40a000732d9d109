// A frame that fills the world: 400 items made and linked into the scene
// list one after another (a mission's opening, a belt, a break-up), every
// eighth into the tail group.
#include <benchmark/benchmark.h>

#include "world/pools.h"
#include "world/scenelist.h"

namespace {

void Step(SceneItem*) {}

void BM_Spawn400Items(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        ResetSimulation();
        state.ResumeTiming();
        for (int i = 0; i < kMaxSceneItems; ++i) {
            SceneItem* item = NewSceneItem();
            AttachSim(item, Step);
            SetMessageFunction(item, Step);
            InsertSceneItem(item, static_cast<int16_t>(i % 8 == 7 ? kItemTailGroup : 0));
        }
        benchmark::DoNotOptimize(gSceneList.prev);
    }
    state.SetItemsProcessed(state.iterations() * kMaxSceneItems);
}
BENCHMARK(BM_Spawn400Items);

} // namespace
