// The screen registry: registration up to its limit, lookup by exact name,
// screen definitions that collect their own windows, switching (and not
// switching) screens, and binding routines to windows by symbol name.
#include "ui/screens.h"

#include "../script/script_test_support.h"
#include "screens/bridge.h"
#include "screens/wepstation.h"
#include "script/symbols.h"
#include "system/errors.h"
#include "ui/windows.h"
#include "world/messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> gFatal;
std::vector<std::string> gCalls;

void SetupA() { gCalls.push_back("setup A"); }
void SetupB() { gCalls.push_back("setup B"); }
void KeysA(uint16_t) {}
void KeysB(uint16_t) {}

class Screens : public ::testing::Test {
protected:
    void SetUp() override
    {
        gFatal.clear();
        gCalls.clear();
        SetFatalStopHook([](const char* text) { gFatal.emplace_back(text); });
        InitMessageBuffer();
        guiResetWindowPool();
    }
    void TearDown() override
    {
        guiResetWindowPool();
        SetFatalStopHook(nullptr);
    }
};

TEST_F(Screens, TwentyFiveRegisterAndTheTwentySixthIsFatal)
{
    std::vector<std::string> names;
    for (int i = 0; i < kMaxScreens + 1; ++i)
        names.push_back("S" + std::to_string(i));
    for (const std::string& name : names)
        guiRegisterScreen(name.c_str(), SetupA, KeysA);
    EXPECT_EQ(gFatal, (std::vector<std::string>{"Max Screen Limit Exceeded!"}));
    for (int i = 0; i < kMaxScreens; ++i) {
        Screen* s = guiFindScreen(names[static_cast<size_t>(i)].c_str());
        ASSERT_NE(s, nullptr) << i;
        EXPECT_EQ(s, &gScreens.table[i]);
    }
    EXPECT_EQ(guiFindScreen(names.back().c_str()), nullptr);
    // The reset frees every entry.
    guiResetScreens();
    EXPECT_EQ(guiFindScreen("S0"), nullptr);
    EXPECT_EQ(gKeyHandler, guiBridgeKeyHandler);
}

TEST_F(Screens, NamesAreCaseSensitive)
{
    guiRegisterScreen("NAV", SetupA, KeysA);
    guiRegisterScreen("nav", SetupB, KeysB);
    EXPECT_EQ(guiFindScreen("NAV")->setup, SetupA);
    EXPECT_EQ(guiFindScreen("nav")->setup, SetupB);
    EXPECT_EQ(guiFindScreen("Nav"), nullptr);
    EXPECT_EQ(guiFindScreen(nullptr), nullptr);
}

TEST_F(Screens, ADefinitionCollectsItsOwnWindowsAndItsSetUpRuns)
{
    guiRegisterScreen("A", SetupA, KeysA);
    guiRegisterScreen("B", SetupB, KeysB);
    guiBeginScreenDefinition("A");
    WindowHandle* a1 = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 0, 0, 640, 275, 0);
    WindowHandle* a2 = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 0, 0, 10, 10, 0);
    guiRunScreenSetup("A");
    guiBeginScreenDefinition("B");
    WindowHandle* b1 = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 0, 0, 320, 200, 0);
    guiRunScreenSetup("B");
    guiRunScreenSetup("unknown");
    EXPECT_EQ(gCalls, (std::vector<std::string>{"setup A", "setup B"}));
    const Screen* a = guiFindScreen("A");
    EXPECT_EQ(a->mainWindow, a1);
    EXPECT_EQ(a->windows, a1);
    EXPECT_EQ(a1->next, a2);
    EXPECT_EQ(a2->next, nullptr);
    EXPECT_EQ(guiFindScreen("B")->mainWindow, b1);

    // Going to A makes its main window, key handler and list current.
    guiGotoScreen("A");
    EXPECT_EQ(gScreens.current, a);
    EXPECT_EQ(gWindows.mainWindow, a1);
    EXPECT_EQ(gKeyHandler, KeysA);
    guiGotoScreen("B");
    EXPECT_EQ(gWindows.mainWindow, b1);
    EXPECT_EQ(gKeyHandler, KeysB);
}

TEST_F(Screens, TheCurrentScreenAgainOrAnUnknownNameOnlyResets)
{
    guiRegisterScreen("A", SetupA, KeysA);
    guiRegisterScreen("B", SetupB, KeysB);
    guiGotoScreen("A");
    const uint32_t changes = gScreens.changes;
    gWindows.fullRedrawRequest = 0;
    gWindows.mainViewOnly = 1;
    gKeyHandler = KeysB;

    guiGotoScreen("unknown");
    EXPECT_EQ(gScreens.current, guiFindScreen("A"));
    EXPECT_EQ(gWindows.mainViewOnly, 0) << "the resets happen";
    EXPECT_EQ(gWindows.fullRedrawRequest, 1) << "the windows come back from behind the view";
    EXPECT_EQ(gScreens.changes, changes);
    gWindows.fullRedrawRequest = 0;

    guiGotoScreen("A");
    EXPECT_EQ(gScreens.changes, changes);
    EXPECT_EQ(gKeyHandler, KeysB) << "not entered again";
    EXPECT_EQ(gWindows.fullRedrawRequest, 0);

    // Main-view-only mode, or a forgotten screen, enters it again.
    gWindows.mainViewOnly = 1;
    guiGotoScreen("A");
    EXPECT_EQ(gScreens.changes, changes + 1);
    EXPECT_EQ(gKeyHandler, KeysA);
    EXPECT_EQ(gWindows.fullRedrawRequest, 1);
    guiForgetCurrentScreen();
    guiGotoScreen("A");
    EXPECT_EQ(gScreens.changes, changes + 2);
    guiGotoScreen("A");
    EXPECT_EQ(gScreens.changes, changes + 2) << "forgetting lasts one switch";
    guiGotoScreen(nullptr);
    EXPECT_EQ(gScreens.changes, changes + 2);
}

// Every screen change, even to an unknown name, puts the weapons station
// back on automatic aiming; with it on already nothing toggles.
TEST_F(Screens, AScreenChangeTurnsAutomaticAimingBackOn)
{
    guiRegisterScreen("A", SetupA, KeysA);
    gWeaponStation.autoWeapons = 0;
    guiGotoScreen("A");
    EXPECT_EQ(gWeaponStation.autoWeapons, 255);
    guiGotoScreen("unknown");
    EXPECT_EQ(gWeaponStation.autoWeapons, 255) << "not toggled off again";
    gWeaponStation.autoWeapons = 0;
    guiGotoScreen("unknown");
    EXPECT_EQ(gWeaponStation.autoWeapons, 255);
    gWeaponStation.autoWeapons = 0;
}

// A comms arm pending over a screen change comes out on the new screen:
// the new screen is drawn once beneath it (its windows tick) and the arm
// takes the screen under it. Nothing pending: no arm.
TEST_F(Screens, APendingCommsArmComesOutOverTheNewScreen)
{
    guiRegisterScreen("A", SetupA, KeysA);
    guiRegisterScreen("B", SetupB, KeysB);
    guiBeginScreenDefinition("B");
    guiCreateWindow(
        kAnchorTopLeft, nullptr, nullptr, [](WindowHandle*) { gCalls.push_back("B drawn"); }, nullptr, 0, 0,
        10, 10, 0);
    gCommsArm.panel.clear();
    guiGotoScreen("A");
    EXPECT_TRUE(gCommsArm.panel.empty());
    gCommsArm.pending = 255;
    guiGotoScreen("B");
    EXPECT_EQ(gCommsArm.pending, 0);
    EXPECT_EQ(gCalls, (std::vector<std::string>{"B drawn"})) << "one update beneath the arm";
    EXPECT_EQ(gCommsArm.panel.size(), std::size_t(kCommsPanelWidth) * kCommsPanelHeight) << "the arm toggled out";
    gCommsArm.panel.clear();
}

TEST_F(Screens, ASwitchDuringTheWindowPassEndsIt)
{
    guiRegisterScreen("A", SetupA, KeysA);
    guiRegisterScreen("B", SetupB, KeysB);
    guiBeginScreenDefinition("A");
    guiCreateWindow(
        kAnchorTopLeft, nullptr, nullptr, [](WindowHandle*) { guiGotoScreen("B"); }, nullptr, 0, 0, 10,
        10, 0);
    guiCreateWindow(
        kAnchorTopLeft, nullptr, nullptr, [](WindowHandle*) { gCalls.push_back("after"); }, nullptr, 0,
        0, 10, 10, 0);
    guiGotoScreen("A");
    guiUpdateScreen();
    EXPECT_EQ(gScreens.current, guiFindScreen("B"));
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(Screens, BindingFindsTheWindowBySymbolNameAndFillsOneSlot)
{
    BeginScriptTest();
    WindowHandle* w = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, nullptr, nullptr, 0, 0, 10, 10, 0);
    ScriptSymbol* symbol = FindScriptSymbol("BtBindTest");
    if (!symbol)
        symbol = AddScriptSymbol("BtBindTest", nullptr, 0);
    ASSERT_NE(symbol, nullptr);
    symbol->type = kSymbolWindow;
    symbol->value = w;
    const WindowRoutine routine = [](WindowHandle*) {};
    EXPECT_EQ(guiBindClick("BtBindTest", routine), w);
    EXPECT_EQ(w->clickHandler, routine);
    EXPECT_EQ(gWindows.lastCreated, w);
    EXPECT_EQ(guiBindPress("BtBindTest", routine), w);
    EXPECT_EQ(w->pressHandler, routine);
    EXPECT_EQ(guiBindNotify("BtBindTest", routine), w);
    EXPECT_EQ(w->notifyHandler, routine);
    EXPECT_EQ(guiBindDraw("BtBindTest", routine), w);
    EXPECT_EQ(w->draw, routine);
    EXPECT_EQ(w->receiver, 0u);
    EXPECT_EQ(guiBindFrameHandler("BtBindTest", guiTickWindow), w);
    EXPECT_EQ(w->frameHandler, guiTickWindow);
    EXPECT_NE(w->receiver, 0u) << "a window that now ticks can be closed";

    EXPECT_EQ(guiBindClick("NoSuchElement", routine), nullptr);
    EXPECT_EQ(gWindows.lastCreated, nullptr);
    symbol->value = nullptr;
    EndScriptTest();
}

} // namespace
