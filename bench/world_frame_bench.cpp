// One whole simulation frame with 400 busy items (the headless scenario:
// drifting, steering, messages, deaths and replacements), and one with 400
// ships under the ship physics.
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

// The same frame with 400 ships flown by the ship physics: each turns and
// thrusts toward a waypoint through the steering routines (no collisions,
// no messages), then the floating origin follows the player.
void BM_FlightFrame400(benchmark::State& state) {
    worldscenario::BuildFlight(1, kMaxSceneItems - 1);
    for (auto _ : state)
        worldscenario::Step(5);
    state.SetItemsProcessed(state.iterations() * kMaxSceneItems);
    state.counters["ns_per_ship"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kMaxSceneItems,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FlightFrame400);

} // namespace
