// A ship broken into shrapnel: a 2,028-face box cut into 9 pieces hung
// under a debris item, and into 5 piece items; the pieces and the items
// are deleted again outside the timing; and the cut alone.
#include <benchmark/benchmark.h>

#include "framework/fw.h"
#include "framework/scene.h"
#include "system/crand.h"
#include "tools/gridbox.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/shrapnel.h"

namespace {

void NoMessages(SceneItem*) {}

SceneItem* Ship(hx_model* model)
{
    SceneItem* item = NewSceneItem();
    AttachSim(item, nullptr);
    SetMessageFunction(item, NoMessages);
    InsertSceneItem(item, 0);
    AttachRootTDP(item)->model = model;
    item->sim->radius = 20;
    return item;
}

void DeleteAll()
{
    while (gSceneList.next != &gSceneList)
        DeleteSceneItem(gSceneList.next);
}

template <bool kIntoItems>
void BM_Break2000Faces(benchmark::State& state)
{
    HxBegin();
    hx_model* box = HxModelAdd(GridBox("ship", 13));
    HxMaterialAdd(HxMaterialAllocate("carbon"));
    ResetSimulation();
    CRandSeed(1);
    for (auto _ : state) {
        state.PauseTiming();
        SceneItem* ship = Ship(box);
        state.ResumeTiming();
        if constexpr (kIntoItems) {
            ShrapnelBreak request{ship, ship->avatar->root, 5, 0, 0, 0, 3.0f, 0, 0};
            benchmark::DoNotOptimize(kqzBreakNearestIntoSceneItems(&request));
        } else {
            benchmark::DoNotOptimize(kqzBreakNearest(ship, ship->avatar->root, 9, 0, 0, 0, 3.0f));
        }
        state.PauseTiming();
        DeleteAll();
        ResetSimulation();
        state.ResumeTiming();
    }
    state.counters["faces"] = box->nfaces;
    HxEnd();
}
BENCHMARK(BM_Break2000Faces<false>)->Name("BM_Break2000FacesInto9Pieces")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Break2000Faces<true>)->Name("BM_Break2000FacesInto5Items")->Unit(benchmark::kMicrosecond);

// The cut alone: the face assignment of the same box to 9 seeds, without
// the models' preparation that HxModelAdd does.
void BM_AssignFaces2000To9Seeds(benchmark::State& state)
{
    HxBegin();
    hx_model* box = GridBox("ship", 13);
    Vector3 seeds[9];
    for (int i = 0; i < 9; ++i)
        seeds[i] = {static_cast<float>(i - 4), static_cast<float>(i % 3), static_cast<float>(i % 2)};
    ShrapnelAssignment assignment;
    for (auto _ : state) {
        AssignFacesToNearestSeeds(box, 9, seeds, &assignment);
        benchmark::DoNotOptimize(assignment.rows.data());
    }
    HxModelFree(box);
    HxEnd();
}
BENCHMARK(BM_AssignFaces2000To9Seeds)->Unit(benchmark::kMicrosecond);

} // namespace
