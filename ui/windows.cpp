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

// The screen rectangle from the anchors of the window and its parents; a
// window without parent measures from a 0 x 0 reference.
bool guiWindowRect(WindowHandle* window, int32_t* outX, int32_t* outY)
{
    int32_t x = 0, y = 0, referenceWidth = 0, referenceHeight = 0;
    for (const WindowHandle* w = window; w; w = w->parent) {
        if (w->parent) {
            referenceWidth = w->parent->width;
            referenceHeight = w->parent->height;
        }
        switch (w->anchor) {
        case 1:
            x += referenceWidth - w->x - w->width;
            y += w->y;
            break;
        case 2:
            x += w->x;
            y += referenceHeight - w->y - w->height;
            break;
        case 3:
            x += referenceWidth - w->x - w->width;
            y += referenceHeight - w->y - w->height;
            break;
        case 4: // attached: its own offset; as a parent it adds nothing
            if (w == window) {
                x += w->x;
                y += w->y;
            }
            break;
        case 6:
            x += w->x + referenceWidth / 2 - w->width / 2;
            y += w->y + referenceHeight / 2 - w->height / 2;
            break;
        default:
            x += w->x;
            y += w->y;
            break;
        }
    }
    window->screenRect[0] = x;
    window->screenRect[1] = y;
    window->screenRect[2] = x + window->width - 1;
    window->screenRect[3] = y + window->height - 1;
    *outX = x;
    *outY = y;
    return true;
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
