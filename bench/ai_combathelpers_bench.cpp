// The AI's searches over a full scene: 90 ships among 400 items, every one
// within reach of the others. Per call: PickBestEnemy (with the threat
// rating as it stands), PlanAttackRun (counting friends and foes within
// 25,000,000) and FindNearestItemByFlags.
#include <benchmark/benchmark.h>

#include <vector>

#include "ai/combathelpers.h"
#include "ai/orders.h"
#include "world/pools.h"
#include "world/scenelist.h"
// Each benchmark is built from its one file, so the scenario is compiled in.
#include "tests/support/world_scenario.cpp"

namespace {

// The 90 ships of the scene: every side, marked as fightable, armed, and
// each aimed at the next ship.
std::vector<SceneItem*> BuildShips()
{
    worldscenario::BuildFlight(1, kMaxSceneItems - 1);
    std::vector<SceneItem*> ships;
    for (SceneItem* item = gSceneList.next; item && item != &gSceneList && ships.size() < 90; item = item->next) {
        if (!item->sim || !item->avatar)
            continue;
        ShipInfo* info = item->sim->shipInfo ? item->sim->shipInfo : AllocShipInfo();
        if (!info)
            break;
        item->sim->shipInfo = info;
        InitFlightModel(&info->flightModel, 100, 10, 10, 1e6f, 20, 20, 20, 100);
        item->sim->flightModel = &info->flightModel;
        const int16_t side = static_cast<int16_t>(ships.size() % 7);
        info->side = side;
        item->avatar->classFlags = (0x40u << side) | kClassMarked;
        item->sim->flags |= 0x1400;
        if (!item->sim->weapons)
            item->sim->weapons = AllocWeapon();
        ships.push_back(item);
    }
    for (size_t i = 0; i < ships.size(); ++i)
        ships[i]->sim->target = ships[(i + 1) % ships.size()];
    return ships;
}

void BM_PickBestEnemy(benchmark::State& state)
{
    const std::vector<SceneItem*> ships = BuildShips();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PickBestEnemy(ships[i]));
        i = (i + 1) % ships.size();
    }
}
BENCHMARK(BM_PickBestEnemy)->Unit(benchmark::kMicrosecond);

void BM_PlanAttackRun(benchmark::State& state)
{
    const std::vector<SceneItem*> ships = BuildShips();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PlanAttackRun(ships[i], nullptr));
        i = (i + 1) % ships.size();
    }
}
BENCHMARK(BM_PlanAttackRun)->Unit(benchmark::kMicrosecond);

void BM_FindNearestItemByFlags(benchmark::State& state)
{
    const std::vector<SceneItem*> ships = BuildShips();
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FindNearestItemByFlags(nullptr, kClassMarked, 0x40, ships[i], 0.0f));
        i = (i + 1) % ships.size();
    }
}
BENCHMARK(BM_FindNearestItemByFlags)->Unit(benchmark::kMicrosecond);

} // namespace
