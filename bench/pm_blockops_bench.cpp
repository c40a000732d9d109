// Memory pixelmap hot paths at 640 x 480: whole fills, rectangle fills and
// rectangle copies at 8 and 16 bits against plain memset / memcpy of the same
// bytes (a row at a time for rectangles, as the rows lie apart), and line
// drawing in lines a second.
#include <benchmark/benchmark.h>

#include "bench/paired.h"

#include <cstring>
#include <random>
#include <vector>

#include "framework/fw.h"
#include "framework/pixelmap.h"

namespace {

constexpr uint16_t kWidth = 640, kHeight = 480;

struct Screens {
    hx_pixelmap* a;
    hx_pixelmap* b;
    explicit Screens(uint8_t type)
    {
        HxCoreBegin();
        a = HxPixelmapAllocate(type, kWidth, kHeight, nullptr, 0);
        b = HxPixelmapAllocate(type, kWidth, kHeight, nullptr, 0);
        HxPixelmapFill(b, 0x1234);
    }
    ~Screens() { HxCoreEnd(); }
};

uint8_t TypeFor(int bits)
{
    return bits == 8 ? HX_PMT_INDEX_8 : HX_PMT_RGB_565;
}

void BM_PixelmapFill(benchmark::State& state)
{
    Screens s(TypeFor(int(state.range(0))));
    uint32_t colour = 0;
    for (auto _ : state) {
        HxPixelmapFill(s.a, ++colour);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kHeight * s.a->row_bytes);
}
BENCHMARK(BM_PixelmapFill)->Arg(8)->Arg(16);

void BM_Memset(benchmark::State& state)
{
    std::vector<uint8_t> block(size_t(kWidth) * kHeight * size_t(state.range(0) / 8));
    int value = 0;
    for (auto _ : state) {
        std::memset(block.data(), ++value, block.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(block.size()));
}
BENCHMARK(BM_Memset)->Arg(8)->Arg(16);

// A window inside the screen: rows that are not whole, so the rectangle loop
// runs (the common case of UI panels).
void BM_PixelmapRectangleFill(benchmark::State& state)
{
    Screens s(TypeFor(int(state.range(0))));
    for (auto _ : state) {
        HxPixelmapRectangleFill(s.a, 13, 7, 600, 460, 0x5A3C); // bytes that differ: no memset
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 600 * 460 * (state.range(0) / 8));
}
BENCHMARK(BM_PixelmapRectangleFill)->Arg(8)->Arg(16);

// The same rows filled by memset, one call a row.
void BM_RowMemset(benchmark::State& state)
{
    size_t pixel = size_t(state.range(0) / 8), rowBytes = kWidth * pixel;
    std::vector<uint8_t> block(rowBytes * kHeight);
    int value = 0;
    for (auto _ : state) {
        ++value;
        for (size_t y = 7; y < 7 + 460; ++y)
            std::memset(block.data() + y * rowBytes + 13 * pixel, value, 600 * pixel);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 600 * 460 * int64_t(pixel));
}
BENCHMARK(BM_RowMemset)->Arg(8)->Arg(16);

void BM_PixelmapRectangleCopy(benchmark::State& state)
{
    Screens s(TypeFor(int(state.range(0))));
    for (auto _ : state) {
        HxPixelmapRectangleCopy(s.a, 0, 0, s.b, 0, 0, kWidth, kHeight);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kHeight * s.a->row_bytes);
}
BENCHMARK(BM_PixelmapRectangleCopy)->Arg(8)->Arg(16);

void BM_PixelmapWindowCopy(benchmark::State& state)
{
    Screens s(TypeFor(int(state.range(0))));
    for (auto _ : state) {
        HxPixelmapRectangleCopy(s.a, 17, 9, s.b, 3, 5, 600, 460);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 600 * 460 * (state.range(0) / 8));
}
BENCHMARK(BM_PixelmapWindowCopy)->Arg(8)->Arg(16);

// Row copies by memcpy, one call a row: whole rows (range 1 = 0) as the
// full-screen copy, or the 600 x 460 window at the window copy's offsets.
void BM_RowMemcpy(benchmark::State& state)
{
    size_t pixel = size_t(state.range(0) / 8), rowBytes = kWidth * pixel;
    bool window = state.range(1) != 0;
    std::vector<uint8_t> from(rowBytes * kHeight, 1), to(rowBytes * kHeight);
    size_t width = window ? 600 : kWidth, height = window ? 460 : kHeight;
    size_t toAt = window ? 9 * rowBytes + 17 * pixel : 0, fromAt = window ? 5 * rowBytes + 3 * pixel : 0;
    for (auto _ : state) {
        for (size_t y = 0; y < height; ++y)
            std::memcpy(to.data() + toAt + y * rowBytes, from.data() + fromAt + y * rowBytes, width * pixel);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(width * height * pixel));
}
BENCHMARK(BM_RowMemcpy)->Args({8, 0})->Args({16, 0})->Args({8, 1})->Args({16, 1});

KV_BENCH_PAIR("BM_PixelmapFill/8", "BM_Memset/8");
KV_BENCH_PAIR("BM_PixelmapFill/16", "BM_Memset/16");
KV_BENCH_PAIR("BM_PixelmapRectangleFill/8", "BM_RowMemset/8");
KV_BENCH_PAIR("BM_PixelmapRectangleFill/16", "BM_RowMemset/16");
KV_BENCH_PAIR("BM_PixelmapRectangleCopy/8", "BM_RowMemcpy/8/0");
KV_BENCH_PAIR("BM_PixelmapRectangleCopy/16", "BM_RowMemcpy/16/0");
KV_BENCH_PAIR("BM_PixelmapWindowCopy/8", "BM_RowMemcpy/8/1");
KV_BENCH_PAIR("BM_PixelmapWindowCopy/16", "BM_RowMemcpy/16/1");

// Random lines across the screen, some of them clipped.
void BM_PixelmapLines(benchmark::State& state)
{
    Screens s(TypeFor(int(state.range(0))));
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> x(-40, kWidth + 40), y(-40, kHeight + 40);
    std::vector<int> ends(4096);
    for (int& e : ends)
        e = (&e - ends.data()) % 2 ? y(rng) : x(rng);
    size_t at = 0;
    for (auto _ : state) {
        HxPixelmapLine(s.a, ends[at], ends[at + 1], ends[at + 2], ends[at + 3], 0x77);
        at = (at + 4) % ends.size();
    }
    state.counters["lines/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PixelmapLines)->Arg(8)->Arg(16);

} // namespace

KV_BENCH_MAIN()
