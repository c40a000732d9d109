// One whole simulation frame with 400 busy items (the headless scenario:
// drifting, steering, messages, deaths and replacements), one with 400
// ships under the ship physics, and one with 400 such ships crowded
// together so that they collide, with the plain pair loop and with the
// grid before it; then the collision pass alone at constant density, 100
// to 400 ships, with how its time grows against the pairs it tests.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

#include "world/collisions.h"
#include "world/pools.h"
// Each benchmark is built from its one file, so the scenario is compiled in.
#include "tests/support/world_scenario.cpp"

namespace {

void BM_SimulationFrame400(benchmark::State& state)
{
    worldscenario::Build(1, kMaxSceneItems - 1);
    for (auto _ : state)
        worldscenario::Step(5);
    state.SetItemsProcessed(state.iterations() * kMaxSceneItems);
}
BENCHMARK(BM_SimulationFrame400);

// The same frame with 400 ships flown by the ship physics: each turns and
// thrusts toward a waypoint through the steering routines (no collisions,
// no messages), then the floating origin follows the player.
void BM_FlightFrame400(benchmark::State& state)
{
    worldscenario::BuildFlight(1, kMaxSceneItems - 1);
    for (auto _ : state)
        worldscenario::Step(5);
    state.SetItemsProcessed(state.iterations() * kMaxSceneItems);
    state.counters["ns_per_ship"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kMaxSceneItems,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FlightFrame400);

// The crowded flight with collision shapes, the ship bounce and impacts:
// argument 0 runs the plain pair loop (79,800 pairs less those of the tail
// group), 1 the grid first.
void BM_CollisionFrame400(benchmark::State& state)
{
    SetCollisionPrefilter(state.range(0) != 0);
    worldscenario::BuildCollisionFlight(1, kMaxSceneItems - 1);
    worldscenario::Run(100, 5); // past the start, when all stand apart
    for (auto _ : state)
        worldscenario::Step(5);
    state.counters["pairs"] = CollisionPairTests();
    SetCollisionPrefilter(true);
}
BENCHMARK(BM_CollisionFrame400)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The collision pass alone (its preparation, the grid, the pair tests and
// the responses) over the crowded flight at constant density: 100 to 400
// ships in a cube whose volume grows with their number, at the density of
// the 400-ship flight above. Its time should grow no faster than the pairs
// it tests. The flight starts afresh every 1000 frames and the counters
// count whole rounds of them only, so every run counts the same frames:
// "pairs" tested per frame, "ns_per_pair" the pass's time per pair, and on
// the larger crowds the growth from the 100 ships of the same run:
// "time_x" and "pairs_x", and "growth" = time_x / pairs_x (at most 1 when
// the pass keeps pace with its pairs).
constexpr int kDensityFrames = 1000;

struct DensityFigures {
    double seconds = 0.0; // the pass's time per frame
    double pairs = 0.0;   // pairs tested per frame
};
DensityFigures gSmallestCrowd; // the 100 ships, once measured in this run

void BM_CollisionsAtConstantDensity(benchmark::State& state)
{
    const int ships = static_cast<int>(state.range(0));
    const auto start = [ships] {
        worldscenario::BuildCollisionFlight(1, ships - 1,
                                            30000.0f * std::cbrt(static_cast<float>(ships) / kMaxSceneItems));
        worldscenario::Run(100, 5);
    };
    start();
    int frame = 0;
    int64_t pairs = 0; // in the rounds finished, and in this one
    int64_t roundPairs = 0;
    std::chrono::steady_clock::duration spent{};
    std::chrono::steady_clock::duration roundSpent{};
    int rounds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (frame == kDensityFrames) {
            start();
            frame = 0;
        }
        worldscenario::Step(5);
        state.ResumeTiming();
        const auto begin = std::chrono::steady_clock::now();
        PrepareCollisionFrame();
        TestAllCollisions();
        roundSpent += std::chrono::steady_clock::now() - begin;
        roundPairs += CollisionPairTests();
        if (++frame == kDensityFrames) {
            spent += roundSpent;
            pairs += roundPairs;
            roundSpent = {};
            roundPairs = 0;
            ++rounds;
        }
    }
    // A run too short for a whole round counts the frames it has.
    if (rounds == 0) {
        spent = roundSpent;
        pairs = roundPairs;
    }
    const double frames = rounds > 0 ? static_cast<double>(rounds) * kDensityFrames : frame;
    const DensityFigures here{std::chrono::duration<double>(spent).count() / frames,
                              static_cast<double>(pairs) / frames};
    state.counters["pairs"] = here.pairs;
    state.counters["ns_per_pair"] = here.pairs > 0.0 ? here.seconds * 1e9 / here.pairs : 0.0;
    if (ships == 100) {
        gSmallestCrowd = here;
    } else if (gSmallestCrowd.seconds > 0.0 && gSmallestCrowd.pairs > 0.0) {
        const double timeGrowth = here.seconds / gSmallestCrowd.seconds;
        const double pairGrowth = here.pairs / gSmallestCrowd.pairs;
        state.counters["time_x"] = timeGrowth;
        state.counters["pairs_x"] = pairGrowth;
        state.counters["growth"] = timeGrowth / pairGrowth;
    }
}
BENCHMARK(BM_CollisionsAtConstantDensity)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMicrosecond);

} // namespace
