// The window pool and the per-frame update, headless: placement by anchor,
// hit-testing and the hot window under a scripted mouse, press and click
// dispatch, dragging, windows made and deleted by handlers during the pass,
// delayed closing through the message buffer (across a world reset), the
// pool's limit, copies and clones, and the outline drawn on a memory canvas.
#include "ui/windows.h"

#include "screens/bridge.h"
#include "screens/frontend.h"
#include "script/configstatements.h"
#include "script/symbols.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "ui_canvas.h"
#include "ui/screens.h"
#include "world/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> gFatal;
std::vector<std::string> gEvents; // "<what> <element>", in order

void Note(const char* what, WindowHandle* w)
{
    gEvents.push_back(std::string(what) + " " + (w->elementName ? w->elementName : "?"));
}

void NoteTick(WindowHandle* w)
{
    Note("tick", w);
    guiTickWindow(w);
}
void NotePress(WindowHandle* w) { Note("press", w); }
void NoteClick(WindowHandle* w) { Note("click", w); }
void NoteDraw(WindowHandle* w) { Note("draw", w); }

class Windows : public ::testing::Test {
protected:
    void SetUp() override
    {
        gFatal.clear();
        gEvents.clear();
        SetFatalStopHook([](const char* text) { gFatal.emplace_back(text); });
        gFrameClock = FrameClock{};
        gScreenMode = DisplayMode{};
        gLastHitAmount = 0;
        ResetInput();
        InitMessageBuffer();
        guiResetWindowPool();
    }
    void TearDown() override
    {
        guiResetWindowPool();
        ResetInput();
        SetFatalStopHook(nullptr);
    }

    static WindowHandle* Make(const char* name, int16_t anchor, WindowHandle* parent, int16_t x, int16_t y, int16_t w,
                              int16_t h, WindowRoutine frame = NoteTick)
    {
        WindowHandle* window = guiCreateWindow(anchor, parent, nullptr, frame, NoteDraw, x, y, w, h, 0);
        if (window)
            window->elementName = name;
        return window;
    }

    // One frame of the update, the game clock advanced by `ticks`, the frame
    // counted as the frame loop counts it.
    static void Frame(int32_t ticks = 20)
    {
        ++gFrameClock.frameCounter;
        gFrameClock.frameTicks = ticks;
        gFrameClock.gameClock += static_cast<uint32_t>(ticks);
        guiUpdateScreen();
    }

    static void Mouse(int x, int y, bool leftHeld = false)
    {
        gMouse.x = x;
        gMouse.y = y;
        GetKeyStateBlock()[kStateMouseLeft] = leftHeld ? 255 : 0;
    }

    static std::vector<WindowHandle*> List()
    {
        std::vector<WindowHandle*> list;
        for (WindowHandle* w = gScreens.current->windows; w; w = w->next)
            list.push_back(w);
        return list;
    }

    static size_t Count(const std::string& event)
    {
        return static_cast<size_t>(std::count(gEvents.begin(), gEvents.end(), event));
    }
};

struct Rect {
    int l, t, r, b;
    bool operator==(const Rect&) const = default;
};

Rect RectOf(WindowHandle* w)
{
    return {w->rect[0], w->rect[1], w->rect[2], w->rect[3]};
}

TEST_F(Windows, EachAnchorPlacesAChildWithinItsParent)
{
    // The first window is the screen's main window: 200 x 100 at 100, 50.
    WindowHandle* parent = Make("parent", kAnchorTopLeft, nullptr, 100, 50, 200, 100);
    ASSERT_TRUE(guiWindowRect(parent, nullptr, nullptr));
    struct Case {
        int16_t anchor;
        Rect want;
    };
    const Case cases[] = {
        {kAnchorTopLeft, {105, 57, 124, 66}},
        {kAnchorTopRight, {275, 57, 294, 66}},
        {kAnchorBottomLeft, {105, 133, 124, 142}},
        {kAnchorBottomRight, {275, 133, 294, 142}},
        {kAnchorAttached, {105, 57, 124, 66}},
        {kAnchorClipped, {105, 57, 124, 66}},
        {kAnchorCentred, {195, 102, 214, 111}},
    };
    for (const Case& c : cases) {
        WindowHandle* child = Make("child", c.anchor, parent, 5, 7, 20, 10);
        int32_t x = -1, y = -1;
        EXPECT_TRUE(guiWindowRect(child, &x, &y)) << c.anchor;
        EXPECT_EQ(RectOf(child), c.want) << c.anchor;
        EXPECT_EQ(x, c.want.l);
        EXPECT_EQ(y, c.want.t);
    }
    // Odd sizes centre with halves rounded toward zero.
    WindowHandle* odd = Make("odd", kAnchorCentred, parent, 0, 0, 21, 11);
    guiWindowRect(odd, nullptr, nullptr);
    EXPECT_EQ(RectOf(odd), (Rect{190, 95, 210, 105}));
}

TEST_F(Windows, AClippedWindowScrolledOutOrLeftWithOnePixelIsInvisible)
{
    WindowHandle* parent = Make("parent", kAnchorTopLeft, nullptr, 100, 50, 200, 100);
    struct Case {
        int16_t x;
        bool visible;
        Rect want;
    };
    const Case cases[] = {
        {250, false, {350, 57, 299, 66}}, // wholly to the right
        {199, false, {299, 57, 299, 66}}, // a one-pixel column remains
        {198, true, {298, 57, 299, 66}},
        {-30, true, {100, 57, 109, 66}}, // cut on the left
    };
    for (const Case& c : cases) {
        WindowHandle* child = Make("child", kAnchorClipped, parent, c.x, 7, 40, 10);
        int32_t x = 0;
        EXPECT_EQ(guiWindowRect(child, &x, nullptr), c.visible) << c.x;
        EXPECT_EQ(RectOf(child), c.want) << c.x;
        EXPECT_EQ(x, c.want.l) << c.x;
        if (!c.visible) {
            EXPECT_FALSE(guiHitTestRect(child, c.want.l + 1, 60)) << "an invisible window never hits";
        }
    }
}

TEST_F(Windows, ATopLevelWindowWithoutAMainWindowIsPlacedInANothingSizedScreen)
{
    WindowHandle* w = Make("corner", kAnchorBottomRight, nullptr, 10, 5, 20, 10);
    gScreens.current->mainWindow = nullptr;
    guiWindowRect(w, nullptr, nullptr);
    EXPECT_EQ(RectOf(w), (Rect{-30, -15, -11, -6}));
    // With a main window it is placed within the main window's size.
    WindowHandle* main = Make("main", kAnchorTopLeft, nullptr, 0, 0, 640, 275);
    gScreens.current->mainWindow = main;
    guiWindowRect(w, nullptr, nullptr);
    EXPECT_EQ(RectOf(w), (Rect{610, 260, 629, 269}));
}

TEST_F(Windows, TheLaterOfOverlappingWindowsIsHotAndOutlinesDoNotHit)
{
    Make("main", kAnchorTopLeft, nullptr, 0, 0, 640, 275)->hitTest = guiHitTestNever;
    WindowHandle* a = Make("a", kAnchorTopLeft, nullptr, 10, 10, 100, 100);
    WindowHandle* b = Make("b", kAnchorTopLeft, nullptr, 50, 50, 100, 100);
    struct Case {
        int x, y;
        WindowHandle* hot;
    };
    const Case cases[] = {
        {60, 60, b},   // both: the later one
        {20, 20, a},   // only a
        {50, 60, a},   // on b's left outline: a
        {109, 109, b}, // on a's corner, inside b
        {149, 100, b}, // on b's right outline: nothing hits and b stays hot
        {300, 200, b}, // outside both
    };
    for (const Case& c : cases) {
        Mouse(c.x, c.y);
        Frame();
        EXPECT_EQ(gWindows.hot, c.hot) << c.x << "," << c.y;
    }
    EXPECT_FALSE(b->flags & kWindowHot) << "the flag marks only a window under the mouse";
    Mouse(60, 60);
    Frame();
    EXPECT_TRUE(b->flags & kWindowHot);
    EXPECT_FALSE(a->flags & kWindowHot);
    // While a button is held the hot window stays where it was.
    Mouse(20, 20, true);
    Frame();
    EXPECT_EQ(gWindows.hot, b);
}

TEST_F(Windows, APressAndAReleaseInOneFrameAreHandledInTwoFrames)
{
    WindowHandle* main = Make("main", kAnchorTopLeft, nullptr, 0, 0, 640, 275);
    WindowHandle* button = Make("button", kAnchorTopLeft, main, 20, 20, 40, 20);
    button->pressHandler = NotePress;
    button->clickHandler = NoteClick;
    Mouse(30, 30);
    Frame(); // the button becomes hot
    ASSERT_EQ(gWindows.hot, button);
    gMouse.leftPresses = 1;
    gMouse.leftReleases = 1;
    gEvents.clear();
    Frame();
    EXPECT_EQ(Count("press button"), 1u);
    EXPECT_EQ(Count("click button"), 0u);
    Frame();
    EXPECT_EQ(Count("press button"), 1u);
    EXPECT_EQ(Count("click button"), 1u);
    Frame();
    EXPECT_EQ(Count("click button"), 1u);
    // Moving onto another window drops presses still pending.
    WindowHandle* other = Make("other", kAnchorTopLeft, main, 100, 20, 40, 20);
    other->pressHandler = NotePress;
    gMouse.leftPresses = 1;
    Mouse(110, 30);
    Frame();
    EXPECT_EQ(gWindows.hot, other);
    EXPECT_EQ(Count("press other"), 0u);
}

// A click handler that changes what the window shows sees it drawn in the
// same frame, not a frame late.
TEST_F(Windows, AWindowIsDrawnInTheFrameItsClickIsHandled)
{
    WindowHandle* main = Make("main", kAnchorTopLeft, nullptr, 0, 0, 640, 275);
    WindowHandle* button = Make("button", kAnchorTopLeft, main, 20, 20, 40, 20);
    button->clickHandler = [](WindowHandle* w) {
        NoteClick(w);
        guiSetWindowText(w, "ON");
    };
    Mouse(30, 30);
    Frame();
    Frame();
    Frame(); // the redraws of its creation are done
    gMouse.leftReleases = 1;
    gEvents.clear();
    Frame();
    EXPECT_EQ(gEvents, (std::vector<std::string>{"tick main", "tick button", "click button", "draw button"}));
    EXPECT_STREQ(button->text, "ON");
    // The same text again asks for no drawing.
    gEvents.clear();
    Frame();
    guiSetWindowText(button, "ON");
    Frame();
    EXPECT_EQ(Count("draw button"), 0u);
}

// In hint mode a press on an element that has a hint pops the hint up
// instead of pressing it, and its release clicks nothing; an element
// without a hint is pressed as ever.
TEST_F(Windows, InHintModeAPressShowsTheElementsHintInsteadOfPressingIt)
{
    WindowHandle* main = Make("main", kAnchorTopLeft, nullptr, 0, 0, 640, 275);
    WindowHandle* button = Make("button", kAnchorTopLeft, main, 20, 20, 40, 20);
    WindowHandle* plain = Make("plain", kAnchorTopLeft, main, 100, 20, 40, 20);
    for (WindowHandle* w : {button, plain}) {
        w->pressHandler = NotePress;
        w->clickHandler = NoteClick;
    }
    button->hintText = 50;
    gTextTable[50] = "Engage the LDS drive";
    gWindows.hintMode = 255;
    Mouse(30, 30);
    Frame();
    gMouse.leftPresses = 1;
    Frame();
    gMouse.leftReleases = 1;
    Frame();
    EXPECT_EQ(Count("press button"), 0u);
    EXPECT_EQ(Count("click button"), 0u);
    bool hintShown = false;
    for (WindowHandle* w : List())
        hintShown |= w->text && std::string(w->text) == "Engage the LDS drive";
    EXPECT_TRUE(hintShown);

    Mouse(110, 30);
    Frame();
    gMouse.leftPresses = 1;
    Frame();
    EXPECT_EQ(Count("press plain"), 1u) << "no hint: pressed";
    gWindows.hintMode = 0;
    gTextTable[50] = nullptr;
}

TEST_F(Windows, ADraggedWindowFollowsTheMouseAndStaysOnScreen)
{
    WindowHandle* main = Make("main", kAnchorTopLeft, nullptr, 0, 0, 640, 480);
    WindowHandle* panel = Make("panel", kAnchorTopLeft, main, 100, 100, 50, 40);
    panel->flags |= kWindowDraggable;
    Mouse(120, 120);
    Frame();
    ASSERT_EQ(gWindows.hot, panel);
    Mouse(120, 120, true);
    Frame();
    EXPECT_TRUE(panel->flags & kWindowPressed);
    Mouse(130, 125, true);
    Frame();
    EXPECT_EQ(panel->x, 110);
    EXPECT_EQ(panel->y, 105);
    EXPECT_TRUE(panel->flags & kWindowDragged);
    Mouse(5000, 5000, true);
    Frame();
    EXPECT_EQ(panel->x, 640 - 50 - 1);
    EXPECT_EQ(panel->y, 480 - 40 - 1);
    Mouse(-9000, -9000, true);
    Frame();
    EXPECT_EQ(panel->x, 0);
    EXPECT_EQ(panel->y, 0);
    Mouse(0, 0, false);
    Frame();
    EXPECT_FALSE(panel->flags & (kWindowPressed | kWindowDragged));
}

TEST_F(Windows, AWindowMadeByAHandlerTicksInTheSamePass)
{
    Make("maker", kAnchorTopLeft, nullptr, 0, 0, 10, 10, [](WindowHandle* w) {
        Note("tick", w);
        if (List().size() == 1)
            Make("made", kAnchorTopLeft, nullptr, 0, 0, 10, 10);
    });
    Frame();
    EXPECT_EQ(gEvents, (std::vector<std::string>{"tick maker", "tick made", "draw made"}));
}

TEST_F(Windows, AWindowDeletedAtOnceByAHandlerIsNotTickedAndThePassGoesOn)
{
    static WindowHandle* victim = nullptr;
    Make("first", kAnchorTopLeft, nullptr, 0, 0, 10, 10, [](WindowHandle* w) {
        Note("tick", w);
        if (victim)
            guiDeleteWindow(victim);
        victim = nullptr;
    });
    victim = Make("second", kAnchorTopLeft, nullptr, 0, 0, 10, 10);
    Make("third", kAnchorTopLeft, nullptr, 0, 0, 10, 10, [](WindowHandle* w) { Note("tick", w); });
    Frame();
    EXPECT_EQ(gEvents, (std::vector<std::string>{"tick first", "tick third"}));
    EXPECT_EQ(List().size(), 2u);

    // A handler that deletes its own window: the pass goes on with the next.
    gEvents.clear();
    guiResetWindowPool();
    Make("self", kAnchorTopLeft, nullptr, 0, 0, 10, 10, [](WindowHandle* w) {
        Note("tick", w);
        guiDeleteWindow(w);
    });
    Make("after", kAnchorTopLeft, nullptr, 0, 0, 10, 10, [](WindowHandle* w) { Note("tick", w); });
    Frame();
    EXPECT_EQ(gEvents, (std::vector<std::string>{"tick self", "tick after"}));
    EXPECT_EQ(List().size(), 1u);

    // A handler that deletes its own window and the next one.
    gEvents.clear();
    guiResetWindowPool();
    Make("before", kAnchorTopLeft, nullptr, 0, 0, 10, 10, [](WindowHandle* w) { Note("tick", w); });
    Make("both", kAnchorTopLeft, nullptr, 0, 0, 10, 10, [](WindowHandle* w) {
        Note("tick", w);
        guiDeleteWindow(w->next);
        guiDeleteWindow(w);
    });
    Make("gone", kAnchorTopLeft, nullptr, 0, 0, 10, 10, [](WindowHandle* w) { Note("tick", w); });
    Make("last", kAnchorTopLeft, nullptr, 0, 0, 10, 10, [](WindowHandle* w) { Note("tick", w); });
    Frame();
    EXPECT_EQ(gEvents, (std::vector<std::string>{"tick before", "tick both", "tick last"}));
    EXPECT_EQ(List().size(), 2u);
}

TEST_F(Windows, ADelayedCloseRemovesTheWindowAndItsChildrenWhenItIsDue)
{
    WindowHandle* parent = Make("parent", kAnchorTopLeft, nullptr, 0, 0, 100, 100);
    WindowHandle* child = Make("child", kAnchorTopLeft, parent, 5, 5, 10, 10);
    WindowHandle* other = Make("other", kAnchorTopLeft, nullptr, 0, 0, 10, 10);
    guiCloseWindow(parent, 50);
    Frame(); // 20 ticks
    Frame(); // 40 ticks
    EXPECT_EQ(List().size(), 3u);
    Frame(); // 60 ticks: due
    EXPECT_EQ(List(), (std::vector<WindowHandle*>{other}));
    EXPECT_FALSE(parent->flags & kWindowInUse);
    EXPECT_FALSE(child->flags & kWindowInUse);
    EXPECT_EQ(GetMessageStats().receiversInUse, 1);
}

TEST_F(Windows, AWindowsCloseMessageArrivesAfterAWorldReset)
{
    WindowHandle* early = Make("early", kAnchorTopLeft, nullptr, 0, 0, 10, 10);
    WindowHandle* late = Make("late", kAnchorTopLeft, nullptr, 0, 0, 10, 10);
    AllocReceiver(); // a scene item's
    guiCloseWindow(early, 30);
    ClearMessageBuffer(); // the world's reset frees the items' receivers
    EXPECT_EQ(GetMessageStats().receiversInUse, 2);
    for (int i = 0; i < 10; ++i) {
        const uint32_t item = AllocReceiver();
        EXPECT_NE(item, early->receiver) << "a new item never shares a window's id";
        EXPECT_NE(item, late->receiver);
    }
    guiCloseWindow(late, 0);
    Frame();
    Frame();
    EXPECT_TRUE(List().empty());
}

TEST_F(Windows, ThePoolRunsOutAtItsSizeAndTheSearchCoversEveryRecord)
{
    for (int i = 0; i < kWindowPoolSize - 1; ++i)
        ASSERT_NE(Make("w", kAnchorTopLeft, nullptr, 0, 0, 1, 1, nullptr), nullptr) << i;
    WindowHandle* last = Make("last", kAnchorTopLeft, nullptr, 0, 0, 1, 1, nullptr);
    EXPECT_NE(last, nullptr);
    EXPECT_TRUE(gFatal.empty());
    EXPECT_EQ(Make("over", kAnchorTopLeft, nullptr, 0, 0, 1, 1, nullptr), nullptr);
    EXPECT_EQ(gFatal, (std::vector<std::string>{"Run out of Window Handles"}));
    EXPECT_EQ(List().size(), static_cast<size_t>(kWindowPoolSize));

    // The one free record is the one the cursor stands on.
    ASSERT_EQ(guiDeleteWindow(last), last);
    EXPECT_EQ(guiAllocWindow(), last);
    EXPECT_EQ(gFatal.size(), 1u);
}

TEST_F(Windows, DeletingAFreeRecordIsFatalAndAWindowOfAnotherListChangesNothing)
{
    WindowHandle* w = Make("w", kAnchorTopLeft, nullptr, 0, 0, 1, 1);
    ASSERT_EQ(guiDeleteWindow(w), w);
    EXPECT_EQ(guiDeleteWindow(w), nullptr);
    EXPECT_EQ(gFatal, (std::vector<std::string>{
                          "Attempt to delete Window Handle already removed or believed to be removed!"}));
    WindowHandle* kept = Make("kept", kAnchorTopLeft, nullptr, 0, 0, 1, 1);
    Screen elsewhere{};
    Screen* const current = gScreens.current;
    gScreens.current = &elsewhere;
    EXPECT_EQ(guiDeleteWindow(kept), nullptr);
    gScreens.current = current;
    EXPECT_TRUE(kept->flags & kWindowInUse);
    EXPECT_EQ(List(), (std::vector<WindowHandle*>{kept}));
}

TEST_F(Windows, CopiesAndClonesGetReceiversOfTheirOwn)
{
    WindowHandle* source = Make("source", kAnchorTopLeft, nullptr, 0, 0, 100, 100);
    WindowHandle* child = Make("child", kAnchorTopLeft, source, 1, 1, 10, 10);
    Make("grandchild", kAnchorTopLeft, child, 1, 1, 5, 5);
    WindowHandle* inert = Make("inert", kAnchorTopLeft, source, 20, 1, 10, 10, nullptr);
    WindowHandle* list = gScreens.current->windows;
    WindowHandle* clone = guiCloneWindowTree(&list, source);
    ASSERT_NE(clone, nullptr);
    const std::vector<WindowHandle*> all = List();
    ASSERT_EQ(all.size(), 7u); // the source, its two children (not the grandchild)
    EXPECT_EQ(all[4], clone);
    EXPECT_EQ(all[5]->parent, clone);
    EXPECT_EQ(all[6]->parent, clone);
    EXPECT_EQ(all[6]->receiver, 0u) << "no frame handler, no receiver";
    EXPECT_EQ(all[6]->x, inert->x);
    EXPECT_NE(clone->receiver, source->receiver);
    EXPECT_NE(all[5]->receiver, child->receiver);
    // Closing the source leaves the clone.
    guiCloseWindow(source, 0);
    Frame();
    Frame();
    EXPECT_TRUE(clone->flags & kWindowInUse);
    EXPECT_EQ(List().size(), 5u);
    guiResetWindowPool();
    EXPECT_EQ(GetMessageStats().receiversInUse, 0) << "the pool's reset gives the receivers back";
}

TEST_F(Windows, AParentsRecordReusedBelowItsOldChildEndsEveryWalk)
{
    WindowHandle* parent = Make("parent", kAnchorTopLeft, nullptr, 0, 0, 100, 100);
    WindowHandle* child = Make("child", kAnchorTopLeft, parent, 5, 5, 10, 10);
    ASSERT_EQ(guiDeleteWindow(parent), parent);
    gWindows.cursor = static_cast<int32_t>(parent - gWindows.pool) - 1; // the next record is the parent's
    WindowHandle* reused = Make("reused", kAnchorTopLeft, child, 1, 1, 5, 5);
    ASSERT_EQ(reused, parent);
    ASSERT_EQ(child->parent, reused); // a loop of two
    guiWindowRect(child, nullptr, nullptr);
    EXPECT_NE(guiTopAncestor(child), nullptr);
    guiBringToFront(reused);
    Frame();
    EXPECT_EQ(List().size(), 2u);
}

TEST_F(Windows, BringingToFrontMovesTheTopAncestorWithItsRun)
{
    WindowHandle* a = Make("a", kAnchorTopLeft, nullptr, 0, 0, 10, 10);
    WindowHandle* a1 = Make("a1", kAnchorTopLeft, a, 0, 0, 5, 5);
    WindowHandle* a2 = Make("a2", kAnchorTopLeft, a1, 0, 0, 5, 5);
    WindowHandle* b = Make("b", kAnchorTopLeft, nullptr, 0, 0, 10, 10);
    guiBringToFront(a2);
    EXPECT_EQ(List(), (std::vector<WindowHandle*>{b, a, a1, a2}));
    guiBringToFront(a);
    EXPECT_EQ(List(), (std::vector<WindowHandle*>{b, a, a1, a2}));
}

TEST_F(Windows, RedrawCountdownsRunTheDrawTypeOncePerRequest)
{
    Make("w", kAnchorTopLeft, nullptr, 0, 0, 10, 10);
    Frame();
    Frame();
    EXPECT_EQ(Count("draw w"), 1u);
    guiRequestFullRedraw();
    Frame();
    Frame();
    EXPECT_EQ(Count("draw w"), 2u);
}

TEST_F(Windows, OverlapRedrawsReachTheWindowsThatShareItsPixels)
{
    WindowHandle* main = Make("main", kAnchorTopLeft, nullptr, 0, 0, 640, 275);
    WindowHandle* under = Make("under", kAnchorTopLeft, nullptr, 0, 0, 50, 50);
    WindowHandle* window = Make("window", kAnchorTopLeft, nullptr, 40, 40, 20, 20);
    WindowHandle* child = Make("child", kAnchorTopLeft, window, 100, 100, 5, 5); // a child well outside
    WindowHandle* over = Make("over", kAnchorTopLeft, nullptr, 59, 59, 10, 10);  // one pixel shared
    WindowHandle* apart = Make("apart", kAnchorTopLeft, nullptr, 60, 0, 10, 10);
    const std::vector<WindowHandle*> all = List();
    for (WindowHandle* w : all)
        guiWindowRect(w, nullptr, nullptr);
    auto redrawn = [&] {
        std::vector<WindowHandle*> r;
        for (WindowHandle* w : all)
            if (w->redrawCount)
                r.push_back(w);
        for (WindowHandle* w : all)
            w->redrawCount = 0;
        return r;
    };
    redrawn();
    guiRedrawOverlapping(window);
    EXPECT_EQ(redrawn(), (std::vector<WindowHandle*>{window, child, over}));
    guiRedrawWithUnderlying(window);
    EXPECT_EQ(redrawn(), (std::vector<WindowHandle*>{main, under, window}));
    // The last other window over the window's centre.
    EXPECT_EQ(guiFindWindowBeneath(window), under);
    EXPECT_EQ(guiFindWindowBeneath(under), main);
    EXPECT_EQ(guiFindWindowBeneath(apart), main);
}

TEST_F(Windows, TheFlashFadesWithTheFrameAndIsKeptWithinItsRange)
{
    gLastHitAmount = 500;
    Frame();
    EXPECT_EQ(gLastHitAmount, 300);
    gLastHitAmount = -7;
    Frame();
    EXPECT_EQ(gLastHitAmount, 0);
}

// The main view's drawing of the debrief types the log and, once the
// speech is over too, asks for the end of the mission.
TEST_F(Windows, TheDebriefsMainViewEndsTheMissionOnceSpokenAndTyped)
{
    gWindows.mainView = Make("view", kAnchorTopLeft, nullptr, 0, 0, 640, 275);
    RasterFont font{}; // no glyphs: only the typing counts here
    gFontB = &font;
    guiAddMessageLogText("abcdefghij", 0); // two frames of typing
    MissionEndState = kMissionDebrief;
    gLoopFlags = LoopFlags{};
    gDebriefSpeechLength = 30;
    auto draw = [] {
        ++gFrameClock.frameCounter;
        gFrameClock.frameTicks = 20;
        gFrameClock.gameClock += 20;
        guiDrawMainView();
    };
    draw();
    draw();
    EXPECT_EQ(gDebriefSpeechLength, 0);
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 0);
    EXPECT_EQ(gMessageLogTypingPosition, 10) << "typed by the main view's drawing";
    gLoopFlags = LoopFlags{};
    gDebriefSpeechLength = 30;
    draw();
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 0) << "10 ticks of speech left";
    draw();
    EXPECT_EQ(gLoopFlags.endOfMissionRequest, 255);
    MissionEndState = kMissionInFlight;
    gLoopFlags = LoopFlags{};
    guiClearMessageLog();
    gFontB = nullptr;
}

// The view alone: in flight no window's handler runs; once the flight is
// over the update leaves it by itself, the screen's own main view comes
// back and every window is drawn again in that same frame. Leaving by hand
// does the same.
TEST_F(Windows, TheViewAloneRunsNoHandlerAndEndsWithTheFlight)
{
    WindowHandle* main = Make("main", kAnchorTopLeft, nullptr, 0, 0, 640, 480, guiTickWindow);
    gWindows.mainView = main;
    WindowHandle* alone = Make("alone", kAnchorTopLeft, nullptr, 0, 0, 640, 480, nullptr);
    Frame();
    gEvents.clear();

    guiEnterMainViewOnly(alone);
    EXPECT_EQ(gWindows.mainView, alone);
    Frame();
    Frame();
    EXPECT_EQ(gEvents, std::vector<std::string>{}) << "no window's handler runs";

    for (int32_t end : {kMissionFlightOver, kMissionInFlight}) {
        if (end == kMissionInFlight) {
            guiEnterMainViewOnly(alone);
            Frame();
            gEvents.clear();
            guiLeaveMainViewOnly();
        }
        MissionEndState = end;
        main->redrawCount = 0;
        Frame();
        EXPECT_EQ(gWindows.mainViewOnly, 0) << end;
        EXPECT_EQ(gWindows.mainView, main) << end;
        EXPECT_EQ(gEvents, (std::vector<std::string>{"draw main"})) << "drawn again at once " << end;
        MissionEndState = kMissionInFlight;
    }
}

// Once the flight is over, the end of the flight's picture (the layout's
// "EndConsolePic") covers the station in a window of its own, the summary
// stands in its frame on it, and a click where a station button lies under
// it reaches no button; back in flight the picture and its frames go and
// the button takes clicks again.
TEST_F(Windows, TheEndOfTheFlightCoversTheStationWithItsOwnBackdropUntilTheFlightGoesOn)
{
    MemoryScreen screen;
    gWindows.mainViewOnly = 0;
    std::vector<uint8_t> dark(640 * 480, 3);
    Bitmap backdrop{dark.data(), 640, 480, 0, 0};
    Resource picture{};
    picture.data = &backdrop;
    ScriptSymbol* symbol = AddScriptSymbol("EndConsolePic", nullptr, 0);
    symbol->value = &picture;
    symbol->type = kSymbolResource;
    WindowHandle* main = Make("main", kAnchorTopLeft, nullptr, 0, 0, 640, 480);
    WindowHandle* button = Make("button", kAnchorTopLeft, main, 510, 132, 120, 18);
    button->clickHandler = NoteClick;
    const auto names = [] {
        std::vector<std::string> named;
        for (WindowHandle* w : List())
            named.emplace_back(w->elementName ? w->elementName : "?");
        return named;
    };

    MissionEndState = kMissionFlightOver;
    Mouse(560, 140);
    Frame();
    EXPECT_EQ(names(), (std::vector<std::string>{"main", "button", "EndBackdrop", "EndSummary", "EndDebrief"}));
    EXPECT_EQ(screen.At(5, 470), 3) << "the picture is drawn";
    EXPECT_EQ(screen.At(300, 200), 0) << "the summary's frame is cleared to its well";
    EXPECT_EQ(screen.At(560, 140), 0) << "the button is not drawn over the frame";
    gMouse.leftPresses = gMouse.leftReleases = 1;
    Frame();
    Frame();
    EXPECT_EQ(Count("click button"), 0u);

    MissionEndState = kMissionInFlight;
    Frame();
    EXPECT_EQ(names(), (std::vector<std::string>{"main", "button"}));
    Frame();
    gMouse.leftPresses = gMouse.leftReleases = 1;
    Frame();
    Frame();
    EXPECT_EQ(Count("click button"), 1u);
    symbol->value = nullptr;
}

// A full redraw starts from a cleared screen: where no window lies, nothing
// of the screen before stays.
TEST_F(Windows, AFullRedrawClearsTheScreenFirst)
{
    MemoryScreen screen;
    screen.Clear(5);
    guiRequestFullRedraw();
    guiUpdateScreen();
    EXPECT_EQ(screen.At(600, 400), 0);
    screen.Clear(5);
    guiUpdateScreen();
    EXPECT_EQ(screen.At(600, 400), 5) << "an ordinary frame draws only its windows";
}

TEST_F(Windows, AnOutlineLeavesItsCornersOut)
{
    std::vector<uint8_t> pixels(16 * 12, 0);
    const Canvas canvas{pixels.data(), 16, 12};
    guiDrawOutline(canvas, 7, 2, 3, 10, 8);
    auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y * 16 + x)]; };
    for (auto [x, y] : {std::pair{2, 3}, {10, 3}, {2, 8}, {10, 8}})
        EXPECT_EQ(at(x, y), 0) << x << "," << y;
    for (auto [x, y] : {std::pair{3, 3}, {9, 3}, {10, 4}, {10, 7}, {3, 8}, {9, 8}, {2, 4}, {2, 7}})
        EXPECT_EQ(at(x, y), 7) << x << "," << y;
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 7), 2 * 7 + 2 * 4);
}

} // namespace
