// One frame of the cameras with the director running: DirectorUpdate, the
// view camera's chase, the target and weapon cameras, and the planet detail
// refresh of 30 bodies competing for the three pool spheres. The target is
// under 20 microseconds a frame in the release build.
#include <benchmark/benchmark.h>

#include "framework/scene.h"
#include "screens/bridge.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "view/bodyrender.h"
#include "view/cameras.h"
#include "view/renderpasses.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/universe.h"

namespace {

constexpr int kBodies = 30;
constexpr int kShips = 20;

SceneItem* Item(double x, double y, double z, float radius)
{
    SceneItem* item = NewSceneItem();
    InsertSceneItem(item, 0);
    AttachSim(item, nullptr);
    AttachRootTDP(item);
    item->sim->position = {x, y, z};
    MatIdentity(item->sim->matrix);
    item->sim->matrix.m[12] = float(x);
    item->sim->matrix.m[13] = float(y);
    item->sim->matrix.m[14] = float(z);
    item->sim->radius = radius;
    return item;
}

void BM_CameraFrameWithThirtyBodies(benchmark::State& state)
{
    HxBegin();
    ResetSimulation();
    ResetCameras();
    CRandSeed(1);
    hx_model* onePoint = GetOnePointModel();
    for (PlanetModelSlot& slot : gPlanetModelSlots) {
        slot = PlanetModelSlot{};
        slot.model = onePoint;
        std::snprintf(slot.textureName, sizeof slot.textureName, "%s", "earth");
    }
    gPlanetModelSlotsInUse = kPlanetModelSlots;

    SceneItem* player = Item(0, 0, 0, 500);
    player->sim->shipInfo = AllocShipInfo();
    gPlayerItem = gControlledItem = player;
    for (int i = 0; i < kShips; ++i) {
        SceneItem* ship = Item(CRand() % 100000 - 50000, CRand() % 100000 - 50000, CRand() % 100000, 300);
        ship->sim->shipInfo = AllocShipInfo();
        if (i == 0)
            player->sim->target = ship;
    }
    for (int i = 0; i < kBodies; ++i) {
        SceneItem* body = Item((i + 1) * 2e5, (i % 5) * 1e5, (i % 7) * 3e5, 4e4f);
        body->avatar->tdpSync = UpdatePlanetRender;
        TDP* root = body->avatar->root;
        root->materialName = "earth";
        root->radius = 4e4f;
        root->flags |= kTdpInScene;
        root->actor = HxActorAllocate(HX_ACTOR_MODEL, nullptr);
        root->actor->model = onePoint;
    }
    gPlayerCamera = Item(0, 0, -10000, 0);
    gPlayerCamera->avatar->cameraMinimumDistance = 7500;
    gPlayerCamera->avatar->cameraLag = 900;
    gTargetCamera = Item(0, 0, 0, 0);
    gTargetCamera->avatar->linkItem = player;
    SceneItem* weaponCamera = Item(0, 0, 0, 0);

    CurrentStation = 2;
    gFrameClock.frameTicks = 5;
    gFrameClock.frameSeconds = 0.05f;
    StartDirector();
    DirectorOfferShot(player, nullptr, kShotCycling);
    for (auto _ : state) {
        gFrameClock.gameClock += 5;
        DirectorUpdate();
        if (gPlayerCamera->control)
            gPlayerCamera->control(gPlayerCamera);
        TargetCamera(gTargetCamera);
        WeaponCameraStep(weaponCamera);
        RefreshPlanetDetail();
        benchmark::DoNotOptimize(gPlayerCamera->sim->matrix);
    }
    ForEachSceneItem([](SceneItem* item) {
        if (TDP* root = item->avatar->root; root && root->actor) {
            HxActorFree(root->actor);
            root->actor = nullptr;
        }
        return true;
    });
    for (PlanetModelSlot& slot : gPlanetModelSlots)
        slot = PlanetModelSlot{};
    gPlayerCamera = gTargetCamera = nullptr;
    ResetCameras();
    ResetSimulation();
    HxEnd();
}
BENCHMARK(BM_CameraFrameWithThirtyBodies)->Unit(benchmark::kMicrosecond);

} // namespace
