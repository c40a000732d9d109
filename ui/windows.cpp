// The window-handle pool, its routines and the per-frame screen update.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ui/windows.h"

#include "system/calltrace.h"

uint8_t gNoRedraw = 0;

void guiResetWindowPool()
{
    RecordCall("guiResetWindowPool");
}

WindowHandle* guiCreateWindow(int16_t anchor, void* parent, void* bitmap, WindowRoutine frameHandler, WindowRoutine draw, int16_t x, int16_t y, int16_t width, int16_t height, int16_t colour)
{
    RecordCall("guiCreateWindow");
    return {};
}

WindowHandle* guiCloneWindowTree(WindowHandle** list, WindowHandle* source)
{
    RecordCall("guiCloneWindowTree");
    return {};
}

void guiCloseWindow(WindowHandle* window, int32_t delay)
{
    RecordCall("guiCloseWindow");
}

void guiTickWindow(WindowHandle* window)
{
    RecordCall("guiTickWindow");
}

bool guiHitTestNever(WindowHandle* window, int32_t x, int32_t y)
{
    RecordCall("guiHitTestNever");
    return {};
}

bool guiWindowRect(WindowHandle* window, int32_t* outX, int32_t* outY)
{
    RecordCall("guiWindowRect");
    return {};
}

void guiRedrawOverlapping(WindowHandle* window)
{
    RecordCall("guiRedrawOverlapping");
}

void guiRequestFullRedraw()
{
    RecordCall("guiRequestFullRedraw");
}

void guiClearScreenBuffers()
{
    RecordCall("guiClearScreenBuffers");
}

void guiUpdateScreen()
{
    RecordCall("guiUpdateScreen");
}

WindowHandle* guiPopupText(const char* text, int32_t delay)
{
    RecordCall("guiPopupText");
    return {};
}

WindowHandle* guiBindClick(const char* name, WindowRoutine handler)
{
    RecordCall("guiBindClick");
    return {};
}

WindowHandle* guiBindDraw(const char* name, WindowRoutine draw)
{
    RecordCall("guiBindDraw");
    return {};
}

WindowHandle* guiBindNotify(const char* name, WindowRoutine handler)
{
    RecordCall("guiBindNotify");
    return {};
}
