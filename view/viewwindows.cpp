// The 3D view windows. Stand-in: it counts the window and renders nothing
// until the view's window rendering is built.
#include "view/viewwindows.h"

#include "ui/screens.h"

void RegisterViewWindow(WindowHandle*)
{
    ++gScreens.viewCount;
}

void RenderViewWindow(WindowHandle*) {}
