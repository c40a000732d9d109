// The universe: reading the demo body table and the full 3,900-star
// catalogue (the first opening of the star map, the GENESIS statement), and
// travel between two systems of the demo data.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "world/pools.h"
#include "world/scenelist.h"
#include "world/universe.h"

namespace {

// The demo data tree beside this file's folder.
void EnterDataFolder()
{
    static const std::filesystem::path data =
        std::filesystem::path(__FILE__).parent_path().parent_path() / "data";
    std::filesystem::current_path(data);
}

void BM_CreateUniverse(benchmark::State& state)
{
    EnterDataFolder();
    for (auto _ : state) {
        ResetUniverse();
        CreateUniverse();
        benchmark::DoNotOptimize(gBodyCount);
    }
    if (gBodyCount == 0 || gStarsLoaded != kStarCount)
        state.SkipWithError("the demo universe did not load");
}
BENCHMARK(BM_CreateUniverse)->Unit(benchmark::kMicrosecond);

void BM_MoveToSystem(benchmark::State& state)
{
    EnterDataFolder();
    ResetUniverse();
    CreateUniverse();
    for (auto _ : state) {
        state.PauseTiming();
        ResetSimulation();
        ResetSolarSystemState();
        SceneItem* player = NewSceneItem();
        AttachSim(player, nullptr);
        InsertSceneItem(player, 0);
        gPlayerItem = player;
        MoveToSystem("Sol", "Earth");
        PurgeOtherSystems(1, {});
        state.ResumeTiming();
        MoveToSystem("Tarsis", "L4");
        PurgeOtherSystems(2, {});
    }
    gPlayerItem = nullptr;
}
BENCHMARK(BM_MoveToSystem)->Unit(benchmark::kMicrosecond);

} // namespace
