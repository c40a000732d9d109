// The main window and its procedures. See mainwindow.h.
#include "system/mainwindow.h"

#include "platform/host.h"
#include "system/display.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/settings.h"

#include <string>

uint8_t gWindowCreated = 0;
DroppedFileHandler gDroppedFileHandler = nullptr;

namespace {

constexpr uint8_t kDown = 255;
constexpr std::size_t kDroppedNameLength = 80;

struct WindowClass {
    const char* name;
    WindowProcedure procedure;
};
WindowClass gClasses[2];
bool gClassesRegistered = false;

// Scan codes of the arrow keys whose auto-repeat is queued.
constexpr uint8_t kScanUp = 0x48;
constexpr uint8_t kScanDown = 0x50;

void KeyDown(const WindowMessage& m)
{
    GetKeyStateBlock()[m.scanCode] = kDown;
    if (!m.repeat || m.scanCode == kScanUp || m.scanCode == kScanDown)
        KeyQueuePush(static_cast<uint16_t>(m.scanCode << 8));
}

void KeyUp(const WindowMessage& m)
{
    GetKeyStateBlock()[m.scanCode] = 0;
}

void Activate(const WindowMessage& m)
{
    gLoopFlags.applicationActive = m.active ? 1 : 0;
    if (m.active && gSettings.fullScreen)
        DisplayRestoreSurfaces();
}

void Mouse(const WindowMessage& m)
{
    KeyStateBlock& keys = GetKeyStateBlock();
    ++gMouse.events;
    gMouse.x = gMouse.lastX = m.x;
    gMouse.y = gMouse.lastY = m.y;
    gMouse.buttons = m.buttons;
    switch (m.kind) {
    case platform::Message::LeftDown:
        ++gMouse.leftPresses;
        keys[kStateMouseLeft] = kDown;
        KeyQueuePush(kKeyMouseLeft);
        break;
    case platform::Message::LeftUp:
        ++gMouse.leftReleases;
        keys[kStateMouseLeft] = 0;
        break;
    case platform::Message::LeftDoubleClick:
        keys[kStateMouseLeftDouble] = kDown;
        KeyQueuePush(kKeyMouseLeftDouble);
        break;
    case platform::Message::RightDown:
        ++gMouse.rightPresses;
        ++gMouse.rightHeld;
        gMouse.rightPressX = m.x;
        gMouse.rightPressY = m.y;
        keys[kStateMouseRight] = kDown;
        KeyQueuePush(kKeyMouseRight);
        break;
    case platform::Message::RightUp:
        ++gMouse.rightReleases;
        --gMouse.rightHeld;
        keys[kStateMouseRight] = 0;
        break;
    case platform::Message::MiddleDown:
        keys[kStateMouseMiddle] = kDown;
        KeyQueuePush(kKeyMouseMiddle);
        break;
    case platform::Message::MiddleUp:
        keys[kStateMouseMiddle] = 0;
        break;
    default:
        break;
    }
}

intptr_t PaletteMessage()
{
    if (gLoopFlags.mciFilmPlaying)
        return 0;
    if (gFrameworkPalette) {
        DisplayInitPalette(DisplayLastPalette());
        return 0;
    }
    // The window back end realises its palette itself when it shows a frame.
    return 0;
}

} // namespace

bool RegisterWindowClasses()
{
    gClasses[0] = {"MainWindow", EarlyWindowProc};
    gClasses[1] = {"GameWindow", MainWindowProc};
    gClassesRegistered = true;
    return true;
}

bool CreateMainWindow(int showCommand)
{
    if (!gClassesRegistered || !platform::OpenWindow("Vorn", gScreenMode.width, gScreenMode.height))
        return false;
    SelectCursor(CursorShape::CrossHair);
    ShowMainCursor(true);
    InitFrameClock();
    gMouse = MouseState{};
    WindowMessage create;
    create.kind = platform::Message::Create;
    DispatchWindowMessage(create);
    platform::FocusWindow();
    if (gSettings.fullScreen)
        platform::CaptureMouse(true);
    gLoopFlags.applicationActive = 1;
    return true;
}

intptr_t EarlyWindowProc(const WindowMessage& m)
{
    if (gSettings.fullScreen || gWindowCreated)
        return MainWindowProc(m);
    switch (m.kind) {
    case platform::Message::Create: return 0;
    case platform::Message::Destroy: platform::PostQuit(0); return 0;
    case platform::Message::ActivateApp: Activate(m); return 0;
    case platform::Message::KeyDown: KeyDown(m); return 0;
    case platform::Message::KeyUp: KeyUp(m); return 0;
    default: return 0;
    }
}

intptr_t MainWindowProc(const WindowMessage& m)
{
    switch (m.kind) {
    case platform::Message::Create:
        gWindowCreated = 255;
        return 0;
    case platform::Message::Destroy:
        platform::PostQuit(0);
        return 0;
    case platform::Message::Paint:
        // While a full-screen film plays the canvas area is black between
        // its frames.
        if (gLoopFlags.filmMode && FullScreenFilmOpen()) {
            const Canvas screen = ScreenCanvas();
            if (screen.pixels)
                CanvasClear(screen, 0);
        }
        return 0;
    case platform::Message::ActivateApp:
        Activate(m);
        return 0;
    case platform::Message::SetCursor:
        SelectCursor(CursorShape::CrossHair);
        return 1;
    case platform::Message::KeyDown:
        KeyDown(m);
        return 0;
    case platform::Message::KeyUp:
        KeyUp(m);
        return 0;
    case platform::Message::Char:
        KeyQueueAddCharacter(m.character);
        return 0;
    case platform::Message::MouseMove:
    case platform::Message::LeftDown:
    case platform::Message::LeftUp:
    case platform::Message::LeftDoubleClick:
    case platform::Message::RightDown:
    case platform::Message::RightUp:
    case platform::Message::MiddleDown:
    case platform::Message::MiddleUp:
        Mouse(m);
        return 0;
    case platform::Message::DropFiles:
        if (m.files.size() == 1 && gDroppedFileHandler)
            gDroppedFileHandler(m.files[0].substr(0, kDroppedNameLength).c_str());
        return 0;
    case platform::Message::PaletteChanged:
    case platform::Message::QueryNewPalette:
        return PaletteMessage();
    case platform::Message::FilmStopped:
        FilmWindowStopped();
        return 0;
    default:
        return 0;
    }
}

intptr_t DispatchWindowMessage(const WindowMessage& message)
{
    WindowProcedure procedure = gClassesRegistered ? gClasses[0].procedure : MainWindowProc;
    return procedure(message);
}

void SelectCursor(CursorShape shape)
{
    constexpr platform::Cursor kShapes[] = {platform::Cursor::CrossHair, platform::Cursor::Hourglass,
                                            platform::Cursor::Arrow};
    platform::SetCursor(kShapes[static_cast<int>(shape)]);
}

void ShowMainCursor(bool show)
{
    platform::ShowCursor(show);
}
