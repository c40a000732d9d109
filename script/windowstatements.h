// The window and screen statements of gui scripts (WIN_*, SCREEN_*), and
// the state they leave for the screens' set-up routines.
#pragma once

struct Resource;
struct WindowHandle;

// The font that text windows take when they are made (WIN_FONT sets it).
extern Resource* gWindowFont;
// The last window of the last ship-system panel row (WIN_SYSTEM).
extern WindowHandle* gCurrentSystemElement;
// The byte that every ship-system element is bound to: 0 hides them all.
extern char gSystemElementsOn;
