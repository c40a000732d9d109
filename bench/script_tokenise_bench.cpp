// Benchmark: compiling a generated mission script that fills the token
// buffer almost to capacity (statements, labels and branches, quoted texts,
// comments and block comments), rolled back after every run.
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/tokenise.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// About five pairs a line on average; stops short of the capacity. Every
// eighth line defines a new label (and the line after branches forward to
// the next one), so the symbol table fills too.
std::string GenerateScript()
{
    std::string text;
    uint32_t pairs = 0;
    char line[160];
    for (int i = 0; pairs + 16 < kTokenCapacity - 64; ++i) {
        switch (i % 8) {
        case 0:
            std::snprintf(line, sizeof line, "label_%d: SET counter_%d %d\n", i / 8, i % 100, i);
            pairs += 5;
            break;
        case 1:
            std::snprintf(line, sizeof line, "BRA_IF label_%d EQUAL counter_%d %d.5\n", i / 8 + 1, i % 100, i);
            pairs += 7;
            break;
        case 2:
            std::snprintf(line, sizeof line, "HUD_STRING \"Contact, bearing %d\" 2000\n", i % 360);
            pairs += 5;
            break;
        case 3:
            std::snprintf(line, sizeof line, "; running commentary %d\n", i);
            pairs += 3;
            break;
        case 4:
            std::snprintf(line, sizeof line, "\tADD\tcounter_%d,\t1\n", i % 100);
            pairs += 5;
            break;
        case 5:
            std::snprintf(line, sizeof line, "/*\nSET hidden_%d 1\n*/\n", i);
            pairs += 6;
            break;
        case 6:
            std::snprintf(line, sizeof line, "\n");
            pairs += 2;
            break;
        default:
            std::snprintf(line, sizeof line, "WAIT_TIME 100\n");
            pairs += 4;
            break;
        }
        text += line;
    }
    return text;
}

struct Scratch {
    Scratch()
    {
        char pattern[] = "/tmp/kv_script_bench_XXXXXX";
        if (!mkdtemp(pattern))
            std::abort();
        root = pattern;
        std::filesystem::create_directories(root / "zqk/resource/scripts/missions");
        std::filesystem::current_path(root);
        script = GenerateScript();
        std::ofstream("zqk/resource/scripts/missions/bench.scr", std::ios::binary) << script;
        InitializeScriptSystem();
    }
    ~Scratch() { std::filesystem::remove_all(root); }
    std::filesystem::path root;
    std::string script;
};

void BM_TokeniseFullScript(benchmark::State& state)
{
    static Scratch scratch;
    uint32_t pairs = 0;
    for (auto _ : state) {
        ResetMissionScript();
        ScriptToken* start = TokeniseScript("bench.scr");
        benchmark::DoNotOptimize(start);
        pairs = gScriptBuffers.tokenCursor;
    }
    state.counters["pairs"] = pairs;
    state.counters["capacity"] = kTokenCapacity;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(scratch.script.size()));
}
BENCHMARK(BM_TokeniseFullScript)->Unit(benchmark::kMicrosecond);

} // namespace
