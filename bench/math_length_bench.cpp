// Benchmarks of length estimates: the game's fast lengths against the exact
// length, and the framework's fixed-point roots and trigonometry.
#include "framework/hx_math.h"
#include "system/gamemath.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

std::vector<Vector3> Vectors()
{
    std::vector<Vector3> v(1024);
    for (size_t i = 0; i < v.size(); ++i) {
        const float f = static_cast<float>(i);
        v[i] = {f * 0.37f - 100.0f, 50.0f - f * 0.11f, f * 0.73f};
    }
    return v;
}

// Each length goes to its own slot, so the lengths are independent of one
// another: the loop measures the length itself, not a chain of adds.
template <float (*Length)(const Vector3&)>
void Lengths(benchmark::State& state)
{
    const std::vector<Vector3> v = Vectors();
    std::vector<float> out(v.size());
    for (auto _ : state) {
        for (size_t i = 0; i < v.size(); ++i) out[i] = Length(v[i]);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(v.size()));
}

// The loop and the call alone: a function of the same signature that does
// no arithmetic, the floor under the two lengths.
[[gnu::noinline]] float VecFirst(const Vector3& v) { return v.x; }

BENCHMARK_TEMPLATE(Lengths, VecLength)->Name("BM_VecLength");
BENCHMARK_TEMPLATE(Lengths, VecFastLength)->Name("BM_VecFastLength");
BENCHMARK_TEMPLATE(Lengths, VecFirst)->Name("BM_VecCallOnly");

void BM_HxFixedLength3(benchmark::State& state)
{
    hx_fixed a = 3 << 16;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HxFixedLength3(a, a + 1, a + 2));
        ++a;
    }
}
BENCHMARK(BM_HxFixedLength3);

void BM_HxFixedRLength3(benchmark::State& state)
{
    hx_fixed a = 3 << 16;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HxFixedRLength3(a, a + 1, a + 2));
        ++a;
    }
}
BENCHMARK(BM_HxFixedRLength3);

void BM_HxFixedSin(benchmark::State& state)
{
    hx_angle a = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HxFixedSin(a));
        a = static_cast<hx_angle>(a + 97);
    }
}
BENCHMARK(BM_HxFixedSin);

void BM_HxFixedATan2(benchmark::State& state)
{
    hx_fixed y = 1000, x = -70000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HxFixedATan2(y, x));
        y += 13;
    }
}
BENCHMARK(BM_HxFixedATan2);

} // namespace
