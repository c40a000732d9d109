// A full redraw of a 300-window station layout into a 640 x 480 memory
// screen: vertical, centred and level bars, contact cards, string and
// number windows and target panels, each window drawn once a frame. The
// target is under 2 ms a frame.
#include <benchmark/benchmark.h>

#include "screens/bridge.h"
#include "system/display.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "ui/contacts.h"
#include "ui/drawtypes.h"
#include "ui/messagelog.h"
#include "ui/windows.h"
#include "world/records.h"

#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kWindows = 300;

// Glyphs that are 4 x 6 blocks, advance 6.
struct Font {
    std::vector<uint8_t> ink = std::vector<uint8_t>(24, 100);
    Raster glyph{ink.data(), 4, 6, 0, 5};
    RasterFont font{};
    Font()
    {
        for (int c = 0; c < kFontChars; ++c) {
            font.widths[c] = 6;
            font.glyphs[c] = c > ' ' ? &glyph : nullptr;
        }
        font.height = 8;
    }
};

void BM_StationLayoutRedraw(benchmark::State& state)
{
    std::vector<uint8_t> pixels(kWidth * kHeight, 0);
    uint8_t* address = pixels.data();
    const DisplayMode saved = gScreenMode;
    gScreenMode.width = kWidth;
    gScreenMode.height = kHeight;
    gScreenMode.frameBuffer = &address;

    static Font font;
    Resource fontRecord{};
    fontRecord.data = &font.font;
    gFontB = gFontR = &font.font;
    ResetContactList();
    CurrentStation = 1;
    ShipInfo ship{};
    ship.name = "HALCYON";
    ship.kind = 5;
    ship.side = 1;
    ship.damage.maximumHull = 100;
    Sim sim{};
    sim.shipInfo = &ship;
    Avatar avatar{};
    SceneItem item{};
    item.sim = &sim;
    item.avatar = &avatar;
    for (int r = 0; r < kContactLines; ++r) {
        gContacts.rows[r].item = &item;
        gContacts.rows[r].distance = 1e6f * static_cast<float>(r + 1);
        gContacts.rows[r].visiblePosition = static_cast<int16_t>(r);
    }

    guiResetWindowPool();
    gWindows.redrawValue = 1;
    guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 0, 0, kWidth, kHeight, 0);
    constexpr WindowRoutine kDraws[] = {guiDrawVerticalBarWindow, guiDrawCentredHBarWindow, guiDrawLevelBarWindow,
                                        guiDrawCardWindow, guiDrawStringWindow, guiDrawNumberWindow,
                                        guiDrawTargetPanelWindow, guiDrawButtonWindow};
    std::vector<WindowHandle*> windows;
    for (int i = 0; i < kWindows; ++i) {
        const WindowRoutine draw = kDraws[i % std::size(kDraws)];
        const bool large = draw == guiDrawTargetPanelWindow || draw == guiDrawCardWindow;
        const auto x = static_cast<int16_t>((i % 15) * 42);
        const auto y = static_cast<int16_t>((i / 15) * 23);
        WindowHandle* w = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, draw, x, y,
                                          large ? 158 : 40, large ? 60 : 22, 3);
        w->font = &fontRecord;
        w->text = "STATUS";
        w->maximum = 100;
        w->value = static_cast<float>(i % 100);
        if (large) {
            w->subject.kind = WindowSubject::Kind::ContactRow;
            w->subject.row = i % kContactLines;
        }
        windows.push_back(w);
    }
    for (auto _ : state) {
        for (WindowHandle* w : windows)
            w->draw(w);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kWindows);
    guiResetWindowPool();
    ResetContactList();
    gFontB = gFontR = nullptr;
    gScreenMode = saved;
}
BENCHMARK(BM_StationLayoutRedraw)->Unit(benchmark::kMicrosecond);

} // namespace
