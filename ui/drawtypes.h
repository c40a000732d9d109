// The window draw types that the window statements install.
#pragma once

#include <cstdint>

struct WindowHandle;

void guiDrawBoxWindow(WindowHandle* window);
void guiDrawRectWindow(WindowHandle* window);
void guiDrawRasterWindow(WindowHandle* window);
void guiDrawSwitchWindow(WindowHandle* window);
void guiDrawStringWindow(WindowHandle* window);
void guiDrawButtonWindow(WindowHandle* window);
void guiDrawTextWindow(WindowHandle* window);
void guiDrawVerticalBarWindow(WindowHandle* window);
void guiDrawHorizontalBarWindow(WindowHandle* window);
void guiDrawCentredVBarWindow(WindowHandle* window);
void guiDrawCentredHBarWindow(WindowHandle* window);
void guiDrawLevelBarWindow(WindowHandle* window);
void guiDrawNumberWindow(WindowHandle* window);
void guiDrawXYDeviationWindow(WindowHandle* window);
void guiDrawCheckBoxWindow(WindowHandle* window);
void guiDrawUpArrowWindow(WindowHandle* window);
void guiDrawDownArrowWindow(WindowHandle* window);
void guiDrawCardWindow(WindowHandle* window);
void guiDrawLoggerWindow(WindowHandle* window);
void guiDrawProfileWindow(WindowHandle* window);
void guiDrawVideoWindow(WindowHandle* window);
void guiDrawOverlayWindow(WindowHandle* window);
void guiDraw3DWindow(WindowHandle* window);
void guiDraw3DWireWindow(WindowHandle* window);
