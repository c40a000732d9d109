// One whole simulation frame with 400 busy items (the headless scenario:
// drifting, steering, messages, deaths and replacements), the later passes
// standing in.
#include <benchmark/benchmark.h>

#include "world/pools.h"
// Each benchmark is built from its one file, so the scenario is compiled in.
#include "tests/support/world_scenario.cpp"

namespace {

void BM_SimulationFrame400(benchmark::State& state) {
    worldscenario::Build(1, kMaxSceneItems - 1);
    for (auto _ : state)
        worldscenario::Step(5);
    state.SetItemsProcessed(state.iterations() * kMaxSceneItems);
}
BENCHMARK(BM_SimulationFrame400);

} // namespace
