// The planet texture generator (a 512 x 512 height map coloured into two
// 256 x 256 textures), which runs at every jump into a system with generated
// planets: the target is under 15 ms in the release build. And the belt
// membership of the watched items against 8 belts, every frame: under 20 us.
#include <benchmark/benchmark.h>

#include <vector>

#include "framework/diag.h"
#include "framework/pixelmap.h"
#include "framework/scene.h"
#include "system/display.h"
#include "view/asteroids.h"
#include "view/planets.h"
#include "view/viewstart.h"
#include "world/records.h"
#include "world/scenelist.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler gQuiet = {"bench", Quiet, Quiet};

constexpr int kWidth = 640, kHeight = 480;
std::vector<uint8_t> gFrame(size_t(kWidth) * kHeight, 0);
uint8_t* gPixels = gFrame.data();

void StartView()
{
    ResetSimulation();
    gScreenMode.width = kWidth;
    gScreenMode.height = kHeight;
    gScreenMode.depth = 8;
    gScreenMode.frameBuffer = &gPixels;
    InitializeP3D();
    HxDiagHandlerSet(&gQuiet);
}

SceneItem* NewItem(double x, double y)
{
    SceneItem* item = NewSceneItem();
    InsertSceneItem(item, 0);
    AttachSim(item, nullptr);
    item->sim->position = {x, y, 0};
    return item;
}

void BM_GeneratePlanetTextures(benchmark::State& state)
{
    StartView();
    int seed = 0;
    for (auto _ : state) {
        GeneratePlanetTextures(2, seed);
        state.PauseTiming();
        for (int number : {2, 3}) {
            char name[32];
            std::snprintf(name, sizeof name, "$b_%1i_%3i_%i.pix", 2, seed, number);
            if (hx_pixelmap* map = HxMapFind(name)) {
                HxMapRemove(map);
                HxPixelmapFree(map);
            }
        }
        seed = (seed + 1) & 0xFF;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GeneratePlanetTextures)->Unit(benchmark::kMillisecond);

void BM_UpdateBeltMembershipEightBelts(benchmark::State& state)
{
    StartView();
    ResetAsteroidBelts();
    ClearBeltWatchList();
    SceneItem* sun = NewItem(0, 0);
    for (int i = 0; i < 8; ++i)
        AddAsteroidBelt(1e9f * float(i + 1), sun, 0);
    gPlayerItem = NewItem(3.05e9, 1e6);
    for (int i = 0; i < 7; ++i)
        WatchBeltItem(NewItem(1e9 * (i + 1), 1e5 * i));
    for (auto _ : state) {
        UpdateBeltMembership();
        benchmark::DoNotOptimize(gPlayerItem->flags);
    }
}
BENCHMARK(BM_UpdateBeltMembershipEightBelts)->Unit(benchmark::kMicrosecond);

} // namespace
