// The joystick and force feedback. See joystick.h.
#include "system/joystick.h"

#include "platform/joystick.h"
#include "system/input.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

JoystickSettings gJoystickSettings;
JoystickDevice gJoystick = {};
int16_t gForceFeedbackEnabled = 1;

namespace {

constexpr int kJoystickButtonEntries = 4;

// Effect slots of the jolts.
enum : int {
    kFireSlot,
    kSecondFireSlot,
    kHitSlotA,
    kHitSlotB,
    kEffectSlots
};

// How long a jolt pushes: long enough to be felt, short enough that the
// next shot's jolt replaces it.
constexpr uint32_t kJoltLengthMs = 100;

struct ForceFeedback {
    uint8_t ready = 0;
    int32_t lastResult = kFFOk;
    char message[160] = "";
    int condition = -1;
    platform::HapticEffect conditionEffect{};
    int slots[kEffectSlots] = {-1, -1, -1, -1};
} gFF;

void ClearJoystickButtons()
{
    KeyStateBlock& keys = GetKeyStateBlock();
    for (int i = 0; i < kJoystickButtonEntries; ++i)
        keys[kStateJoystickButton1 + i] = 0;
}

// |v| below the dead zone is 0; otherwise v moves towards 0 by it.
int32_t DeadZone(int32_t v, int32_t zone)
{
    if (std::abs(v) < zone)
        return 0;
    return v > 0 ? v - zone : v + zone;
}

// A divisor of 0 or below (a bad setting) divides by 1.
int32_t Divided(int32_t v, int32_t divisor)
{
    return v / std::max(divisor, 1);
}

int16_t Narrow(int32_t v)
{
    return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

void ForgetJoystick()
{
    gJoystick.present = 0;
    gJoystick.state = {};
    gJoystick.previousButtons = gJoystick.buttons;
    gJoystick.buttons = 0;
    ClearJoystickButtons();
}

int Jolt(int slot, int32_t gain, int32_t direction)
{
    if (!gFF.ready)
        return 0;
    platform::HapticRelease(gFF.slots[slot]);
    platform::HapticEffect effect{};
    effect.kind = platform::HapticKind::Jolt;
    effect.gain = gain;
    effect.direction = direction;
    effect.lengthMs = kJoltLengthMs;
    gFF.slots[slot] = platform::HapticStart(effect);
    return gFF.slots[slot] >= 0 ? 1 : 0;
}

int Hit(int slot, int32_t gain, float x, float y)
{
    int32_t direction = static_cast<int32_t>(JoystickBearing(x, y) * 100.0f);
    if (direction < 0)
        direction += 36000;
    return Jolt(slot, std::min(gain, 10000), direction);
}

void FailForceFeedback(int32_t result)
{
    char name[64];
    FFErrorName(result, name);
    gFF.lastResult = result;
    std::snprintf(gFF.message, sizeof gFF.message, "Make sure JOYSTICKID1 has Force Feedback\r\nCode = %lx: %s\r\n",
                  static_cast<unsigned long>(result), name);
    platform::HapticClose();
}

} // namespace

void InitJoystick()
{
    KeyQueueClear();
    GetKeyStateBlock().fill(0);
    gJoystick = {};
    // The force-feedback device is the joystick's own: open it first.
    platform::JoystickCaps caps{};
    const bool opened = platform::JoystickOpen(&caps) == platform::JoystickResult::Ok;
    FFStart();
    platform::JoystickReading reading{};
    if (!opened || platform::JoystickRead(&reading) != platform::JoystickResult::Ok) {
        ForgetJoystick();
        return;
    }
    gJoystick.present = 255;
    gJoystick.capabilities = (caps.hasThrottle ? kJoyHasThrottle : 0u) | (caps.hasRudder ? kJoyHasRudder : 0u) |
                             (caps.hasHat ? kJoyHasHat : 0u);
    const int32_t centre = static_cast<int32_t>((caps.axisMinimum + caps.axisMaximum) / 2);
    gJoystick.centreX = gJoystick.centreY = gJoystick.centreRudder = centre;
    gJoystick.throttleMaximum = static_cast<int32_t>(caps.axisMaximum);
    gJoystickSettings.throttleSpan = static_cast<int32_t>(caps.axisMaximum - caps.axisMinimum);
    PollJoystick();
    PollJoystick();
}

JoystickState PollJoystick()
{
    if (!gJoystick.present)
        return gJoystick.state;
    platform::JoystickReading r{};
    if (platform::JoystickRead(&r) != platform::JoystickResult::Ok) {
        // Unplugged: no joystick from now on, and no button held.
        ForgetJoystick();
        FFRelease();
        platform::JoystickClose();
        return gJoystick.state;
    }
    const JoystickSettings& s = gJoystickSettings;
    JoystickState& state = gJoystick.state;
    int32_t x = Divided(static_cast<int32_t>(r.x) - gJoystick.centreX, s.xDivisor);
    int32_t y = Divided(static_cast<int32_t>(r.y) - gJoystick.centreY, s.yDivisor);
    int32_t rudder = state.rudder;
    int32_t throttle = state.throttle;
    if (gJoystick.capabilities & kJoyHasRudder)
        rudder = Divided(static_cast<int32_t>(r.rudder) - gJoystick.centreRudder, s.rudderDivisor);
    if (gJoystick.capabilities & kJoyHasThrottle)
        throttle = static_cast<int32_t>(static_cast<int64_t>(gJoystick.throttleMaximum - static_cast<int32_t>(r.throttle)) *
                                        (s.throttleDeadZone + 100) / std::max(s.throttleSpan, 1));
    state.x = Narrow(DeadZone(x, s.xDeadZone));
    state.y = Narrow(DeadZone(y, s.yDeadZone));
    state.rudder = Narrow(DeadZone(rudder, s.rudderDeadZone));
    state.throttle = Narrow(DeadZone(throttle, s.throttleDeadZone));
    if (gJoystick.capabilities & kJoyHasHat)
        state.hat = r.hat;

    gJoystick.previousButtons = gJoystick.buttons;
    KeyStateBlock& keys = GetKeyStateBlock();
    if (r.buttons == 255) {
        gJoystick.buttons = 0;
        ClearJoystickButtons();
    } else {
        gJoystick.buttons = r.buttons;
        for (int i = 0; i < kJoystickButtonEntries; ++i)
            keys[kStateJoystickButton1 + i] = (r.buttons >> i) & 1 ? 255 : 0;
    }
    return state;
}

const char* JoystickErrorText(int32_t result)
{
    switch (result) {
    case kJoyErrNoError: return "SUCCESS";
    case kJoyErrNoDriver: return "The joystick driver is not present.";
    case kJoyErrInvalidParam: return "An invalid parameter was passed.";
    case kJoyErrBadDeviceId: return "The specified joystick identifier is invalid.";
    case kJoyErrUnplugged: return "Your joystick is unplugged.";
    default: return "Unknown joystick error.";
    }
}

// ---- Force feedback ---------------------------------------------------------

int FFStart()
{
    if (!gForceFeedbackEnabled)
        return 0;
    gFF.lastResult = kFFOk;
    gFF.message[0] = '\0';
    if (!platform::HapticOpen()) {
        FailForceFeedback(kFFNotFound);
        return 0;
    }
    gFF.conditionEffect = {};
    gFF.conditionEffect.kind = platform::HapticKind::Spring;
    gFF.conditionEffect.coefficientX = 5000;
    gFF.conditionEffect.coefficientY = 5000;
    gFF.condition = platform::HapticStart(gFF.conditionEffect);
    gFF.ready = 255;
    return 1;
}

void FFRelease()
{
    if (!gFF.ready)
        return;
    for (int& slot : gFF.slots) {
        platform::HapticRelease(slot);
        slot = -1;
    }
    platform::HapticRelease(gFF.condition);
    gFF.condition = -1;
    platform::HapticClose();
    gFF.ready = 0;
}

int FFReacquire()
{
    // The host keeps the device while the game is in the background: there
    // is nothing to take back.
    return gFF.ready ? 1 : 0;
}

int FFSetConditionStrength(int32_t x, int32_t y)
{
    if (!gFF.ready || gFF.condition < 0)
        return 0;
    gFF.conditionEffect.coefficientX = x;
    gFF.conditionEffect.coefficientY = y;
    return platform::HapticUpdate(gFF.condition, gFF.conditionEffect) ? 1 : 0;
}

int FFPlayFireEffect(int32_t, int32_t direction)
{
    return Jolt(kFireSlot, 10000, direction);
}

int FFPlayFireEffectGain(int32_t gain, int32_t direction)
{
    return Jolt(kSecondFireSlot, gain, direction);
}

int FFPlayHitEffect(int32_t gain, float x, float y)
{
    return Hit(kHitSlotA, gain, x, y);
}

int FFPlayHitEffect2(int32_t gain, float x, float y)
{
    return Hit(kHitSlotB, gain, x, y);
}

bool FFReady()
{
    return gFF.ready != 0;
}

const char* FFLastMessage()
{
    return gFF.message;
}

void FFErrorName(int32_t result, char* text)
{
    // clang-format off
    static constexpr const char* kNames[] = {
        "DIERR_OLDDIRECTINPUTVERSION", "DIERR_BETADIRECTINPUTVERSION", "DIERR_BADDRIVERVER",
        "DIERR_DEVICENOTREG", "DIERR_NOTFOUND", "DIERR_INVALIDPARAM", "DIERR_NOINTERFACE", "DIERR_GENERIC",
        "DIERR_OUTOFMEMORY", "DIERR_UNSUPPORTED", "DIERR_NOTINITIALIZED", "DIERR_ALREADYINITIALIZED",
        "DIERR_NOAGGREGATION", "DIERR_OTHERAPPHASPRIO", "DIERR_INPUTLOST", "DIERR_ACQUIRED", "DIERR_NOTACQUIRED",
        "E_PENDING", "DIERR_INSUFFICIENTPRIVS", "DIERR_DEVICEFULL", "DIERR_MOREDATA", "DIERR_NOTDOWNLOADED",
        "DIERR_HASEFFECTS", "DIERR_INCOMPLETEEFFECT", "DIERR_NOTBUFFERED", "SFERR_INVALID_OBJECT",
        "SFERR_END_OF_LIST", "SFERR_DEVICE_NACK", "SFERR_RAW_OUT_DATAEVENT_CREATION",
        "SFERR_RAW_OUT_THREAD_CREATION", "SFERR_SYSTEM_INIT", "SFERR_DRIVER_ERROR", "SFERR_NON_FF_DEVICE",
        "SFERR_INVALID_HAL_OBJECT", "VFX_ERR_FILE_NOT_FOUND", "VFX_ERR_FILE_CANNOT_OPEN",
        "VFX_ERR_FILE_CANNOT_CLOSE", "VFX_ERR_FILE_CANNOT_READ", "VFX_ERR_FILE_CANNOT_WRITE",
        "VFX_ERR_FILE_CANNOT_SEEK", "VFX_ERR_FILE_UNKNOWN_ERROR", "VFX_ERR_FILE_BAD_FORMAT",
        "VFX_ERR_FILE_ACCESS_DENIED", "VFX_ERR_FILE_SHARING_VIOLATION", "VFX_ERR_FILE_NETWORK_ERROR",
        "VFX_ERR_FILE_TOO_MANY_OPEN_FILES", "VFX_ERR_FILE_INVALID", "VFX_ERR_FILE_END_OF_FILE",
    };
    // clang-format on
    constexpr int32_t count = static_cast<int32_t>(sizeof kNames / sizeof kNames[0]);
    std::strcpy(text, result >= 1 && result <= count ? kNames[result - 1] : "UNKNOWN");
}

float JoystickBearing(float x, float y)
{
    // (0, 0) has no direction; a NaN gives none either.
    if ((x == 0.0f && y == 0.0f) || std::isnan(x) || std::isnan(y))
        return 0.0f;
    constexpr double kDegrees = 180.0 / 3.14159265358979323846;
    // Straight up or down: atan of +-infinity.
    const double angle = x == 0.0f ? (y > 0.0f ? 90.0 : -90.0) : std::atan(static_cast<double>(y) / x) * kDegrees;
    return static_cast<float>(x >= 0.0f ? 90.0 - angle : -angle - 90.0);
}
