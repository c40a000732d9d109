// The message log over a full 640 x 480 screen: each frame types at the
// log's pace and draws every line of a log holding close to its 3000 bytes,
// each character in the font of its style. The budget is 0.3 ms a frame.
#include <benchmark/benchmark.h>

#include "system/canvas.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/rasterfont.h"
#include "ui/messagelog.h"

#include <string>
#include <vector>

namespace {

// Glyphs of 5 x 7 ink, advance 6, line 9: a small bridge font.
struct BenchFont {
    explicit BenchFont(uint8_t ink) : ink(5 * 7, ink)
    {
        glyph = {this->ink.data(), 5, 7, 0, 6};
        for (int c = 0; c < kFontChars; ++c) {
            font.widths[c] = 6;
            font.glyphs[c] = c > ' ' ? &glyph : nullptr;
        }
        font.height = 9;
    }
    std::vector<uint8_t> ink;
    Raster glyph{};
    RasterFont font{};
};

void BM_TypeAndDrawAFullLog(benchmark::State& state)
{
    std::vector<uint8_t> pixels(640 * 480, 0);
    uint8_t* address = pixels.data();
    const DisplayMode saved = gScreenMode;
    gScreenMode.width = 640;
    gScreenMode.height = 480;
    gScreenMode.frameBuffer = &address;
    BenchFont plain(120), highlight(200);
    gFontB = &plain.font;
    gFontR = &highlight.font;
    guiClearMessageLog();
    gMessageLogKeep = 255; // the texts accumulate into a full log
    const std::string line = "Convoy escort reports contact bearing two one zero, closing fast.";
    int style = 0;
    for (int i = 0; i < 60; ++i) { // more than fit: the oldest lines have gone
        guiAddMessageLogText(line.c_str(), style ^= 1);
        while (gMessageLogTypingPosition < gMessageLogTextLength)
            guiTypeMessageLogChar();
    }
    guiAddMessageLogText(line.c_str(), 0);
    gFrameClock.frameTicks = kMessageLogPace;
    for (auto _ : state) {
        if (gMessageLogTypingPosition >= gMessageLogTextLength)
            guiAddMessageLogText(line.c_str(), style ^= 1);
        ++gFrameClock.frameCounter;
        guiDrawMessageLog(0, 0, 640, 480);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["bytes"] = gMessageLog.typed;
    gMessageLogKeep = 0;
    guiClearMessageLog();
    gFontB = gFontR = gMessageLogFont = nullptr;
    gFrameClock.frameTicks = 0;
    gScreenMode = saved;
}
BENCHMARK(BM_TypeAndDrawAFullLog)->Unit(benchmark::kMicrosecond);

} // namespace
