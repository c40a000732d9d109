// Loading and preparing a 10,000-polygon LightWave object (a torus of
// 100 x 100 quads, one smooth surface): with its ".smg" cache in place, as
// every load after the first, and with the cache off, when the smoothing is
// worked out and the cache written. Bytes are the object file's.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "framework/diag.h"
#include "framework/scene.h"
#include "system/crand.h"
#include "tools/lwob_writer.h"
#include "view/lwoloader.h"
#include "world/pools.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler quiet = {"bench", Quiet, Quiet};

constexpr const char* kName = "torus.lwo";

std::size_t WriteTorus()
{
    constexpr int kAround = 100, kTube = 100;
    lwob::Object o;
    int16_t s = o.AddSurface({"Hull", {lwob::Colour(150, 150, 160), lwob::U16("FLAG", 4)}});
    for (int i = 0; i < kAround; ++i)
        for (int j = 0; j < kTube; ++j) {
            float a = 6.2831853f * float(i) / kAround, b = 6.2831853f * float(j) / kTube;
            float r = 10 + 3 * std::cos(b);
            o.Point(r * std::cos(a), 3 * std::sin(b), r * std::sin(a));
        }
    auto at = [](int i, int j) { return uint16_t((i % kAround) * kTube + (j % kTube)); };
    for (int i = 0; i < kAround; ++i)
        for (int j = 0; j < kTube; ++j)
            o.polygons.push_back({{at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)}, s});
    std::vector<uint8_t> bytes = lwob::Write(o);
    std::ofstream(kName, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bytes.size();
}

struct Folder {
    Folder()
    {
        char pattern[] = "/tmp/kv_lwo_bench_XXXXXX";
        path = ::mkdtemp(pattern);
        std::filesystem::current_path(path);
        size = WriteTorus();
        HxDiagHandlerSet(&quiet);
        HxBegin();
    }
    ~Folder()
    {
        HxEnd();
        HxDiagHandlerSet(nullptr);
        std::filesystem::current_path("/");
        std::filesystem::remove_all(path);
    }
    std::filesystem::path path;
    std::size_t size = 0;
};

void Forget(hx_model* model)
{
    HxModelRemove(model);
    HxModelFree(model);
    while (hx_material* m = HxMaterialFind("Hull")) {
        HxMaterialRemove(m);
        HxMaterialFree(m);
    }
    ResetPools();
}

void Load(benchmark::State& state, bool cache)
{
    Folder folder;
    SetLwoSmoothingCache(true);
    int32_t size = 0;
    Forget(LWO2HXM(kName, nullptr, &size)); // writes the cache
    SetLwoSmoothingCache(cache);
    for (auto _ : state) {
        CRandSeed(1);
        hx_model* model = LWO2HXM(kName, nullptr, &size);
        benchmark::DoNotOptimize(model);
        state.PauseTiming();
        if (!model || model->nfaces != 20000)
            state.SkipWithError("the torus did not load");
        Forget(model);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(folder.size));
    SetLwoSmoothingCache(true);
}

void BM_LwoLoadWithCache(benchmark::State& state) { Load(state, true); }
void BM_LwoLoadSmoothingAndWritingTheCache(benchmark::State& state) { Load(state, false); }

} // namespace

BENCHMARK(BM_LwoLoadWithCache)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LwoLoadSmoothingAndWritingTheCache)->Unit(benchmark::kMillisecond);
