// The main window and its messages on SDL2. See window.h.
#include "platform/window.h"

#include "platform/host.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <utility>

namespace platform {
namespace {

SDL_Window* gWindow = nullptr;
std::array<SDL_Cursor*, 3> gCursors{};
bool gVideo = false;
uint32_t gButtons = 0; // mouse buttons held, as the button-state word
bool gControl = false; // either Ctrl held, for control characters
std::deque<WindowMessage> gPending;
std::vector<std::string> gDropping;
bool gInDrop = false;
// The window's size before it went full screen, to give back.
int gWindowedWidth = 0;
int gWindowedHeight = 0;

// SDL scancodes (USB usage ids) to PC set-1 scan codes. An extended key
// (E0 prefix) reports its base code: the arrows share codes with the keypad.
// clang-format off
constexpr std::pair<SDL_Scancode, uint8_t> kScanCodes[] = {
    {SDL_SCANCODE_ESCAPE, 0x01}, {SDL_SCANCODE_1, 0x02}, {SDL_SCANCODE_2, 0x03}, {SDL_SCANCODE_3, 0x04},
    {SDL_SCANCODE_4, 0x05}, {SDL_SCANCODE_5, 0x06}, {SDL_SCANCODE_6, 0x07}, {SDL_SCANCODE_7, 0x08},
    {SDL_SCANCODE_8, 0x09}, {SDL_SCANCODE_9, 0x0A}, {SDL_SCANCODE_0, 0x0B}, {SDL_SCANCODE_MINUS, 0x0C},
    {SDL_SCANCODE_EQUALS, 0x0D}, {SDL_SCANCODE_BACKSPACE, 0x0E}, {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10}, {SDL_SCANCODE_W, 0x11}, {SDL_SCANCODE_E, 0x12}, {SDL_SCANCODE_R, 0x13},
    {SDL_SCANCODE_T, 0x14}, {SDL_SCANCODE_Y, 0x15}, {SDL_SCANCODE_U, 0x16}, {SDL_SCANCODE_I, 0x17},
    {SDL_SCANCODE_O, 0x18}, {SDL_SCANCODE_P, 0x19}, {SDL_SCANCODE_LEFTBRACKET, 0x1A},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B}, {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_LCTRL, 0x1D},
    {SDL_SCANCODE_A, 0x1E}, {SDL_SCANCODE_S, 0x1F}, {SDL_SCANCODE_D, 0x20}, {SDL_SCANCODE_F, 0x21},
    {SDL_SCANCODE_G, 0x22}, {SDL_SCANCODE_H, 0x23}, {SDL_SCANCODE_J, 0x24}, {SDL_SCANCODE_K, 0x25},
    {SDL_SCANCODE_L, 0x26}, {SDL_SCANCODE_SEMICOLON, 0x27}, {SDL_SCANCODE_APOSTROPHE, 0x28},
    {SDL_SCANCODE_GRAVE, 0x29}, {SDL_SCANCODE_LSHIFT, 0x2A}, {SDL_SCANCODE_BACKSLASH, 0x2B},
    {SDL_SCANCODE_NONUSHASH, 0x2B}, {SDL_SCANCODE_Z, 0x2C}, {SDL_SCANCODE_X, 0x2D}, {SDL_SCANCODE_C, 0x2E},
    {SDL_SCANCODE_V, 0x2F}, {SDL_SCANCODE_B, 0x30}, {SDL_SCANCODE_N, 0x31}, {SDL_SCANCODE_M, 0x32},
    {SDL_SCANCODE_COMMA, 0x33}, {SDL_SCANCODE_PERIOD, 0x34}, {SDL_SCANCODE_SLASH, 0x35},
    {SDL_SCANCODE_RSHIFT, 0x36}, {SDL_SCANCODE_KP_MULTIPLY, 0x37}, {SDL_SCANCODE_LALT, 0x38},
    {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_CAPSLOCK, 0x3A}, {SDL_SCANCODE_F1, 0x3B},
    {SDL_SCANCODE_F2, 0x3C}, {SDL_SCANCODE_F3, 0x3D}, {SDL_SCANCODE_F4, 0x3E}, {SDL_SCANCODE_F5, 0x3F},
    {SDL_SCANCODE_F6, 0x40}, {SDL_SCANCODE_F7, 0x41}, {SDL_SCANCODE_F8, 0x42}, {SDL_SCANCODE_F9, 0x43},
    {SDL_SCANCODE_F10, 0x44}, {SDL_SCANCODE_NUMLOCKCLEAR, 0x45}, {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_KP_7, 0x47}, {SDL_SCANCODE_KP_8, 0x48}, {SDL_SCANCODE_KP_9, 0x49},
    {SDL_SCANCODE_KP_MINUS, 0x4A}, {SDL_SCANCODE_KP_4, 0x4B}, {SDL_SCANCODE_KP_5, 0x4C},
    {SDL_SCANCODE_KP_6, 0x4D}, {SDL_SCANCODE_KP_PLUS, 0x4E}, {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_KP_2, 0x50}, {SDL_SCANCODE_KP_3, 0x51}, {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x53}, {SDL_SCANCODE_SYSREQ, 0x54}, {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_F11, 0x57}, {SDL_SCANCODE_F12, 0x58}, {SDL_SCANCODE_KP_EQUALS, 0x59},
    // Extended keys.
    {SDL_SCANCODE_KP_ENTER, 0x1C}, {SDL_SCANCODE_RCTRL, 0x1D}, {SDL_SCANCODE_KP_DIVIDE, 0x35},
    {SDL_SCANCODE_PRINTSCREEN, 0x37}, {SDL_SCANCODE_RALT, 0x38}, {SDL_SCANCODE_PAUSE, 0x45},
    {SDL_SCANCODE_HOME, 0x47}, {SDL_SCANCODE_UP, 0x48}, {SDL_SCANCODE_PAGEUP, 0x49},
    {SDL_SCANCODE_LEFT, 0x4B}, {SDL_SCANCODE_RIGHT, 0x4D}, {SDL_SCANCODE_END, 0x4F},
    {SDL_SCANCODE_DOWN, 0x50}, {SDL_SCANCODE_PAGEDOWN, 0x51}, {SDL_SCANCODE_INSERT, 0x52},
    {SDL_SCANCODE_DELETE, 0x53}, {SDL_SCANCODE_LGUI, 0x5B}, {SDL_SCANCODE_RGUI, 0x5C},
    {SDL_SCANCODE_APPLICATION, 0x5D},
};
// clang-format on

constexpr std::array<uint8_t, SDL_NUM_SCANCODES> BuildScanCodeTable()
{
    std::array<uint8_t, SDL_NUM_SCANCODES> table{};
    for (const auto& [sdl, set1] : kScanCodes)
        table[sdl] = set1;
    return table;
}
constexpr std::array<uint8_t, SDL_NUM_SCANCODES> kSet1 = BuildScanCodeTable();

// Keys whose character the keyboard produces without text input.
uint8_t ControlCharacter(SDL_Scancode code)
{
    switch (code) {
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER: return 0x0D;
    case SDL_SCANCODE_BACKSPACE: return 0x08;
    case SDL_SCANCODE_TAB: return 0x09;
    case SDL_SCANCODE_ESCAPE: return 0x1B;
    default: break;
    }
    if (gControl && code >= SDL_SCANCODE_A && code <= SDL_SCANCODE_Z)
        return static_cast<uint8_t>(code - SDL_SCANCODE_A + 1);
    return 0;
}

uint32_t ButtonBit(uint8_t button)
{
    switch (button) {
    case SDL_BUTTON_LEFT: return kMouseLeft;
    case SDL_BUTTON_RIGHT: return kMouseRight;
    case SDL_BUTTON_MIDDLE: return kMouseMiddle;
    default: return 0;
    }
}

WindowMessage MouseMessage(Message kind, int x, int y)
{
    WindowMessage m;
    m.kind = kind;
    m.x = x;
    m.y = y;
    m.buttons = gButtons;
    SDL_Keymod mods = SDL_GetModState();
    if (mods & KMOD_SHIFT)
        m.buttons |= kMouseShift;
    if (mods & KMOD_CTRL || gControl)
        m.buttons |= kMouseControl;
    return m;
}

// Turns one SDL event into the window messages it stands for.
void Translate(const SDL_Event& e)
{
    WindowMessage m;
    switch (e.type) {
    case SDL_QUIT:
        m.kind = Message::Destroy;
        gPending.push_back(m);
        break;
    case SDL_WINDOWEVENT:
        // clang-format off
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: m.kind = Message::Destroy; break;
        case SDL_WINDOWEVENT_EXPOSED: m.kind = Message::Paint; break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: m.kind = Message::ActivateApp; m.active = true; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: m.kind = Message::ActivateApp; m.active = false; break;
        case SDL_WINDOWEVENT_ENTER: m.kind = Message::SetCursor; break;
        default: return;
        }
        // clang-format on
        gPending.push_back(m);
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        SDL_Scancode code = e.key.keysym.scancode;
        bool down = e.type == SDL_KEYDOWN;
        if (code == SDL_SCANCODE_LCTRL || code == SDL_SCANCODE_RCTRL)
            gControl = down;
        // Alt+Enter belongs to the window: full screen or not.
        if ((code == SDL_SCANCODE_RETURN || code == SDL_SCANCODE_KP_ENTER) && (e.key.keysym.mod & KMOD_ALT)) {
            if (down && !e.key.repeat)
                SetWindowFullScreen(!WindowIsFullScreen());
            return;
        }
        if (code < 0 || code >= SDL_NUM_SCANCODES || kSet1[code] == 0)
            return;
        m.kind = down ? Message::KeyDown : Message::KeyUp;
        m.scanCode = kSet1[code];
        m.repeat = e.key.repeat != 0;
        gPending.push_back(m);
        if (down) {
            if (uint8_t c = ControlCharacter(code)) {
                WindowMessage ch;
                ch.kind = Message::Char;
                ch.character = c;
                gPending.push_back(ch);
            }
        }
        break;
    }
    case SDL_TEXTINPUT:
        for (char c : Utf8ToCp1252(e.text.text)) {
            m.kind = Message::Char;
            m.character = static_cast<uint8_t>(c);
            gPending.push_back(m);
        }
        break;
    case SDL_MOUSEMOTION:
        gPending.push_back(MouseMessage(Message::MouseMove, e.motion.x, e.motion.y));
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        bool down = e.type == SDL_MOUSEBUTTONDOWN;
        uint32_t bit = ButtonBit(e.button.button);
        if (!bit)
            return;
        gButtons = down ? (gButtons | bit) : (gButtons & ~bit);
        Message kind;
        if (e.button.button == SDL_BUTTON_LEFT)
            // Every second click of a series is a double click.
            kind = !down ? Message::LeftUp : (e.button.clicks % 2 == 0 ? Message::LeftDoubleClick : Message::LeftDown);
        else if (e.button.button == SDL_BUTTON_RIGHT)
            kind = down ? Message::RightDown : Message::RightUp;
        else
            kind = down ? Message::MiddleDown : Message::MiddleUp;
        gPending.push_back(MouseMessage(kind, e.button.x, e.button.y));
        break;
    }
    case SDL_DROPBEGIN:
        gInDrop = true;
        gDropping.clear();
        break;
    case SDL_DROPFILE:
        if (e.drop.file) {
            gDropping.emplace_back(Utf8ToCp1252(e.drop.file));
            SDL_free(e.drop.file);
        }
        if (gInDrop)
            break;
        [[fallthrough]]; // a drop without begin and complete holds one file
    case SDL_DROPCOMPLETE:
        gInDrop = false;
        if (!gDropping.empty()) {
            m.kind = Message::DropFiles;
            m.files = std::move(gDropping);
            gDropping.clear();
            gPending.push_back(std::move(m));
        }
        break;
    default:
        break;
    }
}

Uint32 WindowId()
{
    return gWindow ? SDL_GetWindowID(gWindow) : 0;
}

} // namespace

namespace {
std::string gVideoError;
} // namespace

const std::string& VideoError()
{
    return gVideoError;
}

bool VideoAvailable()
{
    if (gVideo)
        return true;
    // No display at all: run on the dummy driver unless one was asked for.
    bool chosen = std::getenv("SDL_VIDEODRIVER") != nullptr;
    if (!chosen && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        gVideoError = SDL_GetError();
        if (chosen)
            return false;
        SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            gVideoError = SDL_GetError();
            return false;
        }
    }
    gVideoError.clear();
    gVideo = true;
    return true;
}

void VideoShutdown()
{
    CloseWindow();
    if (gVideo)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    gVideo = false;
    gPending.clear();
}

bool OpenWindow(const char* title, int width, int height)
{
    if (gWindow)
        return true;
    if (!VideoAvailable())
        return false;
    gWindow = SDL_CreateWindow(Cp1252ToUtf8(title).c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                               width, height, SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
    if (!gWindow)
        return false;
    gCursors = {SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW), SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_CROSSHAIR),
                SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_WAIT)};
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE); // the window accepts dropped files
    gButtons = 0;
    gControl = false;
    gWindowedWidth = width;
    gWindowedHeight = height;
    return true;
}

bool SetWindowFullScreen(bool on)
{
    if (!gWindow)
        return false;
    if (on == WindowIsFullScreen())
        return true;
    if (!on) {
        if (SDL_SetWindowFullscreen(gWindow, 0) != 0)
            return false;
        SDL_SetWindowBordered(gWindow, SDL_TRUE);
        SDL_SetWindowSize(gWindow, gWindowedWidth, gWindowedHeight);
        SDL_SetWindowPosition(gWindow, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
        return true;
    }
    SDL_GetWindowSize(gWindow, &gWindowedWidth, &gWindowedHeight);
    // With no window manager nobody answers the request to go full screen,
    // though SDL then takes the window for the display's size: the window
    // is made that size, without a frame, where the display starts.
    SDL_Rect display;
    if (SDL_GetDisplayBounds(std::max(SDL_GetWindowDisplayIndex(gWindow), 0), &display) == 0) {
        SDL_SetWindowBordered(gWindow, SDL_FALSE);
        SDL_SetWindowPosition(gWindow, display.x, display.y);
        SDL_SetWindowSize(gWindow, display.w, display.h);
    }
    return SDL_SetWindowFullscreen(gWindow, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0;
}

bool WindowIsFullScreen()
{
    return gWindow && (SDL_GetWindowFlags(gWindow) & SDL_WINDOW_FULLSCREEN) != 0;
}

void CloseWindow()
{
    for (SDL_Cursor*& c : gCursors) {
        if (c)
            SDL_FreeCursor(c);
        c = nullptr;
    }
    if (gWindow)
        SDL_DestroyWindow(gWindow);
    gWindow = nullptr;
}

bool WindowIsOpen()
{
    return gWindow != nullptr;
}

void* NativeWindow()
{
    return gWindow;
}

namespace {
std::string gTitle;
}

void SetWindowTitle(const char* cp1252Title)
{
    gTitle = cp1252Title ? cp1252Title : "";
    if (gWindow)
        SDL_SetWindowTitle(gWindow, Cp1252ToUtf8(cp1252Title).c_str());
}

const std::string& WindowTitle()
{
    return gTitle;
}

void FocusWindow()
{
    if (gWindow)
        SDL_RaiseWindow(gWindow);
}

void CaptureMouse(bool on)
{
    if (gWindow)
        SDL_SetWindowGrab(gWindow, on ? SDL_TRUE : SDL_FALSE);
}

void SetCursor(Cursor cursor)
{
    if (SDL_Cursor* c = gCursors[static_cast<int>(cursor)])
        SDL_SetCursor(c);
}

void ShowCursor(bool show)
{
    if (gVideo)
        SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

bool PeekWindowMessage(WindowMessage& message)
{
    if (gVideo) {
        SDL_Event e;
        while (gPending.empty() && SDL_PollEvent(&e))
            Translate(e);
    }
    if (gPending.empty())
        return false;
    message = std::move(gPending.front());
    gPending.pop_front();
    return true;
}

KeyWait AwaitKeyRelease(int sdlScancode, int timeoutMs)
{
    const char* driver = gVideo ? SDL_GetCurrentVideoDriver() : nullptr;
    if (!driver || std::strcmp(driver, "dummy") == 0)
        return KeyWait::NoWindowSystem;
    struct Awaited {
        int scancode;
        bool released = false;
    } awaited{sdlScancode};
    auto takeOut = [](void* data, SDL_Event* e) -> int {
        auto* a = static_cast<Awaited*>(data);
        if ((e->type != SDL_KEYDOWN && e->type != SDL_KEYUP) || e->key.keysym.scancode != a->scancode)
            return 1;
        a->released = a->released || e->type == SDL_KEYUP;
        return 0;
    };
    const Uint64 end = SDL_GetTicks64() + static_cast<Uint64>(std::max(timeoutMs, 0));
    for (;;) {
        SDL_PumpEvents();
        SDL_FilterEvents(takeOut, &awaited);
        if (awaited.released)
            return KeyWait::Released;
        if (SDL_GetTicks64() >= end)
            return KeyWait::TimedOut;
        SDL_Delay(2);
    }
}

void PostQuit(int exitCode)
{
    WindowMessage m;
    m.kind = Message::Quit;
    m.exitCode = exitCode;
    gPending.push_back(m);
}

uint8_t Set1ScanCode(int sdlScancode)
{
    return sdlScancode >= 0 && sdlScancode < SDL_NUM_SCANCODES ? kSet1[sdlScancode] : 0;
}

int ScancodeFromName(const char* name)
{
    const SDL_Scancode code = SDL_GetScancodeFromName(name);
    return code == SDL_SCANCODE_UNKNOWN ? -1 : static_cast<int>(code);
}

void InjectKey(int sdlScancode, bool down, bool repeat)
{
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = WindowId();
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = static_cast<SDL_Scancode>(sdlScancode);
    e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
    SDL_PushEvent(&e);
}

void InjectText(const char* utf8)
{
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = WindowId();
    SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
    SDL_PushEvent(&e);
}

void InjectMouseButton(int sdlButton, bool down, int clicks, int x, int y)
{
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = WindowId();
    e.button.button = static_cast<Uint8>(sdlButton);
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = static_cast<Uint8>(clicks);
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
}

void InjectMouseMove(int x, int y)
{
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = WindowId();
    e.motion.x = x;
    e.motion.y = y;
    SDL_PushEvent(&e);
}

void InjectFocus(bool gained)
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = WindowId();
    e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&e);
}

void InjectDrop(const std::vector<std::string>& files)
{
    SDL_Event e{};
    e.drop.windowID = WindowId();
    e.type = SDL_DROPBEGIN;
    SDL_PushEvent(&e);
    for (const std::string& f : files) {
        e.type = SDL_DROPFILE;
        e.drop.file = SDL_strdup(Cp1252ToUtf8(f.c_str()).c_str());
        SDL_PushEvent(&e);
    }
    e.type = SDL_DROPCOMPLETE;
    e.drop.file = nullptr;
    SDL_PushEvent(&e);
}

void InjectClose()
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = WindowId();
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&e);
}

} // namespace platform
