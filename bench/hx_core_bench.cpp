// The framework core's hot paths: registry lookups by name and pattern
// (exact names against a plain hash map of the same names), and resource
// allocation and release of many mixed blocks.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/paired.h"
#include "framework/fw.h"
#include "framework/registry.h"
#include "framework/resource.h"

namespace {

struct Named {
    void* reserved;
    const char* name;
};
HX_REGISTRY_RECORD(Named, name);

struct Registry1000 {
    Registry1000()
    {
        HxFwBegin();
        HxRegistryNew(&registry);
        names.resize(1000);
        records.resize(1000);
        for (int i = 0; i < 1000; ++i) {
            std::snprintf(names[i].text, sizeof names[i].text, "model_%04d", i);
            records[i] = {nullptr, names[i].text};
            HxRegistryAdd(&registry, &records[i]);
        }
    }
    ~Registry1000() { HxFwEnd(); }
    struct Text {
        char text[16];
    };
    hx_registry registry = {};
    std::vector<Text> names;
    std::vector<Named> records;
};

void BM_RegistryFindExact(benchmark::State& state)
{
    Registry1000 r;
    int i = 0;
    for (auto _ : state) {
        // The oldest entries lie at the far end of the list.
        benchmark::DoNotOptimize(HxRegistryFind(&r.registry, r.names[i].text));
        i = (i + 37) % 1000;
    }
}
BENCHMARK(BM_RegistryFindExact);

// The reference: the same names in a std::unordered_map, looked up in the
// same order.
void BM_UnorderedMapFindExact(benchmark::State& state)
{
    Registry1000 r;
    std::unordered_map<std::string, Named*> map;
    for (Named& n : r.records)
        map.emplace(n.name, &n);
    std::vector<std::string> keys;
    for (auto& n : r.names)
        keys.emplace_back(n.text);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(map.find(keys[size_t(i)]));
        i = (i + 37) % 1000;
    }
}
BENCHMARK(BM_UnorderedMapFindExact);
KV_BENCH_PAIR("BM_RegistryFindExact", "BM_UnorderedMapFindExact");

void BM_RegistryFindWildcard(benchmark::State& state)
{
    Registry1000 r;
    for (auto _ : state)
        benchmark::DoNotOptimize(HxRegistryFind(&r.registry, "MODEL_00?3*"));
}
BENCHMARK(BM_RegistryFindWildcard);

void BM_RegistryCountWildcard(benchmark::State& state)
{
    Registry1000 r;
    for (auto _ : state)
        benchmark::DoNotOptimize(HxRegistryCount(&r.registry, "*7*"));
}
BENCHMARK(BM_RegistryCountWildcard);

// 100k blocks of mixed classes and sizes under one parent, freed at once
// with the parent, as the framework end does.
void BM_ResourceAllocateFree100k(benchmark::State& state)
{
    HxFwBegin();
    constexpr uint8_t kClasses[] = {HX_RES_STRING, HX_RES_POOL, HX_RES_OBJECT, HX_RES_TOKEN};
    for (auto _ : state) {
        void* parent = HxResAllocate(HxFwAnchor(), 0, HX_RES_POOL);
        void* previous = parent;
        for (uint32_t i = 0; i < 100000; ++i) {
            uint32_t size = 8 + (i * 2654435761u >> 24) % 120;
            // Every fourth block nests under the one before, so the tree has depth.
            void* under = (i % 4 == 3) ? previous : parent;
            previous = HxResAllocate(under, size, kClasses[i % 4]);
        }
        HxResFree(parent);
    }
    state.SetItemsProcessed(state.iterations() * 100000);
    HxFwEnd();
}
BENCHMARK(BM_ResourceAllocateFree100k)->Unit(benchmark::kMillisecond);

} // namespace

KV_BENCH_MAIN()
