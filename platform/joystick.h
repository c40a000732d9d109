// The joystick and its force feedback, on SDL.
//
// One joystick, the first the host offers, read on demand. Its axes are
// given as unsigned values 0 .. 65535 (centre 32767): axis 0 is x, 1 is y,
// 2 the throttle, 3 the rudder. The hat is in hundredths of a degree
// clockwise from forward (0, 4500, ... 31500), kHatCentred when centred.
// Buttons are one bit each, bit 0 for the first.
//
// Force feedback goes through SDL's haptic layer when the joystick has one:
// a spring (the condition force) and short constant-force jolts. How the
// game uses them, and what the readings mean to it, is system/joystick.h's
// business.
//
// Tests: a virtual joystick stands in for a device (attach, move, detach
// to unplug it mid-run); the haptic capture takes the place of a haptic
// device and records the effects it is given.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

constexpr uint16_t kHatCentred = 0xFFFF;
constexpr uint32_t kAxisMaximum = 65535;

enum class JoystickResult : uint8_t {
    Ok,
    NoDriver,  // the host's joystick layer cannot start
    NoDevice,  // no joystick is connected
    Unplugged, // the open joystick went away
};

struct JoystickCaps {
    uint32_t axisMinimum, axisMaximum; // the same for every axis
    bool hasThrottle, hasRudder, hasHat;
    int buttons;
};

struct JoystickReading {
    uint32_t x, y, throttle, rudder; // 0 .. 65535
    uint16_t hat;                    // hundredths of a degree, or kHatCentred
    uint32_t buttons;                // bit i: button i + 1 is down
};

// Opens the first joystick.
JoystickResult JoystickOpen(JoystickCaps* caps);
void JoystickClose();
// The joystick's position now.
JoystickResult JoystickRead(JoystickReading* reading);

// ---- Force feedback ---------------------------------------------------------

enum class HapticKind : uint8_t {
    Spring, // the condition force: coefficients x and y, 0 .. 10000
    Jolt,   // a constant force: gain 0 .. 10000 towards `direction`
};

struct HapticEffect {
    HapticKind kind;
    int32_t gain;         // Jolt
    int32_t direction;    // Jolt: hundredths of a degree, polar, 0 forward
    uint32_t lengthMs;    // Jolt
    int32_t coefficientX; // Spring
    int32_t coefficientY; // Spring
};

// Opens the force feedback of the open joystick; false when it has none.
bool HapticOpen();
void HapticClose();
bool HapticIsOpen();
// Makes an effect and plays it once: its id, or -1.
int HapticStart(const HapticEffect& effect);
// Gives a running effect new values.
bool HapticUpdate(int id, const HapticEffect& effect);
// Stops and frees an effect.
void HapticRelease(int id);

// ---- For tests ---------------------------------------------------------------

// A virtual joystick with `axes` axes (up to 4), `buttons` buttons and
// `hats` hats; false when SDL cannot make one. Values as SDL takes them:
// axes -32768 .. 32767, hat as SDL's hat bits (1 up, 2 right, 4 down, 8 left).
bool VirtualJoystickAttach(int axes, int buttons, int hats);
void VirtualJoystickSetAxis(int axis, int16_t value);
void VirtualJoystickSetButton(int button, bool down);
void VirtualJoystickSetHat(int hat, uint8_t sdlHatBits);
// Unplugs it.
void VirtualJoystickDetach();

// With capture on, HapticOpen succeeds without a device and every effect
// started or updated is recorded (with its id) instead of played.
struct CapturedHaptic {
    enum class Op : uint8_t {
        Start,
        Update,
        Release
    } op;
    int id;
    HapticEffect effect;
};
void HapticCapture(bool on);
std::vector<CapturedHaptic>& CapturedHapticEffects();

} // namespace platform
