// The control phase of a fight with docking traffic: CONTROL_AI for 30 ships
// in CombatState (paired against each other) and 10 running DockingBaseState
// on one station, among 400 items, over 1,000 frames of 5 ticks. Reports the
// mean and the longest frame of the control phase.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "ai/aistate.h"
#include "ai/docking.h"
#include "system/frameclock.h"
#include "world/pools.h"
#include "world/scenelist.h"
// Each benchmark is built from its one file, so the scenario is compiled in.
#include "tests/support/world_scenario.cpp"

namespace {

constexpr int kFighters = 30;
constexpr int kDockers = 10;
constexpr int kFrames = 1000;

ShipInfo* ShipInfoFor(SceneItem* item)
{
    if (!item->sim->shipInfo)
        item->sim->shipInfo = AllocShipInfo();
    ShipInfo* info = item->sim->shipInfo;
    if (info) {
        info->flightModel.acceleration = 4000;
        info->flightModel.secondThrust = 2000;
        info->flightModel.topSpeed = 50000;
        info->flightModel.pitchRate = info->flightModel.yawRate = info->flightModel.rollRate = 60;
        item->sim->flightModel = &info->flightModel;
    }
    return info;
}

void Start(SceneItem* item, int32_t state, SceneItem* target)
{
    ShipInfo* info = item->sim->shipInfo;
    ResetStateStack(info);
    info->stateStack[0].stateId = state;
    info->stateStack[0].subState = 1;
    info->stateStack[0].timerSlot = 5;
    item->sim->target = item->sim->secondTarget = target;
}

void BM_CombatAndDockingControl(benchmark::State& state)
{
    worldscenario::BuildFlight(1, kMaxSceneItems - 1);
    LoadAIStateTable();
    std::vector<SceneItem*> ships;
    for (SceneItem* item = gSceneList.next; item && item != &gSceneList; item = item->next)
        if (item != gPlayerItem && item->sim && ships.size() < kFighters + kDockers + 1 && ShipInfoFor(item))
            ships.push_back(item);
    if (ships.size() < kFighters + kDockers + 1) {
        state.SkipWithError("too few ships");
        return;
    }
    SceneItem* station = ships.back();
    ships.pop_back();
    for (int n = 0; n < kDockers; ++n)
        AddDockPoint(station, kDockFree, 1, 0, 0, 0, 0, 0, 0, 90);
    for (int n = 0; n < kFighters; ++n) {
        ships[n]->sim->flags |= 0x400;
        Start(ships[n], 33, ships[n ^ 1]);
    }
    for (int n = kFighters; n < kFighters + kDockers; ++n) {
        AddDockPoint(ships[n], kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
        Start(ships[n], 13, station);
    }
    gFrameClock.frameTicks = 5;
    gFrameClock.frameSeconds = 0.05f;
    double longest = 0.0, total = 0.0;
    int64_t frames = 0;
    for (auto _ : state) {
        for (int f = 0; f < kFrames; ++f) {
            const auto begin = std::chrono::steady_clock::now();
            for (SceneItem* ship : ships)
                CONTROL_AI(ship);
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
            longest = std::max(longest, ms);
            total += ms;
            ++frames;
        }
    }
    int running = 0; // ships whose order is still the one they started with
    for (SceneItem* ship : ships)
        running += ship->sim->shipInfo->stateStack[0].stateId != 0;
    state.counters["running"] = running;
    state.counters["mean_ms"] = total / static_cast<double>(frames);
    state.counters["max_ms"] = longest;
    LoadAIStateTable();
}
BENCHMARK(BM_CombatAndDockingControl)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
