// The bridge: the key table (layers, filters, the wing prefix, the end and
// back keys), the message line's timing, the station views (turning, their
// buttons, the refusals and films), the options screen in flight, the comms
// arm's speaker clips and the hat's contact actions. The screens come from a
// test layout that names every element the bridge binds.
#include "../interp/interp_fixture.h"
#include "../res/res_fixture.h"

#include "ai/combat.h"
#include "ai/orders.h"
#include "screens/bridge.h"
#include "screens/icons.h"
#include "screens/documents.h"
#include "screens/frontend.h"
#include "screens/vesselorders.h"
#include "script/configstatements.h"
#include "script/vitalobjects.h"
#include "system/calltrace.h"
#include "platform/film.h"
#include "system/film.h"
#include "tests/ui/ui_canvas.h"
#include "tools/film_fixtures.h"
#include "ui/dialogue.h"
#include "system/res/iff.h"
#include "system/res/pcx.h"
#include "system/res/resman.h"
#include "system/input.h"
#include "system/settings.h"
#include "ui/contacts.h"
#include "ui/drawtypes.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/playerinput.h"
#include "world/shipsystems.h"
#include "screens/engineering.h"
#include "world/starmap.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using worldtest::MakeItem;
using worldtest::MakeShip;

constexpr const char* kBackdrops[kStationViews] = {
    "CMDStdB",
    "CMDLftW",
    "CMDRgtW",
    "NAVStdB",
    "NAVLftW",
    "NAVRgtW",
    "WEPStdB",
    "WEPLftW",
    "WEPRgtW",
    "ENGStdB",
    "ENGLftW",
    "ENGRgtW",
};

// Every screen the bridge registers, each with the elements it binds.
std::string TestLayout()
{
    std::string s = "WINDOW Butt1 Butt2 Butt3 Butt4 ExitButt Status Title COMQuit NAVQuit WEPQuit ENGQuit\n";
    for (const char* backdrop : kBackdrops)
        s += std::string("WINDOW ") + backdrop + "\n";
    const std::string buttons = "WIN_INVIS TOP_L Butt1 0 10 450 40 12\nWIN_INVIS TOP_L Butt2 0 60 450 40 12\n"
                                "WIN_INVIS TOP_L Butt3 0 110 450 40 12\nWIN_INVIS TOP_L Butt4 0 160 450 40 12\n";
    for (int v = 0; v < kStationViews; ++v) {
        const std::string name = kStationViewScreens[v];
        s += "SCREEN_BEGIN \"" + name + "\"\nWIN_INVIS TOP_L " + kBackdrops[v] + " 0 0 0 640 440\n" + buttons +
             "SCREEN_END \"" + name + "\"\n";
    }
    s += "SCREEN_BEGIN \"Bridge\"\n" + buttons +
         "WIN_INVIS TOP_L ExitButt 0 600 0 40 12\nWIN_INVIS TOP_L Status 0 0 0 20 20\n"
         "WIN_INVIS TOP_L Title 0 200 0 100 12\nSCREEN_END \"Bridge\"\n";
    for (const char* station : {"COM", "NAV", "WEP", "ENG"})
        s += std::string("SCREEN_BEGIN \"") + station + "\"\nWIN_INVIS TOP_L " + station + "Quit 0 600 0 40 12\n" +
             "SCREEN_END \"" + station + "\"\n";
    return s;
}

uint16_t Key(uint8_t scan)
{
    return static_cast<uint16_t>(scan << 8);
}

class Bridge : public InterpTest {
protected:
    void SetUp() override
    {
        InterpTest::SetUp();
        savedSettings_ = gSettings;
        ResetInput();
        std::memset(gKeyMap, 0, sizeof gKeyMap);
        guiResetWindowPool();
        RegisterBridgeScreens();
        Run(TestLayout());
        ResetBridge();
        player_ = MakeItem();
        MakeShip(player_);
        player_->sim->stationLevel = 2;
        gPlayerItem = gControlledItem = player_;
        std::memset(gWingSlots, 0, sizeof gWingSlots);
        EnableCallTrace(true);
        ClearCallTrace();
    }
    void TearDown() override
    {
        EnableCallTrace(false);
        std::memset(gWingSlots, 0, sizeof gWingSlots);
        std::memset(gKeyMap, 0, sizeof gKeyMap);
        ResetBridge();
        gPlayerItem = gControlledItem = nullptr;
        gSettings = savedSettings_;
        ResetInput();
        guiResetWindowPool();
        InterpTest::TearDown();
    }
    static void ResetBridge()
    {
        CurrentStation = 0;
        MissionEndState = 0;
        WingOrderPrefix = 0;
        CurrentOrderButton = 0;
        OrbitViewByKey = KeyListShown = 0;
        ScopeDisplayMode = 0;
        HudDebugPage = TrailsHidden = AxisExchange = 0;
        gPlayerInput.axisSwap = 0;
        gStarMapOpen = gDocsViewOpen = gObjectivesViewOpen = 0;
        gPresentation = PresentationState{};
        gScriptMission.briefingActive = 0;
        gInterpreter.missionPause = 0;
        gFrameClock.timeCompression = 1.0f;
        gLoopFlags = LoopFlags{};
        gDirectorOn = 0;
        gPlayerShipLost = 0;
        gCommsArmOpen = 0;
        gCommsArm = CommsArmState{};
        gContactHat = {};
        ResetMessageLine();
        if (StationSaved()) // forget a remembered station
            RestoreStationScreen();
    }
    // Binds the scan code to the command in the layer and presses it.
    void Press(uint8_t scan, int16_t command = 0, int layer = 0)
    {
        if (command)
            gKeyMap[layer][scan] = command;
        guiBridgeKeyHandler(Key(scan));
    }
    static const char* ScreenName() { return gScreens.current ? gScreens.current->name : nullptr; }
    // The window of the current screen named so.
    static WindowHandle* Element(const char* name)
    {
        for (WindowHandle* w = gScreens.current->windows; w; w = w->next)
            if (w->elementName && std::strcmp(w->elementName, name) == 0)
                return w;
        return nullptr;
    }
    void GoTo(const char* screen)
    {
        guiGotoScreen(screen);
        ASSERT_STREQ(ScreenName(), screen);
    }

    Settings savedSettings_;
    SceneItem* player_ = nullptr;
};

// --- Key table ------------------------------------------------------------------

TEST_F(Bridge, ShiftCtrlAndBothChooseTheLayerAndAModifierAloneDoesNothing)
{
    constexpr uint8_t kA = 30;
    gKeyMap[0][kA] = 107; // scope display mode
    gKeyMap[1][kA] = 29;  // exchange axes
    gKeyMap[2][kA] = 104; // trails
    gKeyMap[0][42] = gKeyMap[0][29] = 107;
    struct Case {
        bool shift, ctrl;
        int32_t scope;
        int16_t axes, trails;
    };
    for (const Case& c : {Case{false, false, 1, 0, 0}, Case{true, false, 0, 1, 0}, Case{false, true, 0, 0, 1},
                          Case{true, true, 0, 0, 1}}) {
        ResetBridge();
        GetKeyStateBlock()[42] = c.shift ? 255 : 0;
        GetKeyStateBlock()[29] = c.ctrl ? 255 : 0;
        Press(kA);
        Press(42); // the modifiers themselves are no command, whatever the map says
        Press(29);
        EXPECT_EQ(ScopeDisplayMode, c.scope) << c.shift << c.ctrl;
        EXPECT_EQ(AxisExchange, c.axes) << c.shift << c.ctrl;
        EXPECT_EQ(gPlayerInput.axisSwap != 0, c.axes != 0) << "the flight control's swap follows";
        EXPECT_EQ(TrailsHidden, c.trails) << c.shift << c.ctrl;
    }
}

TEST_F(Bridge, TheWingPrefixTurnsTheNextOrderKeyIntoAWingOrderForOneKey)
{
    SceneItem* wingman = MakeItem();
    MakeShip(wingman);
    AddWingman(wingman);
    SceneItem* other = MakeItem(); // the orders name a target and a leader
    MakeShip(other);
    player_->sim->target = other;
    player_->sim->secondTarget = other;
    player_->sim->navTarget = other;
    CurrentOrderIndex = -1;
    Press(20, 128);
    EXPECT_NE(WingOrderPrefix, 0);
    Press(21, 45); // MATCH VEL for the ship, wing order 4 for the wing
    EXPECT_EQ(gWingSlots[0].lastCommandType, 4);
    EXPECT_EQ(WingOrderPrefix, 0);
    EXPECT_EQ(CurrentOrderButton, 0);
    EXPECT_EQ(CurrentOrderIndex, -1) << "the ship itself has no order";
    Press(21); // the prefix is gone: the ship's own order
    EXPECT_EQ(CurrentOrderButton, 61);
    EXPECT_EQ(CurrentOrderIndex, 8);
    // The prefix also lasts one key when that key is no order.
    Press(20);
    Press(22, 107);
    EXPECT_EQ(WingOrderPrefix, 0);
}

TEST_F(Bridge, TimeCompressionDoublesToSixteenThenStartsAgainForDevelopersOnly)
{
    gKeyMap[0][23] = 144;
    Press(23);
    EXPECT_EQ(gFrameClock.timeCompression, 1.0f) << "a developer command";
    gSettings.developerKeys = 255;
    std::vector<float> seen;
    for (int i = 0; i < 5; ++i) {
        Press(23);
        seen.push_back(gFrameClock.timeCompression);
    }
    EXPECT_EQ(seen, (std::vector<float>{2, 4, 8, 16, 1}));
    Press(24, 145);
    EXPECT_EQ(gFrameClock.timeCompression, 1.0f);
}

TEST_F(Bridge, OpenPanelsTakeKeysFirst)
{
    constexpr uint8_t kM = 50, kEsc = 1, kDown = 80, kUp = 72;
    for (uint8_t scan : {kM, kEsc, kDown, kUp})
        gKeyMap[0][scan] = 107;

    // The star map: a letter is never a bridge command; Esc goes on.
    gStarMapOpen = 255;
    Press(kM);
    EXPECT_EQ(ScopeDisplayMode, 0);
    Press(kEsc);
    EXPECT_EQ(ScopeDisplayMode, 1);
    gStarMapOpen = 0;

    // The document browser at COM swallows all; Esc closes, Up and Down scroll.
    CurrentStation = kStationCom;
    gDocsViewOpen = 255;
    gDocuments.scroll = 8;
    gDocuments.canScrollUp = gDocuments.canScrollDown = 255;
    Press(kM);
    Press(kDown);
    EXPECT_EQ(gDocuments.scroll, 12);
    Press(kUp);
    Press(kUp);
    EXPECT_EQ(gDocuments.scroll, 4);
    gDocuments.canScrollUp = 0;
    Press(kUp);
    EXPECT_EQ(gDocuments.scroll, 4) << "not past the top";
    Press(kEsc);
    EXPECT_EQ(gDocsViewOpen, 0) << "Esc closes the browser";
    EXPECT_EQ(ScopeDisplayMode, 1) << "no key reached the command table";
    gDocsViewOpen = 0;

    // A briefing lets only F1-F4, Esc and Q through.
    gScriptMission.briefingActive = 255;
    Press(kM);
    EXPECT_EQ(ScopeDisplayMode, 1);
    Press(kEsc);
    EXPECT_EQ(ScopeDisplayMode, 2);
}

TEST_F(Bridge, AfterTheMissionEndsOnlyTheEndAndBackKeysAct)
{
    gKeyMap[0][30] = 107;
    gKeyMap[0][31] = 143;
    CurrentStation = kStationNav;
    for (int32_t ended : {1, 2}) {
        MissionEndState = ended;
        Press(30);
        EXPECT_EQ(ScopeDisplayMode, 0) << ended;
    }
    MissionEndState = 0;
    gPlayerShipLost = 255;
    Press(30);
    EXPECT_EQ(ScopeDisplayMode, 0) << "the player's ship is lost";
    gPlayerShipLost = 0;
    MissionEndState = kMissionFlightOver;
    Press(31);
    EXPECT_EQ(MissionEndState, kMissionInFlight) << "the back key returns to flight";
    Press(30);
    EXPECT_EQ(ScopeDisplayMode, 1);
}

TEST_F(Bridge, TheEndKeyThreeTimesGivesTheDirectorTheDebriefAndTheEnd)
{
    gKeyMap[0][16] = 142;
    CurrentStation = kStationNav;
    gScriptMission.missionSucceeded = 255;
    Press(16);
    EXPECT_EQ(MissionEndState, kMissionFlightOver);
    EXPECT_NE(gDirectorOn, 0) << "the director shows the player's ship";
    Press(16);
    EXPECT_EQ(MissionEndState, kMissionDebrief);
    Press(16);
    EXPECT_NE(gLoopFlags.endOfMissionRequest, 0);
    gScriptMission.missionSucceeded = 0;
}

TEST_F(Bridge, TheEndKeyEndsARunningBriefingFirst)
{
    gKeyMap[0][16] = 142;
    gScriptMission.briefingActive = 255;
    Press(16);
    EXPECT_EQ(gScriptMission.briefingActive, 0);
    EXPECT_EQ(gScriptMission.briefingSections[kBriefingLeave], 255);
    gScriptMission.briefingSections[kBriefingLeave] = 0;
}

TEST_F(Bridge, TheBackKeyStepsBackInItsOrder)
{
    gKeyMap[0][14] = 143;
    // From a station view: to the NAV station.
    GoTo("CMDStand");
    Press(14);
    EXPECT_STREQ(ScreenName(), "NAV");
    EXPECT_EQ(CurrentStation, kStationNav);

    // At a station: the prefix, a film or the order, the open views, and
    // back to the remembered station.
    CurrentStation = kStationWep;
    SaveStationScreen();
    GoTo("NAV");
    CurrentStation = kStationNav;
    WingOrderPrefix = 255;
    gObjectivesViewOpen = gDocsViewOpen = 255;
    player_->sim->flags |= kSimAiControl;
    Press(14);
    EXPECT_EQ(WingOrderPrefix, 0);
    EXPECT_EQ(player_->sim->flags & kSimAiControl, 0u) << "the order is cancelled";
    EXPECT_EQ(gObjectivesViewOpen, 0);
    EXPECT_EQ(gDocsViewOpen, 0);
    EXPECT_STREQ(ScreenName(), "WEP");
    EXPECT_EQ(CurrentStation, kStationWep);
    EXPECT_FALSE(StationSaved());
}

TEST_F(Bridge, OrderKeysChooseTheOrderButton)
{
    struct Case {
        int16_t command, button;
        int32_t row; // of the vessel-order table
    };
    SceneItem* other = MakeItem();
    MakeShip(other);
    player_->sim->navTarget = other;
    for (const Case& c : {Case{41, 56, 0}, Case{42, 57, 1}, Case{43, 58, 2}, Case{44, 59, 3}, Case{45, 61, 8}}) {
        CurrentOrderIndex = -1;
        Press(40, c.command);
        EXPECT_EQ(CurrentOrderButton, c.button) << c.command;
        EXPECT_EQ(CurrentOrderIndex, c.row) << c.command;
    }
}

// --- Message line ---------------------------------------------------------------

// The text shown in each of `ticks` frames of one tick: 1 shown, 0 not.
std::string Shown(int ticks)
{
    gFrameClock.frameTicks = 1;
    std::string seen;
    for (int i = 0; i < ticks; ++i)
        seen += guiTickMessageLine() ? '1' : '0';
    return seen;
}

TEST_F(Bridge, AMessageBlinksElevenOfTwentyTicksForEightyTicksThenStays)
{
    guiDisplayMessage("LDS engaged", 200);
    const std::string seen = Shown(210);
    for (int t = 0; t < 80; ++t)
        EXPECT_EQ(seen[t], t % 20 <= 10 ? '1' : '0') << t;
    EXPECT_EQ(seen.substr(0, 20), "11111111111000000000") << "11 of 20";
    EXPECT_EQ(seen.substr(80, 120), std::string(120, '1'));
    EXPECT_EQ(seen.substr(200), std::string(10, '0')) << "gone after 200 ticks";
    EXPECT_STREQ(gMessageLine.shown, kIdleMessageText);
}

TEST_F(Bridge, ASecondMessageReplacesTheFirstAndRestartsTheBlink)
{
    guiDisplayMessage("first", 200);
    Shown(100);
    guiDisplayMessage("second", 200);
    EXPECT_EQ(Shown(20), "11111111111000000000") << "blinking again";
    EXPECT_STREQ(gMessageLine.shown, "second");
    EXPECT_EQ(gMessageLine.count, 1);
}

TEST_F(Bridge, AShortMessageLastsTwentyFiveTicksAndALongOneIsCut)
{
    guiDisplayMessage("brief", 10);
    const std::string seen = Shown(30);
    EXPECT_EQ(seen.substr(0, 25), std::string(25, '1')) << "25 ticks, not 10";
    EXPECT_EQ(seen.substr(25), std::string(5, '0'));

    const std::string ship(300, 'S');
    guiDisplayMessage(ship.c_str(), 200);
    EXPECT_EQ(std::strlen(gMessageLine.shown), 79u) << "cut, not a fatal stop";
    EXPECT_TRUE(worldtest::FatalStops().empty());
}

// --- Station views ----------------------------------------------------------------

TEST_F(Bridge, EachViewBindsItsTwoStationButtons)
{
    // Butt1 COM, Butt2 NAV, Butt3 WEP, Butt4 ENG.
    const WindowRoutine selectors[4] = {guiSelectComView, guiSelectNavView, guiSelectWepView, guiSelectEngView};
    const char* const expected[kStationViews] = {"12", "13", "14", "12", "24", "23",
                                                 "34", "23", "13", "34", "14", "24"};
    for (int v = 0; v < kStationViews; ++v) {
        GoTo(kStationViewScreens[v]);
        std::string bound;
        for (int b = 0; b < 4; ++b) {
            const std::string name = "Butt" + std::to_string(b + 1);
            const WindowHandle* w = Element(name.c_str());
            ASSERT_NE(w, nullptr);
            if (w->clickHandler == selectors[b])
                bound += static_cast<char>('1' + b);
            else
                EXPECT_EQ(w->clickHandler, nullptr) << kStationViewScreens[v] << " " << name;
        }
        EXPECT_EQ(bound, expected[v]) << kStationViewScreens[v];
        const WindowHandle* backdrop = Element(kBackdrops[v]);
        ASSERT_NE(backdrop, nullptr);
        EXPECT_EQ(backdrop->auxShort, v);
        EXPECT_EQ(backdrop->draw, guiDrawStationViewFilm);
    }
}

TEST_F(Bridge, TheMouseAtAnEdgeTurnsTheViewWithItsFilm)
{
    struct Case {
        const char* from;
        int32_t x, y;
        const char* to;   // null: no turn
        const char* film; // asked for by name
    };
    const Case cases[] = {
        {"NAVStand", 99, 439, "NAVLft", "navlft.smk"},
        {"NAVStand", 541, 0, "NAVRgt", "navrgt.smk"},
        {"NAVStand", 100, 200, nullptr, nullptr},
        {"NAVStand", 540, 200, nullptr, nullptr},
        {"NAVStand", 50, 440, nullptr, nullptr},
        {"WEPLft", 541, 10, "WEPStand", "weplftb.smk"},
        {"WEPLft", 50, 10, nullptr, nullptr},
        {"ENGRgt", 99, 10, "ENGStand", "engrgtb.smk"},
        {"ENGRgt", 600, 10, nullptr, nullptr},
        {"CMDStand", 10, 10, "CMDLft", "cmdlft.smk"},
    };
    for (const Case& c : cases) {
        GoTo(c.from);
        gFilmName.clear();
        gWindows.mouseX = c.x;
        gWindows.mouseY = c.y;
        WindowHandle* backdrop = nullptr;
        for (WindowHandle* w = gScreens.current->windows; w; w = w->next)
            if (w->frameHandler && w->draw == guiDrawStationViewFilm)
                backdrop = w;
        ASSERT_NE(backdrop, nullptr) << c.from;
        backdrop->frameHandler(backdrop);
        EXPECT_STREQ(ScreenName(), c.to ? c.to : c.from) << c.from << " " << c.x << "," << c.y;
        if (c.film)
            EXPECT_NE(gFilmName.find(c.film), std::string::npos) << gFilmName;
        else
            EXPECT_TRUE(gFilmName.empty()) << gFilmName;
    }
}

TEST_F(Bridge, StationSelectorsSitDownWithTheirFilmAndKeepTheirRefusals)
{
    struct Case {
        WindowRoutine select;
        const char* screen;
        int16_t station;
        const char* film;
    };
    const Case cases[] = {
        {guiSelectComView, "COM", 1, "cmdsit.smk"},
        {guiSelectNavView, "NAV", 2, "navsit.smk"},
        {guiSelectWepView, "WEP", 3, "wepsit.smk"},
        {guiSelectEngView, "ENG", 4, "engsit.smk"},
    };
    for (const Case& c : cases) {
        GoTo("CMDStand");
        CurrentStation = 0;
        c.select(nullptr);
        EXPECT_STREQ(ScreenName(), c.screen);
        EXPECT_EQ(CurrentStation, c.station);
        EXPECT_NE(gFilmName.find(c.film), std::string::npos) << gFilmName;
    }
    EXPECT_EQ(gContacts.sortMode, 2) << "ENG keeps the sort mode that WEP chose";

    // Refusals leave everything as it was.
    struct Refusal {
        WindowRoutine select;
        const char* why;
        void (*set)(SceneItem*);
    };
    const Refusal refusals[] = {
        {guiSelectComView, "idemo", [](SceneItem*) { gSettings.demo = 255; }},
        {guiSelectWepView, "idemo", [](SceneItem*) { gSettings.demo = 255; }},
        {guiSelectWepView, "station level", [](SceneItem* p) { p->sim->stationLevel = 1; }},
        {guiSelectEngView, "station level", [](SceneItem* p) { p->sim->stationLevel = 1; }},
        {guiSelectEngView, "engoff", [](SceneItem*) { gSettings.engineering = 0; }},
    };
    for (const Refusal& r : refusals) {
        GoTo("CMDStand");
        CurrentStation = 0;
        gSettings = savedSettings_;
        gSettings.engineering = 255;
        player_->sim->stationLevel = 2;
        r.set(player_);
        gFilmName.clear();
        r.select(nullptr);
        EXPECT_STREQ(ScreenName(), "CMDStand") << r.why;
        EXPECT_EQ(CurrentStation, 0) << r.why;
        EXPECT_TRUE(gFilmName.empty()) << r.why;
    }
    // NAV is never refused.
    gSettings.demo = 255;
    guiSelectNavView(nullptr);
    EXPECT_STREQ(ScreenName(), "NAV");
}

TEST_F(Bridge, LeavingAStationStandsUpIntoItsAheadView)
{
    struct Case {
        WindowRoutine leave;
        const char* view;
        const char* film;
    };
    const Case cases[] = {
        {guiLeaveComStation, "CMDStand", "cmdstd.smk"},
        {guiLeaveNavStation, "NAVStand", "navstd.smk"},
        {guiLeaveWepStation, "WEPStand", "wepstd.smk"},
        {guiLeaveEngStation, "ENGStand", "engstd.smk"},
    };
    for (const Case& c : cases) {
        GoTo("NAV");
        CurrentStation = kStationNav;
        gCommsArmOpen = 255;
        c.leave(nullptr);
        EXPECT_STREQ(ScreenName(), c.view);
        EXPECT_EQ(CurrentStation, 0);
        EXPECT_EQ(gCommsArmOpen, 0) << "the comms arm closes";
        EXPECT_NE(gFilmName.find(c.film), std::string::npos) << gFilmName;
    }
}

TEST_F(Bridge, StationKeysFromAStationGoWithoutAFilmAndNotUnderTheDirector)
{
    GoTo("NAV");
    CurrentStation = kStationNav;
    gKeyMap[0][2] = 100;
    gDirectorOn = 255;
    Press(2);
    EXPECT_STREQ(ScreenName(), "NAV") << "blocked while the director holds the view";
    gDirectorOn = 0;
    gFilmName.clear();
    Press(2);
    EXPECT_STREQ(ScreenName(), "COM");
    EXPECT_EQ(CurrentStation, kStationCom);
    EXPECT_TRUE(gFilmName.empty());
}

TEST_F(Bridge, RestoringFallsBackToNavForAStationOutsideOneToFour)
{
    CurrentStation = 7;
    SaveStationScreen();
    RestoreStationScreen();
    EXPECT_STREQ(ScreenName(), "NAV");
    EXPECT_EQ(CurrentStation, kStationNav);
}

TEST_F(Bridge, TheBridgeScreenHasAFullScreenView)
{
    GoTo("Bridge");
    ASSERT_NE(gBridgeRoot, nullptr);
    EXPECT_EQ(gBridgeRoot->draw, guiDraw3DWindow);
    EXPECT_EQ(gBridgeRoot->width, 640);
    EXPECT_EQ(gBridgeRoot->height, 480);
    EXPECT_NE(gBridgeRoot->flags & kWindowView, 0u);
    EXPECT_EQ(gWindows.mainView, gBridgeRoot);
    EXPECT_EQ(gScreens.current->windows, gBridgeRoot) << "beneath the buttons, which take the clicks";
    WindowHandle* exit = Element("ExitButt");
    ASSERT_NE(exit, nullptr);
    exit->clickHandler(exit);
    EXPECT_NE(gLoopFlags.endOfMissionRequest, 0);
}

// --- Options in flight ----------------------------------------------------------

TEST_F(Bridge, TheOptionsKeyPausesTheSimulationAndReturnsToTheStation)
{
    WriteFile("Kelvandrist.ini", "INIT_VAR gamma 1.0\n");
    gKeyMap[0][24] = 141;
    GoTo("WEP");
    CurrentStation = kStationWep;
    Press(24);
    EXPECT_STREQ(ScreenName(), "OptionScreen");
    EXPECT_EQ(CurrentStation, kStationOptions);
    EXPECT_NE(gInterpreter.missionPause, 0);
    Press(24);
    EXPECT_STREQ(ScreenName(), "WEP");
    EXPECT_EQ(CurrentStation, kStationWep);
    EXPECT_EQ(gInterpreter.missionPause, 0);
}

// --- Comms arm and hat ------------------------------------------------------------

TEST_F(Bridge, SpeakerClipsFollowTheTable)
{
    struct Case {
        int32_t speaker, clip;
        const char* name;
    };
    for (const Case& c : {Case{0, 0, "\\c_approachcamera.smk"}, Case{3, 0, "\\n_lookup.smk"},
                          Case{1, 1, "\\w_lookdown.smk"}, Case{2, 4, "\\e_work3.smk"}, Case{3, 12, "\\n_talk4.smk"},
                          Case{0, 5, "\\c_listen1.smk"}})
        EXPECT_STREQ(SpeakerClipName(c.speaker, c.clip), c.name);
    EXPECT_EQ(SpeakerClipName(4, 0), nullptr);
    EXPECT_EQ(SpeakerClipName(0, 13), nullptr);

    // Talking picks among 9-12, never the clip shown; listening falls back
    // to working with the look-down clip after four choices.
    gCommsArm.state = 2;
    for (int i = 0; i < 50; ++i) {
        gCommsArm.clip = 9 + i % 4;
        const int32_t next = ChooseSpeakerClip();
        EXPECT_GE(next, 9);
        EXPECT_LE(next, 12);
        EXPECT_NE(next, gCommsArm.clip);
    }
    gCommsArm.state = 1;
    gCommsArm.hold = 4;
    for (int i = 0; i < 3; ++i) {
        const int32_t next = ChooseSpeakerClip();
        EXPECT_GE(next, 5);
        EXPECT_LE(next, 8);
    }
    EXPECT_EQ(ChooseSpeakerClip(), 1);
    EXPECT_EQ(gCommsArm.state, 0);

    guiSetCommsSpeaker("Navigator");
    EXPECT_EQ(gCommsArm.speaker, 3);
    EXPECT_EQ(gCommsArm.nextClip, 0);
    guiSetCommsSpeaker("Somebody else");
    EXPECT_EQ(gCommsArm.speaker, -1);
}

TEST_F(Bridge, AnArmClipThatCannotOpenLeavesTheArmClosed)
{
    guiToggleCommsArm();
    EXPECT_EQ(gCommsArmOpen, 0);
    EXPECT_EQ(gCommsArm.armIn, nullptr);
}

TEST_F(Bridge, HeldHatActionsRepeatAfterThirtyTicks)
{
    gFrameClock.frameTicks = 10;
    std::vector<int> acted;
    for (int frame = 0; frame < 7; ++frame) {
        const int32_t filter = gContacts.filterClass;
        RepeatContactHatActions(8); // the filter button
        acted.push_back(gContacts.filterClass != filter ? 1 : 0);
    }
    // Held 0 (acts), 10, 20, 30 (wait), 40, 50, 60 (act every frame).
    EXPECT_EQ(acted, (std::vector<int>{1, 0, 0, 0, 1, 1, 1}));
    RepeatContactHatActions(0);
    const int32_t filter = gContacts.filterClass;
    RepeatContactHatActions(8);
    EXPECT_NE(gContacts.filterClass, filter) << "a new press acts at once";
}

TEST_F(Bridge, TheJumpKeyPostsTheJumpToThePlayersShip)
{
    gSettings.developerKeys = 255;
    gKeyMap[0][36] = 183;
    player_->receiver = AllocReceiver();
    Press(36);
    ItemMessage message{};
    ASSERT_NE(FetchItemMessage(player_->receiver, &message), nullptr);
    EXPECT_EQ(message.kind, kMsgJumpStart);
}

TEST_F(Bridge, OptExitAndEscOnTheOptionsScreenLeaveItThroughTheSameRoutine)
{
    WriteFile("Kelvandrist.ini", "INIT_VAR gamma 1.0\n");
    Run("WINDOW OptExit\nSCREEN_BEGIN \"OptionScreen\"\nWIN_INVIS TOP_L OptExit 0 0 0 40 12\n"
        "SCREEN_END \"OptionScreen\"");
    GoTo("ENG");
    CurrentStation = kStationEng;
    guiGoToOptions();
    ASSERT_STREQ(ScreenName(), "OptionScreen");
    WindowHandle* exit = Element("OptExit");
    ASSERT_NE(exit, nullptr);
    ASSERT_NE(exit->clickHandler, nullptr);
    exit->clickHandler(exit);
    EXPECT_STREQ(ScreenName(), "ENG");
    EXPECT_EQ(gInterpreter.missionPause, 0);

    guiGoToOptions();
    gKeyHandler(Key(1)); // Esc, through the options screen's own key handler
    EXPECT_STREQ(ScreenName(), "ENG");
    EXPECT_EQ(CurrentStation, kStationEng);
    EXPECT_EQ(gInterpreter.missionPause, 0);
}

TEST_F(Bridge, ClassIconsLoadWithRunListsAndClassesThreeAndSeventeenHaveNone)
{
    SetMessageBoxHook([](const char*, const char*) {});
    ResInit();
    // A small icon, and one whose run list would not fit the scratch block
    // (every other pixel transparent over 256 x 256 rows).
    const uint8_t small[16] = {0, 5, 5, 0, 5, 5, 5, 5, 5, 5, 5, 5, 0, 5, 5, 0};
    const std::vector<uint8_t> smallFile = IffBuildPbm(small, 4, 4, 0, 0, nullptr, false);
    std::vector<uint8_t> striped(256 * 256);
    for (std::size_t i = 0; i < striped.size(); ++i)
        striped[i] = i % 2 ? 7 : 0;
    const std::vector<uint8_t> stripedFile = IffBuildPbm(striped.data(), 256, 256, 0, 0, nullptr, false);
    for (const char* name : {"S_CORVETTE", "S_RING"})
        WriteFile(std::string("zqk/resource/art/icons/") + name + ".BBM", std::string(smallFile.begin(), smallFile.end()));
    WriteFile("zqk/resource/art/icons/S_CARRIER.BBM", std::string(stripedFile.begin(), stripedFile.end()));

    WriteFile("zqk/resource/art/icons/cw_n_wt.bbm", std::string(smallFile.begin(), smallFile.end()));

    LoadBridgeIcons();
    // What the draw types read: the class icons with their runs by kind,
    // the contact icons by kind and picture.
    ASSERT_NE(ShipClassIconOf(0), nullptr);
    EXPECT_NE(ShipClassIconOf(0)->runs, nullptr);
    EXPECT_NE(ShipClassIconOf(18), nullptr);
    EXPECT_EQ(ShipClassIconOf(3), nullptr);
    EXPECT_EQ(ShipClassIconOf(17), nullptr);
    EXPECT_EQ(ShipClassIconOf(15), nullptr) << "refused: its runs would pass the scratch block";
    EXPECT_EQ(ShipClassIconOf(1), nullptr) << "a missing file leaves no icon";
    EXPECT_NE(ContactIconPicture(1, kIconWeaponsTarget), nullptr);
    EXPECT_EQ(ContactIconPicture(0, kIconNormal), nullptr);
    ResShutdown();
    SetMessageBoxHook(ThrowScriptStop);
}

TEST_F(Bridge, TheKeyListKeyShowsThePictureAndFromTheOverviewGoesToNavFirst)
{
    MemoryScreen screen;
    ResInit();
    std::filesystem::create_directories("zqk/resource/art");
    std::vector<uint8_t> pixels(640 * 480, 33);
    uint8_t rgb[768] = {};
    PcxImage* pcx = PcxFromPixels(nullptr, 0, pixels.data(), 640, 480, rgb);
    ASSERT_TRUE(PcxSave("zqk/resource/art/keylist.pcx", pcx));
    PcxFree(pcx);
    gKeyMap[0][68] = 146;
    GoTo("CMDStand");
    Press(68);
    EXPECT_STREQ(ScreenName(), "NAV");
    EXPECT_NE(KeyListShown, 0);
    EXPECT_EQ(screen.At(320, 240), 33);
    Press(68);
    EXPECT_EQ(KeyListShown, 0);
    MissionEndState = kMissionFlightOver;
    Press(68);
    EXPECT_EQ(KeyListShown, 0) << "not once the mission has ended";
    ResShutdown();
}

TEST_F(Bridge, AShipSystemElementKeepsItsSystemAndShowsItsPower)
{
    InitShipSystems();
    ResetShipSystems(player_);
    ShipSystem* reactor = FindShipSystem("REACTOR");
    ASSERT_NE(reactor, nullptr);
    WindowHandle element{};
    reactor->switchedOn = 255;
    EXPECT_EQ(guiLinkShipSystemElement(&element, "REACTOR"), &element);
    EXPECT_EQ(element.subject.kind, WindowSubject::Kind::ShipSystem);
    EXPECT_EQ(element.subject.system, reactor);
    EXPECT_EQ(element.value, 1.0f);
    // Bound once: a later name does not move it; the value follows the flag.
    reactor->switchedOn = 0;
    guiLinkShipSystemElement(&element, "RING");
    EXPECT_EQ(element.subject.system, reactor);
    EXPECT_EQ(element.value, 0.0f);
    WindowHandle none{};
    guiLinkShipSystemElement(&none, "NO SUCH SYSTEM");
    EXPECT_EQ(none.subject.kind, WindowSubject::Kind::None);
    EXPECT_EQ(guiLinkShipSystemElement(nullptr, "REACTOR"), nullptr);
}

TEST_F(Bridge, TheEnergyKeyEvensTheShares)
{
    gEnergyShares[0] = 0.6f;
    gEnergyShares[1] = 0.3f;
    gEnergyShares[2] = 0.0f;
    Press(37, 200);
    EXPECT_EQ(gEnergyShares[0], 0.0f);
    EXPECT_EQ(gEnergyShares[1], 0.0f);
    EXPECT_EQ(gEnergyOutputs[0], 100.0f);
    EXPECT_EQ(gEnergyOutputs[2], 100.0f);
}

double gFilmNow = 0;

TEST_F(Bridge, TheCommsArmOpensStaysOpenAndClosesWhenTheConversationHasEnded)
{
    MemoryScreen screen;
    screen.Clear(9);
    platform::SetFilmClock([] { return gFilmNow; });
    gFilmNow = 0;
    smk::FixtureShape shape;
    shape.width = 368;
    shape.height = 168;
    shape.frames = 3;
    shape.holes = true;
    const std::vector<uint8_t> film = smk::Write(smk::MakeFixtureFilm(shape));
    WriteFile("zqk/resource/video/NAVArmIn.smk", std::string(film.begin(), film.end()));
    WriteFile("zqk/resource/video/NAVArmOu.smk", std::string(film.begin(), film.end()));
    WindowHandle dummy{};
    gDialogue.active = nullptr;

    guiToggleCommsArm();
    ASSERT_NE(gCommsArm.armIn, nullptr) << "opening";
    EXPECT_NE(gCommsArmOpen, 0);
    EXPECT_EQ(gCommsArm.panel.size(), 368u * 168u);
    EXPECT_EQ(gCommsArm.panel[0], 9) << "the screen under the arm is kept";
    // The panel goes back under the arm each frame while a clip runs.
    screen.Clear(4);
    TickCommsFilm();
    EXPECT_EQ(screen.At(272, 312), 9);
    EXPECT_EQ(screen.At(271, 312), 4);

    int frames = 0;
    while (gCommsArm.armIn && frames < 20) {
        guiDrawCommsArm(&dummy);
        gFilmNow += 0.2;
        ++frames;
    }
    EXPECT_EQ(gCommsArm.armIn, nullptr);
    EXPECT_NE(gCommsArmOpen, 0) << "open";
    // Open, and no conversation any more: the arm swings out by itself.
    guiDrawCommsArm(&dummy);
    EXPECT_NE(gCommsArm.shownThisFrame, 0);
    ASSERT_NE(gCommsArm.armOut, nullptr) << "closing";
    frames = 0;
    while (gCommsArm.armOut && frames < 20) {
        guiDrawCommsArm(&dummy);
        gFilmNow += 0.2;
        ++frames;
    }
    EXPECT_EQ(gCommsArm.armOut, nullptr);
    EXPECT_EQ(gCommsArmOpen, 0) << "closed at the end of the arm-out clip";

    // Without its closing clip the arm closes at once rather than never.
    std::filesystem::remove("zqk/resource/video/NAVArmOu.smk");
    guiToggleCommsArm();
    ASSERT_NE(gCommsArmOpen, 0);
    guiToggleCommsArm();
    EXPECT_EQ(gCommsArmOpen, 0);
    EXPECT_EQ(gCommsArm.armIn, nullptr);
    platform::SetFilmClock(nullptr);
}

uint8_t SpeakerPixel(int, int)
{
    return 7;
}

// While a conversation runs and the arm is in, the main view keeps the
// right of its text area for the speaker's picture, centred in the area.
TEST_F(Bridge, TheCommsTextAreaShowsTheSpeakerWhileTheArmIsIn)
{
    MemoryScreen screen;
    ResInit();
    const std::vector<uint8_t> pcx = restest::PcxFile(8, 6, 8, restest::PcxPlainBody(8, 6, SpeakerPixel));
    WriteFile("zqk/resource/art/a1.pcx", std::string(pcx.begin(), pcx.end()));
    Run("REGISTER COMArmA1 \"zqk\\resource\\art\\a1.pcx\" PCX2RAST\n");
    WindowHandle view{};
    const int16_t rect[4] = {0, 0, 639, 479};
    std::memcpy(view.rect, rect, sizeof rect);
    Conversation talk{};
    gDialogue.active = &talk;
    guiSetCommsSpeaker("Weapons");
    EXPECT_EQ(guiCommsTextAreaDraw(&view), 160);
    // The area runs from 160 left of the right edge to 21 left of it, from
    // 10 to 129 down.
    EXPECT_EQ(screen.At(479 + (140 - 8) / 2, 10 + (120 - 6) / 2), 7);
    EXPECT_EQ(screen.Colours(0, 0, 478, 479), std::set<int>{0});

    gCommsArmOpen = 255;
    EXPECT_EQ(guiCommsTextAreaDraw(&view), 0) << "the arm shows the talk";
    gCommsArmOpen = 0;
    guiSetCommsSpeaker("Somebody else");
    EXPECT_EQ(guiCommsTextAreaDraw(&view), 0) << "no picture of a stranger";
    guiSetCommsSpeaker("Weapons");
    gDialogue.active = nullptr;
    EXPECT_EQ(guiCommsTextAreaDraw(&view), 0) << "no talk";
    guiSetCommsSpeaker(nullptr);
}

} // namespace
