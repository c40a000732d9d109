// Hit resolution: 50 bolts strike 50 ships in one frame, each contact
// resolved by ProjectileHit (hard points re-aimed, deflection tested) and
// its impact applied by ApplyHitDamage, among the 60 ships of the flight
// scenario.
#include <benchmark/benchmark.h>

#include <vector>

#include "ai/combat.h"
#include "system/frameclock.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
// Each benchmark is built from its one file, so the scenario is compiled in.
#include "tests/support/world_scenario.cpp"

namespace {

constexpr int kHits = 50;
constexpr int kShips = 60;

void BM_Resolve50HitsInOneFrame(benchmark::State& state)
{
    worldscenario::BuildFlight(1, kShips);
    gFrameClock.frameTicks = 5;
    gPlayerItem = gControlledItem = nullptr;
    std::vector<SceneItem*> ships;
    for (SceneItem* item = gSceneList.next; item != &gSceneList; item = item->next) {
        ShipInfo* info = AllocShipInfo();
        item->sim->shipInfo = info;
        info->damage.maximumHull = 1 << 30; // never destroyed during a run
        info->damage.armour = 40;
        info->hardPointCount = 2;
        info->hardPoints[0].condition = 30;
        info->hardPoints[1].condition = 30;
        item->avatar->classFlags = 0x4 | (ships.size() % 2 ? 0x80 : 0x100); // two sides
        SetMessageFunction(item, HandleItemMessages);
        ships.push_back(item);
    }
    // One bolt for each of the first 50 ships, fired by its neighbour.
    Weapon mount{};
    mount.flags = 0x20; // a bolt
    mount.damage = 150;
    mount.penetration = 55;
    mount.range = 200000;
    std::vector<SceneItem*> bolts;
    for (int i = 0; i < kHits; ++i) {
        SceneItem* bolt = NewSceneItem();
        InsertSceneItem(bolt, 0);
        AttachSim(bolt, nullptr);
        AttachRootTDP(bolt);
        SetMessageFunction(bolt, HandleItemMessages);
        bolt->avatar->shooter = ships[(i + 1) % ships.size()];
        bolt->avatar->weapon = &mount;
        bolt->sim->velocity = {0, 0, 600000};
        bolts.push_back(bolt);
    }
    for (auto _ : state) {
        for (int i = 0; i < kHits; ++i) {
            SceneItem* ship = ships[i];
            int16_t handled = 0;
            const Vector3 contact{ship->sim->matrix.m[12], ship->sim->matrix.m[13], ship->sim->matrix.m[14]};
            ProjectileHit(bolts[i], bolts[i]->avatar->root, ship, ship->avatar->root, &handled, &contact);
            ItemMessage m;
            while (FetchItemMessage(ship->receiver, &m))
                if (m.kind == kMsgImpact)
                    ApplyHitDamage(ship, &m);
        }
        state.PauseTiming();
        ItemMessage m;
        for (SceneItem* bolt : bolts) {
            bolt->avatar->root->flags |= kTdpCollides;
            while (FetchItemMessage(bolt->receiver, &m)) {
            }
        }
        for (SceneItem* ship : ships) {
            ship->sim->shipInfo->damage.hullDamage = 0;
            while (FetchItemMessage(ship->receiver, &m)) {
            }
        }
        PurgeStaleMessages(); // as every frame ends
        state.ResumeTiming();
    }
    state.counters["hits"] = kHits;
}
BENCHMARK(BM_Resolve50HitsInOneFrame)->Unit(benchmark::kMicrosecond);

} // namespace
