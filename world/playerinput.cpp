// Player input and ship control: ReadPlayerInput's turn inputs, the
// controlled ship's control routines, flight assist, the player's firing
// and targeting, and the jump readiness. The key and joystick state come
// from system/input and system/joystick; the weapons, the contact list and
// the bridge are called through their own headers.
#include "world/playerinput.h"

#include <algorithm>
#include <cmath>

#include "ai/aistate.h"
#include "ai/combat.h"
#include "ai/docking.h"
#include "ai/weapons.h"
#include "screens/bridge.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/sound.h"
#include "ui/contacts.h"
#include "world/floatingorigin.h"
#include "world/pools.h"
#include "world/rayqueries.h"
#include "world/records.h"
#include "world/scenelist.h"

TurnInputs gTurnInputs;
PlayerInput gPlayerInput;

// In FlightKey order.
uint8_t gFlightKeys[kFlightKeyCount] = {
    0x4C, // keypad 5
    0x4B, // keypad 4
    0x4D, // keypad 6
    0x48, // keypad 8
    0x50, // keypad 2
    0x4F, // keypad 1
    0x51, // keypad 3
    0x1D, // Ctrl
    0x39, // Space: forward thrust
    0x36, // right Shift: reverse thrust
    0x39, // Space: fire
    0x56, // the ISO extra key: strafe
    0x2B, // backslash: strafe
};

namespace {

constexpr float kKeyRamp = 650.0f; // turn input per second while a key is held
constexpr float kInputClamp = 180.0f;
constexpr float kDampingDecay = 0.2f;
constexpr float kEnergyShift = 0.13f;
constexpr int32_t kSetpointRepeat = 3;
constexpr int32_t kReminderPeriod = 300;
constexpr int32_t kBrakeDisplay = 250;
constexpr int32_t kResultTextTime = 200;
constexpr uint32_t kWeaponEdgeFire = 0x40; // fires once per press

// Sound numbers.
constexpr int32_t kSoundFireRefused = 18;
constexpr int32_t kSoundTargetPicked = 11;

// Scan codes of the speed set-point keys.
constexpr uint8_t kKeyEquals = 0x0D, kKeyPadPlus = 0x4E, kKeyMinus = 0x0C, kKeyPadMinus = 0x4A;
constexpr int kNavStation = 2;
constexpr int kWepStation = 3;

// The texts of FireWeapon's refusals 1 to 4.
const char* const kFireResultTexts[] = {
    "",
    "Weapon disabled",
    "Weapon empty",
    "No target in the firing arc",
    "Weapons cannot fire in LDS",
};
const char* const kAutopilotReminder = "Autopilot engaged: take the helm at NAV";

bool KeyDown(FlightKey key) { return GetKeyStateBlock()[gFlightKeys[key]] != 0; }
bool KeyWasDown(FlightKey key) { return GetPreviousKeyStateBlock()[gFlightKeys[key]] != 0; }
bool ScanDown(uint8_t code) { return GetKeyStateBlock()[code] != 0; }
bool ScanWasDown(uint8_t code) { return GetPreviousKeyStateBlock()[code] != 0; }
bool ButtonDown(uint32_t bit) { return (gJoystick.buttons & bit) != 0; }
bool ButtonPressed(uint32_t bit) { return (gJoystick.buttons & bit) && !(gJoystick.previousButtons & bit); }

// A key pushes its input down (toward -180) or up; the result is a whole
// number.
float PushDown(float value, float dt) { return value > 0 ? 0.0f : std::trunc(value - kKeyRamp * dt); }
float PushUp(float value, float dt) { return value < 0 ? 0.0f : std::trunc(value + kKeyRamp * dt); }

float Clamp(float v, float limit) { return v > limit ? limit : v < -limit ? -limit
                                                                          : v; }

// Half of a stick value, truncated toward zero, as a turn input.
float Half(int16_t v) { return static_cast<float>(v / 2); }

uint8_t HatDirections(uint16_t hat)
{
    switch (hat) {
    case 0: return kHatNorth;
    case 4500: return kHatNorth | kHatEast;
    case 9000: return kHatEast;
    case 13500: return kHatEast | kHatSouth;
    case 18000: return kHatSouth;
    case 22500: return kHatSouth | kHatWest;
    case 27000: return kHatWest;
    case 31500: return kHatWest | kHatNorth;
    default: return 0;
    }
}

// The hat's debounce: a value counts once it has held steady long enough.
void ReadHat(PlayerInput& in, int32_t step)
{
    in.hat = in.stick.hat;
    if (in.hat == in.previousHat)
        in.hatSteadyTicks = std::min(in.hatSteadyTicks + step, kHatSettleTicks); // no overflow
    else
        in.hatSteadyTicks = 0;
    in.previousHat = in.hat;
    in.hatDirections = in.hatSteadyTicks >= kHatSettleTicks ? HatDirections(in.hat) : 0;
}

Vector3 Row(const Matrix4& m, int row) { return {m.m[row * 4], m.m[row * 4 + 1], m.m[row * 4 + 2]}; }

Vector3 ToShipAxes(const Sim* sim, const Vector3& v)
{
    return {VecDot(v, Row(sim->matrix, 0)), VecDot(v, Row(sim->matrix, 1)), VecDot(v, Row(sim->matrix, 2))};
}

const FlightModel& ModelOf(const Sim* sim)
{
    static const FlightModel none{};
    return sim->flightModel ? *sim->flightModel : none;
}

// A turn rate over its nominal one, capped at 1.
float RateRatio(float rate, float nominal)
{
    if (!(nominal > 0.0f))
        return 0.0f;
    float r = std::fabs(rate) / nominal;
    return r > 1.0f ? 1.0f : r;
}

bool InWeaponView() { return gWeaponViewFlag || (CurrentStation == kWepStation && !gPlayerInput.viewLocked); }

// The speed set-point keys, at most once every 3 hundredths; held keys
// repeat only while the set-point is not 0.
void SpeedSetpointKeys()
{
    PlayerInput& in = gPlayerInput;
    if (in.setpointWait > 0)
        in.setpointWait -= gFrameClock.frameTicks;
    if (in.setpointWait > 0)
        return;
    const bool raise = ScanDown(kKeyEquals) || ScanDown(kKeyPadPlus);
    const bool lower = ScanDown(kKeyMinus) || ScanDown(kKeyPadMinus);
    const bool wasDown = raise ? (ScanWasDown(kKeyEquals) || ScanWasDown(kKeyPadPlus))
                               : (ScanWasDown(kKeyMinus) || ScanWasDown(kKeyPadMinus));
    if (!raise && !lower)
        return;
    const SceneItem* controlled = gControlledItem;
    const bool setpointOn = controlled && controlled->sim && controlled->sim->ldsTargetSpeed != 0.0f;
    if (!setpointOn && wasDown)
        return;
    if (raise)
        IncreaseSpeedSetpoint();
    else
        DecreaseSpeedSetpoint();
    in.setpointWait = kSetpointRepeat;
}

} // namespace

void ResetPlayerInput()
{
    PlayerInput& in = gPlayerInput;
    in.stick = PollJoystick();
    in.throttle = in.previousThrottle = in.stick.throttle;
    in.hat = in.previousHat = 0xFFFF;
    in.hatSteadyTicks = 0;
    in.hatDirections = 0;
    in.hatRateX = in.hatRateY = 45.0f;
    gTurnInputs = {};
    in.button2Held = 0;
    MatIdentity(in.look);
}

void ToggleRotationDamping() { gPlayerInput.rotationDamping = gPlayerInput.rotationDamping ? 0 : 255; }

void ReadPlayerInput()
{
    if (!gPlayerItem || !gPlayerItem->sim)
        return;
    PlayerInput& in = gPlayerInput;
    Sim* sim = gPlayerItem->sim;
    const float dt = gFrameClock.frameSeconds;
    const int32_t step = gFrameClock.frameTicks;
    if (sim->flags & kSimStunned) {
        if (static_cast<int32_t>((ShiftRegisterRandom() >> 1) % 154) < step)
            sim->flags &= ~kSimStunned;
        return;
    }

    in.swappedThisFrame = in.axisSwap;
    if (in.button2Held > kButton2SwapTicks)
        in.swappedThisFrame = in.axisSwap ? 0 : 255;

    in.stick = PollJoystick();
    if (in.throttleFromJoystick)
        in.throttle = in.stick.throttle;

    ReadHat(in, step);
    in.hatUsed = 0;
    if (in.hatDirections && in.hatMode == kHatLook) {
        in.hatUsed = 255;
        if (in.hatDirections & kHatEast)
            MatRotY(in.hatRateY * dt, in.look);
        if (in.hatDirections & kHatWest)
            MatRotY(-in.hatRateY * dt, in.look);
        if (in.hatDirections & kHatSouth)
            MatRotX(in.hatRateX * dt, in.look);
        if (in.hatDirections & kHatNorth)
            MatRotX(-in.hatRateX * dt, in.look);
    } else if (in.hatDirections && in.hatMode == kHatContacts) {
        RepeatContactHatActions(in.hatDirections);
    }

    if (in.lookMode && KeyDown(kKeySlow)) {
        in.hatUsed = 255;
        MatRotY(static_cast<float>(in.stick.x / 4) * dt, in.look);
        MatRotX(static_cast<float>(in.stick.y / 4) * dt, in.look);
        return;
    }

    TurnInputs& t = gTurnInputs;
    if (KeyDown(kKeySlow)) {
        t.roll *= 0.1f;
        t.pitch *= 0.1f;
        t.yaw *= 0.1f;
    }
    if (!KeyDown(kKeyModifier)) {
        if (KeyDown(kKeyPitchDown))
            t.pitch = PushDown(t.pitch, dt);
        if (KeyDown(kKeyPitchUp))
            t.pitch = PushUp(t.pitch, dt);
        if (KeyDown(kKeyRollRight))
            t.roll = PushDown(t.roll, dt);
        if (KeyDown(kKeyRollLeft))
            t.roll = PushUp(t.roll, dt);
        if (KeyDown(kKeyYawLeft))
            t.yaw = PushDown(t.yaw, dt);
        if (KeyDown(kKeyYawRight))
            t.yaw = PushUp(t.yaw, dt);
    } else {
        float* s = gEnergyShares;
        if (KeyDown(kKeyPitchDown))
            ShiftEnergyShare(kEnergyShift, &s[0], &s[1], &s[2]);
        if (KeyDown(kKeyRollLeft))
            ShiftEnergyShare(kEnergyShift, &s[1], &s[0], &s[2]);
        if (KeyDown(kKeyRollRight))
            ShiftEnergyShare(kEnergyShift, &s[2], &s[0], &s[1]);
    }
    const bool rollKeys = KeyDown(kKeyRollRight) || KeyDown(kKeyRollLeft);
    const bool pitchKeys = KeyDown(kKeyPitchDown) || KeyDown(kKeyPitchUp);
    const bool yawKeys = KeyDown(kKeyYawLeft) || KeyDown(kKeyYawRight);
    if (in.rotationDamping) {
        if (!rollKeys)
            t.roll *= kDampingDecay;
        if (!yawKeys)
            t.yaw *= kDampingDecay;
        if (!pitchKeys)
            t.pitch *= kDampingDecay;
    }
    t.roll = Clamp(t.roll, kInputClamp);
    t.pitch = Clamp(t.pitch, kInputClamp);
    t.yaw = Clamp(t.yaw, kInputClamp);

    const JoystickState& s = in.stick;
    if (in.rotationDamping) {
        if (in.swappedThisFrame) {
            const float roll = t.roll;
            t.roll = -t.yaw;
            t.yaw = -roll;
        }
    } else if (!in.swappedThisFrame) {
        if (!rollKeys)
            t.roll = -Half(s.x);
        if (!pitchKeys)
            t.pitch = Half(s.y);
        if (!yawKeys)
            t.yaw = Half(s.rudder);
        if (ButtonDown(kStickButtonYawDown))
            t.yaw = PushDown(t.yaw, dt);
        if (ButtonDown(kStickButtonYawUp))
            t.yaw = PushUp(t.yaw, dt);
    } else {
        t.roll = -Half(s.rudder);
        t.pitch = Half(s.y);
        t.yaw = Half(s.x);
        if (ButtonDown(kStickButtonYawUp))
            t.roll = PushDown(t.roll, dt);
        if (ButtonDown(kStickButtonYawDown))
            t.roll = PushUp(t.roll, dt);
    }

    if (in.quarterInput) {
        t.roll /= 4;
        t.pitch /= 4;
        t.yaw /= 4;
        in.quarterInput = 0;
    }
}

void SteerFromInput(SceneItem* item)
{
    Sim* sim = item->sim;
    PlayerInput& in = gPlayerInput;
    const TurnInputs& t = gTurnInputs;
    const FlightModel& model = ModelOf(sim);
    const float a = 2.0f * model.acceleration;
    in.strafing = 0;

    if (InWeaponView()) {
        if (ButtonDown(kStickButton2)) {
            item->yawDemand += (-t.roll - item->yawDemand) / 8;
            item->pitchDemand += (t.pitch - item->pitchDemand) / 8;
        } else {
            item->rollDemand *= 7.0f / 8;
            item->pitchDemand *= 7.0f / 8;
            item->yawDemand *= 7.0f / 8;
        }
    } else if (KeyDown(kKeyStrafe) || KeyDown(kKeyStrafeAlt)) {
        in.strafing = 255;
        sim->thrust.x = -t.roll * a / 328;
        sim->thrust.y = t.pitch * a / 328;
        item->rollDemand *= 7.0f / 8;
        item->pitchDemand *= 7.0f / 8;
        item->yawDemand += (t.yaw - item->yawDemand) / 8;
    } else {
        item->rollDemand += (t.roll - item->rollDemand) / 8;
        item->yawDemand += (t.yaw - item->yawDemand) / 8;
        item->pitchDemand += (t.pitch - item->pitchDemand) / 8;
    }
    if (in.hatMode == kHatStrafe && !in.strafing && in.hatDirections) {
        if (in.hatDirections & kHatNorth)
            sim->thrust.y = -a / 2;
        if (in.hatDirections & kHatEast)
            sim->thrust.x = a / 2;
        if (in.hatDirections & kHatSouth)
            sim->thrust.y = a / 2;
        if (in.hatDirections & kHatWest)
            sim->thrust.x = -a / 2;
        in.strafing = 255;
    }
    item->rollRemaining = item->rollDemand;
    item->pitchRemaining = item->pitchDemand;
    item->yawRemaining = item->yawDemand;

    if (!(sim->flags & kSimLdsEngaged)) {
        if (!(sim->flags & kSimAiControl))
            sim->thrust.z = 0.0f;
        if (KeyDown(kKeyForward))
            sim->thrust.z = model.acceleration;
        if (KeyDown(kKeyReverse))
            sim->thrust.z = -model.acceleration;
    }
    SpeedSetpointKeys();
}

void SteerWithoutThrust(SceneItem* item)
{
    SteerFromInput(item);
    item->sim->thrust.z = 0.0f;
}

void ApplyFlightAssist(SceneItem* item)
{
    Sim* sim = item->sim;
    if (sim->flags & (kSimLdsEngaged | kSimAiControl))
        return;
    PlayerInput& in = gPlayerInput;
    const FlightModel& model = ModelOf(sim);
    const float acc = model.acceleration;
    const float lateral = 0.75f * acc;
    sim->localVelocity = ToShipAxes(sim, sim->velocity);
    const Vector3& v = sim->localVelocity;
    if (item == gControlledItem && in.throttleFromJoystick && in.throttle != in.previousThrottle) {
        sim->ldsTargetSpeed = static_cast<float>(in.throttle) * model.topSpeed / 100.0f;
        in.previousThrottle = in.throttle;
    }
    if (!KeyDown(kKeyForward) && !KeyDown(kKeyReverse)) {
        if (sim->assistMode == 0) {
            sim->thrust = {};
        } else if (sim->assistMode == 1 || sim->assistMode == 2) {
            sim->thrust.z = Clamp(sim->ldsTargetSpeed - v.z, acc);
        }
    }
    if ((sim->assistMode == 1 || sim->assistMode == 2) && !(sim->flags & kSimNoLateralAssist)) {
        sim->thrust.x = -Clamp(v.x, lateral);
        sim->thrust.y = -Clamp(v.y, v.y > 0 ? acc : lateral);
    }
    if (item == gControlledItem) {
        const float sx = lateral > 0 ? std::fabs(sim->thrust.x) / lateral : 0.0f;
        const float sy = lateral > 0 ? std::fabs(sim->thrust.y) / lateral : 0.0f;
        const Vector3& r = sim->turnRates; // pitch, yaw, roll
        const float x = (sx * 5000 + 5000) * RateRatio(r.z, model.rollRate) * RateRatio(r.y, model.yawRate);
        const float y = (sy * 5000 + 5000) * RateRatio(r.x, model.pitchRate);
        FFSetConditionStrength(static_cast<int32_t>(x), static_cast<int32_t>(y));
    }
}

Weapon* CurrentWeapon(SceneItem* item)
{
    Sim* sim = item->sim;
    if (!sim->currentWeapon)
        sim->currentWeapon = sim->weapons;
    return sim->currentWeapon;
}

void FirePlayerWeapon(SceneItem* item)
{
    Weapon* weapon = CurrentWeapon(item);
    if (!weapon)
        return; // an empty weapon list fires nothing
    Sim* sim = item->sim;
    PlayerInput& in = gPlayerInput;
    SceneItem* target = sim->target;
    if (!target && !in.viewLocked) {
        float offset = 0.0f;
        target = FindNearestItemOnRay(item, nullptr, 30, 0, &offset, nullptr);
        if (target)
            SelectContact(target);
    }
    if (!target && in.viewLocked)
        return;
    sim->target = target;
    const int16_t result = FireWeapon(target, 0, 0, 0, item, weapon);
    if (result >= 1 && result <= 4) {
        SoundPlay(kSoundFireRefused, 0, 0, 0, 0);
        if (!in.messagesOff)
            guiDisplayMessage(kFireResultTexts[result], kResultTextTime);
    }
}

void SelectTargetOrComponent()
{
    SceneItem* controlled = gControlledItem;
    SceneItem* before = controlled && controlled->sim ? controlled->sim->target.Get() : nullptr;
    SceneItem* picked = SelectTargetAhead(nullptr, 0);
    if (picked && picked == before)
        SelectNextTargetComponent(picked);
    SoundPlay(kSoundTargetPicked, 0, 0, 0, 0);
}

int32_t JumpReadiness(SceneItem* ship, SceneItem* target)
{
    const Sim* sim = ship->sim;
    int32_t result = 0;
    if (sim->flags & kSimLdsEngaged)
        result |= kJumpInLds;
    const float speed = VecLength(sim->velocity);
    if (speed < 5000.0f)
        result |= kJumpTooSlow;
    if (speed > 500000.0f)
        result |= kJumpTooFast;
    if (!target || !target->sim)
        return result | kJumpBadHeading | kJumpOutOfPlace;
    const Sim* gate = target->sim;
    Vector3 heading = speed > 2500.0f ? sim->velocity : Row(sim->matrix, 2);
    VecNormalise(heading);
    if (VecDot(heading, Row(gate->matrix, 2)) < 0.65f)
        result |= kJumpBadHeading;
    const Vector3 d{static_cast<float>(sim->position.x - gate->position.x),
                    static_cast<float>(sim->position.y - gate->position.y),
                    static_cast<float>(sim->position.z - gate->position.z)};
    const Vector3 local = ToShipAxes(gate, d);
    if (VecLength(local) > 27500.0f || local.z < -10000.0f)
        result |= kJumpOutOfPlace;
    return result;
}

void CONTROL_MAIN(SceneItem* item)
{
    if (item != gControlledItem || !item->sim)
        return;
    Sim* sim = item->sim;
    PlayerInput& in = gPlayerInput;
    const int32_t step = gFrameClock.frameTicks;

    if (sim->flags & kSimBraked) {
        const Vector3 v = ToShipAxes(sim, sim->velocity);
        sim->thrust = {-0.1f * v.x, -0.1f * v.y, -0.1f * v.z};
        in.brakeDisplay = kBrakeDisplay;
        return;
    }
    in.strafing = 0;
    if (sim->flags & kSimAiControl) {
        sim->flags &= ~kSimAiSteersWithInput;
        SceneItem* second = sim->secondTarget;
        CONTROL_AI(item);
        sim->secondTarget = second;
        sim->localVelocity = ToShipAxes(sim, sim->velocity);
        if (item == gPlayerItem && CurrentStation != kNavStation) {
            in.reminderWait -= step;
            if (in.reminderWait <= 0) {
                guiDisplayMessage(kAutopilotReminder, kResultTextTime);
                in.reminderWait = kReminderPeriod;
            }
        }
        if (sim->flags & kSimAiSteersWithInput)
            SteerFromInput(item);
    } else {
        SteerFromInput(item);
        if (!in.strafing)
            ApplyFlightAssist(item);
    }

    const bool fire = ButtonDown(kStickButton1) || KeyDown(kKeyFire);
    const bool fireWasDown = (gJoystick.previousButtons & kStickButton1) || KeyWasDown(kKeyFire);
    if (fire) {
        Weapon* weapon = CurrentWeapon(item);
        if (weapon && (!(weapon->flags & kWeaponEdgeFire) || !fireWasDown))
            FirePlayerWeapon(item);
    }

    if (ButtonDown(kStickButton2)) {
        in.button2Held = std::min(in.button2Held + step, kButton2TapTicks); // no overflow
    } else {
        if ((gJoystick.previousButtons & kStickButton2) && in.button2Held < kButton2TapTicks)
            SelectTargetOrComponent();
        in.button2Held = 0;
    }
    if (ButtonPressed(kStickButton4))
        guiSelectNextGun(nullptr);
    if (ButtonPressed(kStickButton3))
        guiSelectNextMissile(nullptr);
    if (ButtonPressed(kStickButtonView))
        ToggleViewModeFlag();

    if (item != gPlayerItem || item->perFrame == UpdateCoupledShip) {
        UpdateWeaponMounts(sim->weapons, item);
        return;
    }
    in.jumpLamps = 0;
    if (!(sim->flags & kSimJumpUnderWay)) {
        if (item->flags & kItemJumpCheck) {
            item->flags = static_cast<int16_t>(item->flags & ~kItemJumpCheck);
            const int32_t readiness = JumpReadiness(item, in.jumpTarget);
            in.jumpLamps = readiness;
            sim->flags &= ~kSimJumpReady;
            if (readiness == 0) {
                sim->flags |= kSimJumpReady;
                StartPlayerJump();
            }
        }
    }
    const uint32_t side = item->avatar ? item->avatar->classFlags & kClassSides : 0;
    const uint32_t enemies = (kClassSides & ~side) | kClassMissile;
    AssignHardPointTarget(item, 0, enemies, side | 0x20);
    AssignHardPointTarget(item, 1, enemies, side | 0x20);
    TickWeaponReloads(sim->weapons);
}

void CONTROL_FREE(SceneItem* item)
{
    if (item == gPlayerItem)
        CONTROL_MAIN(item);
    item->pitchRemaining = item->pitchDemand;
    item->yawRemaining = item->yawDemand;
    item->rollRemaining = item->rollDemand;
}

void LookAheadPlayerControl(SceneItem* item)
{
    float offset = 0.0f;
    SceneItem* ahead = FindNearestItemOnRay(item, nullptr, 0xFFFFFFFFu, 0, &offset, nullptr);
    gPlayerInput.lookAtItem = nullptr;
    if (ahead && ahead->sim && item->sim) {
        const Vector3 d{static_cast<float>(ahead->sim->position.x - item->sim->position.x),
                        static_cast<float>(ahead->sim->position.y - item->sim->position.y),
                        static_cast<float>(ahead->sim->position.z - item->sim->position.z)};
        if (VecLength(d) <= 12000.0f)
            gPlayerInput.lookAtItem = ahead;
    }
    CONTROL_MAIN(item);
}

void CONTROL_TEST(SceneItem* item)
{
    Sim* sim = item->sim;
    if (ButtonDown(kStickButton1)) {
        if (Weapon* weapon = CurrentWeapon(item))
            FireWeapon(sim->target, 100000.0f, 0, 0, item, weapon);
    }
    UpdateWeaponMounts(sim->weapons, item);
    sim->thrust.z = 0.0f;
    if (ScanDown(0x39))
        sim->thrust.z = 9000.0f;
    if (ScanDown(0x36))
        sim->thrust.z = -9000.0f;
    sim->velocity.x *= 0.98f;
    sim->velocity.y *= 0.98f;
    sim->velocity.z *= 0.98f;
}

void ClearThrustDemand(SceneItem* item)
{
    if (item && item->sim)
        item->sim->thrust = {};
}
