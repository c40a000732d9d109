// The window-handle pool, its routines and the per-frame screen update.
#pragma once

#include <cstdint>

struct WindowHandle;

using WindowRoutine = void (*)(WindowHandle* window);
using WindowHitTest = bool (*)(WindowHandle* window, int32_t x, int32_t y);

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
