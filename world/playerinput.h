// Player input and ship control: the player's hands on the controlled ship.
//
// Once a frame, before the control pass, ReadPlayerInput turns the
// KeyStateBlock (system/input.h) and the joystick (system/joystick.h) into
// three turn inputs and the view's look-around. The controlled ship's
// control routine CONTROL_MAIN then turns those inputs into demands and
// thrust (the ship physics moves the ship), flight assist, firing, target
// selection and the start of a jump.
//
// Keys are set-1 scan codes; the joystick's button word has 1 for button 1,
// 2 button 2, 4 button 3, 8 button 4 and 0x20, 0x100, 0x200 for further
// buttons. Times are hundredths (frame ticks), never frames, so the hat's
// debounce and button 2's tap or hold read the same at any frame rate.
#pragma once

#include <cstdint>

#include "system/gamemath.h"
#include "system/joystick.h"

struct SceneItem;
struct Weapon;

// The three turn inputs of the player's flight control: whole numbers,
// -180..180. SIM_MAIN reads them for the engine volume.
struct TurnInputs {
    float roll;  // A
    float pitch; // B
    float yaw;   // C
};
extern TurnInputs gTurnInputs;

// The flight keys, by scan code. Scripts may rebind any of them.
enum FlightKey : int {
    kKeySlow,      // keypad 5: fine control; with look mode, look around
    kKeyRollLeft,  // keypad 4: pushes A up
    kKeyRollRight, // keypad 6: pushes A down
    kKeyPitchDown, // keypad 8: pushes B down
    kKeyPitchUp,   // keypad 2: pushes B up
    kKeyYawLeft,   // keypad 1: pushes C down
    kKeyYawRight,  // keypad 3: pushes C up
    kKeyModifier,  // Ctrl: keypad 8, 4, 6 shift the energy shares instead
    kKeyForward,   // forward thrust
    kKeyReverse,   // reverse thrust
    kKeyFire,
    kKeyStrafe,    // the ISO keyboard's extra key (0x56)...
    kKeyStrafeAlt, // ...and a key every keyboard has (backslash, 0x2B)
    kFlightKeyCount,
};
extern uint8_t gFlightKeys[kFlightKeyCount];

// Joystick button-word bits.
enum : uint32_t {
    kStickButton1 = 0x1,
    kStickButton2 = 0x2,
    kStickButton3 = 0x4,
    kStickButton4 = 0x8,
    kStickButtonView = 0x20,
    kStickButtonYawDown = 0x100,
    kStickButtonYawUp = 0x200,
};

// Hat modes.
enum : uint8_t {
    kHatLook = 0,     // the hat turns the look matrix
    kHatContacts = 1, // the contact list repeats its hat actions
    kHatStrafe = 2,   // the hat strafes
};

// Hat direction bits, from the hat's angle.
enum : uint8_t {
    kHatNorth = 1,
    kHatEast = 2,
    kHatSouth = 4,
    kHatWest = 8,
};

// A hat value counts once it has stood unchanged this long (hundredths);
// a value seen for one frame only never counts.
constexpr int32_t kHatSettleTicks = 4;
// Button 2 held longer than this swaps roll and yaw while held...
constexpr int32_t kButton2SwapTicks = 25;
// ...and released sooner than this it picks a target.
constexpr int32_t kButton2TapTicks = 50;

// The player-input state: one record.
struct PlayerInput {
    uint8_t rotationDamping = 255; // 255: keys fly, released axes decay; 0: stick flies
    uint8_t axisSwap = 0;          // roll and yaw exchanged
    uint8_t throttleFromJoystick = 0;
    uint8_t lookMode = 0;
    uint8_t quarterInput = 0;                    // one-shot: the next inputs are divided by 4
    uint8_t hatMode = kHatContacts;              // kHatLook, kHatContacts, kHatStrafe
    uint8_t hatUsed = 0;                         // set when the hat turned the look matrix
    uint8_t strafing = 0;                        // set by SteerFromInput this frame
    uint8_t viewLocked = 0;                      // the bridge's view lock
    uint8_t messagesOff = 0;                     // no result texts on the message line
    uint16_t hat = 0xFFFF, previousHat = 0xFFFF; // hundredths of a degree, 0xFFFF centred
    int32_t hatSteadyTicks = 0;                  // how long the hat has held its value
    uint8_t hatDirections = 0;                   // the counted directions of this frame
    float hatRateX = 45.0f, hatRateY = 45.0f;    // degrees per second of look-around
    int32_t throttle = 0, previousThrottle = 0;
    int32_t button2Held = 0;      // hundredths
    int32_t setpointWait = 0;     // hundredths until a set-point key acts again
    int32_t reminderWait = 0;     // hundredths until the autopilot reminder
    int32_t brakeDisplay = 0;     // hundredths the brake display stays up
    uint8_t swappedThisFrame = 0; // the axis swap in effect this frame
    JoystickState stick{};        // this frame's joystick
    // The view's look-around.
    Matrix4 look = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    SceneItem* jumpTarget = nullptr; // what JumpReadiness measures against
    // The jump's five drive-status lamps: the last JumpReadiness of a jump
    // check, 0 in a frame without one (the flight HUD shows them).
    int32_t jumpLamps = 0;
    SceneItem* lookAtItem = nullptr; // noted by LookAheadPlayerControl
    // The player's weapon options (set at the weapons station) and counts.
    uint8_t fireAhead = 0;       // shots go along the mount, without a target
    uint8_t componentAiming = 0; // aim at the selected component of the target
    uint8_t autoSelect = 0;      // after a shot at the WEP station, the next enemy contact
    int32_t shotsFired = 0;
    int32_t missilesFired = 0;
};
extern PlayerInput gPlayerInput;

// Polls the joystick, takes its throttle, centres the hat, sets the hat
// rates to 45 and 45 and clears the turn inputs and the hold timer.
void ResetPlayerInput();
// Once a frame, when there is a player's item: the turn inputs and the look
// matrix from keys and stick.
void ReadPlayerInput();
void ToggleRotationDamping();

// Demands and thrust from the turn inputs, strafing, the thrust keys and
// the speed set-point keys.
void SteerFromInput(SceneItem* item);
// SteerFromInput, with the forward thrust cleared: turning and strafing only.
void SteerWithoutThrust(SceneItem* item);
// Thrust that holds the set-point speed and cancels sideways drift, by the
// Sim's assist mode; the joystick's spring follows the thrust.
void ApplyFlightAssist(SceneItem* item);
// The Sim's current Weapon: the first of its list when none; null when the
// list is empty.
Weapon* CurrentWeapon(SceneItem* item);
void FirePlayerWeapon(SceneItem* item);
// Picks the item under the aim ray; picking the same target again selects
// its next component.
void SelectTargetOrComponent();

// JumpReadiness bits: 0 when ready to jump.
enum : int32_t {
    kJumpInLds = 0x1,
    kJumpTooSlow = 0x2,     // below 5000
    kJumpTooFast = 0x4,     // above 500,000
    kJumpBadHeading = 0x8,  // heading . target's z below 0.65
    kJumpOutOfPlace = 0x10, // more than 27,500 away or 10,000 behind the target
};
int32_t JumpReadiness(SceneItem* ship, SceneItem* target);

// The control routines of the controlled ship.
void CONTROL_MAIN(SceneItem* item);
void CONTROL_FREE(SceneItem* item);
void CONTROL_TEST(SceneItem* item);
void LookAheadPlayerControl(SceneItem* item);
// Zeroes the three thrust demands of the item's Sim.
void ClearThrustDemand(SceneItem* item);
