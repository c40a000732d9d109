// The window-handle pool, its routines and the per-frame screen update.
//
// The pool is static; a next-fit cursor hands records out. A window leaves
// its screen's list by guiDeleteWindow at once or, marked by a close
// message or guiDeleteWindowLater, in the sweep at the end of the frame's
// update, so that handlers may mark windows while the per-frame loop walks
// the list.
#include "ui/windows.h"

#include "screens/bridge.h"
#include "screens/comstation.h"
#include "screens/frontend.h"
#include "screens/objectives.h"
#include "script/configstatements.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/sound.h"
#include "system/trace.h"
#include "ui/contacts.h"
#include "ui/drawtypes.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "view/skyandlights.h"
#include "view/viewstart.h"
#include "view/viewwindows.h"
#include "world/messages.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <algorithm>
#include <cstring>

WindowSystem gWindows = {};
uint8_t gNoRedraw = 0;

namespace {

constexpr uint16_t kCloseMessage = 28;
constexpr int32_t kClickSound = 17;
constexpr int32_t kMessageLineTime = 200;
constexpr int32_t kFlashLimit = 300;
constexpr uint32_t kSimFlashHeld = 0x2000000;
constexpr int16_t kPopupWidth = 480;
constexpr int16_t kPopupHeight = 50;
constexpr const char* kPopupFont = "HFont";

bool IsViewDrawType(WindowRoutine draw)
{
    return draw == guiDraw3DWindow || draw == guiDrawCockpitViewWindow || draw == guiDraw3DWireWindow;
}

WindowHandle*& ListHead()
{
    return gScreens.current->windows;
}

void Append(WindowHandle* window)
{
    window->next = nullptr;
    WindowHandle** link = &ListHead();
    while (*link)
        link = &(*link)->next;
    *link = window;
}

// Unlinks the window from a screen's list; false when it is not there.
bool UnlinkFrom(WindowHandle*& head, WindowHandle* window)
{
    for (WindowHandle** link = &head; *link; link = &(*link)->next) {
        if (*link == window) {
            *link = window->next;
            window->next = nullptr;
            return true;
        }
    }
    return false;
}

bool Unlink(WindowHandle* window)
{
    return UnlinkFrom(ListHead(), window);
}

void Free(WindowHandle* window)
{
    if (IsViewDrawType(window->draw))
        UnregisterViewWindow(window);
    if (window->receiver)
        FreeReceiver(window->receiver);
    window->receiver = 0;
    window->flags &= ~kWindowInUse;
    if (gWindows.hot == window)
        gWindows.hot = nullptr;
    TraceWindow("window-", window);
    guiRequestFullRedraw();
}

// A receiver of the window's own when it has a frame handler.
uint32_t ReceiverFor(WindowRoutine frameHandler)
{
    return frameHandler ? AllocKeptReceiver() : 0;
}

void Redraw(WindowHandle* window)
{
    window->redrawCount = gWindows.redrawValue;
}

// How one anchor places a coordinate: from the near side, from the far
// side, centred, or not at all.
enum class Side : uint8_t {
    Near,
    Far,
    Centre,
    None
};
struct AnchorRule {
    Side horizontal, vertical;
};
constexpr AnchorRule kAnchorRules[kAnchorTypes] = {
    {Side::Near, Side::Near},     // top-left
    {Side::Far, Side::Near},      // top-right
    {Side::Near, Side::Far},      // bottom-left
    {Side::Far, Side::Far},       // bottom-right
    {Side::None, Side::None},     // attached: nothing for its children
    {Side::Near, Side::Near},     // clipped
    {Side::Centre, Side::Centre}, // centred
};

int32_t Place(Side side, int32_t position, int32_t size, int32_t reference)
{
    switch (side) {
    case Side::Near: return position;
    case Side::Far: return reference - position - size;
    case Side::Centre: return position + reference / 2 - size / 2;
    case Side::None: return 0;
    }
    return 0;
}

int16_t Narrow(int32_t v)
{
    return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

bool LeftHeld()
{
    return GetKeyStateBlock()[kStateMouseLeft] != 0;
}

bool AnyButtonHeld()
{
    const KeyStateBlock& keys = GetKeyStateBlock();
    return keys[kStateMouseLeft] || keys[kStateMouseRight] || keys[kStateMouseMiddle];
}

// The flash that hits leave on the panels fades with the frame's ticks,
// unless the player's ship holds it.
void FadeFlash()
{
    if (gLastHitAmount > 0 && gPlayerItem && gPlayerItem->sim && !(gPlayerItem->sim->flags & kSimFlashHeld))
        gLastHitAmount -= gFrameClock.frameTicks;
    gLastHitAmount = std::clamp(gLastHitAmount, 0, kFlashLimit);
}

// The player's target's contact card at the bottom of the main view, drawn
// through a window record of its own outside the pool.
void DrawTargetCard(const WindowHandle* view)
{
    SceneItem* target = gContacts.playerTarget;
    const Contact* row = target ? FindContactRow(target) : nullptr;
    if (!row || g3DSuppressed)
        return;
    static WindowHandle card;
    card = WindowHandle{};
    card.anchor = kAnchorTopLeft;
    card.x = Narrow(view->rect[0] + view->width / 2 - 80);
    card.y = Narrow(view->rect[1] + view->height - 16);
    card.width = 160;
    card.height = 12;
    card.flags = kWindowInUse;
    card.subject.kind = WindowSubject::Kind::ContactRow;
    card.subject.row = static_cast<int32_t>(row - gContacts.rows);
    guiDrawCardWindow(&card);
}

// The last window that reports a hit becomes hot; the hot window stays
// when none does.
void HitTest()
{
    // A label being carried (pressed and draggable with the button up)
    // stays under the pointer however fast it moves.
    if (WindowHandle* hot = gWindows.hot;
        hot && (hot->flags & kWindowInUse) && (hot->flags & (kWindowPressed | kWindowDraggable)) == (kWindowPressed | kWindowDraggable))
        return;
    WindowHandle* hit = nullptr;
    for (WindowHandle* w = ListHead(); w; w = w->next) {
        w->flags &= ~kWindowHot;
        if (w->hitTest && w->hitTest(w, gWindows.mouseX, gWindows.mouseY))
            hit = w;
    }
    if (!hit)
        return;
    hit->flags |= kWindowHot;
    if (hit == gWindows.hot)
        return;
    gMouse.leftPresses = gMouse.leftReleases = 0;
    gMouse.rightPresses = gMouse.rightReleases = 0;
    if (gWindows.hot && gWindows.hot != gWindows.mainWindow)
        Redraw(gWindows.hot);
    if (hit != gWindows.mainWindow)
        Redraw(hit);
    gWindows.hot = hit;
}

// Dragging, and one press or (in a later frame) one release of the hot
// window.
void HandleHotWindow()
{
    WindowHandle* hot = gWindows.hot;
    if (!hot || hot == gWindows.mainWindow)
        return;
    if (hot->flags & kWindowPressed) {
        if (hot->flags & kWindowDraggable) {
            hot->flags |= kWindowDragged;
            const int16_t oldX = hot->x, oldY = hot->y;
            hot->x = Narrow(hot->x + gWindows.mouseX - gWindows.previousMouseX);
            hot->y = Narrow(hot->y + gWindows.mouseY - gWindows.previousMouseY);
            guiKeepWindowOnScreen(hot);
            if (hot->x != oldX || hot->y != oldY)
                guiRequestFullRedraw();
        }
        if (!LeftHeld()) {
            Redraw(hot);
            hot->flags &= ~(kWindowPressed | kWindowDragged);
        }
    } else if (LeftHeld()) {
        Redraw(hot);
        hot->flags |= kWindowPressed;
    }
    if (gMouse.leftPresses > 0) {
        --gMouse.leftPresses;
        SoundPlay(kClickSound, 0, 0, 0, 0);
        // In hint mode a press on an element with a hint shows the hint
        // instead of pressing it.
        if (gWindows.hintMode && hot->hintText >= 0)
            guiShowElementHint(hot);
        else
            hot->flags |= kWindowPressPending;
        return; // a release waits for the next frame
    }
    if (gMouse.leftReleases > 0) {
        --gMouse.leftReleases;
        Redraw(hot);
        if (!gWindows.hintMode)
            hot->flags |= kWindowClickPending;
    }
}

// Removes every window marked for deletion.
void Sweep()
{
    WindowHandle** link = &ListHead();
    while (*link) {
        WindowHandle* w = *link;
        if (w->flags & kWindowDeleteLater) {
            *link = w->next;
            w->next = nullptr;
            Free(w);
        } else {
            link = &w->next;
        }
    }
}

// Once the flight is over, its end stands over the station on a backdrop of
// its own: the layout's picture kEndPicture in a window over the whole
// screen (the station's buttons beneath it take no clicks), and on it the
// mission's summary and the debrief's text, each in the frame the picture
// draws for it. Back in flight they go. Without the picture the summary
// stands over the main view.
constexpr const char* kEndPicture = "EndConsolePic";
constexpr const char* kEndFont = "ConsFont2";
struct FrameBox {
    int16_t x, y, width, height;
};
constexpr FrameBox kWholeScreen = {0, 0, 640, 480};
constexpr FrameBox kSummaryFrame = {20, 28, 600, 336};
constexpr FrameBox kDebriefFrame = {20, 384, 600, 80};
constexpr uint8_t kFrameInside = 0; // the frames' wells

struct EndOfFlightWindows {
    Screen* screen = nullptr; // whose list holds them
    WindowHandle* backdrop = nullptr;
    WindowHandle* summary = nullptr;
    WindowHandle* debrief = nullptr;
};
EndOfFlightWindows gEndOfFlight;
// Set while the pass ticks the windows the end of the flight's backdrop
// covers: their handlers run, but they draw nothing that the backdrop would
// only cover.
bool gBeneathEndBackdrop = false;

// The backdrop is drawn at every pass, over whatever the station's windows
// beneath it drew.
void EndBackdropFrame(WindowHandle* window)
{
    window->redrawCount = static_cast<int16_t>(std::max<int>(gWindows.redrawValue, 1));
    guiTickWindow(window);
}

WindowHandle* MakeEndWindow(const char* name, WindowRoutine frame, WindowRoutine draw, const FrameBox& box,
                            Resource* font)
{
    WindowHandle* w =
        guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, frame, draw, box.x, box.y, box.width, box.height, 0);
    if (w) {
        w->elementName = name;
        w->font = font;
        TraceWindow("window+", w);
    }
    return w;
}

void RemoveEndOfFlightWindows()
{
    for (WindowHandle* w : {gEndOfFlight.debrief, gEndOfFlight.summary, gEndOfFlight.backdrop})
        if (w && gEndOfFlight.screen && UnlinkFrom(gEndOfFlight.screen->windows, w))
            Free(w);
    gEndOfFlight = {};
}

// Puts the end of the flight's windows up on the current screen once the
// flight is over, and takes them down in flight.
void FollowEndOfFlight()
{
    const bool over = MissionEndState != kMissionInFlight && !gFrontEndActive;
    if (over && gEndOfFlight.screen == gScreens.current)
        return;
    if (gEndOfFlight.screen)
        RemoveEndOfFlightWindows();
    Resource* picture = over ? SymbolResource(FindScriptSymbol(kEndPicture)) : nullptr;
    if (!picture)
        return;
    gEndOfFlight.screen = gScreens.current;
    gEndOfFlight.backdrop = MakeEndWindow("EndBackdrop", EndBackdropFrame, guiDrawRasterWindow, kWholeScreen,
                                          picture);
    Resource* font = SymbolResource(FindScriptSymbol(kEndFont));
    gEndOfFlight.summary = MakeEndWindow("EndSummary", nullptr, nullptr, kSummaryFrame, font);
    gEndOfFlight.debrief = MakeEndWindow("EndDebrief", nullptr, nullptr, kDebriefFrame, font);
}

// A frame of the end of the flight, cleared to its well; null when there is
// none to draw in.
WindowHandle* ClearedFrame(WindowHandle* frame)
{
    Canvas canvas = ScreenCanvas();
    if (!frame || !canvas.pixels || !guiWindowRect(frame, nullptr, nullptr))
        return nullptr;
    CanvasFillRect(canvas, kFrameInside, frame->rect[0], frame->rect[1], frame->rect[2], frame->rect[3]);
    return frame;
}

// Once the flight is over the mission's summary stands in its frame (or
// over the view), and during the debrief its text is typed in its own
// frame (or over the view); true when the debrief is drawn (the rest of the
// main view's overlays then stay off).
bool DrawEndOfFlight(WindowHandle* view)
{
    if (MissionEndState == kMissionInFlight)
        return false;
    WindowHandle* summary = ClearedFrame(gEndOfFlight.summary);
    guiObjectivesPanelDraw(summary ? summary : view, true);
    if (MissionEndState != kMissionDebrief)
        return false;
    if (WindowHandle* debrief = ClearedFrame(gEndOfFlight.debrief))
        guiDrawMessageLog(debrief->rect[0], debrief->rect[1], debrief->width, debrief->height);
    else if (view && gMessageLogTypingPosition < gMessageLogTextLength)
        guiDrawMessageLog(view->rect[0] + 44, view->rect[1] + 30, view->width - 48, 70);
    return true;
}

} // namespace

void guiResetWindowPool()
{
    // Receivers outlive the world's resets, so the pool gives its own back.
    for (WindowHandle& w : gWindows.pool) {
        if ((w.flags & kWindowInUse) && IsViewDrawType(w.draw))
            UnregisterViewWindow(&w);
        if ((w.flags & kWindowInUse) && w.receiver)
            FreeReceiver(w.receiver);
        w.flags = 0;
        w.receiver = 0;
    }
    gWindows.allocations = 0;
    gWindows.cursor = 0;
    gEndOfFlight = {};
    guiResetScreens();
    gScreens.current = &gScreens.defaultScreen;
    gScreens.defaultScreen = Screen{};
    gWindows.hot = gWindows.mainWindow = gWindows.lastCreated = gWindows.current = nullptr;
    gWindows.mainView = gWindows.mainViewBefore = gWindows.profileWindow = nullptr;
    gWindows.mainViewOnly = 0;
    gWindows.fullRedrawRequest = gWindows.redrawAll = 0;
    gWindows.redrawValue = gDisplayDriver == &kFullScreenDisplay ? 2 : 1;
}

WindowHandle* guiAllocWindow()
{
    // Every record is looked at once, the cursor's own last.
    for (int step = 1; step <= kWindowPoolSize; ++step) {
        const int32_t at = (gWindows.cursor + step) % kWindowPoolSize;
        WindowHandle& w = gWindows.pool[at];
        if (!(w.flags & kWindowInUse)) {
            gWindows.cursor = at;
            w.flags = kWindowInUse;
            ++gWindows.allocations;
            return &w;
        }
    }
    FatalError("Run out of Window Handles");
    return nullptr;
}

WindowHandle* guiCreateWindow(int16_t anchor, WindowHandle* parent, Bitmap* bitmap, WindowRoutine frameHandler,
                              WindowRoutine draw, int16_t x, int16_t y, int16_t width, int16_t height,
                              int16_t colour)
{
    WindowHandle* w = guiAllocWindow();
    if (!w)
        return nullptr;
    const uint32_t flags = w->flags;
    *w = WindowHandle{};
    w->flags = flags;
    if (!gScreens.current->mainWindow) {
        gScreens.current->mainWindow = w;
        gWindows.mainWindow = w;
    }
    w->receiver = ReceiverFor(frameHandler);
    w->anchor = anchor;
    if (anchor == kAnchorAttached) {
        w->attachTo = parent ? parent : gWindows.lastCreated;
    } else {
        w->parent = parent;
    }
    w->bitmap = bitmap;
    w->frameHandler = frameHandler;
    w->draw = draw;
    w->hitTest = guiHitTestRect;
    w->x = x;
    w->y = y;
    w->width = width;
    w->height = height;
    w->colour = colour;
    w->messageText = w->hintText = -1;
    if (IsViewDrawType(draw))
        RegisterViewWindow(w);
    w->redrawCount = gWindows.redrawValue;
    Append(w);
    gWindows.lastCreated = w;
    return w;
}

WindowHandle* guiCopyWindow(WindowHandle* source)
{
    WindowHandle* w = guiAllocWindow();
    if (!w)
        return nullptr;
    *w = *source;
    // A shared id would be closed and freed twice.
    w->receiver = ReceiverFor(source->frameHandler);
    if (IsViewDrawType(source->draw))
        RegisterViewWindow(w);
    Append(w);
    return w;
}

WindowHandle* guiCloneWindowTree(WindowHandle** list, WindowHandle* source)
{
    if (!source)
        return nullptr;
    WindowHandle* copy = guiCopyWindow(source);
    if (!copy)
        return nullptr;
    // Copies append to the list being walked: stop at the first copy.
    for (WindowHandle* w = *list; w && w != copy; w = w->next) {
        if (w->parent != source)
            continue;
        if (WindowHandle* child = guiCopyWindow(w))
            child->parent = copy;
    }
    return copy;
}

void guiRequestFullRedraw()
{
    gWindows.fullRedrawRequest = 1;
}

void guiRedrawWindowAndChildren(WindowHandle* window)
{
    Redraw(window);
    for (WindowHandle* w = ListHead(); w; w = w->next)
        if (w->parent == window)
            Redraw(w);
}

bool guiRectsOverlap(const int16_t* a, const int16_t* b)
{
    if (a[2] < b[0] || b[2] < a[0] || a[3] < b[1])
        return false;
    return b[3] >= a[1];
}

WindowHandle* guiFindWindowBeneath(WindowHandle* window)
{
    const int16_t cx = static_cast<int16_t>((window->rect[0] + window->rect[2]) / 2 - 1);
    const int16_t cy = static_cast<int16_t>((window->rect[1] + window->rect[3]) / 2 - 1);
    const int16_t square[4] = {cx, cy, static_cast<int16_t>(cx + 2), static_cast<int16_t>(cy + 2)};
    WindowHandle* found = nullptr;
    // A window that never takes the pointer (a panel's frame) is no
    // window to drop on or pass a click to.
    for (WindowHandle* w = ListHead(); w; w = w->next)
        if (w != window && w->hitTest != guiHitTestNever && guiRectsOverlap(w->rect, square))
            found = w;
    return found;
}

void guiRedrawOverlapping(WindowHandle* window)
{
    guiRedrawWindowAndChildren(window);
    WindowHandle* w = ListHead();
    while (w && w != window)
        w = w->next;
    for (w = w ? w->next : nullptr; w; w = w->next)
        if (guiRectsOverlap(window->rect, w->rect))
            Redraw(w);
}

void guiRedrawWithUnderlying(WindowHandle* window)
{
    Redraw(window);
    for (WindowHandle* w = ListHead(); w && w != window; w = w->next)
        if (guiRectsOverlap(window->rect, w->rect))
            Redraw(w);
}

void guiSetWindowText(WindowHandle* window, const char* text)
{
    if (!window)
        return;
    const bool same = window->text == text || (window->text && text && std::strcmp(window->text, text) == 0);
    window->text = text;
    if (!same)
        guiRedrawWindowAndChildren(window);
}

void guiCloseWindow(WindowHandle* window, int32_t delay)
{
    if (!window)
        return;
    PostItemMessage(window->receiver, window->receiver, delay, kCloseMessage, 0, nullptr);
    for (WindowHandle* w = ListHead(); w; w = w->next)
        if (w->parent == window)
            PostItemMessage(window->receiver, w->receiver, delay, kCloseMessage, 0, nullptr);
}

void guiDeleteWindowLater(WindowHandle* window)
{
    window->flags |= kWindowDeleteLater;
}

WindowHandle* guiDeleteWindow(WindowHandle* window)
{
    if (!(window->flags & kWindowInUse)) {
        FatalError("Attempt to delete Window Handle already removed or believed to be removed!");
        return nullptr;
    }
    if (gWindows.hot == window)
        gWindows.hot = nullptr;
    if (!Unlink(window))
        return nullptr;
    Free(window);
    return window;
}

WindowHandle* guiTopAncestor(WindowHandle* window)
{
    // A parent's record may be freed and reused below its old child, so the
    // walk is bounded by the pool's size.
    for (int step = 0; window && window->parent && step < kWindowPoolSize; ++step)
        window = window->parent;
    return window;
}

void guiBringToFront(WindowHandle* window)
{
    WindowHandle* top = guiTopAncestor(window);
    WindowHandle** before = &ListHead();
    while (*before && *before != top)
        before = &(*before)->next;
    if (!*before)
        return;
    WindowHandle* last = top;
    while (last->next && guiTopAncestor(last->next) == top)
        last = last->next;
    if (!last->next)
        return; // already at the end
    *before = last->next;
    WindowHandle* tail = *before;
    while (tail->next)
        tail = tail->next;
    tail->next = top;
    last->next = nullptr;
}

void guiKeepWindowOnScreen(WindowHandle* window)
{
    window->x = std::max<int16_t>(window->x, 0);
    window->y = std::max<int16_t>(window->y, 0);
    if (window->x + window->width >= gScreenMode.width)
        window->x = Narrow(gScreenMode.width - window->width - 1);
    if (window->y + window->height >= gScreenMode.height)
        window->y = Narrow(gScreenMode.height - window->height - 1);
}

bool guiWindowRect(WindowHandle* window, int32_t* outX, int32_t* outY)
{
    int32_t X = 0, Y = 0;
    if (window->anchor == kAnchorAttached) {
        if (window->attachTo) {
            X = window->attachTo->rect[0];
            Y = window->attachTo->rect[1];
        }
        X += window->x;
        Y += window->y;
    } else {
        int32_t W = 0, H = 0; // a step without a reference keeps the last
        const WindowHandle* main = gScreens.current->mainWindow;
        int steps = 0; // bounded, as in guiTopAncestor
        for (const WindowHandle* w = window; w && steps < kWindowPoolSize; w = w->parent, ++steps) {
            if (w->parent) {
                W = w->parent->width;
                H = w->parent->height;
            } else if (main) {
                W = main->width;
                H = main->height;
            }
            if (w->anchor < 0 || w->anchor >= kAnchorTypes)
                continue;
            const AnchorRule rule = kAnchorRules[w->anchor];
            X += Place(rule.horizontal, w->x, w->width, W);
            Y += Place(rule.vertical, w->y, w->height, H);
        }
    }
    int32_t r[4] = {X, Y, X + window->width - 1, Y + window->height - 1};
    bool visible = true;
    if (window->anchor == kAnchorClipped && window->parent) {
        const int32_t ox = X - window->x, oy = Y - window->y;
        r[0] = std::max(r[0], ox);
        r[1] = std::max(r[1], oy);
        r[2] = std::min(r[2], ox + window->parent->width - 1);
        r[3] = std::min(r[3], oy + window->parent->height - 1);
        visible = r[0] < r[2] && r[1] < r[3];
    }
    for (int i = 0; i < 4; ++i)
        window->rect[i] = Narrow(r[i]);
    if (outX)
        *outX = r[0];
    if (outY)
        *outY = r[1];
    return visible;
}

bool guiHitTestRect(WindowHandle* window, int32_t x, int32_t y)
{
    if ((window->flags & kWindowBound) && (!window->boundText || !window->boundText[0]))
        return false;
    if (!guiWindowRect(window, nullptr, nullptr))
        return false;
    const int16_t* r = window->rect;
    return r[0] < x && x < r[2] && r[1] < y && y < r[3];
}

bool guiHitTestNever(WindowHandle*, int32_t, int32_t)
{
    return false;
}

void guiClearScreenBuffers()
{
    const int passes = gWindows.redrawValue > 1 ? 2 : 1;
    for (int i = 0; i < passes; ++i) {
        const Canvas screen = ScreenCanvas();
        if (screen.pixels)
            CanvasClear(screen, 0);
        DisplayPresent(gScreenMode);
        DisplayLock(gScreenMode);
    }
}

void guiDrawOutline(const Canvas& canvas, uint8_t colour, int16_t left, int16_t top, int16_t right, int16_t bottom)
{
    CanvasLine(canvas, Narrow(left + 1), top, Narrow(right - 1), top, colour);
    CanvasLine(canvas, right, Narrow(top + 1), right, Narrow(bottom - 1), colour);
    CanvasLine(canvas, Narrow(right - 1), bottom, Narrow(left + 1), bottom, colour);
    CanvasLine(canvas, left, Narrow(bottom - 1), left, Narrow(top + 1), colour);
}

void guiUpdateScreen()
{
    FadeFlash();
    // The view alone lasts while the ship is flown: the end of the flight
    // and the front end draw over the screen's own windows.
    const bool flown = MissionEndState == kMissionInFlight && !gPlayerShipLost && !gFrontEndActive;
    if (gWindows.mainViewOnly && !flown)
        guiLeaveMainViewOnly();
    if (gWindows.hintMode && !flown)
        guiSetHintMode(false);
    if (gWindows.fullRedrawRequest) {
        gWindows.fullRedrawRequest = 0;
        gWindows.redrawAll = 1;
        // Every window is drawn again over a cleared screen, so that no part
        // of the screen before stays where the new one has no window.
        if (const Canvas screen = ScreenCanvas(); screen.pixels)
            CanvasClear(screen, 0);
    }
    gScreens.viewCountPublished = int16_t(ViewWindowCount());
    BeginStarPasses();
    gWindows.previousMouseX = gWindows.mouseX;
    gWindows.previousMouseY = gWindows.mouseY;
    gWindows.mouseX = gMouse.x;
    gWindows.mouseY = gMouse.y;

    if (gWindows.mainViewOnly) {
        gWindows.current = gWindows.mainView;
        guiDrawMainView();
    } else {
        FollowEndOfFlight();
        if (!AnyButtonHeld())
            HitTest();
        HandleHotWindow();
        const Screen* screen = gScreens.current;
        const uint32_t changes = gScreens.changes;
        WindowHandle* previous = nullptr; // the last window passed that is still listed
        gBeneathEndBackdrop = gEndOfFlight.backdrop != nullptr;
        for (WindowHandle* w = ListHead(); w;) {
            if (w == gEndOfFlight.backdrop)
                gBeneathEndBackdrop = false;
            if (gWindows.redrawAll)
                Redraw(w);
            if (w->frameHandler) {
                gWindows.current = w;
                guiWindowRect(w, nullptr, nullptr);
                std::memcpy(gWindows.clip, w->rect, sizeof gWindows.clip);
                w->frameHandler(w);
                if (gWindows.mainViewOnly || gScreens.changes != changes || gScreens.current != screen)
                    break;
            }
            // A handler may delete windows at once (its own among them): the
            // pass goes on from the last window it knows to be listed, and
            // never follows the link of a freed record.
            if (w->flags & kWindowInUse) {
                previous = w;
                w = w->next;
            } else {
                w = previous && (previous->flags & kWindowInUse) ? previous->next : ListHead();
            }
        }
        gBeneathEndBackdrop = false;
        gWindows.redrawAll = 0;
        // Outside main-view-only mode the main view is a window beneath the
        // station's own: the end of the flight is drawn above them all, so
        // that it can be read.
        if (gEndOfFlight.summary || (gWindows.mainView && guiWindowRect(gWindows.mainView, nullptr, nullptr)))
            DrawEndOfFlight(gWindows.mainView);
    }
    Sweep();
}

void guiTickWindow(WindowHandle* window)
{
    ItemMessage message;
    if (FetchItemMessage(window->receiver, &message) && message.kind == kCloseMessage) {
        guiDeleteWindowLater(window);
        return;
    }
    // A press, a click and a notification are each handled once, and the
    // window is drawn in the same frame with what its handler changed.
    const Screen* screen = gScreens.current;
    if (window->flags & kWindowPressPending) {
        window->flags &= ~kWindowPressPending;
        if (window->pressHandler)
            window->pressHandler(window);
    }
    if (window->flags & kWindowClickPending) {
        window->flags &= ~kWindowClickPending;
        if (window->clickHandler)
            window->clickHandler(window);
        const int16_t text = window->messageText;
        if (text >= 0 && text < kTextTableEntries && !(window->flags & kWindowSkipMessageOnce) && gTextTable[text])
            guiDisplayMessage(gTextTable[text], kMessageLineTime);
        window->flags &= ~kWindowSkipMessageOnce;
    }
    if (window->flags & kWindowNotifyPending) {
        window->flags &= ~kWindowNotifyPending;
        if (window->notifyHandler)
            window->notifyHandler(window);
    }
    // A handler that freed its window, or left for another screen, leaves
    // nothing to draw here.
    if (!(window->flags & kWindowInUse) || gScreens.current != screen)
        return;
    if ((window->flags & kWindowBound) && (!window->boundText || !window->boundText[0]))
        return;
    if (window->redrawCount == 0)
        return;
    if ((window->flags & kWindowHeldByDrawing) && gWindows.drawingHeld)
        return;
    if (gBeneathEndBackdrop)
        return;
    --window->redrawCount;
    if (window->draw)
        window->draw(window);
    if (window->flags & kWindowBound)
        window->redrawCount = gWindows.redrawValue;
}

void guiDrawMainView()
{
    WindowHandle* view = gWindows.mainView;
    if (!view || !guiWindowRect(view, nullptr, nullptr))
        return;
    RenderViewWindow(view);
    const bool typing = gMessageLogTypingPosition < gMessageLogTextLength;
    if (DrawEndOfFlight(view)) {
        // The debrief lasts until its text is typed and spoken.
        gDebriefSpeechLength = std::max(0, gDebriefSpeechLength - gFrameClock.frameTicks);
        if (!typing && gDebriefSpeechLength == 0)
            gLoopFlags.endOfMissionRequest = 255;
        return;
    }
    // The picture of a talk sits right of the log.
    guiCommsTextAreaDraw(view);
    // In flight the log stays until it blanks itself after the text.
    if (gMessageLog.active)
        guiDrawMessageLog(view->rect[0] + 4, view->rect[1] + 10, view->width - 168, 80);
    guiDrawRemoteLinkCaption(view);
    DrawTargetCard(view);
}

void guiEnterMainViewOnly(WindowHandle* view)
{
    if (!view || gWindows.mainViewOnly)
        return;
    gWindows.mainViewBefore = gWindows.mainView;
    gWindows.mainView = view;
    gWindows.mainViewOnly = 1;
    gWindows.hot = nullptr;
    guiRequestFullRedraw();
    if (TraceOn())
        TraceLine("mainview", "1");
}

void guiLeaveMainViewOnly()
{
    if (!gWindows.mainViewOnly)
        return;
    gWindows.mainViewOnly = 0;
    gWindows.mainView = gWindows.mainViewBefore;
    gWindows.mainViewBefore = nullptr;
    guiRequestFullRedraw();
    if (TraceOn())
        TraceLine("mainview", "0");
}

void guiSetHintMode(bool on)
{
    if (gWindows.hintMode == (on ? 255 : 0))
        return;
    gWindows.hintMode = on ? 255 : 0;
    // The message log gives way to the hints and comes back after them.
    guiRequestFullRedraw();
    if (TraceOn())
        TraceLine("hintmode", "%d", on ? 1 : 0);
}

WindowHandle* guiPopupText(const char* text, int32_t delay)
{
    WindowHandle* w = guiCreateWindow(kAnchorCentred, nullptr, nullptr, guiTickWindow, guiDrawButtonWindow, 0, 0,
                                      kPopupWidth, kPopupHeight, 0);
    if (!w)
        return nullptr;
    const ScriptSymbol* font = FindScriptSymbol(kPopupFont);
    if (font && font->value && !SymbolHoldsValueBytes(font) && !(font->type & kSymbolSceneItem))
        w->font = static_cast<Resource*>(font->value);
    w->text = text;
    TraceWindow("window+", w);
    guiCloseWindow(w, delay);
    return w;
}

void TraceWindow(const char* event, WindowHandle* window)
{
    if (!TraceOn())
        return;
    guiWindowRect(window, nullptr, nullptr);
    char name[80];
    TraceLine(event, "%s %d %d %d %d %d", TraceQuoted(window->elementName ? window->elementName : "-", name, sizeof name),
              window->anchor, window->rect[0], window->rect[1], window->rect[2], window->rect[3]);
}
