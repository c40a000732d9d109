// Player input and ship control, driven the way a player drives it: keys
// through the platform's injection hook and the main window, the stick on
// SDL's virtual joystick, one simulation frame at a time.
#include <cmath>

#include <SDL_scancode.h>
#include <gtest/gtest.h>

#include "ai/aistate.h"
#include "ai/combat.h"
#include "ai/weapons.h"
#include "platform/joystick.h"
#include "platform/window.h"
#include "screens/bridge.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/joystick.h"
#include "system/mainwindow.h"
#include "system/settings.h"
#include "script/symbols.h"
#include "tests/support/world_fixture.h"
#include "ui/contacts.h"
#include "world/behaviours.h"
#include "world/digest.h"
#include "world/floatingorigin.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

void Pump()
{
    WindowMessage m;
    while (platform::PeekWindowMessage(m))
        DispatchWindowMessage(m);
}

void Key(SDL_Scancode key, bool down)
{
    platform::InjectKey(key, down);
    Pump();
}

// SDL axis value for a stick offset from the centre in raw units.
int16_t Axis(int32_t offset) { return static_cast<int16_t>(32767 + offset - 32768); }

class PlayerInputTest : public WorldTest {
protected:
    static void SetUpTestSuite()
    {
        gSettings = Settings{};
        gSettings.fullScreen = 255; // every message reaches the main procedure
        ASSERT_TRUE(RegisterWindowClasses());
        ASSERT_TRUE(CreateMainWindow(1));
    }
    static void TearDownTestSuite() { platform::VideoShutdown(); }

    void SetUp() override
    {
        WorldTest::SetUp();
        Pump();
        gForceFeedbackEnabled = 0;
        ASSERT_TRUE(platform::VirtualJoystickAttach(4, 10, 1));
        ResetInput();
        InitJoystick();
        gPlayerInput = PlayerInput{};
        ResetPlayerInput();
        CurrentStation = 0;
        gWeaponViewFlag = 0;
        ship_ = MakeItem(SIM_MAIN, CONTROL_MAIN);
        MakeShip(ship_);
        gPlayerItem = gControlledItem = ship_;
    }
    void TearDown() override
    {
        for (SDL_Scancode k : {SDL_SCANCODE_KP_1, SDL_SCANCODE_KP_2, SDL_SCANCODE_KP_3, SDL_SCANCODE_KP_4,
                               SDL_SCANCODE_KP_5, SDL_SCANCODE_KP_6, SDL_SCANCODE_KP_8, SDL_SCANCODE_LCTRL,
                               SDL_SCANCODE_SPACE, SDL_SCANCODE_RSHIFT, SDL_SCANCODE_NONUSBACKSLASH,
                               SDL_SCANCODE_BACKSLASH})
            platform::InjectKey(k, false);
        Pump();
        ResetInput();
        platform::VirtualJoystickDetach();
        platform::JoystickClose();
        gJoystick = {};
        gForceFeedbackEnabled = 1;
        gTurnInputs = {};
        WorldTest::TearDown();
    }

    // One frame of the game: the simulation frame, then this frame's keys
    // become the previous frame's.
    void Frame(int32_t ticks = 5)
    {
        worldtest::RunFrame(ticks);
        CopyKeyStateBlock();
    }
    void Frames(int n, int32_t ticks = 5)
    {
        for (int i = 0; i < n; ++i)
            Frame(ticks);
    }

    SceneItem* ship_ = nullptr;
};

struct KeyCase {
    SDL_Scancode key;
    float TurnInputs::*input;
    float afterTwoFrames; // at 5 hundredths a frame: whole numbers of 650 x dt
};

// clang-format off
const KeyCase kKeypad[] = {
    {SDL_SCANCODE_KP_6, &TurnInputs::roll, -64},  {SDL_SCANCODE_KP_4, &TurnInputs::roll, 64},
    {SDL_SCANCODE_KP_8, &TurnInputs::pitch, -64}, {SDL_SCANCODE_KP_2, &TurnInputs::pitch, 64},
    {SDL_SCANCODE_KP_1, &TurnInputs::yaw, -64},   {SDL_SCANCODE_KP_3, &TurnInputs::yaw, 64},
    {SDL_SCANCODE_LEFT, &TurnInputs::roll, 64},   {SDL_SCANCODE_UP, &TurnInputs::pitch, -64},
};
// clang-format on

} // namespace

TEST_F(PlayerInputTest, EachKeypadKeyRampsItsTurnInputAndTheClampHoldsIt)
{
    for (const KeyCase& c : kKeypad) {
        SCOPED_TRACE(c.key);
        gTurnInputs = {};
        Key(c.key, true);
        Frames(2);
        EXPECT_EQ(gTurnInputs.*c.input, c.afterTwoFrames);
        Frames(18); // one second held: 650 unclamped, held at 180
        EXPECT_EQ(gTurnInputs.*c.input, std::copysign(180.0f, c.afterTwoFrames));
        Key(c.key, false);
        Frames(6); // damping: x 0.2 a frame
        EXPECT_LT(std::fabs(gTurnInputs.*c.input), 0.02f);
    }
}

TEST_F(PlayerInputTest, ThePushFromTheOtherSideStartsAtZeroAndFineControlDividesByTen)
{
    Key(SDL_SCANCODE_KP_6, true);
    Frames(4);
    ASSERT_EQ(gTurnInputs.roll, -128);
    Key(SDL_SCANCODE_KP_6, false);
    Key(SDL_SCANCODE_KP_4, true);
    Frame();
    EXPECT_EQ(gTurnInputs.roll, 0); // a negative value pushed up becomes 0
    Frame();
    EXPECT_EQ(gTurnInputs.roll, 32);
    Key(SDL_SCANCODE_KP_5, true);
    Frame();
    EXPECT_EQ(gTurnInputs.roll, 35); // 3.2 + 32.5, truncated
}

TEST_F(PlayerInputTest, DemandsFollowTheInputsAnEighthAFrameAndTheRemainingAnglesTakeThem)
{
    Key(SDL_SCANCODE_KP_6, true);
    Key(SDL_SCANCODE_KP_3, true);
    Frame();
    EXPECT_EQ(ship_->rollDemand, -4.0f); // -32 / 8
    EXPECT_EQ(ship_->yawDemand, 4.0f);
    EXPECT_EQ(ship_->pitchDemand, 0.0f);
    // The remaining angles took the demands, less what the physics turned.
    EXPECT_NEAR(ship_->rollRemaining, -4.0f, 0.1f);
    EXPECT_NEAR(ship_->yawRemaining, 4.0f, 0.1f);
    Frame();
    EXPECT_EQ(ship_->rollDemand, -4.0f + (-64.0f + 4.0f) / 8);
    EXPECT_LT(ship_->sim->turnRates.z, 0.0f) << "the physics rolls the ship by the demand";
}

TEST_F(PlayerInputTest, WithoutDampingTheStickFliesAndTheKeysOverrideTheirAxis)
{
    gPlayerInput.rotationDamping = 0;
    platform::VirtualJoystickSetAxis(0, Axis(6000));  // x: 60 - 50 = 10
    platform::VirtualJoystickSetAxis(1, Axis(-8000)); // y: -80 + 50 = -30
    platform::VirtualJoystickSetAxis(3, Axis(24000)); // rudder: 240 - 150 = 90
    Frame();
    EXPECT_EQ(gTurnInputs.roll, -5.0f);
    EXPECT_EQ(gTurnInputs.pitch, -15.0f);
    EXPECT_EQ(gTurnInputs.yaw, 45.0f);
    Key(SDL_SCANCODE_KP_2, true);
    Frame();
    EXPECT_EQ(gTurnInputs.pitch, 0.0f); // the key's push, not the stick
    EXPECT_EQ(gTurnInputs.roll, -5.0f);

    // Swapped: the rudder rolls and the stick's x yaws.
    Key(SDL_SCANCODE_KP_2, false);
    gPlayerInput.axisSwap = 255;
    Frame();
    EXPECT_EQ(gTurnInputs.roll, -45.0f);
    EXPECT_EQ(gTurnInputs.yaw, 5.0f);
    EXPECT_EQ(gTurnInputs.pitch, -15.0f);
}

TEST_F(PlayerInputTest, WithDampingTheSwapExchangesRollAndYawNegated)
{
    gPlayerInput.axisSwap = 255;
    Key(SDL_SCANCODE_KP_6, true);
    ResetMessageLine();
    Frame();
    EXPECT_EQ(gTurnInputs.roll, 0.0f);
    EXPECT_EQ(gTurnInputs.yaw, 32.0f);
}

TEST_F(PlayerInputTest, CtrlTurnsTheKeypadIntoEnergySharesAndTheQuarterShotDividesOnce)
{
    ResetEnergyShares();
    Key(SDL_SCANCODE_LCTRL, true);
    Key(SDL_SCANCODE_KP_8, true);
    Frame();
    EXPECT_GT(gEnergyShares[0], 0.0f); // keypad 8 raises the first share
    EXPECT_EQ(gTurnInputs.pitch, 0.0f);
    Key(SDL_SCANCODE_LCTRL, false);
    Frame();
    gPlayerInput.quarterInput = 255;
    Frame();
    EXPECT_EQ(gTurnInputs.pitch, -16.0f); // -64 / 4
    EXPECT_EQ(gPlayerInput.quarterInput, 0);
    Frame();
    EXPECT_EQ(gTurnInputs.pitch, -48.0f);
}

TEST_F(PlayerInputTest, ThrustKeysAndStrafeKeysSetTheThrustDemand)
{
    const float a = ship_->sim->flightModel->acceleration;
    Key(SDL_SCANCODE_SPACE, true);
    Frame();
    EXPECT_EQ(ship_->sim->thrust.z, a);
    Key(SDL_SCANCODE_SPACE, false);
    Key(SDL_SCANCODE_RSHIFT, true);
    Frame();
    EXPECT_EQ(ship_->sim->thrust.z, -a);
    Key(SDL_SCANCODE_RSHIFT, false);
    Frame();
    EXPECT_EQ(ship_->sim->thrust.z, 0.0f); // assist mode 0: no thrust

    // Strafing on the ISO key and on backslash alike: the roll input
    // becomes sideways thrust, -A x 2a / 328.
    for (SDL_Scancode strafe : {SDL_SCANCODE_NONUSBACKSLASH, SDL_SCANCODE_BACKSLASH}) {
        SCOPED_TRACE(strafe);
        Key(strafe, true);
        Key(SDL_SCANCODE_KP_6, true);
        Frame();
        EXPECT_EQ(gTurnInputs.roll, -32.0f);
        EXPECT_FLOAT_EQ(ship_->sim->thrust.x, 32.0f * 2 * a / 328);
        EXPECT_TRUE(gPlayerInput.strafing);
        Key(strafe, false);
        Key(SDL_SCANCODE_KP_6, false);
        Frames(8);
    }
}

TEST_F(PlayerInputTest, ReboundThrustKeysThrustAndTheOldOnesDoNot)
{
    const float a = ship_->sim->flightModel->acceleration;
    gFlightKeys[kKeyForward] = 0x10; // Q
    gFlightKeys[kKeyReverse] = 0x1E; // A
    Key(SDL_SCANCODE_SPACE, true);
    Key(SDL_SCANCODE_RSHIFT, true);
    Frame();
    EXPECT_EQ(ship_->sim->thrust.z, 0.0f);
    Key(SDL_SCANCODE_SPACE, false);
    Key(SDL_SCANCODE_RSHIFT, false);
    Key(SDL_SCANCODE_Q, true);
    Frame();
    EXPECT_EQ(ship_->sim->thrust.z, a);
    Key(SDL_SCANCODE_Q, false);
    Key(SDL_SCANCODE_A, true);
    Frame();
    EXPECT_EQ(ship_->sim->thrust.z, -a);
    Key(SDL_SCANCODE_A, false);
    gFlightKeys[kKeyForward] = 0x39;
    gFlightKeys[kKeyReverse] = 0x36;
}

TEST_F(PlayerInputTest, SteeringWithoutThrustDropsOnlyTheForwardThrust)
{
    const float a = ship_->sim->flightModel->acceleration;
    Key(SDL_SCANCODE_SPACE, true);
    Key(SDL_SCANCODE_BACKSLASH, true);
    Key(SDL_SCANCODE_KP_6, true);
    Frame();
    SteerWithoutThrust(ship_);
    EXPECT_EQ(ship_->sim->thrust.z, 0.0f);
    EXPECT_GT(ship_->sim->thrust.x, 0.0f); // the strafe stays
    SteerFromInput(ship_);
    EXPECT_EQ(ship_->sim->thrust.z, a);
}

TEST_F(PlayerInputTest, FlightAssistHoldsTheSetPointAndCancelsDrift)
{
    Sim* sim = ship_->sim;
    const float a = sim->flightModel->acceleration; // 100; sideways 75
    struct Case {
        int16_t mode;
        Vector3 velocity;
        float setpoint;
        Vector3 thrust;
    } const cases[] = {
        {0, {500, 500, 0}, 1000, {0, 0, 0}},
        {1, {0, 0, 0}, 1000, {0, 0, a}},
        {1, {0, 0, 980}, 1000, {0, 0, 20}},
        {2, {0, 0, 2000}, 1000, {0, 0, -a}},
        {1, {50, -30, 1000}, 1000, {-50, 30, 0}},
        {1, {500, 500, 1000}, 1000, {-75, -a, 0}},
        {1, {-500, -500, 1000}, 1000, {75, 75, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        sim->assistMode = c.mode;
        sim->velocity = c.velocity;
        sim->ldsTargetSpeed = c.setpoint;
        sim->thrust = {1, 1, 1};
        ApplyFlightAssist(ship_);
        EXPECT_FLOAT_EQ(sim->thrust.x, c.thrust.x);
        EXPECT_FLOAT_EQ(sim->thrust.y, c.thrust.y);
        EXPECT_FLOAT_EQ(sim->thrust.z, c.thrust.z);
    }
    sim->flags |= kSimNoLateralAssist;
    sim->velocity = {500, 500, 1000};
    sim->thrust = {3, 4, 0};
    ApplyFlightAssist(ship_);
    EXPECT_EQ(sim->thrust.x, 3.0f);
    EXPECT_EQ(sim->thrust.y, 4.0f);
}

TEST_F(PlayerInputTest, TheJoystickThrottleSetsTheSetPointWhenItMoves)
{
    gPlayerInput.throttleFromJoystick = 255;
    ship_->sim->assistMode = 1;
    platform::VirtualJoystickSetAxis(2, Axis(-32767)); // full: 100
    Frame();
    EXPECT_FLOAT_EQ(ship_->sim->ldsTargetSpeed, ship_->sim->flightModel->topSpeed);
    ship_->sim->ldsTargetSpeed = 5; // the bridge's keys set it meanwhile
    Frame();
    EXPECT_EQ(ship_->sim->ldsTargetSpeed, 5.0f); // an unmoved throttle leaves it
}

TEST_F(PlayerInputTest, ButtonTwoTappedPicksATargetAndHeldSwapsRollAndYawAtAnyFrameRate)
{
    struct Case {
        int32_t ticks;
        int frames;
        bool picks;
    } const cases[] = {{5, 3, true}, {5, 9, true}, {5, 11, false}, {20, 2, true}, {20, 3, false}, {1, 49, true}, {1, 51, false}};
    SceneItem* ahead = MakeItem();           // a ship straight ahead
    ahead->avatar->classFlags = 0x4 | 0x100; // of another side than the player
    ahead->sim->position = {0, 0, 1e6};
    ahead->sim->matrix.m[14] = 1e6f;
    ResetContactList();
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.frames << " frames of " << c.ticks);
        gContacts.playerTarget = nullptr;
        platform::VirtualJoystickSetButton(1, true);
        Frames(c.frames, c.ticks);
        platform::VirtualJoystickSetButton(1, false);
        Frame(c.ticks);
        EXPECT_EQ(gContacts.playerTarget.Get() == ahead, c.picks);
        Frames(2, c.ticks);
    }

    // Held past a quarter second, the roll keys yaw.
    gTurnInputs = {};
    platform::VirtualJoystickSetButton(1, true);
    Frames(6);
    Key(SDL_SCANCODE_KP_6, true);
    Frame();
    EXPECT_EQ(gTurnInputs.roll, 0.0f);
    EXPECT_EQ(gTurnInputs.yaw, 32.0f);
    platform::VirtualJoystickSetButton(1, false);
}

TEST_F(PlayerInputTest, AHatValueCountsOnlyOnceItHasHeldSteady)
{
    gPlayerInput.hatMode = kHatLook;
    struct Case {
        int32_t ticks;
        int framesWithoutTurn; // frames of a steady hat before it counts
    } const cases[] = {{5, 1}, {20, 1}, {1, 4}, {2, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ticks);
        MatIdentity(gPlayerInput.look);
        platform::VirtualJoystickSetHat(0, 2); // east
        Frames(c.framesWithoutTurn, c.ticks);
        EXPECT_EQ(gPlayerInput.look.m[0], 1.0f);
        Frame(c.ticks);
        EXPECT_LT(gPlayerInput.look.m[0], 1.0f);
        EXPECT_TRUE(gPlayerInput.hatUsed);
        platform::VirtualJoystickSetHat(0, 0);
        Frames(2, c.ticks);
    }
    // A value seen for one frame only does nothing, even a long frame.
    MatIdentity(gPlayerInput.look);
    platform::VirtualJoystickSetHat(0, 4);
    Frame(50);
    platform::VirtualJoystickSetHat(0, 0);
    Frame(50);
    EXPECT_EQ(gPlayerInput.look.m[5], 1.0f);
}

TEST_F(PlayerInputTest, TheHatStrafesInStrafeModeAndAsksTheContactListInContactMode)
{
    const float a = 2 * ship_->sim->flightModel->acceleration;
    gPlayerInput.hatMode = kHatStrafe;
    platform::VirtualJoystickSetHat(0, 1 | 2); // north-east
    Frames(2);
    EXPECT_EQ(ship_->sim->thrust.y, -a / 2);
    EXPECT_EQ(ship_->sim->thrust.x, a / 2);
    gPlayerInput.hatMode = kHatContacts;
    gContactHat = {};
    Frame();
    EXPECT_NE(gContactHat.bits, 0u) << "the contact actions saw the hat";
    EXPECT_EQ(gContactHat.bits, gPlayerInput.hatDirections);
    platform::VirtualJoystickSetHat(0, 0);
}

TEST_F(PlayerInputTest, LookModeTurnsTheLookMatrixByTheStickAndLeavesTheInputs)
{
    gPlayerInput.lookMode = 255;
    platform::VirtualJoystickSetAxis(0, Axis(30000)); // 300 - 50 = 250: 62 degrees a second
    Key(SDL_SCANCODE_KP_5, true);
    Key(SDL_SCANCODE_KP_6, true);
    Frame();
    EXPECT_EQ(gTurnInputs.roll, 0.0f);
    EXPECT_NEAR(std::fabs(std::asin(gPlayerInput.look.m[8])) * 180 / 3.14159265f, 3.1f, 0.05f);
}

TEST_F(PlayerInputTest, AStunnedPlayerIsNotRead)
{
    ship_->sim->flags |= kSimStunned;
    Key(SDL_SCANCODE_KP_6, true);
    Frame();
    EXPECT_EQ(gTurnInputs.roll, 0.0f);
}

TEST_F(PlayerInputTest, FiringTakesTheCurrentWeaponAndAnEmptyListFiresNothing)
{
    Key(SDL_SCANCODE_SPACE, true);
    Frame();
    EXPECT_EQ(gPlayerInput.shotsFired + gPlayerInput.missilesFired, 0);
    Key(SDL_SCANCODE_SPACE, false);
    Frame();

    // A cannon that reloads at once fires every frame the trigger is held.
    Weapon* gun = NewWeaponPbc(ship_, 0, 0, 0, "PBC", 1);
    gun->reload = 0;
    platform::VirtualJoystickSetButton(0, true);
    Frames(3);
    EXPECT_EQ(gPlayerInput.shotsFired, 3);
    EXPECT_EQ(ship_->sim->currentWeapon, gun);
    platform::VirtualJoystickSetButton(0, false);
    Frame();

    gun->flags |= 0x40; // one shot a press
    platform::VirtualJoystickSetButton(0, true);
    Frames(3);
    EXPECT_EQ(gPlayerInput.shotsFired, 4);
    platform::VirtualJoystickSetButton(0, false);
}

TEST_F(PlayerInputTest, TheFireKeySpawnsABoltFromTheCurrentMountAndTheReloadCountsDown)
{
    ship_->sim->position = {1000, 0, 0};
    ship_->sim->matrix.m[12] = 1000;
    NewWeaponPbc(ship_, 10, 0, 0, "PBC", 1);
    Weapon* gun = NewWeaponPbc(ship_, -10, 0, 0, "PBC", 1);
    ship_->sim->currentWeapon = gun;
    Key(SDL_SCANCODE_SPACE, true);
    Frame();
    Key(SDL_SCANCODE_SPACE, false);

    SceneItem* bolt = nullptr;
    ForEachSceneItem([&](SceneItem* item) {
        if (item->avatar->classFlags & 0x20)
            bolt = item;
        return true;
    });
    ASSERT_NE(bolt, nullptr);
    EXPECT_EQ(bolt->avatar->shooter.Get(), ship_);
    EXPECT_EQ(bolt->avatar->weapon, gun);
    EXPECT_EQ(bolt->sim->position.x, 990.0); // at the mount, on the left
    EXPECT_GT(bolt->sim->velocity.z, 0.0f);
    // Reload 100 at full power, less this frame's 5 ticks.
    EXPECT_EQ(gun->reloadTimer, 95.0f);
    Frame();
    EXPECT_EQ(gun->reloadTimer, 90.0f);
}

TEST_F(PlayerInputTest, JumpReadinessNamesEveryReasonNotToJump)
{
    SceneItem* gate = MakeItem();
    gate->sim->position = {0, 0, 0};
    Sim* sim = ship_->sim;
    struct Case {
        Vector3 velocity;
        WorldPosition position;
        uint32_t flags;
        int32_t expected;
    } const cases[] = {
        {{0, 0, 20000}, {0, 0, -5000}, 0, 0},
        {{0, 0, 4000}, {0, 0, -5000}, 0, kJumpTooSlow},
        {{0, 0, 600000}, {0, 0, -5000}, 0, kJumpTooFast},
        {{0, 0, 20000}, {0, 0, -5000}, kSimLdsEngaged, kJumpInLds},
        {{20000, 0, 20000}, {0, 0, -5000}, 0, 0}, // 45 degrees: 0.707
        {{20000, 0, 10000}, {0, 0, -5000}, 0, kJumpBadHeading},
        {{0, 0, 20000}, {0, 0, -11000}, 0, kJumpOutOfPlace}, // too far behind
        {{0, 0, 20000}, {27000, 0, 6000}, 0, kJumpOutOfPlace},
        {{0, 0, -20000}, {0, 0, 5000}, 0, kJumpBadHeading},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        sim->velocity = c.velocity;
        sim->position = c.position;
        sim->flags = (sim->flags & ~kSimLdsEngaged) | c.flags;
        EXPECT_EQ(JumpReadiness(ship_, gate), c.expected);
    }
    // Below 2500 the heading is the nose: facing away from the gate.
    sim->velocity = {0, 0, 0};
    sim->flags &= ~kSimLdsEngaged;
    MatRotY(180, sim->matrix);
    EXPECT_EQ(JumpReadiness(ship_, gate), kJumpTooSlow | kJumpBadHeading);
}

TEST_F(PlayerInputTest, AReadyPlayerWithTheJumpCheckStartsTheJump)
{
    SceneItem* gate = MakeItem();
    gPlayerInput.jumpTarget = gate;
    ship_->sim->velocity = {0, 0, 20000};
    ship_->sim->position = {0, 0, -5000};
    ship_->sim->flags |= kSimLdsEngaged; // not ready
    ship_->flags |= kItemJumpCheck;
    if (!ship_->receiver)
        ship_->receiver = AllocReceiver();
    const int16_t pending = ReceiverPendingCount(ship_->receiver);
    CONTROL_MAIN(ship_);
    EXPECT_EQ(ship_->sim->flags & kSimJumpReady, 0u);
    EXPECT_EQ(ReceiverPendingCount(ship_->receiver), pending) << "no jump message";
    EXPECT_EQ(ship_->flags & kItemJumpCheck, 0);
    ship_->sim->flags &= ~kSimLdsEngaged;
    ship_->flags |= kItemJumpCheck;
    CONTROL_MAIN(ship_);
    EXPECT_NE(ship_->sim->flags & kSimJumpReady, 0u);
    ItemMessage message{};
    ASSERT_NE(FetchItemMessage(ship_->receiver, &message), nullptr) << "the jump message to itself";
    EXPECT_EQ(message.kind, kMsgJumpStart);
}

TEST_F(PlayerInputTest, BrakedOrUnderAutopilotTheKeysDoNotSteer)
{
    Sim* sim = ship_->sim;
    sim->flags |= kSimBraked;
    sim->velocity = {100, 0, 300};
    CONTROL_MAIN(ship_);
    EXPECT_EQ(sim->thrust.x, -10.0f);
    EXPECT_EQ(sim->thrust.z, -30.0f);
    EXPECT_EQ(gPlayerInput.brakeDisplay, 250);
    sim->flags &= ~kSimBraked;

    sim->flags |= kSimAiControl;
    sim->secondTarget = gControlledItem;
    LoadAIStateTable();
    ship_->sim->shipInfo->stateStack[0].stateId = 61; // DoNothingState: the autopilot holds
    Key(SDL_SCANCODE_KP_6, true);
    Frame();
    EXPECT_NE(sim->flags & kSimAiControl, 0u); // flown by the AI, which carries on
    EXPECT_EQ(ship_->rollDemand, 0.0f);
    EXPECT_EQ(sim->secondTarget, gControlledItem);
    EXPECT_STRNE(gMessageLine.shown, kIdleMessageText); // the reminder, away from NAV
    const int32_t shownAt = gMessageLine.shownStartTime;
    Frame();
    EXPECT_EQ(gMessageLine.shownStartTime, shownAt); // not again before 300 hundredths
}

TEST_F(PlayerInputTest, RotationDampingToggles)
{
    ToggleRotationDamping();
    EXPECT_EQ(gPlayerInput.rotationDamping, 0);
    ToggleRotationDamping();
    EXPECT_EQ(gPlayerInput.rotationDamping, 255);
    ship_->sim->thrust = {1, 2, 3};
    ClearThrustDemand(ship_);
    EXPECT_EQ(ship_->sim->thrust.z, 0.0f);
}

namespace {

// The course of the headless flight: keys held over frame ranges (frames
// of 5 hundredths).
struct Hold {
    SDL_Scancode key;
    int from, to; // down at frame `from`, up at frame `to`
};
const Hold kCourse[] = {
    {SDL_SCANCODE_SPACE, 0, 80},
    {SDL_SCANCODE_KP_3, 140, 160},
    {SDL_SCANCODE_SPACE, 160, 200},
    {SDL_SCANCODE_KP_8, 300, 315},
    {SDL_SCANCODE_SPACE, 315, 340},
};
constexpr int kCourseFrames = 460;

} // namespace

TEST_F(PlayerInputTest, InjectedKeysFlyTheShipThroughThreeWaypointsTheSameWayTwice)
{
    auto fly = [this](uint64_t* digest) {
        WorldTest::TearDown();
        WorldTest::SetUp();
        ResetInput();
        gPlayerInput = PlayerInput{};
        ResetPlayerInput();
        ship_ = MakeItem(SIM_MAIN, CONTROL_MAIN);
        MakeShip(ship_);
        InitFlightModel(ship_->sim->flightModel, 2000, 10, 200, 1e8f, 60, 60, 60, 100);
        gPlayerItem = gControlledItem = ship_;
        SceneItem* waypoints[3];
        // On the course the keys fly: the last one only after the turn and
        // the climb.
        const Vector3 places[3] = {{0, 0, 70000}, {21500, 0, 114000}, {59900, 9700, 187500}};
        for (int i = 0; i < 3; ++i) {
            SceneItem* w = waypoints[i] = MakeItem(nullptr, RunWaypoint);
            w->sim->position = {places[i].x, places[i].y, places[i].z};
            w->avatar->root->model = reinterpret_cast<hx_model*>(AllocHUD());
            if (i > 0)
                waypoints[i - 1]->avatar->params[2] = static_cast<int32_t>(ItemHandle(w));
        }
        gScriptVars.waypointCount = gScriptVars.waypointStartCount = 3;
        int reachedAt[3] = {-1, -1, -1};
        for (int frame = 0; frame < kCourseFrames; ++frame) {
            for (const Hold& h : kCourse) {
                if (frame == h.from)
                    Key(h.key, true);
                if (frame == h.to)
                    Key(h.key, false);
            }
            Frame();
            for (int i = 0; i < 3; ++i)
                if (reachedAt[i] < 0 && gScriptVars.waypointCount == 2 - i)
                    reachedAt[i] = frame;
        }
        // The chain's links are handles, whose allocation serials differ
        // from one run to the next within one process.
        for (SceneItem* w : waypoints)
            w->avatar->params[2] = 0;
        *digest = WorldStateDigest();
        const int left = gScriptVars.waypointCount;
        gScriptVars = ScriptVariables{};
        for (int i = 0; i < 3; ++i)
            EXPECT_GE(reachedAt[i], 0) << "waypoint " << i;
        EXPECT_LT(reachedAt[0], reachedAt[1]);
        EXPECT_LT(reachedAt[1], reachedAt[2]);
        return left;
    };
    uint64_t first = 0, second = 0;
    EXPECT_EQ(fly(&first), 0);
    EXPECT_EQ(fly(&second), 0);
    EXPECT_EQ(first, second);
}

TEST_F(PlayerInputTest, TheSpeedSetPointKeysRepeatOnlyWhileASetPointIsOn)
{
    Sim* sim = ship_->sim;
    sim->flightModel->topSpeed = 0; // the drive's limit holds the first step at 0
    Key(SDL_SCANCODE_EQUALS, true);
    Frame();
    EXPECT_EQ(sim->ldsTargetSpeed, 0.0f);
    sim->flightModel->topSpeed = 1e6f;
    Frames(4); // held, with no set-point on: no repeat
    EXPECT_EQ(sim->ldsTargetSpeed, 0.0f);
    Key(SDL_SCANCODE_EQUALS, false);
    Frame();
    sim->ldsTargetSpeed = 500;
    Key(SDL_SCANCODE_KP_MINUS, true);
    Frames(4, 1); // every 3 hundredths: frames 1 and 4, 5000 a step
    EXPECT_FLOAT_EQ(sim->ldsTargetSpeed, 500.0f - 2 * 5000.0f);
    Frames(2, 5);
    EXPECT_FLOAT_EQ(sim->ldsTargetSpeed, 500.0f - 4 * 5000.0f);
    Key(SDL_SCANCODE_KP_MINUS, false);
}

TEST_F(PlayerInputTest, InTheWeaponViewButtonTwoAimsAndOtherwiseTheDemandsSettle)
{
    CurrentStation = 3;
    ship_->rollDemand = ship_->pitchDemand = ship_->yawDemand = 80;
    Frame();
    EXPECT_EQ(ship_->rollDemand, 70.0f); // x 7/8
    EXPECT_EQ(ship_->yawDemand, 70.0f);
    gTurnInputs = {-40, 24, 0};
    gPlayerInput.rotationDamping = 255;
    platform::VirtualJoystickSetButton(1, true);
    ship_->yawDemand = ship_->pitchDemand = 0;
    SteerFromInput(ship_); // button 2 read by the last frame's poll
    Frame();
    EXPECT_GT(ship_->yawDemand, 0.0f); // toward -A
    gPlayerInput.viewLocked = 255;     // a locked view is no weapon view
    ship_->rollDemand = 80;
    Frame();
    EXPECT_NE(ship_->rollDemand, 70.0f);
    platform::VirtualJoystickSetButton(1, false);
    CurrentStation = 0;
}

TEST_F(PlayerInputTest, TheStickSpringFollowsTheAssistThrustAndTheTurnRates)
{
    platform::HapticCapture(true);
    gForceFeedbackEnabled = 1;
    ASSERT_EQ(FFStart(), 1);
    Sim* sim = ship_->sim;
    sim->assistMode = 1;
    sim->velocity = {75, 0, 0}; // full sideways assist: |thrust x| = 0.75 a
    struct Case {
        float rate; // of each axis, against the nominal 30
        int32_t x, y;
    } const cases[] = {{30, 10000, 5000}, {60, 10000, 5000}, {15, 2500, 2500}, {0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        sim->turnRates = {c.rate, c.rate, c.rate};
        platform::CapturedHapticEffects().clear();
        ApplyFlightAssist(ship_);
        ASSERT_FALSE(platform::CapturedHapticEffects().empty());
        const platform::HapticEffect& spring = platform::CapturedHapticEffects().back().effect;
        EXPECT_EQ(spring.coefficientX, c.x);
        EXPECT_EQ(spring.coefficientY, c.y);
    }
    FFRelease();
    platform::HapticCapture(false);
}
