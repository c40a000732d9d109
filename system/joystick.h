// The joystick and force feedback as the flight code sees them.
//
// The joystick is read whenever the flight code asks (PollJoystick): its
// axes are centred, divided and dead-zoned by the joystick settings, the
// hat is in hundredths of a degree (0xFFFF centred), and the first four
// buttons appear in KeyStateBlock entries 128 to 131 (system/input.h).
// A joystick unplugged mid-run reads as no joystick from then on: zeros,
// and its buttons released.
//
// Force feedback, when the joystick has it, gives a condition force (a
// spring whose strength the flight code sets) and short jolts for weapon
// fire and hits. Without it every force routine returns 0 at once.
#pragma once

#include <cstdint>

struct JoystickState {
    int16_t x, y, rudder, throttle;
    // Hundredths of a degree clockwise from forward; centred when there is no
    // joystick or it has no hat (0 would be a hat held forward).
    uint16_t hat = 0xFFFF;
};

// In this order; the throttle span is replaced at start-up by the device's
// throttle range.
struct JoystickSettings {
    int32_t xDivisor = 100;
    int32_t yDivisor = 100;
    int32_t throttleSpan = 100;
    int32_t rudderDivisor = 100;
    int32_t xDeadZone = 50;
    int32_t yDeadZone = 50;
    int32_t throttleDeadZone = 5;
    int32_t rudderDeadZone = 150;
};

// Capability flags of the device.
constexpr uint32_t kJoyHasThrottle = 0x1;
constexpr uint32_t kJoyHasRudder = 0x2;
constexpr uint32_t kJoyHasHat = 0x20 | 0x40;

struct JoystickDevice {
    uint8_t present;
    uint32_t capabilities;
    int32_t centreX, centreY, centreRudder;
    int32_t throttleMaximum;
    uint32_t buttons, previousButtons;
    JoystickState state;
};

extern JoystickSettings gJoystickSettings;
extern JoystickDevice gJoystick;
extern int16_t gForceFeedbackEnabled; // 1: start force feedback at start-up

// The joystick's result codes, as the joystick layer reports them.
enum : int32_t {
    kJoyErrNoError = 0,
    kJoyErrBadDeviceId = 2,
    kJoyErrNoDriver = 6,
    kJoyErrInvalidParam = 11,
    kJoyErrUnplugged = 167,
};

// Start-up: empties the key queue and the KeyStateBlock, starts force
// feedback, then opens the joystick (present or absent) and polls it twice.
void InitJoystick();
// Reads the joystick; the last state (zeros before any) when absent.
JoystickState PollJoystick();
const char* JoystickErrorText(int32_t result);

// ---- Force feedback ---------------------------------------------------------

// Force-feedback results: 0, or the number of a name in FFErrorName's
// table. These are the ones our device layer gives.
enum : int32_t {
    kFFOk = 0,
    kFFNotFound = 5,     // "DIERR_NOTFOUND": no force-feedback device
    kFFUnsupported = 10, // "DIERR_UNSUPPORTED": the device cannot play it
    kFFNotInitialized = 11,
};

// Opens force feedback (when enabled) and starts the condition force.
// Returns 1 when ready, else 0 with the reason kept in FFLastMessage().
int FFStart();
void FFRelease();
int FFReacquire();
// The condition force's two strengths, 0 .. 10000.
int FFSetConditionStrength(int32_t x, int32_t y);
// Jolts. Fire always plays at full gain; the gain variant is the second
// fire effect. The hit effects cap the gain at 10000 and take their
// direction from the bearing of (x, y).
int FFPlayFireEffect(int32_t unusedGain, int32_t direction);
int FFPlayFireEffectGain(int32_t gain, int32_t direction);
int FFPlayHitEffect(int32_t gain, float x, float y);
int FFPlayHitEffect2(int32_t gain, float x, float y);
bool FFReady();
// The text kept by the last failed FFStart ("" when none).
const char* FFLastMessage();

// Fills `text` (at least 40 bytes) with the name of a force-feedback result.
// FFErrorName's table holds the names of the device layer's results, of
// the force-feedback driver's ("SFERR_...") and of effect files ("VFX_...").
void FFErrorName(int32_t result, char* text);
// Bearing of (x, y) in degrees, as the hit effects take it: 90 - atan(y / x)
// for x >= 0, else -atan(y / x) - 90; 0 for (0, 0).
float JoystickBearing(float x, float y);
