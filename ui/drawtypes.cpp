// The window draw types that the window statements install.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ui/drawtypes.h"

#include "system/calltrace.h"

void guiDrawBoxWindow(WindowHandle* window)
{
    RecordCall("guiDrawBoxWindow");
}

void guiDrawRectWindow(WindowHandle* window)
{
    RecordCall("guiDrawRectWindow");
}

void guiDrawRasterWindow(WindowHandle* window)
{
    RecordCall("guiDrawRasterWindow");
}

void guiDrawSwitchWindow(WindowHandle* window)
{
    RecordCall("guiDrawSwitchWindow");
}

void guiDrawStringWindow(WindowHandle* window)
{
    RecordCall("guiDrawStringWindow");
}

void guiDrawButtonWindow(WindowHandle* window)
{
    RecordCall("guiDrawButtonWindow");
}

void guiDrawTextWindow(WindowHandle* window)
{
    RecordCall("guiDrawTextWindow");
}

void guiDrawVerticalBarWindow(WindowHandle* window)
{
    RecordCall("guiDrawVerticalBarWindow");
}

void guiDrawHorizontalBarWindow(WindowHandle* window)
{
    RecordCall("guiDrawHorizontalBarWindow");
}

void guiDrawCentredVBarWindow(WindowHandle* window)
{
    RecordCall("guiDrawCentredVBarWindow");
}

void guiDrawCentredHBarWindow(WindowHandle* window)
{
    RecordCall("guiDrawCentredHBarWindow");
}

void guiDrawLevelBarWindow(WindowHandle* window)
{
    RecordCall("guiDrawLevelBarWindow");
}

void guiDrawNumberWindow(WindowHandle* window)
{
    RecordCall("guiDrawNumberWindow");
}

void guiDrawXYDeviationWindow(WindowHandle* window)
{
    RecordCall("guiDrawXYDeviationWindow");
}

void guiDrawCheckBoxWindow(WindowHandle* window)
{
    RecordCall("guiDrawCheckBoxWindow");
}

void guiDrawUpArrowWindow(WindowHandle* window)
{
    RecordCall("guiDrawUpArrowWindow");
}

void guiDrawDownArrowWindow(WindowHandle* window)
{
    RecordCall("guiDrawDownArrowWindow");
}

void guiDrawCardWindow(WindowHandle* window)
{
    RecordCall("guiDrawCardWindow");
}

void guiDrawLoggerWindow(WindowHandle* window)
{
    RecordCall("guiDrawLoggerWindow");
}

void guiDrawProfileWindow(WindowHandle* window)
{
    RecordCall("guiDrawProfileWindow");
}

void guiDrawVideoWindow(WindowHandle* window)
{
    RecordCall("guiDrawVideoWindow");
}

void guiDrawOverlayWindow(WindowHandle* window)
{
    RecordCall("guiDrawOverlayWindow");
}

void guiDraw3DWindow(WindowHandle* window)
{
    RecordCall("guiDraw3DWindow");
}

void guiDraw3DWireWindow(WindowHandle* window)
{
    RecordCall("guiDraw3DWireWindow");
}
