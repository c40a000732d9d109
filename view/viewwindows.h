// The 3D view windows: counting them on a screen and rendering one.
#pragma once

struct WindowHandle;

// Counts a 3D view window of the screen being defined.
void RegisterViewWindow(WindowHandle* window);
// Renders the scene into the window's rectangle.
void RenderViewWindow(WindowHandle* window);
