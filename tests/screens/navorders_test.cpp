// The NAV station and the vessel orders: the speed setpoint steps and
// limits, the drive modes and the LDS switch, the order buttons and the
// order row, undocking and the command section, the order status; the
// nine orders and what they write into order slot 1, the LDS rows, the
// refused dock; and the pending jump within and across star systems.
#include "screens/navstation.h"
#include "screens/vesselorders.h"

#include "../script/script_test_support.h"
#include "ai/orders.h"
#include "screens/bridge.h"
#include "script/configstatements.h"
#include "script/symbols.h"
#include "script/worldlink.h"
#include "system/frameclock.h"
#include "tests/support/universe_fixture.h"
#include "tests/support/world_fixture.h"
#include "ui/contacts.h"
#include "ui/screens.h"
#include "ui/shiplog.h"
#include "ui/windows.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/starmap.h"
#include "world/universe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace worldtest;

namespace {

class NavStationTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        BeginScriptTest();
        guiResetWindowPool();
        ResetContactList();
        ResetVesselOrders();
        CurrentOrderButton = 0;
        gUndockBarred = 0;
        ship = MakeItem();
        MakeShip(ship);
        ship->sim->flightModel->ldsTopSpeed = 1e8f;
        ship->sim->flightModel->topSpeed = 20000;
        ship->sim->flightModel->spoolTime = 300;
        gPlayerItem = gControlledItem = ship;
        InitShipLog();
    }
    void TearDown() override
    {
        for (const std::string& name : symbols_)
            if (ScriptSymbol* s = FindScriptSymbol(name))
                s->value = nullptr;
        ResetContactList();
        EndScriptTest();
        WorldTest::TearDown();
    }

    // A window under a window symbol of the name, as a layout makes it.
    WindowHandle* Element(const char* name)
    {
        WindowHandle* w = guiCreateWindow(kAnchorTopLeft, nullptr, nullptr, guiTickWindow, nullptr, 0, 0, 20, 10, 0);
        ScriptSymbol* s = FindScriptSymbol(name);
        if (!s)
            s = AddScriptSymbol(name, nullptr, 0);
        s->type = kSymbolWindow;
        s->value = w;
        w->elementName = s->name;
        symbols_.push_back(name);
        return w;
    }
    static void Click(WindowHandle* w) { w->clickHandler(w); }

    SceneItem* Target(bool withShipInfo = true)
    {
        SceneItem* t = MakeItem();
        if (withShipInfo)
            MakeShip(t);
        ship->sim->navTarget = t;
        return t;
    }
    void EngageLdsDrive(float setpoint)
    {
        ship->sim->flags |= kSimLdsEngaged;
        ship->sim->ldsTargetSpeed = setpoint;
    }
    const OrderSlot& Slot1() const { return ship->sim->shipInfo->orders[1]; }

    SceneItem* ship = nullptr;
    std::vector<std::string> symbols_;
};

TEST_F(NavStationTest, TheSetpointStepsByDecadesUnderLdsAndByFiveThousandOtherwise)
{
    enum Op {
        kIncrease,
        kDecrease,
        kUp,
        kDown
    };
    struct Case {
        bool lds;
        float from;
        Op op;
        float expected;
    } const cases[] = {
        {true, 100000, kDecrease, 100000},
        {true, 1000000, kDecrease, 900000},
        {true, 2000000, kDecrease, 1000000},
        {true, 100000, kIncrease, 200000},
        {true, 900000, kIncrease, 1000000},
        {true, 9e7f, kIncrease, 1e8f},
        {true, 9.5e7f, kIncrease, 1e8f},
        {true, 300000, kUp, 1000000},
        {true, 300000, kDown, 100000},
        {true, 5e7f, kUp, 1e8f},
        {false, 0, kIncrease, 5000},
        {false, 18000, kIncrease, 20000},
        {false, -18000, kDecrease, -20000},
        {false, 7000, kUp, 12000},
        {false, 7000, kDown, 2000},
        // A setpoint of 0 or below under LDS counts as the floor: no
        // logarithm of nothing.
        {true, 0, kIncrease, 200000},
        {true, -50, kDecrease, 100000},
        {true, 0, kUp, 1000000},
    };
    for (const Case& c : cases) {
        ship->sim->flags = c.lds ? uint32_t{kSimLdsEngaged} : 0u;
        ship->sim->ldsTargetSpeed = c.from;
        switch (c.op) {
        case kIncrease: IncreaseSpeedSetpoint(); break;
        case kDecrease: DecreaseSpeedSetpoint(); break;
        case kUp: StepSpeedSetpointUp(); break;
        case kDown: StepSpeedSetpointDown(); break;
        }
        EXPECT_FLOAT_EQ(ship->sim->ldsTargetSpeed, c.expected) << c.lds << " " << c.from << " op " << c.op;
    }
}

TEST_F(NavStationTest, TheClampHoldsTheSetpointToTheDriveMode)
{
    struct Case {
        bool lds;
        int32_t mode;
        float from, expected;
    } const cases[] = {
        {false, 0, 5e5f, 100000},
        {false, 1, -5e5f, -100000},
        {false, 2, 5000, 2500},
        {false, 2, -5000, -2500},
        {true, 0, 50, 100000},
        {true, 0, 1e12f, 1e8f},
        {false, 0, 1234, 1234},
    };
    for (const Case& c : cases) {
        ship->sim->flags = c.lds ? uint32_t{kSimLdsEngaged} : 0u;
        ship->sim->assistMode = c.mode;
        ship->sim->ldsTargetSpeed = c.from;
        ClampSpeedSetpoint();
        EXPECT_FLOAT_EQ(ship->sim->ldsTargetSpeed, c.expected) << c.from;
    }
}

TEST_F(NavStationTest, CyclingTheDriveModeGoesFreeTaxiFreeAndWindsTheLdsDown)
{
    Sim* sim = ship->sim;
    struct Case {
        int32_t from, to;
    } const cases[] = {{2, 0}, {0, 1}, {1, 0}};
    for (const Case& c : cases) {
        sim->assistMode = c.from;
        sim->ldsTargetSpeed = 3000;
        sim->thrust = {5, 6, 7};
        CycleDriveMode();
        EXPECT_EQ(sim->assistMode, c.to) << c.from;
        EXPECT_EQ(sim->ldsTargetSpeed, 0.0f);
        EXPECT_EQ(sim->thrust.x, 0.0f); // the demands are reset
    }
    EngageLdsDrive(5e6f);
    sim->velocity = {1, 2, 3};
    SelectDriveModeOne();
    EXPECT_EQ(sim->ldsSpool, -100); // the wind-down runs
    EXPECT_EQ(sim->velocity.z, 0.0f);
    EXPECT_EQ(sim->assistMode, 1);
    // A wind-down already running is left alone.
    sim->ldsSpool = -40;
    EXPECT_TRUE(BeginLdsDisengage());
    EXPECT_EQ(sim->ldsSpool, -40);
}

TEST_F(NavStationTest, TheLdsSwitchEngagesAndWindsDownButNotWhileInhibitedOrInTransition)
{
    Sim* sim = ship->sim;
    sim->flags = kSimLdsBarred;
    guiToggleLds(nullptr); // inhibited: stays off
    EXPECT_FALSE(sim->flags & kSimLdsEngaged);
    sim->flags = 0;
    sim->ldsSpool = 30; // a transition runs
    guiToggleLds(nullptr);
    EXPECT_FALSE(sim->flags & kSimLdsEngaged);
    sim->ldsSpool = 0;
    guiToggleLds(nullptr);
    EXPECT_TRUE(sim->flags & kSimLdsEngaged);
    EXPECT_EQ(sim->ldsSpool, 300);
    EXPECT_EQ(sim->ldsTargetSpeed, 100000.0f);
    EXPECT_EQ(sim->thrust.z, 100000.0f);
    guiToggleLds(nullptr); // spooling up: nothing
    EXPECT_EQ(sim->ldsSpool, 300);
    sim->ldsSpool = 0;
    sim->velocity = {0, 0, 9};
    guiToggleLds(nullptr);
    EXPECT_EQ(sim->ldsSpool, -100);
    EXPECT_EQ(sim->ldsTargetSpeed, 0.0f);
    EXPECT_EQ(sim->velocity.z, 0.0f);
    // No drive at all: nothing.
    sim->flags = 0;
    sim->ldsSpool = 0;
    sim->flightModel->ldsTopSpeed = 0;
    guiToggleLds(nullptr);
    guiEngageLds(nullptr);
    EXPECT_FALSE(sim->flags & kSimLdsEngaged);
}

TEST_F(NavStationTest, TheOrderRowStepsThroughEightRowsAndOnlyItsOwnButtonReachesMatchVelocity)
{
    WindowHandle* row = Element("NAuto1");
    WindowHandle* match = Element("NvMd7b");
    guiSetupNavStation();
    std::vector<int> seen;
    for (int i = 0; i < 10; ++i) {
        Click(row);
        seen.push_back(CurrentOrderIndex);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 0, 1, 2}));
    row->frameHandler(row);
    EXPECT_STREQ(row->text, "FORMATE");

    Target();
    Click(match);
    EXPECT_EQ(CurrentOrderIndex, 8);
    EXPECT_EQ(CurrentOrderButton, 61);
    EXPECT_STREQ(Slot1().name, "MATCH VEL");
    EXPECT_EQ(match->hintText, 61);
}

TEST_F(NavStationTest, LateralButtonsPushWhileHeldAndTheTargetShowsOnlyListedContacts)
{
    WindowHandle* up = Element("NDUp");
    WindowHandle* right = Element("NDRt");
    WindowHandle* target = Element("NTarget");
    guiSetupNavStation();
    up->pressHandler(up);
    EXPECT_EQ(ship->sim->thrust.y, -100.0f);
    EXPECT_TRUE(ship->sim->flags & kSimNoLateralAssist);
    right->pressHandler(right);
    EXPECT_EQ(ship->sim->thrust.x, 100.0f);
    up->clickHandler(up); // released
    EXPECT_EQ(ship->sim->thrust.y, 0.0f);
    EXPECT_EQ(ship->sim->thrust.x, 100.0f);
    EXPECT_FALSE(ship->sim->flags & kSimNoLateralAssist);

    SceneItem* unlisted = Target();
    target->frameHandler(target);
    EXPECT_EQ(guiViewedItems(target), nullptr);
    SceneItem* listed = MakeItem();
    listed->avatar->classFlags = 0x4;
    listed->sim->position = {0, 0, 1000};
    gContacts.nextRefresh = gFrameClock.gameClock;
    UpdateContactList();
    ASSERT_NE(FindContactRow(listed), nullptr);
    ASSERT_EQ(FindContactRow(unlisted), nullptr);
    ship->sim->navTarget = listed;
    target->frameHandler(target);
    EXPECT_EQ(guiViewedItems(target), listed);
}

TEST_F(NavStationTest, UndockingIsBarredByTheMissionOrTheShip)
{
    WindowHandle* button = Element("NavButt6");
    guiSetupNavStation();
    ship->sim->ldsTargetSpeed = 700;
    ship->sim->flags |= kSimNoUndock;
    Click(button);
    EXPECT_TRUE(button->flags & kWindowSkipMessageOnce); // shown pressed, game text 64 instead
    EXPECT_EQ(ship->sim->ldsTargetSpeed, 700.0f);
    ship->sim->flags &= ~kSimNoUndock;
    gUndockBarred = 255;
    button->flags = kWindowInUse;
    Click(button);
    EXPECT_TRUE(button->flags & kWindowSkipMessageOnce);
    gUndockBarred = 0;
    Click(button);
    EXPECT_EQ(ship->sim->ldsTargetSpeed, 0.0f);
}

TEST_F(NavStationTest, TheCommandSectionSeparatesOnTheSecondUseOnlyFromThePlayersOwnShip)
{
    WindowHandle* button = Element("NavButt7");
    guiSetupNavStation();
    EXPECT_EQ(button->hintText, 62);
    Click(button);
    EXPECT_EQ(button->value, 55.0f); // armed; the second use separates (the controls walk flies it)
    // From a remotely controlled item the button only shows pressed.
    SceneItem* probe = MakeItem();
    gControlledItem = probe;
    button->value = 0;
    Click(button);
    EXPECT_EQ(button->value, 0.0f);
    EXPECT_TRUE(button->flags & kWindowSkipMessageOnce);
}

TEST_F(NavStationTest, TheOrderStatusShowsTheOrderThenTheEndForFourHundredTicks)
{
    static const char kDock[] = "DOCKING", kEnded[] = "ORDER ENDED";
    gTextTable[59] = kDock;
    gTextTable[60] = kEnded;
    WindowHandle* status = Element("NStat");
    guiSetupNavStation();
    Target();
    CommandOrder(3);
    CurrentOrderButton = 59;
    gFrameClock.frameTicks = 100;
    status->frameHandler(status);
    EXPECT_STREQ(status->text, kDock);
    EXPECT_EQ(status->value, 9999.0f);
    ship->sim->flags &= ~kSimAiControl; // the order is over
    for (int i = 0; i < 4; ++i) {
        status->frameHandler(status);
        EXPECT_STREQ(status->text, kEnded) << i;
    }
    status->frameHandler(status);
    EXPECT_EQ(status->text, nullptr);
    gTextTable[59] = gTextTable[60] = nullptr;
}

TEST_F(NavStationTest, CancellingClearsTheOrderAndLeavesTheLds)
{
    Target();
    CommandOrder(0);
    ASSERT_TRUE(ship->sim->flags & kSimAiControl);
    EngageLdsDrive(5e5f);
    guiCancelOrder(nullptr);
    EXPECT_FALSE(ship->sim->flags & kSimAiControl);
    EXPECT_FALSE(ship->sim->flags & kSimLdsEngaged);
}

// ---- The orders ------------------------------------------------------------------------

TEST_F(NavStationTest, EveryOrderFillsSlotOneWithItsNameStateAndParameters)
{
    SceneItem* target = Target();
    const int32_t handle = static_cast<int32_t>(ItemHandle(target));
    gEscortRange = 12345.6f;
    struct Case {
        int row;
        const char* name;
        int32_t state, p1, p2, p3;
    } const cases[] = {
        {0, "STOP", 65, 0, 0, 0},
        {1, "APPROACH", 47, 0, handle, 0},
        {2, "FORMATE", 49, 12345, handle, 0},
        {3, "DOCK", 13, handle, 0, 0},
        {4, "STOP REL", 66, 0, 0, 0},
        {5, "PURSUE", 46, 12345, 0, 0},
        {6, "EVADE", 59, 0, 0, 0},
        {7, "APPROACH", 28, 260, 0, 0}, // the LDA defence shows as an approach
        {8, "MATCH VEL", 18, 12345, handle, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        ship->sim->flags &= ~kSimAiControl;
        ship->sim->shipInfo->orders[1] = OrderSlot{};
        CommandOrder(c.row);
        const OrderSlot& slot = Slot1();
        EXPECT_STREQ(slot.name, c.name);
        EXPECT_EQ(slot.stateId, c.state);
        EXPECT_EQ(slot.stateParameters[0], c.p1);
        EXPECT_EQ(slot.stateParameters[1], c.p2);
        EXPECT_EQ(slot.stateParameters[2], c.p3);
        EXPECT_EQ(slot.evaluator, &EvalDefault);
        EXPECT_EQ(slot.weight, 80);
        EXPECT_EQ(slot.parameter1, 80);
        EXPECT_EQ(ship->sim->shipInfo->currentOrder, 1);
        EXPECT_EQ(CurrentOrderIndex, c.row);
        EXPECT_TRUE(ship->sim->flags & kSimAiControl);
    }
    // An approach to a Lagrange point flies the Lagrange state.
    target->avatar->classFlags |= 0x1000000;
    CommandOrder(1);
    EXPECT_EQ(Slot1().stateId, 17);
    EXPECT_EQ(Slot1().stateParameters[0], handle);
    EXPECT_EQ(Slot1().stateParameters[1], 3);
}

TEST_F(NavStationTest, UnderLdsTheEscortRowsFlyLdsEscortAndTheOthersWindDownFirst)
{
    Target();
    for (int row : {2, 5}) {
        EngageLdsDrive(5e5f);
        CommandOrder(row);
        EXPECT_STREQ(Slot1().name, "LDS On") << row;
        EXPECT_EQ(Slot1().stateId, 70);
        EXPECT_EQ(Slot1().stateParameters[0], 1500000);
        EXPECT_EQ(ship->sim->ldsSpool, 0) << "flown under LDS";
    }
    EngageLdsDrive(5e5f);
    CommandOrder(1);
    EXPECT_STREQ(Slot1().name, "APPROACH"); // its own routine serves both
    CommandOrder(0);                        // STOP: the wind-down starts first
    EXPECT_EQ(ship->sim->ldsSpool, -100);
    EXPECT_STREQ(Slot1().name, "STOP");
    EXPECT_EQ(Slot1().stateId, 65);
}

TEST_F(NavStationTest, DockingAtAnItemWithoutShipInfoIsRefusedInTheShipsLog)
{
    Target(false);
    CommandOrder(0);
    CommandOrder(3);
    EXPECT_STREQ(Slot1().name, "STOP"); // unchanged
    const char* line = ShipLogPrevious(nullptr);
    ASSERT_NE(line, nullptr);
    EXPECT_NE(std::strstr(line, "NavTarget not suitable for docking"), nullptr) << line;
}

TEST_F(NavStationTest, ATargetedOrderTakesTheCurrentContactOrDoesNothing)
{
    CommandOrder(2); // no target, no contact
    EXPECT_EQ(Slot1().name, nullptr);
    EXPECT_FALSE(ship->sim->flags & kSimAiControl);

    SceneItem* contact = MakeItem();
    contact->avatar->classFlags = 0x4;
    contact->sim->position = {0, 0, 1000};
    gContacts.nextRefresh = gFrameClock.gameClock;
    UpdateContactList();
    SelectContact(contact);
    ASSERT_EQ(CurrentContactItem(), contact);
    CommandOrder(2);
    EXPECT_EQ(ship->sim->navTarget.Get(), contact);
    EXPECT_STREQ(Slot1().name, "FORMATE");
    // A target in LDS is not matched.
    ship->sim->shipInfo->orders[1] = OrderSlot{};
    contact->sim->flags |= kSimLdsEngaged;
    CommandOrder(8);
    EXPECT_EQ(Slot1().name, nullptr);
}

// ---- The pending jump --------------------------------------------------------------------

const char* kJumpSystems =
    "id,name,parent,class,number,value,mass,radius,orbit,period,longitude,ecc,incl\n"
    "0,Sol|Home,0,S,3,0,2e30,7e5,0,0,0,0,0\n"
    "1,Earth,0,P,1,0,6e24,6400,1.5e8,365,0,0,0\n"
    "2,L4,1,L4,0,0,0,0,0,0,0,0,0\n"
    "100,Tarsis,100,S,0,0,0,0,0,0,0,0,0\n"
    "101,Ferro,100,P,0,0,0,0,1e8,0,40,0,0\n"
    "102,L4,101,L4,0,0,0,0,0,0,0,0,0\n";

class PendingJumpTest : public NavStationTest {
protected:
    void SetUp() override
    {
        NavStationTest::SetUp();
        SetMessageBoxHook([](const char*, const char*) {}); // the planets' missing textures
        try {
            LoadTestUniverse(kJumpSystems, {{"Sol", 1, 0, {0, 0, 0}}, {"Tarsis", 2, 0, {5e16f, 0, 0}}});
            ASSERT_EQ(MoveToSystem("1", "Earth"), 255);
        } catch (const ScriptStop& stop) {
            FAIL() << stop.title << ": " << stop.text;
        }
        gPendingJumpSystem = 0;
        gPendingJumpBody = nullptr;
        gAlienDevicesEnabled = 255;
    }
    void TearDown() override
    {
        gPendingJumpSystem = 0;
        gPendingJumpBody = nullptr;
        gAlienDevicesEnabled = 0;
        ResetUniverse();
        NavStationTest::TearDown();
    }
};

TEST_F(PendingJumpTest, AJumpWithinTheSystemOnlyPlacesThePlayer)
{
    SceneItem* local = MakeItem();
    local->sceneGeneration = 1;
    ExecutePendingJump(nullptr); // nothing pending
    EXPECT_EQ(gAlienDevicesEnabled, 255);

    gPendingJumpSystem = 1;
    gPendingJumpBody = FindBody(1, "L4");
    ASSERT_NE(gPendingJumpBody, nullptr);
    ExecutePendingJump(nullptr);
    EXPECT_EQ(gCurrentSystemNumber, 1);
    EXPECT_TRUE(IsInSceneList(local)); // nothing purged
    EXPECT_EQ(gPendingJumpBody, nullptr);
    EXPECT_EQ(gAlienDevicesEnabled, 0);
}

TEST_F(PendingJumpTest, AJumpToAnotherSystemMovesThereAndPurgesTheOld)
{
    SceneItem* local = MakeItem();
    local->sceneGeneration = 1;
    // A damaged capsule drive holds the jump.
    ship->sim->shipInfo->damage.capabilities = 0x40;
    gPendingJumpSystem = 2;
    gPendingJumpBody = FindBody(2, "L4");
    ExecutePendingJump(nullptr);
    EXPECT_EQ(gCurrentSystemNumber, 1);
    EXPECT_NE(gPendingJumpBody, nullptr);

    ship->sim->shipInfo->damage.capabilities = 0;
    ExecutePendingJump(nullptr);
    EXPECT_EQ(gCurrentSystemNumber, 2);
    EXPECT_EQ(ship->sceneGeneration, 2);
    EXPECT_FALSE(local->flags & kItemInUse); // purged with its system
    EXPECT_EQ(gPendingJumpBody, nullptr);
}

// The player's path: a star picked on the map, its L point chosen as the
// destination, and the capsule button carries the jump there.
TEST_F(PendingJumpTest, TheStarMapsDestinationIsTheJumpTheCapsuleCarriesOut)
{
    gStarMap.mode = 'G';
    gStarMap.selectedStar = FindStar("Tarsis", gStarsLoaded);
    ASSERT_NE(gStarMap.selectedStar, nullptr);
    StarMapSelectDestination();
    EXPECT_EQ(gPendingJumpSystem, 2);
    ASSERT_NE(gPendingJumpBody, nullptr);
    EXPECT_STREQ(gPendingJumpBody->name, "L4");
    ExecutePendingJump(nullptr);
    EXPECT_EQ(gCurrentSystemNumber, 2);
    EXPECT_EQ(ship->sceneGeneration, 2);
    EXPECT_EQ(gPendingJumpBody, nullptr); // carried out once
}

} // namespace
