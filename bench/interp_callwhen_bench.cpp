// Benchmark: the per-frame cost of the mission script when 16 CALL_WHEN
// rows are active and every row's condition scans the whole scene list of
// 400 items (ship, group and sense counts that stay false, so no handler
// runs). With 20 ticks a frame a row is tested every seventh or eighth
// frame; with 160 ticks every row is tested every frame (the worst case).
#include "script/interpreter.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/frameclock.h"
#include "world/pools.h"
#include "world/scenelist.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Scene {
    uint32_t script = 0;

    Scene()
    {
        char pattern[] = "/tmp/kv_interp_bench_XXXXXX";
        if (!mkdtemp(pattern))
            std::abort();
        const std::filesystem::path root = pattern;
        std::filesystem::create_directories(root / "zqk/resource/scripts/missions");
        std::filesystem::current_path(root);

        std::string text;
        const char* conditions[] = {
            "SHIPCOUNT_LT CORVETTE NEUTRAL 0",
            "GROUPCOUNT_LT 3 0",
            "SENSECOUNT_LT 0 SN_STARSHIP SN_CARGO",
            "SHIPCOUNT_LT TUG ALLIANCE 0 OR GROUPCOUNT_LT 4 0",
        };
        for (int row = 0; row < kCallWhenRows; ++row)
            text += std::string("CALL_WHEN handler ") + conditions[row % 4] + "\n";
        text += "END\nhandler:\nADD fired 1\nRETURN\n";
        std::ofstream(root / "zqk/resource/scripts/missions/bench.scr") << text;

        InitializeScriptSystem();
        ResetSimulation();
        for (int i = 0; i < kMaxSceneItems; ++i) {
            SceneItem* item = NewSceneItem();
            InsertSceneItem(item, 0);
            AttachSim(item, nullptr);
            // The ShipInfo pool is smaller than the item pool.
            if (ShipInfo* info = i < kMaxShipInfos ? AllocShipInfo() : nullptr) {
                item->sim->shipInfo = info;
                info->kind = static_cast<int16_t>(i % 19);
                info->side = static_cast<int16_t>(i % 7);
                info->group = static_cast<int16_t>(i % 5);
            }
            item->avatar->classFlags = static_cast<uint32_t>(i) * 2654435761u;
        }
        script = static_cast<uint32_t>(TokeniseScript("bench.scr") - gScriptBuffers.tokens);
        MarkScriptBase(); // the script survives the mission resets between runs
        std::filesystem::remove_all(root);
    }
};

void BM_MissionFrameWithCallWhenRows(benchmark::State& state)
{
    static Scene scene;
    uint32_t position = scene.script;
    RunScript(&position, true); // registers the rows and reaches END
    gFrameClock.frameTicks = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        ++gFrameClock.frameCounter;
        benchmark::DoNotOptimize(RunScript(&position, true));
    }
    state.counters["rows"] = gInterpreter.callWhenCount;
    state.counters["fired"] = static_cast<double>(ReadSymbolInt(FindScriptSymbol("fired")));
    ResetMissionScript();
}
BENCHMARK(BM_MissionFrameWithCallWhenRows)->Arg(20)->Arg(160)->Unit(benchmark::kMicrosecond);

} // namespace
