// The front end's mission table: a "precedence.csv" of 100 rows read from
// disk and both mission lists rebuilt over a career that has completed
// every n-th mission (the argument): every other one, or only the first.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "screens/frontend.h"

namespace {

std::filesystem::path gFolder;

// A scratch data tree with the table, made the working folder.
void EnterTableFolder()
{
    static const std::filesystem::path root = [] {
        gFolder = std::filesystem::temp_directory_path() / ("kv_bench_front_" + std::to_string(::getpid()));
        const std::filesystem::path& folder = gFolder;
        std::filesystem::create_directories(folder / "zqk/resource/scripts");
        std::filesystem::create_directories(folder / "zqk/resource/text/debrief");
        std::ofstream csv(folder / "zqk/resource/scripts/precedence.csv", std::ios::binary);
        csv << "Index,Mission,Title,Titre,Titel,Stardate,Prerequisite,Branch,Outcome,Spare,MaxScore,ScoreCap,Notes\n";
        for (int i = 0; i < kMissionCount; ++i)
            csv << i << ',' << (i + 1) << ",\"Mission " << i << "\",\"Mission " << i << "\",\"Einsatz " << i
                << "\",0," << (i > 0 ? i - 1 : 0) << ",0,0,0,5000,4000,notes\n";
        std::atexit([] { std::filesystem::remove_all(gFolder); });
        return folder;
    }();
    std::filesystem::current_path(root);
}

void BM_ReadTableAndRebuildLists(benchmark::State& state)
{
    EnterTableFolder();
    CaptainSlot = CareerRecord{};
    for (int16_t i = 0; i < kMissionCount; i += int16_t(state.range(0))) {
        CaptainSlot.missionState[i] = -1;
        CaptainSlot.outcome[i] = 1;
        CaptainSlot.completionOrder[CaptainSlot.completedCount++] = i;
    }
    for (auto _ : state) {
        ReadMissionTable();
        RebuildMissionLists();
        benchmark::DoNotOptimize(gAvailableList.count);
    }
    if (gCompletedList.count != kMissionCount / state.range(0) || gAvailableList.count == 0)
        state.SkipWithError("the lists were not built");
    FreeMissionLists();
}
BENCHMARK(BM_ReadTableAndRebuildLists)->Arg(2)->Arg(100)->Unit(benchmark::kMicrosecond);

} // namespace
