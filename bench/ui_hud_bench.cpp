// One frame of the flight HUD (UpdateHud) with the cockpit's elements:
// seven trails, the Lagrange scale, the part markers, the mount pointers,
// the space grid, the component boxes, the model-point markers and the
// position marker, over 100 ships in front of the player, drawn into a
// 640 x 480 8-bit view. The target is under 1 ms a frame in the release
// build.
#include <benchmark/benchmark.h>

#include "framework/fw.h"
#include "framework/pixelmap.h"
#include "framework/scene.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "ui/hud.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"

namespace {

constexpr int kShips = 100;

SceneItem* Ship(float x, float y, float z)
{
    SceneItem* item = NewSceneItem();
    AttachSim(item, nullptr);
    InsertSceneItem(item, 0);
    AttachRootTDP(item);
    MatIdentity(item->sim->matrix);
    item->sim->matrix.m[12] = x;
    item->sim->matrix.m[13] = y;
    item->sim->matrix.m[14] = z;
    item->sim->position = {x, y, z};
    item->sim->speed = 200000;
    item->sim->radius = 20000;
    item->avatar->matrix = item->sim->matrix;
    return item;
}

void BM_UpdateHudCockpitWith100Ships(benchmark::State& state)
{
    HxBegin();
    ResetSimulation();
    CRandSeed(1);
    static hx_model model{};
    model.bounds.min = {-2000, -500, -4000};
    model.bounds.max = {2000, 500, 4000};
    static HullBox boxes[10];
    static HullBounds hull{};
    for (int i = 0; i < 10; ++i)
        boxes[i] = {{-100.0f * i, -50, -200}, {100.0f * i, 50, 200}, i + 1 < 10 ? &boxes[i + 1] : nullptr, 0};
    hull.boxes = boxes;
    hull.pointCount = kHullBoundsPoints;
    for (int i = 0; i < kHullBoundsPoints; ++i)
        hull.points[i] = {100.0f * i, 0, 0};

    SceneItem* player = Ship(0, 0, 0);
    player->sim->speed = 1e6f;
    player->sim->velocity = {0, 0, 1e6f};
    gPlayerItem = gControlledItem = player;
    SceneItem* ships[kShips];
    for (int i = 0; i < kShips; ++i) {
        ships[i] = Ship(float((i % 10 - 5) * 30000), float((i / 10 - 5) * 30000), 200000.0f + 10000.0f * i);
        ships[i]->avatar->root->model = &model;
        ships[i]->avatar->root->hullBounds = &hull;
    }
    SceneItem* viewed = ships[0];
    viewed->sim->shipInfo = AllocShipInfo();
    for (int w = 0; w < 8; ++w) {
        Weapon* mount = AllocWeapon();
        mount->directionCode = int16_t(w);
        mount->mountPosition = {500.0f * w, 0, 0};
        mount->next = viewed->sim->weapons;
        viewed->sim->weapons = mount;
    }
    player->sim->target = viewed;

    hx_pixelmap* colour = HxPixelmapAllocate(HX_PMT_INDEX_8, 640, 480, nullptr, 0);
    colour->origin_x = 320;
    colour->origin_y = 240;
    gView.colourTarget = colour;
    gView.viewer = player;
    gView.viewport = {0, 0, 639, 479};
    gView.hudViewport = {-320, -240, 319, 239};
    gView.centreX = 320;
    gView.centreY = 240;
    gProjectionDistance = 579.4f;

    for (int i = 0; i < 7; ++i) {
        HUD* trail = InitTrailHud(AllocHUD(), nullptr, 0);
        trail->params[4] = i + 1;
        RegisterHud(trail);
    }
    RegisterHud(InitCaptionScaleHud(AllocHUD(), "LAGRANGE", nullptr, 0));
    HUD* parts = AllocHUD();
    InitShipPartMarkersHud(parts, viewed, 0);
    RegisterHud(parts);
    HUD* arcs = AllocHUD();
    InitFiringArcHud(arcs, viewed, 0);
    RegisterHud(arcs);
    RegisterHud(InitSpaceGridHud(AllocHUD(), nullptr, 0));
    HUD* boxesHud = AllocHUD();
    InitComponentBoxesHud(boxesHud, viewed, 0);
    RegisterHud(boxesHud);
    HUD* points = AllocHUD();
    InitModelPointMarkersHud(points, viewed, 0);
    RegisterHud(points);
    RegisterHud(InitPositionMarkerHud(AllocHUD(), viewed, 0));
    gHud.visible = 255;
    gHud.fadeDirection = 0;
    gHud.singleTrail = 1;
    gFrameClock.frameTicks = 5;
    gFrameClock.frameSeconds = 0.05f;
    for (int warm = 0; warm < 100; ++warm)
        UpdateHud();

    for (auto _ : state)
        UpdateHud();
    state.counters["elements"] = gHud.count;

    gView.colourTarget = nullptr;
    gView.viewer = nullptr;
    HxPixelmapFree(colour);
    ResetSimulation();
    HxEnd();
}
BENCHMARK(BM_UpdateHudCockpitWith100Ships)->Unit(benchmark::kMicrosecond);

} // namespace
