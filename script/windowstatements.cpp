// The window and screen statements of gui scripts: each WIN_* statement
// makes one window (or one group of them) with its routines and binds it to
// a window symbol; WIN_FONT chooses the font of the text windows that
// follow; SCREEN_BEGIN, SCREEN_END and SCREEN_USE define and enter screens.
//
// Most statements share one form: anchor word, window symbol, parent (a
// window symbol, or any one pair for none), then their own operands. A
// window that cannot be made (the pool is exhausted) leaves its symbol as
// it was; the statement still reads all its operands.
#include "script/windowstatements.h"

#include "screens/engineering.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/film.h"
#include "system/res/resman.h"
#include "ui/drawtypes.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "world/profiler.h"
#include "world/scenelist.h"

#include <iterator>

Resource* gWindowFont = nullptr;
WindowHandle* gCurrentSystemElement = nullptr;
char gSystemElementsOn = static_cast<char>(255);

namespace {

constexpr int16_t kMainWidth = 640;
constexpr int16_t kMainHeight = 275;
constexpr int16_t kSmallBox = 12;
constexpr int16_t kDialogArrowStep = 14;

// The value of a resource operand, or null when its symbol holds none.
Resource* ReadResource(uint32_t& position)
{
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolResource);
    if (!symbol->value || SymbolHoldsValueBytes(symbol) || (symbol->type & kSymbolSceneItem))
        return nullptr;
    return static_cast<Resource*>(symbol->value);
}

// The window a window symbol holds, or null.
WindowHandle* SymbolWindow(const ScriptSymbol* symbol)
{
    if (!symbol || !symbol->value || SymbolHoldsValueBytes(symbol) || (symbol->type & kSymbolSceneItem))
        return nullptr;
    return static_cast<WindowHandle*>(symbol->value);
}

int16_t ReadShort(uint32_t& position)
{
    return ScriptNumberToInt16(ReadNumberOperand(position));
}

int16_t ReadOptionalShort(uint32_t& position)
{
    return ScriptNumberToInt16(ReadOptionalNumber(position));
}

// The head of a window statement: anchor, symbol, parent.
struct WindowHead {
    int16_t anchor;
    ScriptSymbol* symbol;
    WindowHandle* parent;
};

WindowHead ReadHead(uint32_t& position)
{
    WindowHead head{};
    head.anchor = static_cast<int16_t>(ReadKeywordOperand(position, kw::TOP_L, kw::CNTR));
    head.symbol = ReadTypedSymbol(position, kSymbolWindow);
    if (const ScriptSymbol* parent = ReadOptionalSymbol(position))
        head.parent = SymbolWindow(parent);
    else
        ++position; // a number (or any pair) stands for no parent
    return head;
}

struct Box {
    int16_t x, y, w, h;
};

Box ReadBox(uint32_t& position)
{
    Box b;
    b.x = ReadShort(position);
    b.y = ReadShort(position);
    b.w = ReadShort(position);
    b.h = ReadShort(position);
    return b;
}

// Names the new window after its symbol and gives the symbol the window.
WindowHandle* Bind(const WindowHead& head, WindowHandle* window)
{
    if (!window)
        return nullptr;
    window->elementName = head.symbol->name;
    head.symbol->value = window;
    TraceWindow("window+", window);
    return window;
}

WindowHandle* Make(const WindowHead& head, const Box& b, WindowRoutine draw, WindowRoutine frame = guiTickWindow,
                   int16_t colour = 0)
{
    return Bind(head, guiCreateWindow(head.anchor, head.parent, nullptr, frame, draw, b.x, b.y, b.w, b.h, colour));
}

// A part of a window group: named after the group's symbol, not bound to it.
WindowHandle* MakePart(const WindowHead& head, int16_t anchor, WindowHandle* parent, const Box& b,
                       WindowRoutine frame, WindowRoutine draw)
{
    WindowHandle* w = guiCreateWindow(anchor, parent, nullptr, frame, draw, b.x, b.y, b.w, b.h, 0);
    if (w) {
        w->elementName = head.symbol->name;
        TraceWindow("window+", w);
    }
    return w;
}

void WinBox(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    const Box b = ReadBox(position);
    const int16_t colour = ReadOptionalShort(position);
    if (WindowHandle* w = Make(head, b, guiDrawBoxWindow, guiTickWindow, colour))
        w->hitTest = guiHitTestNever;
}

void WinRect(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    Make(head, ReadBox(position), guiDrawRectWindow);
}

// WIN_3D and WIN_3D_WIRE: the object operand is read and not used.
WindowHandle* ViewWindow(uint32_t& position, WindowRoutine draw)
{
    const WindowHead head = ReadHead(position);
    ReadTypedSymbol(position, kSymbolAnyType);
    WindowHandle* w = Make(head, ReadBox(position), draw);
    if (w) {
        guiSetViewedItems(w, &gSceneList);
        w->flags |= kWindowView;
    }
    return w;
}

void Win3d(uint32_t& position)
{
    if (WindowHandle* w = ViewWindow(position, guiDraw3DWindow))
        gWindows.mainView = w;
}

void Win3dWire(uint32_t& position)
{
    ViewWindow(position, guiDraw3DWireWindow);
}

void WinVideo(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    Resource* film = ReadResource(position);
    const Box b = ReadBox(position);
    if (!film || !PlayFilm(film->name))
        return;
    if (WindowHandle* w = Make(head, b, guiDrawVideoWindow))
        w->font = film;
}

// WIN_RAST and WIN_OVERLAY: res, x y [w] [h].
void PictureWindow(uint32_t& position, WindowRoutine draw)
{
    const WindowHead head = ReadHead(position);
    Resource* picture = ReadResource(position);
    Box b;
    b.x = ReadShort(position);
    b.y = ReadShort(position);
    b.w = ReadOptionalShort(position);
    b.h = ReadOptionalShort(position);
    if (WindowHandle* w = Make(head, b, draw))
        w->font = picture;
}

void WinRast(uint32_t& position)
{
    PictureWindow(position, guiDrawRasterWindow);
}

void WinOverlay(uint32_t& position)
{
    PictureWindow(position, guiDrawOverlayWindow);
}

void WinSwitch(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    Resource* off = ReadResource(position);
    Resource* on = ReadResource(position);
    const int16_t x = ReadShort(position);
    const int16_t y = ReadShort(position);
    if (WindowHandle* w = Make(head, {x, y, 0, 0}, guiDrawSwitchWindow)) {
        w->bitmapUp = off ? static_cast<Bitmap*>(ResGet(off)) : nullptr;
        w->bitmapDown = on ? static_cast<Bitmap*>(ResGet(on)) : nullptr;
    }
}

// A window that shows its symbol's name in the current font.
void NamedTextWindow(uint32_t& position, WindowRoutine draw)
{
    const WindowHead head = ReadHead(position);
    if (WindowHandle* w = Make(head, ReadBox(position), draw)) {
        w->font = gWindowFont;
        w->text = head.symbol->name;
    }
}

void WinStrng(uint32_t& position)
{
    NamedTextWindow(position, guiDrawStringWindow);
}

void WinButt(uint32_t& position)
{
    NamedTextWindow(position, guiDrawButtonWindow);
}

WindowHandle* TextWindow(uint32_t& position, const WindowHead& head)
{
    Resource* text = ReadResource(position);
    WindowHandle* w = Make(head, ReadBox(position), guiDrawTextWindow);
    if (w) {
        w->font = gWindowFont;
        w->textResource = text;
    }
    return w;
}

void WinText(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    TextWindow(position, head);
}

void WinInvis(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    if (WindowHandle* w = Make(head, ReadBox(position), nullptr))
        w->flags |= kWindowInvisible;
}

// The meter styles, in keyword order: their draw types.
constexpr WindowRoutine kMeterDrawTypes[] = {
    guiDrawVerticalBarWindow,
    guiDrawHorizontalBarWindow,
    guiDrawCentredVBarWindow,
    guiDrawCentredHBarWindow,
    guiDrawXYDeviationWindow,
    guiDrawNumberWindow,
};
static_assert(std::size(kMeterDrawTypes) == kw::NUMERIC - kw::BAR_VERT + 1);

void WinMeter(uint32_t& position)
{
    const int32_t style = ReadKeywordOperand(position, kw::BAR_VERT, kw::NUMERIC);
    const WindowHead head = ReadHead(position);
    const WindowRoutine draw = kMeterDrawTypes[style];
    if (WindowHandle* w = Make(head, ReadBox(position), draw)) {
        w->font = gWindowFont;
        if (draw == guiDrawXYDeviationWindow)
            w->hitTest = guiHitTestNever;
    }
}

// One element of a ship system's panel row: where it sits in the row, its
// size and its routines.
struct SystemElement {
    int16_t dx, w;
    WindowRoutine frame;
    WindowRoutine draw;
};
constexpr SystemElement kSystemElements[] = {
    {0, 90, guiSystemOutputDraw, guiDrawStringWindow},           // name label
    {92, kSmallBox, guiSystemOutputDraw, guiDrawCheckBoxWindow}, // power toggle
    {0, 104, guiSelectedSystemDraw, guiDrawLoggerWindow},        // selection
    {106, 30, guiSystemOutputDraw, guiDrawNumberWindow},         // output
    {138, 4, guiSystemTemperatureDraw, nullptr},                 // temperature
    {144, 4, guiSystemTemperatureDraw, nullptr},                 // temperature
    {150, 30, guiSystemHealthDraw, guiDrawLevelBarWindow},       // health
    {182, 30, guiSystemLevelDraw, nullptr},                      // level
};
constexpr int kSystemPowerToggle = 1;

void WinSystem(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    const ScriptSymbol* system = ReadTypedSymbol(position, kSymbolAnyType);
    const int16_t x = ReadShort(position);
    const int16_t y = ReadShort(position);
    WindowHandle* last = nullptr;
    for (int i = 0; i < static_cast<int>(std::size(kSystemElements)); ++i) {
        const SystemElement& e = kSystemElements[i];
        const Box b{static_cast<int16_t>(x + e.dx), y, e.w, kSmallBox};
        WindowHandle* w = i == 0 ? Make(head, b, e.draw, e.frame) : MakePart(head, head.anchor, head.parent, b, e.frame, e.draw);
        if (!w)
            continue;
        w->font = gWindowFont;
        w->boundText = &gSystemElementsOn;
        if (i == 0)
            w->text = system->name;
        if (i == kSystemPowerToggle) {
            w->clickHandler = guiToggleSystemPower;
            guiLinkShipSystemElement(w, system->name);
        }
        last = w;
    }
    if (last)
        gCurrentSystemElement = last;
}

void WinLogger(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    if (WindowHandle* w = Make(head, ReadBox(position), guiDrawLoggerWindow, guiSelectedSystemDraw))
        w->font = gWindowFont;
}

// The frame profiler records only once a profile window exists.
void WinProfile(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    if (WindowHandle* w = Make(head, ReadBox(position), guiDrawProfileWindow, guiPlainElementDraw)) {
        AllocFrameProfiler();
        gWindows.profileWindow = w;
    }
}

void WinCard(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    if (WindowHandle* w = Make(head, ReadBox(position), guiDrawCardWindow))
        w->font = gWindowFont;
}

void WinFont(uint32_t& position)
{
    gWindowFont = ReadResource(position);
}

void WinDestroy(uint32_t& position)
{
    WindowHandle* w = SymbolWindow(ReadTypedSymbol(position, kSymbolWindow));
    const int32_t delay = ScriptNumberToInt(ReadNumberOperand(position));
    guiCloseWindow(w, delay);
}

void WinPopup(uint32_t& position)
{
    const char* text = ReadTextOperand(position);
    const int32_t delay = ScriptNumberToInt(ReadNumberOperand(position));
    guiPopupText(text, delay);
}

// A text window with a frame, a check box and two scroll arrows beside it,
// all children of the text window so that they close with it.
void WinDialog(uint32_t& position)
{
    const WindowHead head = ReadHead(position);
    WindowHandle* w = TextWindow(position, head);
    const int32_t closeAfter = ScriptNumberToInt(ReadOptionalNumber(position));
    if (!w)
        return;
    const Box b{w->x, w->y, w->width, w->height};
    const int16_t side = static_cast<int16_t>(b.w + 4);
    MakePart(head, kAnchorTopLeft, w, {-1, -1, static_cast<int16_t>(b.w + 2), static_cast<int16_t>(b.h + 2)},
             guiTickWindow, guiDrawRectWindow);
    if (WindowHandle* check = MakePart(head, kAnchorTopLeft, w, {side, 0, kSmallBox, kSmallBox}, guiTickWindow,
                                       guiDrawCheckBoxWindow)) {
        check->clickHandler = guiToggleElement;
        check->check = 255;
    }
    if (WindowHandle* up = MakePart(head, kAnchorTopLeft, w, {side, kDialogArrowStep, kSmallBox, kSmallBox},
                                    guiTickWindow, guiDrawUpArrowWindow))
        up->clickHandler = guiTextScrollBack;
    if (WindowHandle* down =
            MakePart(head, kAnchorTopLeft, w, {side, static_cast<int16_t>(b.h - kDialogArrowStep), kSmallBox, kSmallBox},
                     guiTickWindow, guiDrawDownArrowWindow))
        down->clickHandler = guiTextScrollForward;
    if (closeAfter != 0)
        guiCloseWindow(w, closeAfter);
}

// The screen's root: the full screen's size at its top left.
void WinMain(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolWindow);
    const int16_t colour = ReadOptionalShort(position);
    const WindowHead head{kAnchorTopLeft, symbol, nullptr};
    WindowHandle* w = Make(head, {0, 0, kMainWidth, kMainHeight}, guiDrawRectWindow, guiTickWindow, colour);
    if (!w)
        return;
    gScreens.current->mainWindow = w;
    gWindows.mainWindow = w;
    gWindows.mainView = w;
}

void WinClone(uint32_t& position)
{
    ScriptSymbol* target = ReadTypedSymbol(position, kSymbolWindow);
    WindowHandle* source = SymbolWindow(ReadTypedSymbol(position, kSymbolWindow));
    const int16_t dx = ReadOptionalShort(position);
    const int16_t dy = ReadOptionalShort(position);
    WindowHandle* copy = guiCloneWindowTree(&gScreens.current->windows, source);
    if (!copy)
        return;
    target->value = copy;
    copy->elementName = target->name;
    if (dx != 0)
        copy->cloneOffsets[0] = dx;
    if (dy != 0)
        copy->cloneOffsets[1] = dy;
    TraceWindow("window+", copy);
}

void ScreenBegin(uint32_t& position)
{
    guiBeginScreenDefinition(ReadTextOperand(position));
}

void ScreenEnd(uint32_t& position)
{
    guiRunScreenSetup(ReadTextOperand(position));
}

void ScreenUse(uint32_t& position)
{
    guiGotoScreen(ReadTextOperand(position));
}

constexpr StatementRow kRows[] = {
    {kw::WIN_BOX, WinBox},
    {kw::WIN_RECT, WinRect},
    {kw::WIN_3D, Win3d},
    {kw::WIN_3D_WIRE, Win3dWire},
    {kw::WIN_VIDEO, WinVideo},
    {kw::WIN_RAST, WinRast},
    {kw::WIN_OVERLAY, WinOverlay},
    {kw::WIN_SWITCH, WinSwitch},
    {kw::WIN_STRNG, WinStrng},
    {kw::WIN_TEXT, WinText},
    {kw::WIN_BUTT, WinButt},
    {kw::WIN_INVIS, WinInvis},
    {kw::WIN_METER, WinMeter},
    {kw::WIN_SYSTEM, WinSystem},
    {kw::WIN_LOGGER, WinLogger},
    {kw::WIN_PROFILE, WinProfile},
    {kw::WIN_CARD, WinCard},
    {kw::WIN_FONT, WinFont},
    {kw::WIN_DESTROY, WinDestroy},
    {kw::WIN_POPUP, WinPopup},
    {kw::WIN_DIALOG, WinDialog},
    {kw::WIN_MAIN, WinMain},
    {kw::WIN_CLONE, WinClone},
    {kw::SCREEN_BEGIN, ScreenBegin},
    {kw::SCREEN_END, ScreenEnd},
    {kw::SCREEN_USE, ScreenUse},
};

} // namespace

std::span<const StatementRow> WindowStatementRows()
{
    return kRows;
}
