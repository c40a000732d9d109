// The 2D canvas and the present at 640 x 480: expanding an 8-bit frame to
// the window's 32-bit pixels against a plain memcpy of the same output
// bytes, whole-screen blits and fills, lines, anti-aliased lines, glow
// spots and text in items a second, and the inverse colour table build.
#include <benchmark/benchmark.h>

#include "platform/display.h"
#include "system/canvas.h"
#include "system/crand.h"
#include "system/text.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Screen {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(kWidth * kHeight, 0);
    Canvas canvas{pixels.data(), kWidth, kHeight};
};

std::vector<PaletteEntry> Palette()
{
    std::vector<PaletteEntry> p(256);
    for (int i = 0; i < 256; ++i)
        p[i] = {uint8_t(i * 7), uint8_t(i * 3), uint8_t(255 - i), 0};
    return p;
}

const std::vector<uint8_t>& InverseTable()
{
    static const std::vector<uint8_t> table = [] {
        std::vector<uint8_t> t(kInverseColourTableSize);
        BuildInverseColourTable(Palette().data(), t.data());
        return t;
    }();
    return table;
}

void BM_PresentExpand8To32(benchmark::State& state)
{
    Screen s;
    for (std::size_t i = 0; i < s.pixels.size(); ++i)
        s.pixels[i] = uint8_t(i * 31);
    const std::vector<PaletteEntry> palette = Palette();
    std::vector<uint32_t> out(kWidth * kHeight);
    for (auto _ : state) {
        platform::ExpandIndexed(s.pixels.data(), kWidth, palette.data(), kWidth, kHeight, out.data(), kWidth * 4);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_PresentExpand8To32);

// The yardstick: copying the 32-bit output bytes and nothing else.
void BM_MemcpyOutputBytes(benchmark::State& state)
{
    std::vector<uint32_t> in(kWidth * kHeight, 0x00FF8040), out(kWidth * kHeight);
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), out.size() * 4);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * 4);
}
BENCHMARK(BM_MemcpyOutputBytes);

void BM_CanvasBlitFullScreen(benchmark::State& state)
{
    Screen s, from;
    Bitmap picture = {from.pixels.data(), kWidth, kHeight, 0, 0};
    for (auto _ : state) {
        CanvasBlit(s.canvas, picture, 0, 0);
        benchmark::DoNotOptimize(s.pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_CanvasBlitFullScreen);

void BM_CanvasFillFullScreen(benchmark::State& state)
{
    Screen s;
    uint8_t colour = 0;
    for (auto _ : state) {
        CanvasFillRect(s.canvas, ++colour, 0, 0, kWidth - 1, kHeight - 1);
        benchmark::DoNotOptimize(s.pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}
BENCHMARK(BM_CanvasFillFullScreen);

// Random lines across the screen, some reaching past its edges.
struct Lines {
    std::vector<int16_t> ends;
    Lines()
    {
        CRandSeed(1);
        for (int i = 0; i < 4096; ++i)
            ends.push_back(int16_t(CRand() % 700 - 30));
    }
};

void BM_CanvasLine(benchmark::State& state)
{
    Screen s;
    Lines l;
    std::size_t i = 0;
    for (auto _ : state) {
        const int16_t* e = &l.ends[i];
        CanvasLineClipped(s.canvas, e[0], e[1] % kHeight, e[2], e[3] % kHeight, uint8_t(i), CanvasBounds(s.canvas));
        i = (i + 4) % (l.ends.size() - 4);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_CanvasLine);

void BM_CanvasLineAA(benchmark::State& state)
{
    Screen s;
    Lines l;
    const uint8_t* table = InverseTable().data();
    std::size_t i = 0;
    for (auto _ : state) {
        const int16_t* e = &l.ends[i];
        CanvasLineAAClipped(s.canvas, e[0], e[1] % kHeight, e[2], e[3] % kHeight, CanvasBounds(s.canvas),
                            0x80C0FF, table);
        i = (i + 4) % (l.ends.size() - 4);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_CanvasLineAA);

void BM_CanvasDrawSpot(benchmark::State& state)
{
    Screen s;
    std::vector<uint8_t> blend(kBlendTablesSize), glow(kGlowMapSize * kGlowMapSize);
    for (std::size_t i = 0; i < blend.size(); ++i)
        blend[i] = uint8_t(i);
    for (std::size_t i = 0; i < glow.size(); ++i)
        glow[i] = uint8_t(i % 16);
    gGlowTables = {blend.data(), {glow.data(), glow.data()}};
    const int16_t diameter = int16_t(state.range(0));
    int n = 0;
    for (auto _ : state) {
        CanvasDrawSpot(s.canvas, 15, uint8_t(n & 7), 0, int16_t(100 + n % 400), int16_t(100 + n % 280), diameter, 0,
                       CanvasBounds(s.canvas));
        ++n;
    }
    gGlowTables = {};
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_CanvasDrawSpot)->Arg(16)->Arg(64);

void BM_CanvasTextCharacters(benchmark::State& state)
{
    Screen s;
    // A font of 7 x 10 glyphs with ink on half their pixels.
    std::vector<std::unique_ptr<uint8_t[]>> store;
    std::vector<Raster> glyphs(kFontChars);
    RasterFont font{};
    for (int c = 0; c < kFontChars; ++c) {
        store.push_back(std::make_unique<uint8_t[]>(70));
        for (int p = 0; p < 70; ++p)
            store.back()[p] = (p + c) % 2 ? uint8_t(40 + c % 100) : 0;
        glyphs[c] = {store.back().get(), 7, 10, 0, 8};
        font.glyphs[c] = &glyphs[c];
        font.widths[c] = 8;
    }
    font.height = 12;
    const char* text = "The quick brown fox jumps over the lazy dog while the frigate turns to port. ";
    const std::size_t length = std::strlen(text);
    const ClipRect clip = CanvasBounds(s.canvas);
    for (auto _ : state) {
        int16_t x = 10, y = 20;
        CanvasTextWrap(s.canvas, x, y, text, &font, clip);
        benchmark::DoNotOptimize(s.pixels.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations() * length));
}
BENCHMARK(BM_CanvasTextCharacters);

void BM_BuildInverseColourTable(benchmark::State& state)
{
    const std::vector<PaletteEntry> palette = Palette();
    std::vector<uint8_t> table(kInverseColourTableSize);
    for (auto _ : state) {
        BuildInverseColourTable(palette.data(), table.data());
        benchmark::DoNotOptimize(table.data());
    }
}
BENCHMARK(BM_BuildInverseColourTable)->Unit(benchmark::kMillisecond);

} // namespace
