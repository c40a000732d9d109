// The AI control phase of a busy encounter: 90 AI ships among 400 items (30
// fighting, 20 escorts, 20 gun platforms, 10 docking, 10 loitering or on
// bus routes, one hunting chain walking the list), frames of 5 ticks. Each
// iteration is one frame's CONTROL_AI over the 90 ships; the slowest frame
// is reported beside the mean.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "ai/aistate.h"
#include "system/frameclock.h"
#include "world/pools.h"
#include "world/scenelist.h"
// Each benchmark is built from its one file, so the scenario is compiled in.
#include "tests/support/world_scenario.cpp"

namespace {

struct Role {
    int count;
    int32_t state, p1, p2, p3;
};

void BM_ControlPhaseEncounter(benchmark::State& state)
{
    worldscenario::BuildFlight(1, kMaxSceneItems - 1);
    LoadAIStateTable();
    std::vector<SceneItem*> items;
    for (SceneItem* item = gSceneList.next; item && item != &gSceneList; item = item->next)
        if (item != gPlayerItem && item->sim)
            items.push_back(item);
    const int32_t leader = static_cast<int32_t>(ItemHandle(items.empty() ? nullptr : items.back()));
    const Role roles[] = {
        {30, 33, 0, 0, 0},          // fighting
        {20, 49, 70000, leader, 0}, // escorts
        {20, 22, 4, 1216, 0},       // gun platforms
        {10, 13, 0, 0, 0},          // docking
        {9, 54, leader, 0, 0},      // loitering (the pool holds 90 ShipInfos)
        {1, 4, 0, 0, 0},            // the hunting chain
    };
    std::vector<SceneItem*> ships;
    size_t next = 0;
    for (const Role& role : roles)
        for (int n = 0; n < role.count && next < items.size(); ++n, ++next) {
            SceneItem* item = items[next];
            if (!item->sim->shipInfo)
                item->sim->shipInfo = AllocShipInfo();
            ShipInfo* info = item->sim->shipInfo;
            if (!info)
                continue;
            if (!item->sim->flightModel)
                item->sim->flightModel = &info->flightModel;
            ResetStateStack(info);
            AIStateFrame& bottom = info->stateStack[0];
            bottom.stateId = role.state;
            bottom.parameter1 = role.p1;
            bottom.parameter2 = role.p2;
            bottom.parameter3 = role.p3;
            bottom.subState = 1;
            bottom.timerSlot = 5;
            item->sim->target = items[(next + 7) % items.size()];
            ships.push_back(item);
        }
    gFrameClock.frameTicks = 5;
    gFrameClock.frameSeconds = 0.05f;
    double slowest = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (SceneItem* ship : ships)
            CONTROL_AI(ship);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        slowest = std::max(slowest, took.count());
    }
    state.counters["ships"] = static_cast<double>(ships.size());
    state.counters["slowest_ms"] = slowest;
    LoadAIStateTable();
}
BENCHMARK(BM_ControlPhaseEncounter)->Unit(benchmark::kMicrosecond)->Iterations(1000);

} // namespace
