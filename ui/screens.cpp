// The table of named screens, the switch between them and the binding of
// routines to script-made windows.
#include "ui/screens.h"

#include "screens/bridge.h"
#include "screens/frontend.h"
#include "screens/viewerpanel.h"
#include "screens/wepstation.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/trace.h"
#include "ui/windows.h"
#include "view/viewstart.h"
#include "world/messages.h"
#include "world/starmap.h"

#include <cstring>

KeyHandler gKeyHandler = nullptr;
ScreenRegistry gScreens = {.table = {},
                           .defaultScreen = {},
                           .current = &gScreens.defaultScreen,
                           .viewCountPublished = 0,
                           .changes = 0,
                           .forgotten = 0};

namespace {

// The options page saves the options when it is left.
constexpr const char* kOptionScreen = "OptionScreen";
constexpr const char* kOptionsFile = "Kelvandrist.ini";

bool SameName(const char* a, const char* b)
{
    return a && b && std::strcmp(a, b) == 0;
}

// The window that the named symbol holds, made the current window.
WindowHandle* FindElement(const char* elementName)
{
    const ScriptSymbol* symbol = FindScriptSymbol(elementName ? elementName : "");
    WindowHandle* window = nullptr;
    if (symbol && symbol->value && !SymbolHoldsValueBytes(symbol) && !(symbol->type & kSymbolSceneItem))
        window = static_cast<WindowHandle*>(symbol->value);
    gWindows.lastCreated = window;
    return window;
}

template <WindowRoutine WindowHandle::*Slot>
WindowHandle* Bind(const char* elementName, WindowRoutine routine)
{
    WindowHandle* window = FindElement(elementName);
    if (window)
        window->*Slot = routine;
    return window;
}

} // namespace

void guiResetScreens()
{
    for (Screen& s : gScreens.table)
        s.setup = nullptr;
    SetViewWindowCount(0);
    gScreens.forgotten = 0;
    gKeyHandler = guiBridgeKeyHandler;
}

void guiRegisterScreen(const char* name, ScreenSetup setup, KeyHandler keyHandler)
{
    for (Screen& s : gScreens.table) {
        if (!s.setup) {
            s = Screen{name, setup, keyHandler, 0, nullptr, nullptr};
            return;
        }
    }
    FatalError("Max Screen Limit Exceeded!");
}

Screen* guiFindScreen(const char* name)
{
    for (Screen& s : gScreens.table)
        if (s.setup && SameName(s.name, name))
            return &s;
    return nullptr;
}

void guiBeginScreenDefinition(const char* name)
{
    SetViewWindowCount(0);
    Screen* screen = guiFindScreen(name);
    if (!screen)
        return;
    gScreens.current = screen;
    screen->windows = nullptr;
    screen->mainWindow = nullptr;
    gWindows.mainWindow = nullptr;
}

void guiRunScreenSetup(const char* name)
{
    Screen* screen = guiFindScreen(name);
    if (!screen)
        return;
    screen->setup();
    screen->viewCount = int16_t(ViewWindowCount());
}

void guiCleanUpScreen()
{
    if (gPresentation.running)
        ResetPresentationState();
    CloseStarMap();
    StopViewerFlyBy();
}

namespace {

// A comms arm pending over a screen change: its clips are closed; unless it
// was going in, the new screen is drawn once beneath it and it comes out.
void BringPendingCommsArmOut()
{
    CommsArmState& arm = gCommsArm;
    if (!arm.pending)
        return;
    arm.pending = 0;
    CloseClip(&arm.armIn);
    if (arm.armOut) {
        CloseClip(&arm.armOut);
        return;
    }
    guiRequestFullRedraw();
    guiUpdateScreen();
    guiToggleCommsArm();
}

} // namespace

void guiForgetCurrentScreen()
{
    gScreens.forgotten = 1;
}

void guiGotoScreen(const char* name)
{
    if (!name)
        return;
    const uint8_t wasMainViewOnly = gWindows.mainViewOnly;
    guiLeaveMainViewOnly();
    if (SameName(gScreens.current->name, kOptionScreen))
        SaveOptions(kOptionsFile);
    // Every screen is entered with the weapons aiming by themselves.
    if (!gWeaponStation.autoWeapons)
        guiToggleAutoWeapons(nullptr);
    if (gRemoteLinkItem)
        EndRemoteLink(0);
    guiCleanUpScreen();

    Screen* screen = guiFindScreen(name);
    if (!screen)
        return;
    if (screen == gScreens.current && !wasMainViewOnly && !gScreens.forgotten)
        return;
    gScreens.forgotten = 0;
    gScreens.current = screen;
    ++gScreens.changes;
    gWindows.mainWindow = screen->mainWindow;
    gWindows.hot = nullptr;
    gKeyHandler = screen->keyHandler;
    SetViewWindowCount(screen->viewCount);
    char quoted[80];
    if (TraceOn())
        TraceLine("screen", "%s", TraceQuoted(screen->name, quoted, sizeof quoted));
    BringPendingCommsArmOut();
    guiRequestFullRedraw();
}

WindowHandle* guiBindPress(const char* elementName, WindowRoutine routine)
{
    return Bind<&WindowHandle::pressHandler>(elementName, routine);
}

WindowHandle* guiBindClick(const char* elementName, WindowRoutine routine)
{
    return Bind<&WindowHandle::clickHandler>(elementName, routine);
}

WindowHandle* guiBindFrameHandler(const char* elementName, WindowRoutine routine)
{
    WindowHandle* window = Bind<&WindowHandle::frameHandler>(elementName, routine);
    // A window that now ticks can be closed: it needs a receiver.
    if (window && routine && !window->receiver)
        window->receiver = AllocKeptReceiver();
    return window;
}

WindowHandle* guiBindDraw(const char* elementName, WindowRoutine routine)
{
    return Bind<&WindowHandle::draw>(elementName, routine);
}

WindowHandle* guiBindNotify(const char* elementName, WindowRoutine routine)
{
    return Bind<&WindowHandle::notifyHandler>(elementName, routine);
}

WindowHandle* guiBindDrop(const char* elementName, void (*routine)(WindowHandle* window, WindowHandle* dropped))
{
    WindowHandle* window = FindElement(elementName);
    if (window)
        window->dropHandler = routine;
    return window;
}

WindowHandle* guiBindText(const char* elementName, const char* text)
{
    WindowHandle* window = FindElement(elementName);
    if (window)
        window->text = text;
    return window;
}
