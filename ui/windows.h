// The window-handle pool, its routines and the per-frame screen update.
#pragma once

#include <cstdint>

struct WindowHandle;

using WindowRoutine = void (*)(WindowHandle* window);
using WindowHitTest = bool (*)(WindowHandle* window, int32_t x, int32_t y);

struct SceneItem;
struct Resource;

// One window of the pool: the fields that the window statements, the
// star map and the window routines read and write.
struct WindowHandle {
    WindowHandle* next; // in its screen's list
    WindowHandle* parent;
    int16_t anchor; // 0-3 corners, 4 relative to a bitmap, 5 clipped to the parent, 6 centred
    int16_t x, y, width, height;
    int16_t colour;
    uint32_t flags; // 0x4 3D view, 8 hot, 0x10 pressed, 0x20 click pending, ...
    WindowRoutine frameHandler;
    WindowRoutine draw;
    WindowHitTest hitTest;
    WindowRoutine valueDraw;
    WindowRoutine click;
    WindowRoutine press;
    WindowRoutine notify;
    SceneItem* viewedItems; // of a 3D window
    void* pictures[2];      // a switch's two pictures
    Resource* resource;     // a picture, font or text record
    const char* text;
    uint8_t check;
    void* value;     // the byte or number the window shows
    float values[2]; // value and maximum, or a scroll offset
    uint32_t buttonState;
    uint32_t buttonTick;
    int16_t helpNumber; // text shown on a click; below 0 none
    int16_t cloneOffsets[2];
    uint32_t receiver;     // RECEIVER id, for windows with a frame handler
    int32_t screenRect[4]; // left, top, right, bottom, from guiWindowRect
    int32_t redrawCountdown;
};

extern uint8_t gNoRedraw; // read by the film player

void guiResetWindowPool();
WindowHandle* guiCreateWindow(int16_t anchor, void* parent, void* bitmap, WindowRoutine frameHandler, WindowRoutine draw, int16_t x, int16_t y, int16_t width, int16_t height, int16_t colour);
WindowHandle* guiCloneWindowTree(WindowHandle** list, WindowHandle* source);
void guiCloseWindow(WindowHandle* window, int32_t delay);
void guiTickWindow(WindowHandle* window);
bool guiHitTestNever(WindowHandle* window, int32_t x, int32_t y);
bool guiWindowRect(WindowHandle* window, int32_t* outX, int32_t* outY);
void guiRedrawOverlapping(WindowHandle* window);
void guiRequestFullRedraw();
void guiClearScreenBuffers();
void guiUpdateScreen();
WindowHandle* guiPopupText(const char* text, int32_t delay);
WindowHandle* guiBindClick(const char* name, WindowRoutine handler);
WindowHandle* guiBindDraw(const char* name, WindowRoutine draw);
WindowHandle* guiBindNotify(const char* name, WindowRoutine handler);
