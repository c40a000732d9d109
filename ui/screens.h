// The table of named screens, the switch between them and the binding of
// routines to the windows that the screens' scripts made.
//
// A screen is a name, a set-up routine, a key handler and its own window
// list (ui/windows.h). A gui script defines a screen's windows between
// guiBeginScreenDefinition and guiRunScreenSetup; the game then switches by
// name with guiGotoScreen. Names compare case-sensitively. Screens keep
// their windows across switches; guiResetWindowPool resets the table with
// the pool.
#pragma once

#include <cstdint>

struct WindowHandle;

// The global key handler: takes one key code (scan code in bits 8 to 15,
// character in bits 0 to 7). The current screen sets it; the frame hands it
// every queued key.
using KeyHandler = void (*)(uint16_t keyCode);
extern KeyHandler gKeyHandler;

using ScreenSetup = void (*)();
using WindowRoutine = void (*)(WindowHandle* window);

constexpr int kMaxScreens = 25;

struct Screen {
    const char* name;
    ScreenSetup setup; // null: a free entry
    KeyHandler keyHandler;
    int16_t viewCount; // 3D view windows its definition made
    WindowHandle* mainWindow;
    WindowHandle* windows;
};

// The registry's state, one record.
struct ScreenRegistry {
    Screen table[kMaxScreens];
    Screen defaultScreen;       // current after a pool reset
    Screen* current;            // never null once the pool was reset
    int16_t viewCountPublished; // what the renderer was last told
    uint32_t changes;           // counts switches, so a frame's window pass can stop at one
    uint8_t forgotten;          // the next switch enters its screen even when current
};
extern ScreenRegistry gScreens;

// Frees every entry and makes the bridge's key handler current.
void guiResetScreens();
// The first free entry takes the triple; a 26th is the fatal "Max Screen
// Limit Exceeded!" and nothing is stored. An entry without a set-up routine
// counts as free, so every screen needs one.
void guiRegisterScreen(const char* name, ScreenSetup setup, KeyHandler keyHandler);
Screen* guiFindScreen(const char* name);
// The named screen becomes current with an empty list; the 3D view count
// starts again in any case.
void guiBeginScreenDefinition(const char* name);
void guiRunScreenSetup(const char* name);
// Resets the input and view state, cleans up, and makes the named screen
// current; an unknown name keeps the current screen, and the current one is
// not entered again (guiForgetCurrentScreen makes it so).
void guiGotoScreen(const char* name);
void guiCleanUpScreen();
// The next guiGotoScreen enters its screen even when it is current.
void guiForgetCurrentScreen();

// Each finds the window that the named script symbol holds, makes it the
// current window and, when found, stores the routine in one slot; the
// window, or null (nothing bound).
WindowHandle* guiBindPress(const char* elementName, WindowRoutine routine);
WindowHandle* guiBindClick(const char* elementName, WindowRoutine routine);
WindowHandle* guiBindFrameHandler(const char* elementName, WindowRoutine routine);
WindowHandle* guiBindDraw(const char* elementName, WindowRoutine routine);
WindowHandle* guiBindNotify(const char* elementName, WindowRoutine routine);
WindowHandle* guiBindDrop(const char* elementName, void (*routine)(WindowHandle* window, WindowHandle* dropped));
// The text an element shows (a button's caption), in place of its name.
WindowHandle* guiBindText(const char* elementName, const char* text);
