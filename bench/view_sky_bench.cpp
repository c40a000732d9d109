// The software passes of one frame at 640 x 480 x 8 bits: the star field
// (1200 stars, trails while the view turns) and the particle pass over 20
// full exhaust emitters (250 streak points each) that the emitter code made
// and the render projected. The target is under 1 ms a frame in the release
// build.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "framework/diag.h"
#include "framework/scene.h"
#include "system/canvas.h"
#include "system/crand.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "ui/windows.h"
#include "view/particles.h"
#include "view/renderpasses.h"
#include "view/skyandlights.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "view/viewwindows.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler gQuiet = {"bench", Quiet, Quiet};

constexpr int kWidth = 640, kHeight = 480;
std::vector<uint8_t> gFrame(size_t(kWidth) * kHeight, 176);
uint8_t* gPixels = gFrame.data();

SceneItem* NewItem(float z)
{
    SceneItem* item = NewSceneItem();
    InsertSceneItem(item, 0);
    AttachSim(item, nullptr);
    AttachRootTDP(item);
    MatIdentity(item->sim->matrix);
    item->sim->matrix.m[14] = z;
    item->sim->radius = 1000.0f;
    item->avatar->matrix = item->sim->matrix;
    return item;
}

// The viewer turned about its up axis.
Matrix4 Turned(float radians)
{
    Matrix4 m{};
    MatIdentity(m);
    m.m[0] = m.m[10] = std::cos(radians);
    m.m[2] = -std::sin(radians);
    m.m[8] = std::sin(radians);
    return m;
}

void BM_StarsAndTwentyFullEmitters(benchmark::State& state)
{
    ResetSimulation();
    gScreenMode.width = kWidth;
    gScreenMode.height = kHeight;
    gScreenMode.depth = 8;
    gScreenMode.frameBuffer = &gPixels;
    InitializeP3D();
    HxDiagHandlerSet(&gQuiet);
    CRandSeed(5);
    BuildStarCatalogue();

    SceneItem* viewer = NewItem(0.0f);
    SceneItem* ship = NewItem(10000.0f);
    gFrameClock.frameTicks = 1;
    gFrameClock.frameSeconds = 0.01f;
    std::vector<TDP*> emitters;
    for (int i = 0; i < 20; ++i) {
        TDP* tdp = AttachParticleEmitter(ship, nullptr, 2, kEmitterGeneral, 1000, kLargeEmitterPoints, 20, 3000.0f,
                                         2500, 45.0f);
        if (!tdp) {
            state.SkipWithError("no emitter record");
            return;
        }
        emitters.push_back(tdp);
    }
    for (int warm = 0; warm < 50; ++warm)
        for (TDP* tdp : emitters)
            UpdateEmitterTdp(tdp, &ship->sim->matrix);

    // Two frames drawn: the points are projected, and the streaks know
    // where they were.
    WindowHandle window{};
    window.width = kWidth;
    window.height = kHeight;
    guiSetViewedItems(&window, viewer);
    RegisterViewWindow(&window);
    RenderViewWindow(&window);
    std::vector<std::vector<Vector3>> last; // where the first frame left each point
    for (TDP* tdp : emitters) {
        last.emplace_back();
        for (int i = 0; i < tdp->emitter->capacity; ++i)
            last.back().push_back(tdp->emitter->points[i].offset);
    }
    gFrameClock.frameTicks = 5; // a few pixels of travel: streaks
    gFrameClock.frameSeconds = 0.05f;
    for (TDP* tdp : emitters)
        UpdateEmitterTdp(tdp, &ship->sim->matrix);
    RenderViewWindow(&window);
    for (size_t k = 0; k < emitters.size(); ++k)
        for (int i = 0; i < emitters[k]->emitter->capacity; ++i)
            emitters[k]->emitter->points[i].offset = last[k][size_t(i)];

    // The targets as the render passes leave them for the software passes.
    AllocViewPixelmaps(&window);
    ViewWindowRecord* record = FindViewWindowRecord(&window);
    gView.window = record;
    gView.colourTarget = record->colour;
    gView.depthTarget = record->depth;
    gView.viewer = viewer;
    gView.hudViewport = {-kWidth / 2, -kHeight / 2, kWidth / 2 - 1, kHeight / 2 - 1};

    std::vector<std::vector<EmitterPoint>> points;
    int live = 0;
    for (TDP* tdp : emitters) {
        const ParticleEmitter* e = tdp->emitter;
        points.emplace_back(e->points, e->points + e->capacity);
        for (int i = 0; i < e->pointCount; ++i)
            live += e->points[i].life > 0 && e->points[i].screen.z > 0.0f;
    }
    const Matrix4 turns[2] = {Turned(0.0f), Turned(0.03f)};
    int frame = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Every streak starts from the same last place each frame.
        for (size_t k = 0; k < emitters.size(); ++k)
            std::copy(points[k].begin(), points[k].end(), emitters[k]->emitter->points);
        viewer->sim->matrix = turns[++frame & 1];
        gStarTrailCountdown = 1;
        state.ResumeTiming();
        DrawStarField();
        DrawAllParticles(0);
    }
    state.counters["points_in_view"] = live;
    int drawn = 0; // pixels the passes drew over the sky
    for (uint8_t p : gFrame)
        drawn += p != 176;
    state.counters["pixels"] = drawn;
    FreeViewPixelmaps(&window);
    gView.window = nullptr;
    gView.colourTarget = gView.depthTarget = nullptr;
    ResetSimulation();
    ShutdownP3D();
}
BENCHMARK(BM_StarsAndTwentyFullEmitters)->Unit(benchmark::kMicrosecond);

} // namespace
