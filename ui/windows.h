// The window-handle pool, its routines and the per-frame screen update.
//
// Every element of every screen is a WindowHandle from one static pool of
// 550, linked into the window list of the current screen (ui/screens.h),
// placed by its anchor relative to its parent, and driven once a frame by
// guiUpdateScreen. List order is draw order and hit-test order (later
// windows are drawn over earlier ones and win the mouse). A window with a
// frame handler owns a RECEIVER id for its delayed close; window receivers
// survive the world's reset of the message buffer.
//
// Not here: the draw types (ui/drawtypes.h), the screen table and the
// switch between screens (ui/screens.h).
#pragma once

#include <cstdint>

#include "system/canvas.h"
#include "system/raster.h"

struct WindowHandle;
struct SceneItem;
struct Resource;
struct FilmClip;
struct ValueRecorder;
struct HUD;
struct VectorIcon;
struct ShipSystem;

using WindowRoutine = void (*)(WindowHandle* window);
using WindowHitTest = bool (*)(WindowHandle* window, int32_t x, int32_t y);

constexpr int kWindowPoolSize = 550;

// Window flags.
enum : uint32_t {
    kWindowInUse = 0x1,
    kWindowView = 0x4, // a 3D view (a marker for screen code)
    kWindowHot = 0x8,
    kWindowPressed = 0x10,
    kWindowClickPending = 0x20,
    kWindowPressPending = 0x40,
    kWindowDraggable = 0x80,
    kWindowDragged = 0x100,
    kWindowOutlined = 0x400,
    kWindowBound = 0x800, // shown only while the bound text is non-empty
    kWindowNotifyPending = 0x1000,
    kWindowInvisible = 0x2000, // a marker for screen code
    kWindowHeldByDrawing = 0x4000,
    kWindowDeleteLater = 0x8000,
    kWindowKeepsPalette = 0x10000,
    kWindowSkipMessageOnce = 0x20000,
    kWindowNoFlash = 0x40000,
};

// Anchor types: how x and y place the window within its parent.
enum : int16_t {
    kAnchorTopLeft = 0,
    kAnchorTopRight = 1,
    kAnchorBottomLeft = 2,
    kAnchorBottomRight = 3,
    kAnchorAttached = 4, // relative to another window's rectangle
    kAnchorClipped = 5,  // top-left, clipped to the parent
    kAnchorCentred = 6,
};
constexpr int kAnchorTypes = 7;

// What a window shows besides its picture and text: the scene items of a
// 3D view, a contact row of a card, a film clip, a value recorder of a
// logger, a comms reply slot 0-4, the HUD element (an orb) that a HUD
// window draws, the line icon of an icon panel, or the player's ship system
// it stands for.
struct WindowSubject {
    enum class Kind : uint8_t {
        None,
        SceneItems,
        ContactRow,
        Clip,
        ValueRecorder,
        CommsSlot,
        HudElement,
        Icon,
        ShipSystem
    };
    Kind kind;
    union {
        SceneItem* items;
        int32_t row;
        FilmClip* clip;
        ValueRecorder* recorder;
        int32_t slot;
        HUD* element;
        const VectorIcon* icon;
        ::ShipSystem* system;
    };
};

struct WindowHandle {
    WindowHandle* next;         // in its screen's list
    WindowHandle* parent;       // null for anchor 4
    uint32_t receiver;          // RECEIVER id when it has a frame handler, else 0
    WindowRoutine frameHandler; // every frame; null: an inert window
    WindowHitTest hitTest;
    WindowRoutine draw; // run by guiTickWindow while redrawCount is not 0
    WindowRoutine clickHandler;
    WindowRoutine pressHandler;
    WindowRoutine notifyHandler;
    // Takes a carried label (a contact's tag, a system's name) let go over
    // the window; the label's subject says what it carries.
    void (*dropHandler)(WindowHandle* window, WindowHandle* dropped);
    WindowSubject subject;
    Bitmap* bitmap;     // the window's own picture
    Bitmap* bitmapUp;   // a switch's released and
    Bitmap* bitmapDown; //   pressed pictures
    Resource* font;     // a font, or the picture of the bitmap draw types
    const char* text;
    Resource* textResource; // the text-box draw type's text
    float value;
    float maximum; // full scale, or the text box's scroll offset
    uint8_t check;
    uint8_t aux;
    int16_t auxShort;      // the bar meters' bar end
    const char* boundText; // with kWindowBound: hidden while empty
    int16_t redrawCount;   // frames in which the draw type still runs
    int16_t colour;        // palette index; 0: the draw type's default
    uint32_t flags;
    int16_t anchor;
    WindowHandle* attachTo; // anchor 4: placed relative to its rectangle
    int16_t x, y, width, height;
    int16_t messageText; // interface text shown after a click; -1 none
    int16_t hintText;    // -1 none
    int16_t rect[4];     // left, top, right, bottom (inclusive), from guiWindowRect
    int16_t dirtyRect[4];
    int16_t cloneOffsets[2];
    const char* elementName; // the script symbol that holds it, for dumps and the trace
};

// The scene items a 3D view window views from, or null.
inline SceneItem* guiViewedItems(const WindowHandle* window)
{
    return window->subject.kind == WindowSubject::Kind::SceneItems ? window->subject.items : nullptr;
}
inline void guiSetViewedItems(WindowHandle* window, SceneItem* items)
{
    window->subject.kind = WindowSubject::Kind::SceneItems;
    window->subject.items = items;
}
// The HUD element a HUD window draws, or null.
inline HUD* guiHeldHudElement(const WindowHandle* window)
{
    return window->subject.kind == WindowSubject::Kind::HudElement ? window->subject.element : nullptr;
}
inline void guiSetHeldHudElement(WindowHandle* window, HUD* element)
{
    window->subject.kind = WindowSubject::Kind::HudElement;
    window->subject.element = element;
}

// The window system's state, one record.
struct WindowSystem {
    WindowHandle pool[kWindowPoolSize];
    int32_t cursor; // next-fit: the record last handed out
    int32_t allocations;
    WindowHandle* mainWindow; // the current screen's main window
    WindowHandle* hot;
    WindowHandle* lastCreated; // default attach target; the window of script binding
    WindowHandle* current;     // the one the per-frame loop is handling
    int16_t clip[4];           // its rectangle, read by the draw types
    uint8_t fullRedrawRequest;
    uint8_t redrawAll;
    int16_t redrawValue; // 2 when the display has two buffers
    uint8_t hintMode;
    uint8_t mainViewOnly;
    uint8_t drawingHeld; // windows flagged kWindowHeldByDrawing are not drawn
    int32_t mouseX, mouseY, previousMouseX, previousMouseY;
    WindowHandle* mainView;       // the screen's main 3D view window
    WindowHandle* mainViewBefore; // the main view to go back to when the view alone ends
    WindowHandle* profileWindow;
};
extern WindowSystem gWindows;

extern uint8_t gNoRedraw; // read by the film player

// Frees every record, resets the screen table and makes the default screen
// current with an empty list; no hot or main window.
void guiResetWindowPool();
// A record from the pool, its flags exactly kWindowInUse; null after the
// fatal "Run out of Window Handles".
WindowHandle* guiAllocWindow();
// A new window at the end of the current screen's list; null when the pool
// is exhausted. For anchor 4 `parent` is the window it attaches to (null:
// the last created one).
WindowHandle* guiCreateWindow(int16_t anchor, WindowHandle* parent, Bitmap* bitmap, WindowRoutine frameHandler,
                              WindowRoutine draw, int16_t x, int16_t y, int16_t width, int16_t height,
                              int16_t colour);
// A copy of every field at the end of the list, with a RECEIVER of its own
// when it has a frame handler; null when the pool is exhausted.
WindowHandle* guiCopyWindow(WindowHandle* source);
// Copies the source and each window of the list whose parent it is (direct
// children only), the copies re-parented to the new window.
WindowHandle* guiCloneWindowTree(WindowHandle** list, WindowHandle* source);
void guiRequestFullRedraw();
void guiRedrawWindowAndChildren(WindowHandle* window);
bool guiRectsOverlap(const int16_t* a, const int16_t* b);
// The last other window whose rectangle overlaps the window's centre.
WindowHandle* guiFindWindowBeneath(WindowHandle* window);
void guiRedrawOverlapping(WindowHandle* window);
void guiRedrawWithUnderlying(WindowHandle* window);
// A label's text: when it differs from the one shown, the window is drawn
// again (a label whose text changes unseen would show the old one).
void guiSetWindowText(WindowHandle* window, const char* text);
// Posts the close message after `delay` ticks to the window and its direct
// children; each deletes itself when its tick fetches it.
void guiCloseWindow(WindowHandle* window, int32_t delay);
void guiDeleteWindowLater(WindowHandle* window);
// Unlinks and frees at once; null (nothing changes) when the window is not
// in the current list, null after a fatal error for a free record.
WindowHandle* guiDeleteWindow(WindowHandle* window);
WindowHandle* guiTopAncestor(WindowHandle* window);
// Moves the window's top ancestor and the run of its descendants after it
// to the end of the list (drawn last, hit first).
void guiBringToFront(WindowHandle* window);
void guiKeepWindowOnScreen(WindowHandle* window);
// Places the window by its anchor chain into its rect and the outputs
// (either may be null); false when it is clipped away.
bool guiWindowRect(WindowHandle* window, int32_t* outX, int32_t* outY);
bool guiHitTestRect(WindowHandle* window, int32_t x, int32_t y);
bool guiHitTestNever(WindowHandle* window, int32_t x, int32_t y);
void guiClearScreenBuffers();
// Four lines without their corner pixels.
void guiDrawOutline(const Canvas& canvas, uint8_t colour, int16_t left, int16_t top, int16_t right, int16_t bottom);
void guiUpdateScreen();
void guiTickWindow(WindowHandle* window);
void guiDrawMainView();
// The screen's windows give way to the one 3D view, drawn alone with the
// flight's overlays (guiDrawMainView) until guiLeaveMainViewOnly or a
// screen change; the update leaves it by itself once the flight is over.
void guiEnterMainViewOnly(WindowHandle* view);
// Back to the screen's windows, all drawn again; nothing when not on.
void guiLeaveMainViewOnly();
WindowHandle* guiPopupText(const char* text, int32_t delay);
// Hint mode: a press on an element with a hint number shows its hint and a
// click is not passed on. The update ends it by itself once the flight is
// over, so that the front end's clicks work.
void guiSetHintMode(bool on);

// One trace line for the window: the event word, its element name, anchor
// and rectangle (nothing while tracing is off).
void TraceWindow(const char* event, WindowHandle* window);
