// The window draw types on a 640 x 480 memory screen: palette indexes at
// named pixels and in crops, for the meters (clamping, full scale 0, the
// centred and level colours), the rect family, the text types, the arrows,
// the logger's graph and the flash highlight's redraw.
#include "ui/drawtypes.h"

#include "system/errors.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "ui/hud.h"
#include "ui/windows.h"
#include "ui_canvas.h"
#include "world/profiler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

namespace {

class DrawTypes : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetFatalStopHook([](const char*) {});
        gFrameClock = FrameClock{};
        gLastHitAmount = 0;
        guiResetWindowPool();
        gWindows.redrawValue = 1;
        screenWindow_ = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 0, 0, 640, 480, 0);
        screen_.Clear(7);
        fontRecord_.data = &font_.font;
    }
    void TearDown() override
    {
        gLastHitAmount = 0;
        guiResetWindowPool();
    }

    // A top-left window at (x, y) of w x h with the draw type.
    WindowHandle* Make(WindowRoutine draw, int16_t x, int16_t y, int16_t w, int16_t h, int16_t colour = 0)
    {
        WindowHandle* window = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, draw, x, y, w, h, colour);
        window->font = &fontRecord_;
        return window;
    }

    MemoryScreen screen_;
    BlockFont font_{100};
    Resource fontRecord_{};
    WindowHandle* screenWindow_ = nullptr; // the screen's main window
};

// Rectangle (10, 10)-(29, 59): 20 x 50.
constexpr int16_t kL = 10, kT = 10, kR = 29, kB = 59;

TEST_F(DrawTypes, TheVerticalBarClampsItsValueAndStoresTheBarTop)
{
    WindowHandle* w = Make(guiDrawVerticalBarWindow, kL, kT, 20, 50);
    w->maximum = 100;
    w->value = 150;
    w->draw(w);
    EXPECT_EQ(w->value, 100.0f) << "clamped and written back";
    EXPECT_EQ(w->auxShort, kT); // bottom - 2 - 47 x 1
    EXPECT_EQ(screen_.Colours(kL + 1, kT + 1, kR - 1, kB - 1), (std::set<int>{64}));
    EXPECT_EQ(screen_.At(kL + 5, kT), 29);
    EXPECT_EQ(screen_.At(kL, kT), 7) << "corners left out";
    EXPECT_GT(w->redrawCount, 0);

    w->value = 50; // 57 - 47 / 2 = 33.5: bar top 33, filled from 34
    w->draw(w);
    EXPECT_EQ(w->auxShort, 33);
    EXPECT_EQ(screen_.Colours(kL + 1, kT + 1, kR - 1, 33), (std::set<int>{0}));
    EXPECT_EQ(screen_.Colours(kL + 1, 34, kR - 1, kB - 1), (std::set<int>{64}));

    w->value = -5;
    w->draw(w);
    EXPECT_EQ(w->value, 0.0f);
}

TEST_F(DrawTypes, AMeterWithMaximumZeroDrawsNothingButIsRedrawnEachFrame)
{
    for (WindowRoutine draw : {guiDrawVerticalBarWindow, guiDrawHorizontalBarWindow, guiDrawCentredVBarWindow,
                               guiDrawCentredHBarWindow, guiDrawLevelBarWindow, guiDrawWarningBarWindow}) {
        WindowHandle* w = Make(draw, kL, kT, 20, 50);
        w->value = 3;
        w->draw(w);
        EXPECT_EQ(screen_.Colours(kL, kT, kR, kB), (std::set<int>{7}));
        EXPECT_GT(w->redrawCount, 0);
    }
}

TEST_F(DrawTypes, TheCentredBarsColourByTheSignAndNearZero)
{
    struct Case {
        float value;
        int colour;
    } cases[] = {{0, 133}, {0.99f, 133}, {1, 97}, {50, 97}, {-50, 64}, {-1, 64}};
    for (const Case& c : cases) {
        // Horizontal: (10, 10)-(109, 29); centre x 59.
        WindowHandle* h = Make(guiDrawCentredHBarWindow, 10, 10, 100, 20);
        h->maximum = 100;
        h->value = c.value;
        h->draw(h);
        EXPECT_EQ(screen_.At(59, 20), c.colour) << c.value;
        EXPECT_EQ(screen_.At(30, 10), 29);
        // Vertical: (200, 10)-(219, 109); centre y 59.
        WindowHandle* v = Make(guiDrawCentredVBarWindow, 200, 10, 20, 100);
        v->maximum = 100;
        v->value = c.value;
        v->draw(v);
        EXPECT_EQ(screen_.At(210, 59), c.colour) << c.value;
    }
    WindowHandle* h = Make(guiDrawCentredHBarWindow, 10, 40, 100, 20);
    h->maximum = 100;
    h->value = -300;
    h->draw(h);
    EXPECT_EQ(h->value, -100.0f);
    EXPECT_EQ(screen_.At(12, 50), 64) << "a full negative bar reaches the left edge";
    EXPECT_EQ(screen_.At(100, 50), 0);
}

TEST_F(DrawTypes, TheLevelAndWarningBarsChangeColourAtTheirThresholds)
{
    struct Case {
        WindowRoutine draw;
        float value;
        int colour;
    } cases[] = {
        {guiDrawLevelBarWindow, 25, 64},    {guiDrawLevelBarWindow, 26, 160},  {guiDrawLevelBarWindow, 75, 160},
        {guiDrawLevelBarWindow, 76, 97},    {guiDrawWarningBarWindow, 49, 97}, {guiDrawWarningBarWindow, 50, 160},
        {guiDrawWarningBarWindow, 74, 160}, {guiDrawWarningBarWindow, 75, 64},
    };
    for (const Case& c : cases) {
        WindowHandle* w = Make(c.draw, kL, kT, 20, 50);
        w->maximum = 100;
        w->value = c.value;
        w->draw(w);
        EXPECT_EQ(screen_.At(kL + 5, kT), c.colour) << "frame at " << c.value;
        EXPECT_EQ(screen_.At(kL + 5, kB - 2), c.colour) << "bar at " << c.value;
        EXPECT_EQ(screen_.At(kL + 1, kB - 2), 0) << "the bar is inset by 2";
        EXPECT_EQ(screen_.At(kL + 5, kB - 1), 0);
    }
}

TEST_F(DrawTypes, TheHorizontalBarFillsFromTheLeftIn249Within247)
{
    WindowHandle* w = Make(guiDrawHorizontalBarWindow, 10, 10, 101, 20); // (10, 10)-(110, 29)
    w->maximum = 100;
    w->value = 50; // bar end 11 + 99 / 2 = 60
    w->draw(w);
    EXPECT_EQ(w->auxShort, 60);
    EXPECT_EQ(screen_.Colours(11, 11, 59, 28), (std::set<int>{249}));
    EXPECT_EQ(screen_.Colours(60, 11, 109, 28), (std::set<int>{0}));
    EXPECT_EQ(screen_.At(50, 10), 247);
}

TEST_F(DrawTypes, TheRectTypeFillsAndOutlinesByHotAndPressed)
{
    struct Case {
        uint32_t flags;
        int edge;
    } cases[] = {{0, 24}, {kWindowHot, 29}, {kWindowHot | kWindowPressed, 47}, {kWindowPressed, 24}};
    for (const Case& c : cases) {
        WindowHandle* w = Make(guiDrawRectWindow, kL, kT, 20, 50, 120);
        w->flags |= c.flags;
        w->draw(w);
        EXPECT_EQ(screen_.At(kL + 5, kT), c.edge);
        EXPECT_EQ(screen_.Colours(kL + 1, kT + 1, kR - 1, kB - 1), (std::set<int>{120}));
    }
    WindowHandle* main = Make(guiDrawRectWindow, 100, 100, 10, 10, 33);
    gWindows.mainWindow = main;
    main->draw(main);
    EXPECT_EQ(screen_.Colours(100, 100, 109, 109), (std::set<int>{33})) << "the main window fills it all";
    gWindows.mainWindow = screenWindow_;
}

TEST_F(DrawTypes, TheBoxOutlinesInItsColourOr47)
{
    WindowHandle* w = Make(guiDrawBoxWindow, kL, kT, 20, 50);
    w->draw(w);
    EXPECT_EQ(screen_.At(kL + 5, kT), 47);
    EXPECT_EQ(screen_.At(kL + 5, kT + 5), 7) << "inside untouched";
    w->colour = 90;
    w->draw(w);
    EXPECT_EQ(screen_.At(kR, kT + 5), 90);
}

TEST_F(DrawTypes, TheCheckBoxCrossesItselfIn42WhileChecked)
{
    WindowHandle* w = Make(guiDrawCheckBoxWindow, kL, kT, 21, 21, 5); // (10, 10)-(30, 30)
    w->draw(w);
    EXPECT_EQ(screen_.At(20, 20), 5);
    w->check = 1;
    w->draw(w);
    EXPECT_EQ(screen_.At(20, 20), 42);
    EXPECT_EQ(screen_.At(11, 11), 42);
    EXPECT_EQ(screen_.At(29, 11), 42);
}

TEST_F(DrawTypes, TheArrowsPointUpOrDownWithAnEightPixelTriangle)
{
    // (10, 10)-(30, 30): centre (20, 20); apex two pixels off the centre,
    // base four wide each way.
    WindowHandle* up = Make(guiDrawUpArrowWindow, 10, 10, 21, 21, 5);
    up->draw(up);
    EXPECT_EQ(screen_.At(20, 18), 47);
    EXPECT_EQ(screen_.At(16, 22), 47);
    EXPECT_EQ(screen_.At(24, 22), 47);
    EXPECT_EQ(screen_.At(20, 23), 5);
    WindowHandle* down = Make(guiDrawDownArrowWindow, 50, 10, 21, 21, 5);
    down->draw(down);
    EXPECT_EQ(screen_.At(60, 22), 47);
    EXPECT_EQ(screen_.At(56, 18), 47);
    EXPECT_EQ(screen_.At(60, 17), 5);
}

TEST_F(DrawTypes, TextTypesClearOrFillAndDrawInTheWindowFont)
{
    WindowHandle* s = Make(guiDrawStringWindow, 10, 10, 100, 20); // (10, 10)-(109, 29)
    s->text = "AB";
    s->draw(s);
    // Baseline 10 + 10 + 4 = 24; blocks 6 high from x 12.
    EXPECT_EQ(screen_.Colours(12, 19, 15, 24), (std::set<int>{100}));
    EXPECT_EQ(screen_.Colours(11, 11, 11, 28), (std::set<int>{0}));

    WindowHandle* b = Make(guiDrawButtonWindow, 10, 40, 100, 20, 3); // (10, 40)-(109, 59)
    b->text = "AB";                                                   // 12 wide: from x 54
    b->draw(b);
    EXPECT_EQ(screen_.At(54, 52), 100);
    EXPECT_EQ(screen_.At(52, 52), 3);
    EXPECT_EQ(screen_.At(50, 40), 24);

    WindowHandle* n = Make(guiDrawNumberWindow, 10, 70, 100, 20, 3); // "-12" from x 14
    n->value = -12.7f;
    n->draw(n);
    EXPECT_EQ(screen_.Colours(14, 79, 29, 84).count(100), 1u);
    EXPECT_EQ(screen_.Colours(32, 79, 40, 84), (std::set<int>{3})) << "three characters, no more";
}

TEST_F(DrawTypes, TheTextWindowNeverReadsPastItsTextEnd)
{
    static char text[] = "HELLO";
    Resource record{};
    record.data = text;
    WindowHandle* w = Make(guiDrawTextWindow, 10, 10, 100, 40, 3);
    w->textResource = &record;
    w->maximum = 1e6f;
    w->draw(w);
    EXPECT_EQ(screen_.Colours(11, 11, 108, 48), (std::set<int>{3}));
    w->maximum = 0;
    w->draw(w);
    EXPECT_EQ(screen_.Colours(11, 11, 108, 48).count(100), 1u);
}

TEST_F(DrawTypes, TheRasterTypeTakesItsPictureSizeAndDrawsItOpaque)
{
    std::vector<uint8_t> pixels(4 * 3, 0);
    pixels[5] = 77;
    Bitmap picture{pixels.data(), 4, 3, 0, 0};
    WindowHandle* w = Make(guiDrawRasterWindow, 10, 10, 0, 0);
    w->bitmap = &picture;
    w->draw(w);
    EXPECT_EQ(w->width, 4);
    EXPECT_EQ(w->height, 3);
    EXPECT_EQ(screen_.At(11, 11), 77);
    EXPECT_EQ(screen_.At(10, 10), 0);
    EXPECT_EQ(screen_.At(14, 10), 7);
}

TEST_F(DrawTypes, TheLoggerGraphsTheRingFromTheOldestSampleAndSkipsAnEmptyRange)
{
    ValueRecorder recorder{};
    recorder.sampleCount = kRecorderSamples;
    recorder.minimum = 0;
    recorder.maximum = 100;
    recorder.writePosition = 50; // the oldest sample is at 50
    for (int i = 0; i < kRecorderSamples; ++i)
        recorder.samples[i] = i == 50 ? 100.0f : 10.0f;
    // (10, 10)-(111, 51): 100 columns, 40 rows of graph.
    WindowHandle* w = Make(guiDrawLoggerWindow, 10, 10, 102, 42, 3);
    w->subject.kind = WindowSubject::Kind::ValueRecorder;
    w->subject.recorder = &recorder;
    w->draw(w);
    EXPECT_EQ(screen_.Colours(11, 11, 11, 50), (std::set<int>{64})) << "the oldest at full scale";
    EXPECT_EQ(screen_.Colours(12, 47, 12, 50), (std::set<int>{133})) << "a tenth rises 4 rows";
    EXPECT_EQ(screen_.At(12, 46), 3);

    recorder.maximum = recorder.minimum;
    screen_.Clear(7);
    w->draw(w);
    EXPECT_EQ(screen_.Colours(11, 11, 110, 50), (std::set<int>{3})) << "no scale, no bars";
}

TEST_F(DrawTypes, TheFlashKeepsTheWindowRedrawingWhileTheTimerRuns)
{
    std::vector<uint8_t> pixels(40 * 40, 55);
    Bitmap up{pixels.data(), 40, 40, 0, 0};
    WindowHandle* w = Make(guiDrawSwitchWindow, 10, 10, 40, 40);
    w->bitmapUp = &up;
    w->redrawCount = 0;
    w->draw(w);
    EXPECT_EQ(w->redrawCount, 0) << "no flash, drawn once";
    EXPECT_EQ(screen_.At(20, 20), 55);

    gLastHitAmount = 100;
    w->draw(w);
    EXPECT_GT(w->redrawCount, 0);

    w->redrawCount = 0;
    w->flags |= kWindowNoFlash;
    w->draw(w);
    EXPECT_EQ(w->redrawCount, 0);
}

} // namespace
