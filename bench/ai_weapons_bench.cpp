// Weapon mounts: the per-frame mount update over a full pool of 240 mounts
// (60 ships of four, half of them reloading, the rest testing their arc
// against an obstacle beyond range), and 50 bolts fired in one frame.
#include <benchmark/benchmark.h>

#include <vector>

#include "ai/weapons.h"
#include "system/frameclock.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
// Each benchmark is built from its one file, so the scenario is compiled in.
#include "tests/support/world_scenario.cpp"

namespace {

constexpr int kShips = 60;
constexpr int kMountsPerShip = 4;
constexpr float kLongReload = 1.0e9f; // never runs out during a run

// The scenario's first ships, each with four cannons.
std::vector<SceneItem*> ArmedShips()
{
    worldscenario::BuildFlight(1, kShips);
    gFrameClock.frameTicks = 5;
    std::vector<SceneItem*> ships;
    for (SceneItem* item = gSceneList.next; item && item != &gSceneList; item = item->next) {
        if (item == gPlayerItem || !item->sim || static_cast<int>(ships.size()) == kShips)
            continue;
        for (int16_t code : {1, 3, 5, 7})
            NewWeaponPbc(item, 0, 0, 0, "PBC", code);
        ships.push_back(item);
    }
    return ships;
}

void BM_UpdateWeaponMounts240(benchmark::State& state)
{
    std::vector<SceneItem*> ships = ArmedShips();
    // Every ship's obstacle is one to auto-fire at, but beyond range: each
    // ready cannon tests its arc every frame and none fires.
    for (size_t i = 0; i < ships.size(); ++i) {
        SceneItem* rock = ships[(i + 1) % ships.size()];
        rock->avatar->classFlags |= 0x1;
        rock->sim->position = {1.0e9, 0, 0};
        ships[i]->avatar->obstacle = rock;
        int n = 0;
        for (Weapon* w = ships[i]->sim->weapons; w; w = w->next, ++n)
            w->reloadTimer = n % 2 ? kLongReload : 0.0f;
    }
    for (auto _ : state)
        for (SceneItem* ship : ships)
            UpdateWeaponMounts(ship->sim->weapons, ship);
    state.counters["mounts"] = static_cast<double>(ships.size() * kMountsPerShip);
}
BENCHMARK(BM_UpdateWeaponMounts240)->Unit(benchmark::kMicrosecond);

void BM_Fire50BoltsInOneFrame(benchmark::State& state)
{
    std::vector<SceneItem*> ships = ArmedShips();
    ships.resize(50);
    std::vector<SceneItem*> bolts;
    for (auto _ : state) {
        for (SceneItem* ship : ships)
            FireWeapon(nullptr, 0, 0, 0, ship, ship->sim->weapons);
        state.PauseTiming();
        ForEachSceneItem([&](SceneItem* item) {
            if (item->avatar->weapon)
                bolts.push_back(item);
            return true;
        });
        state.counters["bolts"] = static_cast<double>(bolts.size());
        for (SceneItem* bolt : bolts)
            DeleteSceneItem(bolt);
        bolts.clear();
        PurgeStaleMessages(); // as every frame ends

        for (SceneItem* ship : ships)
            ship->sim->weapons->reloadTimer = 0.0f;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Fire50BoltsInOneFrame)->Unit(benchmark::kMicrosecond);

} // namespace
