// The window draw types on a 640 x 480 memory screen: palette indexes at
// named pixels and in crops, for the meters (clamping, full scale 0, the
// centred and level colours), the rect family, the text types, the arrows,
// the logger's graph and the flash highlight's redraw.
#include "ui/drawtypes.h"

#include "screens/bridge.h"
#include "screens/engineering.h"
#include "screens/icons.h"
#include "screens/objectives.h"
#include "script/configstatements.h"
#include "script/scriptbase.h"
#include "script/vitalobjects.h"
#include "system/settings.h"
#include "ui/contacts.h"
#include "ui/messagelog.h"
#include "world/records.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"

#include "system/errors.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "ui/hud.h"
#include "ui/windows.h"
#include "ui_canvas.h"
#include "world/profiler.h"
#include "ai/combat.h"
#include "ai/docking.h"
#include "view/cameras.h"
#include "framework/pixelmap.h"
#include "system/input.h"
#include "ui/dialogue.h"
#include "view/vectoricons.h"
#include "view/viewstate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <cstring>
#include <string>
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
        {guiDrawLevelBarWindow, 25, 64},
        {guiDrawLevelBarWindow, 26, 160},
        {guiDrawLevelBarWindow, 75, 160},
        {guiDrawLevelBarWindow, 76, 97},
        {guiDrawWarningBarWindow, 49, 97},
        {guiDrawWarningBarWindow, 50, 160},
        {guiDrawWarningBarWindow, 74, 160},
        {guiDrawWarningBarWindow, 75, 64},
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
    b->text = "AB";                                                  // 12 wide: from x 54
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


TEST_F(DrawTypes, TheCardRangeChangesFormatAtItsLimits)
{
    struct Case {
        double metres;
        const char* text;
    } cases[] = {
        {1e9, "1000000.0 KM"},
        {1e10, "10.00 M KM"},
        {2e10, "20.0 M KM"},
        {9999.9, "10000 M"},
        {10000, "10.0 KM"},
        {-40, "0 M"},
        {0, "0 M"},
    };
    for (const Case& c : cases) {
        char text[39];
        guiFormatCardRange(c.metres, text, sizeof text);
        EXPECT_STREQ(text, c.text) << c.metres;
    }
}

// A card at (100, 100), 12 high: its text baseline is 100 + 6 + 2 = 108 and
// its text starts at x 104; a character k starts at 104 + 6 k.
class Cards : public DrawTypes {
protected:
    void SetUp() override
    {
        DrawTypes::SetUp();
        ResetContactList();
        CurrentStation = 1;
        gSettings.language = 0;
        gPresentation = {};
        gWindows.mainViewOnly = 0;
        gFontB = &font_.font;
        gFontR = &highlight_.font;
        savedText_ = gTextTable[20];
        gTextTable[20] = "?";
        ship_.kind = 5;
        ship_.side = 1;
        sim_.shipInfo = &ship_;
        item_.sim = &sim_;
        item_.avatar = &avatar_;
        Contact& row = gContacts.rows[3];
        row.item = &item_;
        row.contactClass = 0;
        row.distance = 5000 * 100.0f;
        row.visiblePosition = 0;
        card_ = Make(guiDrawCardWindow, 100, 100, 158, 12);
        card_->subject.kind = WindowSubject::Kind::ContactRow;
        card_->subject.row = 3;
    }
    void TearDown() override
    {
        gTextTable[20] = savedText_;
        gFontB = gFontR = nullptr;
        ResetContactList();
        DrawTypes::TearDown();
    }
    Contact& Row() { return gContacts.rows[3]; }
    // The colour at the middle of character k's block.
    int Char(int k) const { return screen_.At(104 + 6 * k + 1, 106); }

    BlockFont highlight_{150};
    ShipInfo ship_{};
    Sim sim_{};
    Avatar avatar_{};
    SceneItem item_{};
    WindowHandle* card_ = nullptr;
    const char* savedText_ = nullptr;
};

TEST_F(Cards, AVesselLineShowsLabelKindSideAndRange)
{
    Row().classFlags = 0x10000000; // the side code in 254
    card_->draw(card_);
    EXPECT_EQ(Char(0), 97) << "C";
    EXPECT_EQ(Char(1), 97) << "the first line is number 0";
    EXPECT_EQ(Char(2), 0);
    EXPECT_EQ(screen_.At(104 + 21 + 1, 106), 97) << "kind code";
    EXPECT_EQ(screen_.At(104 + 61 + 1, 106), 254) << "side code";
    EXPECT_EQ(screen_.At(104 + 97 + 1, 106), 97) << "range";
    EXPECT_EQ(screen_.At(150, 100), 24) << "plain frame";
    EXPECT_EQ(screen_.At(257, 100), 24) << "the right edge at full height";
    EXPECT_EQ(screen_.At(100, 100), 7) << "the left edge without its corner";
}

TEST_F(Cards, AnUnidentifiedVesselShowsTheGameTextWithoutSideAndAnUnknownKindShowsNothing)
{
    Row().classFlags = 0x400 | 0x10000000;
    card_->draw(card_);
    EXPECT_EQ(screen_.At(104 + 21 + 1, 106), 160) << "game text 20 in the row colour";
    EXPECT_EQ(screen_.Colours(104 + 27, 103, 104 + 96, 108), (std::set<int>{0})) << "no side code";
    EXPECT_EQ(screen_.At(104 + 97 + 1, 106), 160);

    Row().classFlags = 0x10000000;
    ship_.kind = 19;
    ship_.side = 7;
    card_->draw(card_);
    EXPECT_EQ(screen_.Colours(104 + 18, 103, 104 + 96, 108), (std::set<int>{0})) << "no kind, no side";
    ship_.kind = -1;
    ship_.side = -1;
    card_->draw(card_);
    EXPECT_EQ(screen_.Colours(104 + 18, 103, 104 + 96, 108), (std::set<int>{0}));
}

TEST_F(Cards, TheRowColourFollowsTheClassFlagsEachLaterOneWinning)
{
    struct Case {
        int16_t contactClass;
        uint32_t flags;
        int colour;
    } cases[] = {{0, 0, 97}, {0, 0x80, 133}, {0, 0x100, 64}, {0, 0x200, 160}, {0, 0x1000, 42}, {0, 0x800, 223}, {0, 0x1880, 223}, {2, 0x80, 97}, {1, 0x100, 64}};
    for (const Case& c : cases) {
        Row().contactClass = c.contactClass;
        Row().classFlags = c.flags;
        card_->draw(card_);
        EXPECT_EQ(Char(0), c.colour) << c.contactClass << " " << c.flags;
    }
}

TEST_F(Cards, AnItemInsideItsRadiusIsAtZeroMetres)
{
    sim_.radius = 10000;
    Row().distance = 4000;
    card_->draw(card_);
    const int x = 104 + 97;
    EXPECT_EQ(screen_.At(x + 1, 106), 97) << "0";
    EXPECT_EQ(screen_.At(x + 7, 106), 0) << "blank";
    EXPECT_EQ(screen_.At(x + 13, 106), 97) << "M";
    EXPECT_EQ(screen_.At(x + 19, 106), 0) << "nothing more";
}

TEST_F(Cards, TheWidthIsWideOnlyForBodiesAwayFromTheWeaponsStation)
{
    struct Case {
        int32_t filter;
        int16_t station;
        int16_t width;
    } cases[] = {{7, 1, 268}, {7, 2, 268}, {7, 3, 158}, {0, 1, 158}, {0, 3, 158}};
    for (const Case& c : cases) {
        gContacts.filterClass = c.filter;
        CurrentStation = c.station;
        card_->draw(card_);
        EXPECT_EQ(card_->width, c.width) << c.filter << " " << c.station;
    }
}

TEST_F(Cards, TheCurrentContactIsHighlightedWithTheLinePointer)
{
    gContacts.current = &Row();
    Row().classFlags = 0x100; // 64: filled with 53
    card_->draw(card_);
    EXPECT_EQ(screen_.At(104 + 14, 102), 53);
    EXPECT_EQ(screen_.At(150, 100), 64);
    EXPECT_EQ(Char(0), 64) << "drawn in the row colour";
    // Pointer: two lines from right + 1 to right + 8 at the middle (105).
    EXPECT_EQ(screen_.Colours(258, 105, 265, 106), (std::set<int>{64}));
    EXPECT_EQ(screen_.Colours(258, 100, 265, 104), (std::set<int>{0}));

    Row().highlight = 15; // 15 % 20 > 10: dimmed by 7, the fill keeps 53
    card_->draw(card_);
    EXPECT_EQ(Char(0), 57);
    EXPECT_EQ(screen_.At(104 + 14, 102), 53);
    Row().highlight = 5;
    card_->draw(card_);
    EXPECT_EQ(Char(0), 64);
}

TEST_F(Cards, NothingIsDrawnDuringAPresentationAndACardWithoutRowOnlyClears)
{
    gPresentation.running = 1;
    card_->draw(card_);
    EXPECT_EQ(screen_.Colours(100, 100, 257, 111), (std::set<int>{7}));
    gPresentation.running = 0;
    card_->subject.row = kContactRows; // outside the list
    card_->draw(card_);
    EXPECT_EQ(screen_.Colours(101, 101, 256, 110), (std::set<int>{0}));
}

class ScrollBar : public DrawTypes {
protected:
    void SetUp() override
    {
        DrawTypes::SetUp();
        ResetContactList();
        gPresentation = {};
        gWindows.clip[0] = 0;
        gWindows.clip[1] = 0;
        gWindows.clip[2] = 639;
        gWindows.clip[3] = 479;
        bar_ = Make(guiDrawContactScrollBarWindow, 10, 10, 0, 0); // (10, 10)-(29, 109)
        bar_->bitmap = &picture_;
    }
    void TearDown() override
    {
        ResetContactList();
        DrawTypes::TearDown();
    }
    std::vector<uint8_t> pixels_ = std::vector<uint8_t>(20 * 100, 5);
    Bitmap picture_{pixels_.data(), 20, 100, 0, 0};
    WindowHandle* bar_ = nullptr;
};

TEST_F(ScrollBar, TheThumbFollowsTheFirstShownLine)
{
    // Track 100 - 1 - 6 = 93; thumb 93 x 7 / 20 = 32.
    struct Case {
        int16_t visible, top;
        int y1, y2;
    } cases[] = {
        {20, 0, 13, 45},
        {20, 13, 13 + 13 * 61 / 13, 13 + 61 + 32}, // the last page: the thumb at the bottom
        {20, 6, 13 + 6 * 61 / 13, 13 + 28 + 32},
        {7, 0, 13, 106}, // the whole track, no division
        {5, 0, 13, 106},
    };
    for (const Case& c : cases) {
        gContacts.visibleCount = c.visible;
        gContacts.linesInUse = 7;
        gContacts.windowTop = c.top;
        bar_->redrawCount = 0;
        bar_->draw(bar_);
        EXPECT_EQ(bar_->value, c.y1) << c.visible << " " << c.top;
        EXPECT_EQ(bar_->maximum, c.y2) << c.visible << " " << c.top;
        EXPECT_EQ(screen_.Colours(14, c.y1 + 1, 25, c.y2 - 1), (std::set<int>{29}));
        EXPECT_EQ(screen_.At(20, c.y1), 47);
        EXPECT_EQ(screen_.At(12, c.y1 + 1), 5) << "the picture around the thumb";
        EXPECT_GT(bar_->redrawCount, 0);
    }
    EXPECT_EQ(gContacts.linesInUse, 5) << "lowered to the visible count";
}

TEST_F(ScrollBar, WithoutContactsOnlyThePictureAndInAPresentationAClearedRectangle)
{
    gContacts.visibleCount = 0;
    bar_->draw(bar_);
    EXPECT_EQ(bar_->width, 20);
    EXPECT_EQ(screen_.Colours(10, 10, 29, 109), (std::set<int>{5}));
    gPresentation.running = 1;
    bar_->draw(bar_);
    EXPECT_EQ(screen_.Colours(10, 10, 29, 109), (std::set<int>{0}));
    gPresentation.running = 0;
}

TEST_F(DrawTypes, TheTickerIsColouredByTheOrderValueAndScrollsByHalfTheTicks)
{
    WindowHandle* t = Make(guiDrawTickerWindow, 10, 10, 100, 20); // baseline 10 + 10 + 3 = 23
    t->text = "AB";                                               // 12 wide, wraps at 39
    struct Case {
        float value;
        int colour;
    } cases[] = {{9999, 64}, {9998, 97}, {10000, 97}};
    for (const Case& c : cases) {
        t->value = c.value;
        t->maximum = 0;
        t->draw(t);
        EXPECT_EQ(screen_.At(13, 21), c.colour) << c.value;
    }
    gFrameClock.frameTicks = 9;
    t->maximum = 0;
    t->draw(t);
    EXPECT_EQ(t->maximum, 4.0f) << "half the ticks, truncated";
    t->maximum = 36;
    t->draw(t);
    EXPECT_EQ(t->maximum, 4.0f) << "36 >= 12 + 15: starts over, then grows";
    t->maximum = 26;
    t->draw(t);
    EXPECT_EQ(t->maximum, 30.0f);
    gFrameClock.frameTicks = 30;
    t->maximum = 25;
    t->draw(t);
    EXPECT_EQ(t->maximum, 0.0f) << "25 + 15 reaches 2 x 12 + 15";
    gFrameClock.frameTicks = 9;
    t->maximum = 35;
    t->text = "ABCDEFGHIJKL"; // 72 wide: 35 + 4 = 39 < 159
    t->draw(t);
    EXPECT_EQ(t->maximum, 39.0f);
    t->text = nullptr;
    t->draw(t);
    EXPECT_EQ(t->maximum, 0.0f);
    EXPECT_GT(t->redrawCount, 0);
}


TEST_F(DrawTypes, TheSilhouetteShadeFollowsTheHealth)
{
    struct Case {
        int32_t taken, maximum;
        int shade;
    } cases[] = {{0, 100, 174}, {100, 100, 55}, {250, 100, 55}, {50, 100, 242}, {1, 100, 174}, {5, 100, 172}, {0, 0, 55}};
    for (const Case& c : cases)
        EXPECT_EQ(guiHealthShade(c.taken, c.maximum), c.shade) << c.taken << " of " << c.maximum;
}

// A panel at (100, 200)-(299, 299): text from x 104, first baseline
// 200 + 6 + 4 = 210, lines 10 apart; the system list from (175, 212), 9
// apart, in the default font.
// A w x h picture of one colour; `run` builds its run list for one-colour
// drawing.
struct Picture {
    Picture(int16_t w, int16_t h, uint8_t colour) : pixels(size_t(w * h), colour), bitmap{pixels.data(), w, h, 0, 0}
    {
        runs.resize(SpriteRunsSize(bitmap, 0));
        SpriteBuildRuns(bitmap, runs, 0);
    }
    std::vector<uint8_t> pixels;
    Bitmap bitmap;
    std::vector<uint8_t> runs;
};

// Every contact icon a 5 x 5 block of its own colour: 200 + 3 x icon +
// picture (nm 0, nt 1, wt 2).
class CardIcons : public Cards {
protected:
    void SetUp() override
    {
        Cards::SetUp();
        for (int i = 0; i < kContactIconKinds; ++i)
            for (int j = 0; j < kContactIconPictures; ++j) {
                pictures_.push_back(std::make_unique<Picture>(5, 5, uint8_t(200 + 3 * i + j)));
                ContactIcons[i][j] = &pictures_.back()->bitmap;
            }
        // The targets are held by handle: the row's item comes from the pool.
        ResetPools();
        pooled_ = AllocSceneItem();
        pooled_->sim = &sim_;
        pooled_->avatar = &avatar_;
        Row().item = pooled_;
    }
    void TearDown() override
    {
        for (auto& row : ContactIcons)
            for (Bitmap*& icon : row)
                icon = nullptr;
        gContacts.playerTarget = gContacts.navTarget = nullptr;
        Row().item = nullptr;
        ResetPools();
        Cards::TearDown();
    }
    // The icon's colour with its top-left at column x of the line: the
    // baseline is 108, the icon starts 8 above it.
    int IconAt(int x) const { return screen_.At(104 + x + 2, 101); }
    std::vector<std::unique_ptr<Picture>> pictures_;
    SceneItem* pooled_ = nullptr;
};

TEST_F(CardIcons, EachClassShowsItsIconAndTheTargetsTheirOwnPictures)
{
    struct Case {
        int16_t contactClass;
        int16_t side;
        uint32_t avatarFlags;
        bool weapons, nav;
        int column, colour;
    } cases[] = {
        {0, 1, 0, false, false, 48, 203},     // side 1: icon 1, normal
        {0, 4, 0, false, false, 48, 209},     // sides 3 and 4: icon 3
        {0, 5, 0, false, false, 48, 203},     // side 5: icon 1
        {0, 1, 0, false, true, 48, 204},      // the navigation target
        {0, 1, 0, true, true, 48, 205},       // the player's target wins
        {0, 6, 0x100, false, false, 48, 206}, // aliens by their flags
        {0, 6, 0x80, false, false, 48, 203},
        {0, 6, 0, false, false, 48, 200},
        {1, 0, 0x600, false, false, 48, 209}, // objects by guiContactIconIndex
        {1, 0, 0x100, true, false, 48, 208},
        {1, 0, 0x80, false, true, 48, 203}, // no navigation picture for objects
        {2, 0, 0x600, true, false, 21, 202},
        {7, 0, 0, false, true, 21, 201},
        {7, 0, 0, true, false, 21, 200}, // no weapons picture for bodies
    };
    for (const Case& c : cases) {
        screen_.Clear(7);
        Row().contactClass = c.contactClass;
        ship_.side = c.side;
        avatar_.classFlags = c.avatarFlags;
        gContacts.playerTarget = c.weapons ? pooled_ : nullptr;
        gContacts.navTarget = c.nav ? pooled_ : nullptr;
        card_->draw(card_);
        EXPECT_EQ(IconAt(c.column), c.colour) << c.contactClass << " side " << c.side << " " << c.avatarFlags;
    }
    gContacts.playerTarget = gContacts.navTarget = nullptr;
}

TEST_F(CardIcons, NoIconForAnUnidentifiedVesselAnUnknownSideOrAMissingPicture)
{
    Row().classFlags = 0x400;
    card_->draw(card_);
    EXPECT_EQ(IconAt(48), 0) << "not yet identified";
    Row().classFlags = 0;
    for (int16_t side : {7, -1}) {
        ship_.side = side;
        card_->draw(card_);
        EXPECT_EQ(IconAt(48), 0) << side;
    }
    ship_.side = 1;
    ContactIcons[1][kIconNormal] = nullptr;
    card_->draw(card_);
    EXPECT_EQ(IconAt(48), 0) << "a missing picture draws nothing";
    EXPECT_EQ(screen_.At(104 + 21 + 1, 106), 97) << "the kind code is still there";
}

class Panels : public Cards {
protected:
    void SetUp() override
    {
        Cards::SetUp();
        ship_.name = "AB";
        ship_.damage.maximumHull = 100;
        panel_ = Make(guiDrawTargetPanelWindow, 100, 200, 200, 100);
        panel_->subject.kind = WindowSubject::Kind::ContactRow;
        panel_->subject.row = 3;
    }
    int Line(int line, int k = 0) const { return screen_.At(104 + 6 * k + 1, 208 + 10 * line); }
    int System(int entry) const { return screen_.At(176, 210 + 9 * entry); }
    WindowHandle* panel_ = nullptr;
};

TEST_F(Panels, AVesselPanelShowsItsFrameLinesAndSystems)
{
    panel_->draw(panel_);
    EXPECT_EQ(panel_->colour, 0);
    EXPECT_EQ(screen_.At(150, 200), 160) << "outline";
    EXPECT_EQ(screen_.At(165, 250), 160) << "separator";
    EXPECT_EQ(screen_.At(140, 290), 149) << "fill";
    for (int line = 0; line < 5; ++line)
        EXPECT_EQ(Line(line), 160) << "line " << line;
    // Nine entries shown (CAP and RNG never), all in 153 while c is 160.
    for (int entry = 0; entry < 9; ++entry)
        EXPECT_EQ(System(entry), 153) << entry;
    EXPECT_EQ(System(9), 149) << "no tenth entry";
}

TEST_F(Panels, ADamagedSystemIsDimmedAndDamageIsCountedAgainstTheHull)
{
    Row().classFlags = 0x100;               // 64
    ship_.damage.capabilities = 0x2 | 0x40; // THR and CAP: CAP is not listed
    panel_->draw(panel_);
    EXPECT_EQ(System(0), 64) << "ATT";
    EXPECT_EQ(System(1), 57) << "THR";
    EXPECT_EQ(System(5), 64) << "CRW follows LDS directly";
    EXPECT_EQ(Line(4, 4), 64) << "DMG 0: five characters";
    EXPECT_EQ(Line(4, 5), 53);

    ship_.damage.maximumHull = 0; // nothing left to lose: DMG 100
    panel_->draw(panel_);
    EXPECT_EQ(Line(4, 6), 64);
    EXPECT_EQ(Line(4, 7), 53);
}

TEST_F(Panels, TheClassIconsSilhouetteShowsTheHullsHealthUnderASeparator)
{
    Picture silhouette(10, 10, 5);
    for (ShipClassIcon& icon : ShipClassIcons)
        icon = {&silhouette.bitmap, silhouette.runs.data()};
    CurrentStation = 2;
    panel_->draw(panel_);
    EXPECT_EQ(screen_.At(120, 256), 160) << "separator";
    EXPECT_EQ(screen_.At(135, 277), 174) << "intact: shade 23";
    EXPECT_EQ(screen_.At(135, 274), 149) << "at (left + 33, top + 75)";

    ship_.damage.hullDamage = 100;
    CurrentStation = 1; // the COM station: 3 pixels higher
    panel_->draw(panel_);
    EXPECT_EQ(screen_.At(135, 274), 55) << "wrecked: shade 0";

    // Salvage and gun bases have no class icon, whatever the table holds.
    for (int16_t kind : {3, 17}) {
        screen_.Clear(7);
        ship_.kind = kind;
        panel_->draw(panel_);
        EXPECT_EQ(screen_.At(120, 256), 149) << kind;
        EXPECT_EQ(screen_.Colours(133, 272, 142, 283), (std::set<int>{149})) << kind;
    }
    for (ShipClassIcon& icon : ShipClassIcons)
        icon = {};
}

TEST_F(Panels, TheSelectedComponentIsMarkedBesideItsSystemOnlyWithinTheSelectionRange)
{
    Picture mark(4, 4, 211);
    ContactIcons[3][kIconWeaponsTarget] = &mark.bitmap;
    avatar_.classFlags = 0x200; // contact icon 3
    HullBox box{};
    box.flags = 0x8 << 8; // a thruster: the THR entry, the second
    gContacts.selectedComponent = &box;
    gContacts.componentSelected = 1;
    // Out of the selection range at the last HUD frame: no mark.
    gHud.componentInRange = 0;
    panel_->draw(panel_);
    EXPECT_NE(screen_.At(175 + 18 + 1, 221 - 9 + 1), 211) << "out of range";
    gHud.componentInRange = 255;
    screen_.Clear(7);
    panel_->draw(panel_);
    // The first entry's line is 212; the mark's corner 9 above the second's,
    // at the end of its three characters.
    EXPECT_EQ(screen_.At(175 + 18 + 1, 221 - 9 + 1), 211);
    EXPECT_NE(screen_.At(175 + 18 + 1, 212 - 9 + 1), 211) << "not beside ATT";
    gHud.componentInRange = 0;
    gContacts.componentSelected = 0;
    screen_.Clear(7);
    panel_->draw(panel_);
    EXPECT_NE(screen_.At(175 + 18 + 1, 221 - 9 + 1), 211);
    ContactIcons[3][kIconWeaponsTarget] = nullptr;
    gContacts.selectedComponent = nullptr;
}

TEST_F(Panels, ANameScrollsOnlyWhenWiderThanItsColumn)
{
    font_.font.widths['i'] = 5;
    highlight_.font.widths['i'] = 5;
    gFrameClock.frameTicks = 4;
    ship_.name = "AAAAAAAAAi"; // 59 pixels
    panel_->redrawCount = 0;
    panel_->draw(panel_);
    EXPECT_EQ(panel_->maximum, 0.0f);
    EXPECT_EQ(panel_->redrawCount, 0);
    EXPECT_EQ(Line(0), 160) << "drawn at the line start";
    ship_.name = "AAAAAAAAAA"; // 60 pixels
    panel_->draw(panel_);
    EXPECT_EQ(panel_->maximum, 2.0f);
    EXPECT_GT(panel_->redrawCount, 0);
    EXPECT_EQ(screen_.At(104 + 21 + 1, 208), 160) << "the first copy 21 pixels in";
    EXPECT_EQ(screen_.At(105, 208), 149);
}

TEST_F(Panels, TheBodyFilterClearsThePanelExceptAtTheCommsStationWhereItDrawsNothing)
{
    gContacts.filterClass = 7;
    CurrentStation = 1;
    panel_->draw(panel_);
    EXPECT_EQ(screen_.Colours(100, 200, 299, 299), (std::set<int>{7}));
    CurrentStation = 2;
    panel_->draw(panel_);
    EXPECT_EQ(screen_.Colours(100, 200, 299, 299), (std::set<int>{0}));
    gContacts.filterClass = 0;
    screen_.Clear(7);
    panel_->subject.kind = WindowSubject::Kind::None;
    panel_->draw(panel_);
    EXPECT_EQ(screen_.Colours(100, 200, 299, 299), (std::set<int>{0})) << "no subject: cleared";
}

TEST_F(Panels, AnUnidentifiedVesselShowsTheGameTextAndNoKindAndAMissileItsFigures)
{
    Row().classFlags = 0x200;
    panel_->draw(panel_);
    EXPECT_EQ(Line(0), 160);
    EXPECT_EQ(Line(1), 149) << "line 2 stays empty";
    EXPECT_EQ(Line(2), 160);

    sim_.shipInfo = nullptr;
    avatar_.classFlags = 0x20;
    panel_->draw(panel_);
    EXPECT_EQ(Line(0), 160) << "MISSILE";
    EXPECT_EQ(Line(1), 149);
    EXPECT_EQ(Line(2), 160) << "speed";
    EXPECT_EQ(Line(3), 160) << "mass";
    EXPECT_EQ(System(0), 149) << "no system list";
}

TEST_F(Cards, TheTargetLinesNameTheirItemOrShowTheEmptyLine)
{
    WindowHandle* label = Make(guiDrawTargetLabelWindow, 10, 300, 300, 12);
    WindowHandle* name = Make(guiDrawTargetNameWindow, 10, 320, 300, 12);
    struct Case {
        uint16_t language;
        std::size_t length;
        const char* start;
    } empties[] = {{0, 45, "TARGET: ----"}, {1, 45, "CIBLE: ----"}, {2, 43, "ZIEL: ----"}};
    for (const Case& c : empties) {
        gSettings.language = c.language;
        label->draw(label);
        EXPECT_EQ(std::strlen(label->text), c.length);
        EXPECT_EQ(std::string(label->text).rfind(c.start, 0), 0u) << label->text;
    }
    gSettings.language = 0;
    guiSetViewedItems(label, &item_);
    guiSetViewedItems(name, &item_);
    ship_.name = "HALCYON";
    label->draw(label);
    name->draw(name);
    EXPECT_STREQ(label->text, "TARGET: HALCYON");
    EXPECT_STREQ(name->text, "TARGET: HALCYON");
    EXPECT_EQ(screen_.At(13, 328), 100) << "drawn as a string";

    std::string longName(80, 'N');
    ship_.name = longName.c_str();
    label->draw(label);
    EXPECT_EQ(std::strlen(label->text), 45u) << "cut, never written past";

    sim_.shipInfo = nullptr; // a named object: only the label uses its name
    static char names[] = "GATE";
    gScriptBuffers.data[100] = 0;
    std::memcpy(gScriptBuffers.data + 100, names, sizeof names);
    avatar_.params[kParamName] = 100;
    label->draw(label);
    name->draw(name);
    EXPECT_STREQ(label->text, "TARGET: GATE");
    EXPECT_EQ(std::string(name->text).rfind("TARGET: ----", 0), 0u);
}

TEST_F(DrawTypes, ARepairTeamShowsItsSystemOrItsIdleText)
{
    ShipSystem system{};
    system.names[0] = "REACTOR";
    system.health = 0.25f;
    system.repairTime = 12;
    gShipSystems.teams[1].system = &system;
    gShipSystems.teams[0].system = nullptr;
    // (10, 10)-(209, 69): lines from (14, 22), 10 apart.
    WindowHandle* busy = Make(guiDrawRepairTeamWindow, 10, 10, 200, 60);
    busy->value = 1;
    busy->redrawCount = 0;
    busy->draw(busy);
    for (int line = 0; line < 4; ++line)
        EXPECT_EQ(screen_.At(15, 20 + 10 * line), 64) << line;
    EXPECT_GT(busy->redrawCount, 0);

    WindowHandle* idle = Make(guiDrawRepairTeamWindow, 10, 100, 200, 60);
    idle->value = 0;
    idle->draw(idle);
    EXPECT_EQ(screen_.At(15, 110), 64);
    EXPECT_EQ(screen_.At(15, 118), 64) << "READY one font line lower";
    EXPECT_EQ(screen_.Colours(11, 122, 208, 158), (std::set<int>{0}));

    WindowHandle* none = Make(guiDrawRepairTeamWindow, 10, 200, 200, 60);
    none->value = 4;
    none->draw(none);
    EXPECT_EQ(screen_.Colours(11, 201, 208, 258), (std::set<int>{0})) << "no such team";
    gShipSystems.teams[1].system = nullptr;
}


TEST_F(DrawTypes, TheSideArrowsFillTheWindowTowardTheirPointInTheirStateColour)
{
    struct Case {
        uint32_t flags;
        int colour;
    } cases[] = {{0, 47}, {kWindowHot, 250}, {kWindowPressed, 249}, {kWindowHot | kWindowPressed, 249}};
    for (const Case& c : cases) {
        // (10, 10)-(30, 30): base on one side, point at the other's middle.
        WindowHandle* r = Make(guiDrawRightArrowWindow, 10, 10, 21, 21);
        r->flags |= c.flags;
        r->draw(r);
        EXPECT_EQ(screen_.At(10, 10), c.colour);
        EXPECT_EQ(screen_.At(10, 30), c.colour);
        EXPECT_EQ(screen_.At(30, 20), c.colour);
        EXPECT_EQ(screen_.At(30, 12), 7);
        WindowHandle* l = Make(guiDrawLeftArrowWindow, 50, 10, 21, 21);
        l->flags |= c.flags;
        l->draw(l);
        EXPECT_EQ(screen_.At(70, 10), c.colour);
        EXPECT_EQ(screen_.At(50, 20), c.colour);
        EXPECT_EQ(screen_.At(50, 12), 7);
    }
}

TEST_F(DrawTypes, TitledBoxesOutlinedButtonsIndicatorsAndHotTexts)
{
    WindowHandle* titled = Make(guiDrawTitledBoxWindow, 10, 10, 100, 40, 3); // title baseline 20
    titled->text = "AB";                                                     // from x 54
    titled->draw(titled);
    EXPECT_EQ(screen_.At(55, 18), 246);
    EXPECT_EQ(screen_.At(55, 30), 3);

    WindowHandle* outlined = Make(guiDrawOutlinedButtonWindow, 10, 100, 100, 20, 3);
    outlined->draw(outlined);
    EXPECT_EQ(screen_.At(50, 99), 7);
    outlined->flags |= kWindowOutlined;
    outlined->draw(outlined);
    EXPECT_EQ(screen_.At(50, 99), 47) << "one pixel outside";
    EXPECT_EQ(screen_.At(50, 100), 24);

    std::vector<uint8_t> offPixels(4, 11), onPixels(4, 12);
    Bitmap off{offPixels.data(), 2, 2, 0, 0}, on{onPixels.data(), 2, 2, 0, 0};
    WindowHandle* lamp = Make(guiDrawIndicatorWindow, 200, 10, 2, 2);
    lamp->bitmapUp = &off;
    lamp->bitmapDown = &on;
    lamp->text = "";
    lamp->draw(lamp);
    EXPECT_EQ(screen_.At(200, 10), 11);
    lamp->text = "ON";
    lamp->draw(lamp);
    EXPECT_EQ(screen_.At(200, 10), 12);

    BlockFont highlight(150);
    gFontB = &font_.font;
    gFontR = &highlight.font;
    WindowHandle* entry = Make(guiDrawHotTextWindow, 10, 200, 100, 20); // baseline 214
    entry->text = "A";
    entry->draw(entry);
    EXPECT_EQ(screen_.At(13, 212), 100);
    entry->flags |= kWindowHot;
    entry->draw(entry);
    EXPECT_EQ(screen_.At(13, 212), 150);
    gFontB = gFontR = nullptr;
}

TEST_F(DrawTypes, TheLevelHorizontalBarTakesTheLevelColours)
{
    struct Case {
        float value;
        int colour;
    } cases[] = {{25, 64}, {50, 160}, {75, 160}, {100, 97}};
    for (const Case& c : cases) {
        WindowHandle* w = Make(guiDrawLevelHBarWindow, 10, 10, 100, 20);
        w->maximum = 100;
        w->value = c.value;
        w->draw(w);
        EXPECT_EQ(screen_.At(13, 20), c.colour) << c.value;
        EXPECT_EQ(screen_.At(50, 10), c.colour) << c.value;
    }
}


// A fixture ship's systems in the repair order: group 2 holds four of them,
// group 3 one.
class EngStation : public DrawTypes {
protected:
    void SetUp() override
    {
        DrawTypes::SetUp();
        const float health[] = {1.0f, 0.5f, 0.2f, 0.9f, 1.0f};
        const int16_t group[] = {2, 2, 2, 3, 2};
        for (int i = 0; i < 5; ++i) {
            systems_[i].names[0] = "SYS";
            systems_[i].health = health[i];
            systems_[i].repairClass = group[i];
            gShipSystems.order[i] = &systems_[i];
        }
        gShipSystems.teams[2].index = 2;
        systems_[1].repairTeam = &gShipSystems.teams[2];
        gEngPanel.selectedTab = 1;
        gEngPanel.selectedSystem = &systems_[4];
        list_ = Make(guiDrawEngSystemListWindow, 100, 300, 80, 80); // (100, 300)-(179, 379)
        list_->value = 2;
    }
    void TearDown() override
    {
        std::fill(std::begin(gShipSystems.order), std::end(gShipSystems.order), nullptr);
        gEngPanel = {.selectedSystem = nullptr, .layerMask = 0, .selectedTab = 1, .layerLabels = {}};
        DrawTypes::TearDown();
    }
    ShipSystem systems_[5]{};
    WindowHandle* list_ = nullptr;
};

TEST_F(EngStation, APriorityListShowsItsGroupsSystemsByHealth)
{
    list_->draw(list_);
    // Rows 11 apart from 312: health 1, 0.5, 0.2, then the fourth system of
    // the group (health 1, selected); the 0.9 one is in group 3.
    const int colours[] = {36, 64, 58, 36};
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(screen_.At(101, 310 + 11 * row), colours[row]) << row;
    EXPECT_EQ(screen_.At(101, 310 + 44), 7) << "no fifth row";
    EXPECT_EQ(screen_.At(100, 312 - 9), 0) << "the name's box cleared";
    // The selected system's frame, two pixels outside the window's sides.
    EXPECT_EQ(screen_.At(140, 312 + 33 - 10), 47);
    EXPECT_EQ(screen_.At(181, 312 + 33 - 5), 47);
    // Repair team 2 works on the second row's system: "3" at left - 8.
    EXPECT_EQ(screen_.At(93, 321), 36);
    EXPECT_EQ(screen_.At(93, 310), 7);

    systems_[0].health = 0.99f;
    list_->draw(list_);
    EXPECT_EQ(screen_.At(101, 310), 160) << "below 1";

    screen_.Clear(7);
    gEngPanel.selectedTab = 2;
    list_->draw(list_);
    EXPECT_EQ(screen_.Colours(90, 295, 185, 385), (std::set<int>{7})) << "only on the first tab";
}

TEST_F(EngStation, ALayerButtonIsCheckedAndFramedWhileItsLayerIsShown)
{
    gEngPanel.layerLabels[3] = "HULL";
    WindowHandle* button = Make(guiDrawEngToggleWindow, 10, 10, 60, 20, 3);
    button->value = 3;
    button->draw(button);
    EXPECT_STREQ(button->text, "HULL");
    EXPECT_EQ(button->check, 0);
    EXPECT_EQ(screen_.At(30, 10), 24);
    gEngPanel.layerMask = kEngLayerBits[3];
    button->draw(button);
    EXPECT_EQ(button->check, 255);
    EXPECT_EQ(screen_.At(30, 10), 64);
    button->value = 7; // no such layer
    button->draw(button);
    EXPECT_EQ(button->check, 0);
    EXPECT_EQ(button->text, nullptr);
}

TEST_F(EngStation, TheTabMarkerMovesToTheSelectedTab)
{
    WindowHandle* marker = Make(guiDrawEngTabMarkerWindow, 0, 10, 20, 10, 3);
    gEngPanel.selectedTab = 3;
    marker->draw(marker);
    EXPECT_EQ(marker->x, 246);
    EXPECT_EQ(screen_.At(250, 10), 24);
}


TEST_F(DrawTypes, TheHealthSquaresShowThePlayersSystemsInTheirRange)
{
    ShipSystem systems[4]{};
    const float health[] = {1.0f, 0.9f, 0.5f, 0.2f};
    for (int i = 0; i < 4; ++i) {
        systems[i].health = health[i];
        systems[i].next = i < 3 ? &systems[i + 1] : nullptr;
    }
    Sim sim{};
    sim.systems = &systems[0];
    SceneItem ship{};
    ship.sim = &sim;
    SceneItem* const savedPlayer = gPlayerItem;
    gPlayerItem = &ship;
    WindowHandle* strip = Make(guiDrawSystemsHealthWindow, 10, 10, 40, 4);
    guiSetViewedItems(strip, &ship);
    strip->draw(strip);
    const int colours[] = {97, 160, 64, 58};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(screen_.Colours(10 + 3 * i, 10, 11 + 3 * i, 11), (std::set<int>{colours[i]})) << i;
        EXPECT_EQ(screen_.At(12 + 3 * i, 10), 7);
    }
    screen_.Clear(7);
    strip->value = 1;
    strip->maximum = 2;
    strip->draw(strip);
    EXPECT_EQ(screen_.At(10, 10), 160) << "the range starts at system 1";
    EXPECT_EQ(screen_.At(13, 10), 64);
    EXPECT_EQ(screen_.At(16, 10), 7);

    screen_.Clear(7);
    gPlayerItem = nullptr;
    strip->draw(strip);
    EXPECT_EQ(screen_.At(10, 10), 7) << "another ship's systems are not shown";
    gPlayerItem = savedPlayer;
}


TEST_F(DrawTypes, MetersTakeScriptValuesThatAreOutOfAnyRange)
{
    struct Case {
        WindowRoutine draw;
        float value, maximum;
    } cases[] = {
        {guiDrawVerticalBarWindow, NAN, 100},
        {guiDrawVerticalBarWindow, 5, -100},
        {guiDrawHorizontalBarWindow, 1e30f, 100},
        {guiDrawCentredHBarWindow, NAN, -100},
        {guiDrawLevelBarWindow, 5, INFINITY},
        {guiDrawNumberWindow, 1e30f, 0},
        {guiDrawNumberWindow, NAN, 0},
        {guiDrawTickerWindow, 0, NAN},
    };
    for (const Case& c : cases) {
        WindowHandle* w = Make(c.draw, kL, kT, 20, 50);
        w->value = c.value;
        w->maximum = c.maximum;
        w->text = "AB";
        w->draw(w);
        EXPECT_EQ(screen_.At(0, 0), 7) << "nothing outside the window";
        EXPECT_FALSE(std::isnan(w->value) && c.draw != guiDrawNumberWindow && c.draw != guiDrawTickerWindow)
            << "a bar keeps no value that is not a number";
    }
}


TEST_F(Cards, TheMainViewShowsThePlayersTargetCardAtItsBottom)
{
    ResetPools();
    SceneItem* target = AllocSceneItem();
    ASSERT_NE(target, nullptr);
    target->sim = &sim_;
    target->avatar = &avatar_;
    Row().item = target;
    Row().rowFlags = kContactUsed;
    // A view (0, 0)-(319, 199) without a viewing item: only the card.
    WindowHandle* view = Make(guiDraw3DWindow, 0, 0, 320, 200);
    gWindows.mainView = view;
    guiDrawMainView();
    EXPECT_EQ(screen_.Colours(80, 184, 239, 195), (std::set<int>{7})) << "no target, no card";
    gContacts.playerTarget = target;
    guiDrawMainView();
    // The card's box (80, 184)-(237, 195): frame 24, "C0" from x 84.
    EXPECT_EQ(screen_.At(120, 184), 24);
    EXPECT_EQ(screen_.At(85, 190), 97);
    EXPECT_EQ(screen_.At(79, 190), 7);
    gContacts.playerTarget = nullptr;
    gWindows.mainView = nullptr;
    ResetPools();
}


TEST_F(Cards, OnceTheFlightIsOverTheMainViewCarriesTheMissionSummary)
{
    BlockFont summary{60};
    gBridgeFonts[0] = &summary.font;
    const char* saved = gTextTable[165];
    gTextTable[165] = "ESC";
    WindowHandle* view = Make(guiDraw3DWindow, 0, 0, 640, 300);
    view->font = nullptr; // the summary falls back on the first bridge font
    gWindows.mainView = view;
    guiDrawMainView();
    EXPECT_EQ(screen_.Colours(0, 0, 639, 299).count(60), 0u) << "in flight: no summary";
    MissionEndState = kMissionFlightOver;
    guiDrawMainView();
    // The bottom line, "ESC" centred from x 311, on the panel's last pen line.
    const int32_t height = guiObjectivesPanelDraw(view, false);
    EXPECT_EQ(screen_.Colours(311, height - 5, 314, height), (std::set<int>{60}));
    EXPECT_EQ(screen_.At(310, height), 7);
    MissionEndState = kMissionInFlight;
    gWindows.mainView = nullptr;
    gTextTable[165] = saved;
    gBridgeFonts[0] = nullptr;
}

TEST_F(Cards, ABodysNameStaysInItsColumnAndItsRangeShowsOnlyOnTheWideCard)
{
    static const char name[] = "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAA"; // 180 pixels from x 135
    std::memcpy(gScriptBuffers.data + 200, name, sizeof name);
    avatar_.params[kParamName] = 200;
    avatar_.flags = kAvatarBody;
    Row().contactClass = 7;
    gContacts.filterClass = 7;
    CurrentStation = 2;
    card_->draw(card_);
    ASSERT_EQ(card_->width, 268);
    EXPECT_EQ(screen_.At(104 + 31 + 1, 106), 97) << "the name at x + 31";
    EXPECT_EQ(screen_.At(100 + 182, 106), 97) << "up to the wide column's end";
    EXPECT_EQ(screen_.At(104 + 181 + 1, 106), 97) << "the range";

    screen_.Clear(7);
    CurrentStation = 3; // WEP: narrow, the range lies outside the card
    card_->draw(card_);
    ASSERT_EQ(card_->width, 158);
    EXPECT_EQ(screen_.At(100 + 98, 106), 97);
    EXPECT_EQ(screen_.At(100 + 101, 106), 0) << "clipped at the narrow column's end";
    EXPECT_EQ(screen_.Colours(258, 100, 400, 111), (std::set<int>{7}));

    // The current row's name scrolls by half the frame's ticks.
    gContacts.current = &Row();
    gFrameClock.frameTicks = 6;
    card_->maximum = 0;
    card_->redrawCount = 0;
    card_->draw(card_);
    EXPECT_EQ(card_->maximum, 3.0f);
    EXPECT_GT(card_->redrawCount, 0);
}

// The scopes on a 100 x 100 window at (100, 100): centre (149, 149).
class Scopes : public DrawTypes {
protected:
    void SetUp() override
    {
        DrawTypes::SetUp();
        savedView_ = gView;
        gView.pixelType = HX_PMT_INDEX_8;
        gView.viewport = {0, 0, 639, 479};
        std::fill(std::begin(gEnergyShares), std::end(gEnergyShares), 0.0f); // the gauge in 79
        ScopeDisplayMode = 0;
        GetKeyStateBlock()[29] = 0;
        ResetContactList();
        gDialogue.commsPartner = nullptr;
        gWindows.clip[0] = gWindows.clip[1] = 0;
        gWindows.clip[2] = 639;
        gWindows.clip[3] = 479;
    }
    void TearDown() override
    {
        GetKeyStateBlock()[29] = 0;
        ScopeDisplayMode = 0;
        gDialogue.commsPartner = nullptr;
        gView = savedView_;
        DrawTypes::TearDown();
    }
    WindowHandle* Scope(WindowRoutine draw)
    {
        WindowHandle* w = Make(draw, 100, 100, 100, 100);
        guiSetHeldHudElement(w, &orb_);
        return w;
    }
    ViewState savedView_{};
    HUD orb_{};
};

TEST_F(Scopes, LeftCtrlShowsTheGaugeOnBothScopesWhateverTheMode)
{
    // The gauge's top edge: y + t, t = -(int)(0.9 x size); size = 99 x 0.32
    // = 31 on the weapons scope (t -27), 99 x 0.37 = 36 on the navigation
    // scope (t -32).
    struct Case {
        WindowRoutine draw;
        int32_t mode;
        uint8_t ctrl;
        int gaugeTop;
    } cases[] = {
        {guiDrawWeaponScopeWindow, 2, 0, 122},
        {guiDrawNavScopeWindow, 2, 0, 117},
        {guiDrawWeaponScopeWindow, 0, 255, 122},
        {guiDrawNavScopeWindow, 0, 255, 117},
        {guiDrawWeaponScopeWindow, 1, 255, 122},
        {guiDrawNavScopeWindow, 1, 255, 117},
    };
    for (const Case& c : cases) {
        screen_.Clear(7);
        ScopeDisplayMode = c.mode;
        GetKeyStateBlock()[29] = c.ctrl;
        WindowHandle* w = Scope(c.draw);
        w->draw(w);
        EXPECT_EQ(screen_.At(149, c.gaugeTop), 79) << c.mode << " " << int(c.ctrl);
        EXPECT_EQ(screen_.At(149, c.gaugeTop - 1), 16);
        EXPECT_EQ(screen_.At(101, 198), 16) << "filled with 16";
        EXPECT_EQ(screen_.At(99, 150), 7);
    }
}

TEST_F(Scopes, TheOrbModeFillsWith112AndThePictureFramesTheScopeThroughColour0)
{
    // A screen-sized picture: colour 9 on rows 100-102 and at (50, 50), 0 elsewhere.
    Picture frame(640, 480, 0);
    std::fill_n(frame.pixels.begin() + 100 * 640, 3 * 640, 9);
    frame.pixels[50 * 640 + 50] = 9;
    WindowHandle* w = Scope(guiDrawWeaponScopeWindow);
    w->bitmap = &frame.bitmap;
    w->draw(w);
    EXPECT_EQ(screen_.Colours(100, 100, 199, 102), (std::set<int>{9})) << "the picture's part under the window";
    EXPECT_EQ(screen_.Colours(100, 103, 199, 199), (std::set<int>{112})) << "the orb's background shows through 0";
    EXPECT_EQ(screen_.At(50, 50), 7) << "nothing of the picture outside the window";
    EXPECT_EQ(screen_.At(99, 101), 7);
    EXPECT_EQ(guiHeldHudElement(w), &orb_);
}

TEST_F(Scopes, TheTargetModeLooksThroughTheTargetCameraAndGivesTheOrbBack)
{
    Picture noSignal(100, 100, 33);
    ScopeDisplayMode = 1;
    WindowHandle* w = Scope(guiDrawNavScopeWindow);
    w->bitmapUp = &noSignal.bitmap;
    w->draw(w);
    EXPECT_EQ(screen_.Colours(100, 100, 199, 199), (std::set<int>{33})) << "nothing to look at: no signal";
    EXPECT_EQ(guiHeldHudElement(w), &orb_) << "the orb is the window's again";
}

TEST_F(Scopes, TheTargetViewNamesItsSubjectInItsClassColour)
{
    Picture noSignal(100, 60, 33);
    ShipInfo ship{};
    ship.name = "AB";
    Sim sim{};
    sim.shipInfo = &ship;
    Avatar avatar{};
    avatar.classFlags = 0x100;
    SceneItem item{};
    item.sim = &sim;
    item.avatar = &avatar;
    // (100, 300)-(199, 359): "AB" (12 pixels) from x 144, its baseline 15 below the top.
    WindowHandle* w = Make(guiDrawTargetViewWindow, 100, 300, 100, 60);
    w->bitmapUp = &noSignal.bitmap;
    auto nameColour = [&] { return screen_.At(145, 313); };

    gContacts.rows[0].item = &item;
    gContacts.rows[0].contactClass = 0;
    gContacts.current = &gContacts.rows[0];
    w->draw(w);
    EXPECT_EQ(nameColour(), 64) << "the current contact, a vessel, in its class colour";
    EXPECT_EQ(screen_.At(143, 313), 7);

    screen_.Clear(7);
    gContacts.filterClass = 1; // the list shows another class now
    w->draw(w);
    EXPECT_EQ(nameColour(), 33) << "no subject: the no-signal picture";

    screen_.Clear(7);
    gDialogue.commsPartner = &item;
    w->draw(w);
    EXPECT_EQ(nameColour(), 47) << "the comms partner's name in 47";
}

TEST_F(Scopes, TheRemoteLinkCaptionNamesTheLinkedVesselAndItsDockingAlignment)
{
    ShipInfo ship{};
    ship.name = "AB";
    Sim sim{};
    sim.shipInfo = &ship;
    SceneItem item{};
    item.sim = &sim;
    BlockFont highlight(150);
    gFontR = &highlight.font;
    // (100, 300)-(299, 359): the first line's baseline at 300 + 8 + 2.
    WindowHandle* w = Make(guiDrawRemoteLinkCaption, 100, 300, 200, 60);
    auto line = [&](int y) { return screen_.At(103, y); };
    w->draw(w);
    EXPECT_EQ(line(308), 7) << "no remote link";

    gCameras.remote.linked = 1;
    gRemoteLinkItem = &item;
    gDockAlignment = 0;
    w->draw(w);
    EXPECT_EQ(line(308), 150) << "REMOTE LINK in the highlight font";
    EXPECT_EQ(line(320), 7) << "no alignment";
    gDockAlignment = 0.5f;
    w->draw(w);
    EXPECT_EQ(line(320), 150) << "DOCK ALIGN 12 pixels lower";

    screen_.Clear(7);
    gMessageLog.active = 1;
    w->draw(w);
    EXPECT_EQ(line(308), 7) << "not over the message log";
    gMessageLog.active = 0;
    gCameras.remote.linked = 0;
    gRemoteLinkItem = nullptr;
    gDockAlignment = 0;
    gFontR = nullptr;
}

TEST_F(DrawTypes, TheIconWindowTurnsItsIconWithTheViewerAndClipsIt)
{
    static const IconPoint points[] = {{-30, 0}, {30, 0}};
    static const int16_t segments[] = {0, 1, 0, 5, -1}; // the second names a point the icon lacks
    const VectorIcon icon{points, 2, segments};
    SceneItem* savedPlayer = gPlayerItem;
    gPlayerItem = nullptr;
    // (100, 100)-(140, 120): centre (120, 110).
    WindowHandle* w = Make(guiDrawVectorIconWindow, 100, 100, 41, 21);
    w->subject.kind = WindowSubject::Kind::Icon;
    w->subject.icon = &icon;
    w->draw(w);
    EXPECT_EQ(screen_.Colours(100, 110, 140, 110), (std::set<int>{97}));
    EXPECT_EQ(screen_.At(99, 110), 7) << "clipped to the window";
    EXPECT_EQ(screen_.At(141, 110), 7);

    screen_.Clear(7);
    w->value = 50; // half scale, in the window's colour
    w->colour = 42;
    w->draw(w);
    EXPECT_EQ(screen_.At(104, 110), 7);
    EXPECT_EQ(screen_.Colours(105, 110, 135, 110), (std::set<int>{42}));

    // A viewer turned a quarter round its view axis sees the bar upright.
    Avatar avatar{};
    MatSetRotZ(90, avatar.matrix);
    SceneItem viewer{};
    viewer.avatar = &avatar;
    gPlayerItem = &viewer;
    screen_.Clear(7);
    w->draw(w);
    EXPECT_EQ(screen_.Colours(120, 100, 120, 120), (std::set<int>{42}));
    EXPECT_EQ(screen_.At(110, 110), 7);
    gPlayerItem = savedPlayer;
}

} // namespace
