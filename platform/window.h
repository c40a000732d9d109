// The main window and its messages, on SDL2.
//
// One window of the game's screen size, which the player may resize, and
// which goes full screen on the desktop's own display mode (Alt+Enter
// switches between the two; the key does not reach the game). The host's events arrive here and
// leave as window messages shaped like the ones the game's window procedure
// handles: keys carry PC set-1 scan codes (an extended key reports its base
// code, as the keyboard's own messages do), characters come in code page
// 1252, mouse buttons and positions in window pixels. Nothing here decides
// what a message means to the game.
//
// Headless runs use SDL's dummy video driver: when no real display can be
// opened and no driver was asked for, the dummy driver is taken instead.
// Tests inject host events through the Inject* calls; they travel the same
// road as real ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// Starts video (and the event queue) once; false when no video driver at all
// can run.
bool VideoAvailable();
// Why the video could not be started (SDL's words), or empty.
const std::string& VideoError();
// Ends video; the next VideoAvailable starts it again.
void VideoShutdown();

bool OpenWindow(const char* title, int width, int height);
void CloseWindow();
// Covers the whole display with the window (on), or gives it back its frame
// and the width x height it had before (off). Works with or without a
// window manager: the window is moved and sized to the display itself
// before the manager is asked. False when there is no window or the host
// refuses.
bool SetWindowFullScreen(bool on);
bool WindowIsFullScreen();
bool WindowIsOpen();
// The host's window object (an SDL_Window), for the display module.
void* NativeWindow();
void SetWindowTitle(const char* cp1252Title);
// The title last given to SetWindowTitle, also when no window showed it.
const std::string& WindowTitle();
void FocusWindow();
void CaptureMouse(bool on);

enum class Cursor : uint8_t {
    Arrow,
    CrossHair,
    Hourglass
};
void SetCursor(Cursor cursor);
void ShowCursor(bool show);

enum class Message : uint8_t {
    None,
    Create,
    Destroy, // the window was closed
    Quit,    // posted by PostQuit; its exit code ends the loop
    Paint,
    ActivateApp, // `active` says which way
    SetCursor,
    KeyDown, // `scanCode`, `repeat`
    KeyUp,   // `scanCode`
    Char,    // `character`
    MouseMove,
    LeftDown,
    LeftUp,
    LeftDoubleClick,
    RightDown,
    RightUp,
    MiddleDown,
    MiddleUp,
    DropFiles, // `files`, every name of one drop
    PaletteChanged,
    QueryNewPalette,
    FilmStopped, // the film window's film stopped (sent by the film player)
};

// Button-state word of mouse messages.
constexpr uint32_t kMouseLeft = 0x01;
constexpr uint32_t kMouseRight = 0x02;
constexpr uint32_t kMouseShift = 0x04;
constexpr uint32_t kMouseControl = 0x08;
constexpr uint32_t kMouseMiddle = 0x10;

struct WindowMessage {
    Message kind = Message::None;
    uint8_t scanCode = 0;
    bool repeat = false;
    uint8_t character = 0;
    bool active = false;
    int x = 0;
    int y = 0;
    uint32_t buttons = 0;
    int exitCode = 0;
    std::vector<std::string> files;
};

// Takes the next waiting message; false when none waits. Never blocks.
bool PeekWindowMessage(WindowMessage& message);
// Queues a Quit message with the exit code.
void PostQuit(int exitCode);

// Waits until the window system delivers the release of the key (an SDL
// scancode), at most `timeoutMs`. Every press and release of that key is
// taken out of the way; every other event stays waiting, in its order.
enum class KeyWait {
    Released,
    TimedOut,
    NoWindowSystem // the dummy driver, or no video: nothing can come
};
KeyWait AwaitKeyRelease(int sdlScancode, int timeoutMs);

// The PC set-1 scan code of an SDL scancode (0 when it has none).
uint8_t Set1ScanCode(int sdlScancode);

// The SDL scancode of a key's name ("Return", "Left Shift", "Q"; any case),
// or -1 for a name no key has.
int ScancodeFromName(const char* name);

// Test hooks: host events as the window would receive them.
void InjectKey(int sdlScancode, bool down, bool repeat = false);
void InjectText(const char* utf8);
void InjectMouseButton(int sdlButton, bool down, int clicks, int x, int y);
void InjectMouseMove(int x, int y);
void InjectFocus(bool gained);
void InjectDrop(const std::vector<std::string>& files);
void InjectClose();

} // namespace platform
