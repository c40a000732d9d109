// Keyboard and mouse input from host events to the key queue, the
// KeyStateBlock and the mouse state, through the platform's injection hook
// and the main window's procedure.
#include "game/startup.h"
#include "platform/window.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/mainwindow.h"
#include "system/settings.h"
#include "ui/hud.h"

#include <SDL_keyboard.h>
#include <SDL_mouse.h>
#include <SDL_scancode.h>
#include <gtest/gtest.h>

namespace {

void Pump()
{
    WindowMessage m;
    while (platform::PeekWindowMessage(m))
        DispatchWindowMessage(m);
}

class Input : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gSettings = Settings{};
        gSettings.fullScreen = 255; // every message reaches the main procedure
        ASSERT_TRUE(RegisterWindowClasses());
        ASSERT_TRUE(CreateMainWindow(1));
        ConnectLowerLayers(); // a dropped file reaches start-up's handler
    }
    static void TearDownTestSuite() { platform::VideoShutdown(); }
    void SetUp() override
    {
        Pump();
        ResetInput();
    }
};

struct KeyCase {
    SDL_Scancode sdl;
    uint8_t scanCode;
    uint8_t character; // what the key types without text input
};

TEST_F(Input, KeysQueueTheirSet1CodesAndHoldTheirState)
{
    // clang-format off
    const KeyCase keys[] = {
        {SDL_SCANCODE_ESCAPE, 0x01, 0x1B}, {SDL_SCANCODE_1, 0x02, 0}, {SDL_SCANCODE_0, 0x0B, 0},
        {SDL_SCANCODE_BACKSPACE, 0x0E, 0x08}, {SDL_SCANCODE_TAB, 0x0F, 0x09}, {SDL_SCANCODE_Q, 0x10, 0},
        {SDL_SCANCODE_P, 0x19, 0}, {SDL_SCANCODE_RETURN, 0x1C, 0x0D}, {SDL_SCANCODE_LCTRL, 0x1D, 0},
        {SDL_SCANCODE_RCTRL, 0x1D, 0}, {SDL_SCANCODE_A, 0x1E, 0}, {SDL_SCANCODE_LSHIFT, 0x2A, 0},
        {SDL_SCANCODE_RSHIFT, 0x36, 0}, {SDL_SCANCODE_Z, 0x2C, 0}, {SDL_SCANCODE_SLASH, 0x35, 0},
        {SDL_SCANCODE_LALT, 0x38, 0}, {SDL_SCANCODE_SPACE, 0x39, 0}, {SDL_SCANCODE_F1, 0x3B, 0},
        {SDL_SCANCODE_F10, 0x44, 0}, {SDL_SCANCODE_F11, 0x57, 0}, {SDL_SCANCODE_F12, 0x58, 0},
        {SDL_SCANCODE_KP_7, 0x47, 0}, {SDL_SCANCODE_KP_8, 0x48, 0}, {SDL_SCANCODE_KP_9, 0x49, 0},
        {SDL_SCANCODE_KP_MINUS, 0x4A, 0}, {SDL_SCANCODE_KP_4, 0x4B, 0}, {SDL_SCANCODE_KP_5, 0x4C, 0},
        {SDL_SCANCODE_KP_6, 0x4D, 0}, {SDL_SCANCODE_KP_PLUS, 0x4E, 0}, {SDL_SCANCODE_KP_1, 0x4F, 0},
        {SDL_SCANCODE_KP_2, 0x50, 0}, {SDL_SCANCODE_KP_3, 0x51, 0}, {SDL_SCANCODE_KP_0, 0x52, 0},
        {SDL_SCANCODE_KP_PERIOD, 0x53, 0}, {SDL_SCANCODE_KP_MULTIPLY, 0x37, 0},
        {SDL_SCANCODE_KP_DIVIDE, 0x35, 0}, {SDL_SCANCODE_KP_ENTER, 0x1C, 0x0D},
        {SDL_SCANCODE_NUMLOCKCLEAR, 0x45, 0}, {SDL_SCANCODE_UP, 0x48, 0}, {SDL_SCANCODE_DOWN, 0x50, 0},
        {SDL_SCANCODE_LEFT, 0x4B, 0}, {SDL_SCANCODE_RIGHT, 0x4D, 0}, {SDL_SCANCODE_HOME, 0x47, 0},
        {SDL_SCANCODE_END, 0x4F, 0}, {SDL_SCANCODE_PAGEUP, 0x49, 0}, {SDL_SCANCODE_PAGEDOWN, 0x51, 0},
        {SDL_SCANCODE_INSERT, 0x52, 0}, {SDL_SCANCODE_DELETE, 0x53, 0},
    };
    // clang-format on
    for (const KeyCase& k : keys) {
        SCOPED_TRACE(SDL_GetScancodeName(k.sdl));
        platform::InjectKey(k.sdl, true);
        Pump();
        EXPECT_EQ(GetKeyStateBlock()[k.scanCode], 255);
        ASSERT_EQ(KeyQueueCount(), 1);
        EXPECT_EQ(KeyQueuePop(), (k.scanCode << 8) | k.character);
        platform::InjectKey(k.sdl, false);
        Pump();
        EXPECT_EQ(GetKeyStateBlock()[k.scanCode], 0);
        EXPECT_EQ(KeyQueueCount(), 0);
    }
}

TEST_F(Input, TypedCharactersJoinTheirKeyCode)
{
    platform::InjectKey(SDL_SCANCODE_A, true);
    platform::InjectText("A");
    platform::InjectKey(SDL_SCANCODE_A, false);
    platform::InjectKey(SDL_SCANCODE_E, true);
    platform::InjectText("\xC3\xA9"); // e acute: 0xE9 in code page 1252
    Pump();
    EXPECT_EQ(KeyQueuePop(), 0x1E41);
    EXPECT_EQ(KeyQueuePop(), 0x12E9);
}

TEST_F(Input, OnlyTheUpAndDownArrowsRepeat)
{
    platform::InjectKey(SDL_SCANCODE_A, true);
    platform::InjectKey(SDL_SCANCODE_A, true, true);
    platform::InjectKey(SDL_SCANCODE_A, true, true);
    platform::InjectKey(SDL_SCANCODE_DOWN, true);
    platform::InjectKey(SDL_SCANCODE_DOWN, true, true);
    platform::InjectKey(SDL_SCANCODE_UP, true, true);
    platform::InjectKey(SDL_SCANCODE_LEFT, true, true);
    Pump();
    EXPECT_EQ(KeyQueuePop(), 0x1E00);
    EXPECT_EQ(KeyQueuePop(), 0x5000);
    EXPECT_EQ(KeyQueuePop(), 0x5000);
    EXPECT_EQ(KeyQueuePop(), 0x4800);
    EXPECT_EQ(KeyQueuePop(), 0);
    EXPECT_EQ(GetKeyStateBlock()[0x4B], 255);
}

struct ButtonCase {
    int sdlButton;
    int clicks;
    uint16_t code; // queued on press
    int state;     // KeyStateBlock entry
};

TEST_F(Input, MouseButtonsQueueTheirCodesAndHoldTheirState)
{
    const ButtonCase buttons[] = {
        {SDL_BUTTON_LEFT, 1, kKeyMouseLeft, kStateMouseLeft},
        {SDL_BUTTON_MIDDLE, 1, kKeyMouseMiddle, kStateMouseMiddle},
        {SDL_BUTTON_RIGHT, 1, kKeyMouseRight, kStateMouseRight},
        {SDL_BUTTON_LEFT, 2, kKeyMouseLeftDouble, kStateMouseLeftDouble},
    };
    for (const ButtonCase& b : buttons) {
        SCOPED_TRACE(b.code);
        platform::InjectMouseButton(b.sdlButton, true, b.clicks, 100, 200);
        Pump();
        EXPECT_EQ(KeyQueuePop(), b.code);
        EXPECT_EQ(GetKeyStateBlock()[b.state], 255);
        EXPECT_EQ(gMouse.x, 100);
        EXPECT_EQ(gMouse.y, 200);
        platform::InjectMouseButton(b.sdlButton, false, b.clicks, 101, 201);
        Pump();
        EXPECT_EQ(KeyQueueCount(), 0);
        // The double click's entry stays set: no message clears it.
        EXPECT_EQ(GetKeyStateBlock()[b.state], b.state == kStateMouseLeftDouble ? 255 : 0);
    }
    EXPECT_EQ(gMouse.leftPresses, 1u);
    EXPECT_EQ(gMouse.leftReleases, 2u);
    EXPECT_EQ(gMouse.rightPresses, 1u);
    EXPECT_EQ(gMouse.rightReleases, 1u);
    EXPECT_EQ(gMouse.rightHeld, 0);
    EXPECT_EQ(gMouse.rightPressX, 100);
    EXPECT_EQ(gMouse.events, 8u);
}

TEST_F(Input, MouseStateWordFollowsTheButtons)
{
    platform::InjectMouseButton(SDL_BUTTON_RIGHT, true, 1, 5, 6);
    platform::InjectMouseMove(7, 8);
    Pump();
    EXPECT_EQ(gMouse.buttons & platform::kMouseRight, platform::kMouseRight);
    EXPECT_EQ(gMouse.x, 7);
    EXPECT_EQ(gMouse.rightHeld, 1);
    platform::InjectMouseButton(SDL_BUTTON_RIGHT, false, 1, 7, 8);
    Pump();
    EXPECT_EQ(gMouse.buttons & platform::kMouseRight, 0u);
}

TEST_F(Input, ActivationAndClosingReachTheLoop)
{
    platform::InjectFocus(false);
    Pump();
    EXPECT_EQ(gLoopFlags.applicationActive, 0);
    platform::InjectFocus(true);
    Pump();
    EXPECT_EQ(gLoopFlags.applicationActive, 1);

    platform::InjectClose();
    WindowMessage m;
    bool quit = false;
    while (!quit && platform::PeekWindowMessage(m)) {
        if (m.kind == platform::Message::Quit)
            quit = true;
        else
            DispatchWindowMessage(m);
    }
    EXPECT_TRUE(quit);
    EXPECT_EQ(m.exitCode, 0);
}

TEST_F(Input, OnlyASingleDroppedFileIsTaken)
{
    ClearHudList();
    // A dropped script starts flight, which builds the cockpit HUD.
    platform::InjectDrop({"a.scr", "b.scr"});
    Pump();
    EXPECT_EQ(gHud.count, 0);
    platform::InjectDrop({"mission01.scr"});
    Pump();
    EXPECT_GT(gHud.count, 0);
}

TEST_F(Input, CreatingTheWindowStartedTheFrameClock)
{
    EXPECT_DOUBLE_EQ(gFrameClock.tickDivisor, 10000.0); // a microsecond counter
    EXPECT_DOUBLE_EQ(gFrameClock.millisecondDivisor, 1000.0);
    EXPECT_DOUBLE_EQ(gFrameClock.preciseDivisor, 10.0);
    EXPECT_EQ(gFrameClock.previousTickCount, gFrameClock.tickCount);
    EXPECT_EQ(gWindowCreated, 255);
}

TEST_F(Input, EarlyProcedureTakesOnlyKeysUntilTheWindowIsMarkedCreated)
{
    gSettings.fullScreen = 0;
    gWindowCreated = 0;
    platform::InjectKey(SDL_SCANCODE_A, true);
    platform::InjectText("a");
    platform::InjectMouseButton(SDL_BUTTON_LEFT, true, 1, 3, 4);
    Pump();
    EXPECT_EQ(KeyQueuePop(), 0x1E00); // no character joined it
    EXPECT_EQ(KeyQueueCount(), 0);    // nor a mouse code
    EXPECT_EQ(GetKeyStateBlock()[0x1E], 255);
    EXPECT_EQ(gMouse.events, 0u);
    gWindowCreated = 255;
    gSettings.fullScreen = 255;
}

TEST(KeyQueue, HoldsAtMost299Codes)
{
    ResetInput();
    for (int i = 1; i <= 305; ++i)
        KeyQueuePush(static_cast<uint16_t>(i));
    EXPECT_EQ(KeyQueueCount(), 299);
    for (int i = 1; i <= 299; ++i)
        ASSERT_EQ(KeyQueuePop(), i);
    EXPECT_EQ(KeyQueuePop(), 0);
    // The ring goes on after wrapping.
    KeyQueuePush(0x1E00);
    KeyQueueAddCharacter('a');
    EXPECT_EQ(KeyQueueCount(), 1);
    EXPECT_EQ(KeyQueuePop(), 0x1E61);
}

TEST(KeyQueue, PreviousFrameCopyKeepsTheBlock)
{
    ResetInput();
    GetKeyStateBlock()[0x39] = 255;
    CopyKeyStateBlock();
    GetKeyStateBlock()[0x39] = 0;
    EXPECT_EQ(GetPreviousKeyStateBlock()[0x39], 255);
}

} // namespace
