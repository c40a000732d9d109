// Benchmarks of matrix products and inverses: the framework's 3x4 and 4x4
// matrices and the game's 4x4 matrices.
#include "framework/hx_math.h"
#include "system/gamemath.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

float Value(int i) { return 2.0f * std::sin(static_cast<float>(i * i) * 1.7f + static_cast<float>(i) * 0.3f); }

hx_matrix34 Sample34()
{
    hx_matrix34 m;
    for (int i = 0; i < 12; ++i) m.m[i / 3][i % 3] = Value(i);
    return m;
}

hx_matrix4 Sample4()
{
    hx_matrix4 m;
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = Value(i);
    return m;
}

void BM_HxMatrix34Mul(benchmark::State& state)
{
    hx_matrix34 a = Sample34(), b = Sample34(), d;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HxMatrix34Mul(&d, &a, &b));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_HxMatrix34Mul);

void BM_HxMatrix4Mul(benchmark::State& state)
{
    hx_matrix4 a = Sample4(), b = Sample4(), d;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HxMatrix4Mul(&d, &a, &b));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_HxMatrix4Mul);

void BM_HxMatrix34Inverse(benchmark::State& state)
{
    hx_matrix34 a = Sample34(), d;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HxMatrix34Inverse(&d, &a));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_HxMatrix34Inverse);

void BM_HxMatrix34LPInverse(benchmark::State& state)
{
    hx_matrix34 a, d;
    HxMatrix34Rotate(&a, 5000, 0.6f, 0.0f, 0.8f);
    for (auto _ : state) {
        benchmark::DoNotOptimize(HxMatrix34LPInverse(&d, &a));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_HxMatrix34LPInverse);

void BM_HxMatrix4Inverse(benchmark::State& state)
{
    hx_matrix4 a = Sample4(), d;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HxMatrix4Inverse(&d, &a));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_HxMatrix4Inverse);

void BM_HxMatrix34ApplyP(benchmark::State& state)
{
    hx_matrix34 m = Sample34();
    hx_vector3 p{1, 2, 3}, d;
    for (auto _ : state) {
        benchmark::DoNotOptimize(HxMatrix34ApplyP(&d, &p, &m));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_HxMatrix34ApplyP);

void BM_GameMatMul(benchmark::State& state)
{
    Matrix4 a, b;
    for (int i = 0; i < 16; ++i) a.m[i] = b.m[i] = Value(i) * 0.5f;
    for (auto _ : state) {
        Matrix4 c = a;
        MatMul(c, b);
        benchmark::DoNotOptimize(c);
    }
}
BENCHMARK(BM_GameMatMul);

void BM_GameMatTransposeRotation(benchmark::State& state)
{
    Matrix4 a, d;
    MatIdentity(a);
    MatRotX(30, a);
    MatRotY(50, a);
    for (auto _ : state) {
        benchmark::DoNotOptimize(MatTransposeRotation(d, a));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GameMatTransposeRotation);

} // namespace
