// The document browser over a 16 KB page of headings, paragraphs, rules and
// links: each iteration opens the page (read, measure pass) and draws it
// into a 640 x 480 canvas. The budget is 1 ms.
#include <benchmark/benchmark.h>

#include "screens/bridge.h"
#include "screens/documents.h"
#include "system/canvas.h"
#include "system/rasterfont.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
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

// A page filling the buffer: sections of a heading, a paragraph with a link
// in it and a rule.
std::string BenchPage()
{
    std::string page = "<HTML><HEAD><TITLE>Bench</TITLE></HEAD><BODY>\n";
    for (int section = 0; page.size() < kDocumentPageSize; ++section) {
        page += "<H2>Section " + std::to_string(section) + "</H2>\n<P>The convoy leaves the yard at dawn and ";
        page += "<A HREF=\"page" + std::to_string(section % 60) + ".htm\">its escort</A> joins it past the ";
        page += "outer marker; every ship keeps its station until the jump.<BR>\n<HR>\n";
    }
    page.resize(kDocumentPageSize);
    return page;
}

void BM_MeasureAndDrawA16KPage(benchmark::State& state)
{
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("kv_docs_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "zqk/resource/text/docs");
    std::ofstream(root / "zqk/resource/text/docs/bench.htm", std::ios::binary) << BenchPage();
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(root);

    BenchFont regular(100), heading(120), link(140);
    std::vector<uint8_t> pixels(640 * 480, 0);
    const Canvas canvas = {pixels.data(), 640, 480};
    const ClipRect panel = {0, 0, 639, 479};
    ResetDocuments();
    gBridgeFonts[0] = &heading.font;
    gBridgeFonts[1] = &link.font;
    gBridgeFonts[2] = &regular.font;
    for (auto _ : state) {
        gDocuments.current[0] = 0; // the page is opened anew
        std::snprintf(gDocuments.requested, sizeof gDocuments.requested, "bench.htm");
        DrawDocument(canvas, panel);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.counters["links"] = gDocuments.linkCount;
    state.counters["height"] = gDocuments.height;
    ResetDocuments();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_MeasureAndDrawA16KPage)->Unit(benchmark::kMicrosecond);

} // namespace
