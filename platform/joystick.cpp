// The joystick and its force feedback on SDL. See joystick.h.
#include "platform/joystick.h"

#include <SDL.h>

#include <algorithm>

namespace platform {

namespace {

struct JoystickState {
    SDL_Joystick* joystick = nullptr;
    SDL_Haptic* haptic = nullptr;
    bool capture = false; // haptic capture for tests
    bool captureOpen = false;
    int nextCapturedId = 0;
    std::vector<CapturedHaptic> captured;
    SDL_Joystick* virtualHandle = nullptr; // the test's own handle on it
    int virtualIndex = -1;
} gJoy;

uint16_t HatOf(Uint8 bits)
{
    switch (bits) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return kHatCentred;
    }
}

uint32_t AxisOf(SDL_Joystick* j, int axis)
{
    if (axis >= SDL_JoystickNumAxes(j))
        return kAxisMaximum / 2;
    return static_cast<uint32_t>(SDL_JoystickGetAxis(j, axis) + 32768);
}

Sint16 Level(int32_t tenThousandths)
{
    return static_cast<Sint16>(std::clamp(tenThousandths, 0, 10000) * 32767 / 10000);
}

SDL_HapticEffect ToSdl(const HapticEffect& e)
{
    SDL_HapticEffect s{};
    if (e.kind == HapticKind::Spring) {
        s.type = SDL_HAPTIC_SPRING;
        s.condition.length = SDL_HAPTIC_INFINITY;
        for (int axis = 0; axis < 2; ++axis) {
            const Sint16 c = Level(axis == 0 ? e.coefficientX : e.coefficientY);
            s.condition.right_coeff[axis] = c;
            s.condition.left_coeff[axis] = c;
            s.condition.right_sat[axis] = 0xFFFF;
            s.condition.left_sat[axis] = 0xFFFF;
        }
    } else {
        s.type = SDL_HAPTIC_CONSTANT;
        s.constant.direction.type = SDL_HAPTIC_POLAR;
        s.constant.direction.dir[0] = ((e.direction % 36000) + 36000) % 36000;
        s.constant.length = e.lengthMs;
        s.constant.level = Level(e.gain);
        s.constant.attack_level = 0x7FFF;
        s.constant.fade_level = 0x7FFF;
    }
    return s;
}

void Capture(CapturedHaptic::Op op, int id, const HapticEffect& effect)
{
    gJoy.captured.push_back({op, id, effect});
}

} // namespace

JoystickResult JoystickOpen(JoystickCaps* caps)
{
    if (!gJoy.joystick) {
        if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
            return JoystickResult::NoDriver;
        if (SDL_NumJoysticks() < 1 || !(gJoy.joystick = SDL_JoystickOpen(0))) {
            SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
            return JoystickResult::NoDevice;
        }
    }
    SDL_Joystick* j = gJoy.joystick;
    caps->axisMinimum = 0;
    caps->axisMaximum = kAxisMaximum;
    caps->hasThrottle = SDL_JoystickNumAxes(j) > 2;
    caps->hasRudder = SDL_JoystickNumAxes(j) > 3;
    caps->hasHat = SDL_JoystickNumHats(j) > 0;
    caps->buttons = SDL_JoystickNumButtons(j);
    return JoystickResult::Ok;
}

void JoystickClose()
{
    HapticClose();
    if (!gJoy.joystick)
        return;
    SDL_JoystickClose(gJoy.joystick);
    gJoy.joystick = nullptr;
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

JoystickResult JoystickRead(JoystickReading* reading)
{
    if (!gJoy.joystick)
        return JoystickResult::NoDevice;
    SDL_JoystickUpdate();
    SDL_Joystick* j = gJoy.joystick;
    if (!SDL_JoystickGetAttached(j))
        return JoystickResult::Unplugged;
    reading->x = AxisOf(j, 0);
    reading->y = AxisOf(j, 1);
    reading->throttle = AxisOf(j, 2);
    reading->rudder = AxisOf(j, 3);
    reading->hat = SDL_JoystickNumHats(j) > 0 ? HatOf(SDL_JoystickGetHat(j, 0)) : kHatCentred;
    reading->buttons = 0;
    const int buttons = std::min(SDL_JoystickNumButtons(j), 32);
    for (int i = 0; i < buttons; ++i)
        if (SDL_JoystickGetButton(j, i))
            reading->buttons |= 1u << i;
    return JoystickResult::Ok;
}

bool HapticOpen()
{
    if (gJoy.capture) {
        gJoy.captureOpen = true;
        return true;
    }
    if (gJoy.haptic)
        return true;
    if (!gJoy.joystick || !SDL_JoystickIsHaptic(gJoy.joystick) || SDL_InitSubSystem(SDL_INIT_HAPTIC) != 0)
        return false;
    gJoy.haptic = SDL_HapticOpenFromJoystick(gJoy.joystick);
    if (gJoy.haptic && (SDL_HapticQuery(gJoy.haptic) & SDL_HAPTIC_CONSTANT))
        return true;
    if (gJoy.haptic)
        SDL_HapticClose(gJoy.haptic);
    gJoy.haptic = nullptr;
    SDL_QuitSubSystem(SDL_INIT_HAPTIC);
    return false;
}

void HapticClose()
{
    gJoy.captureOpen = false;
    if (!gJoy.haptic)
        return;
    SDL_HapticClose(gJoy.haptic); // frees its effects
    gJoy.haptic = nullptr;
    SDL_QuitSubSystem(SDL_INIT_HAPTIC);
}

bool HapticIsOpen()
{
    return gJoy.haptic || gJoy.captureOpen;
}

int HapticStart(const HapticEffect& effect)
{
    if (gJoy.captureOpen) {
        const int id = gJoy.nextCapturedId++;
        Capture(CapturedHaptic::Op::Start, id, effect);
        return id;
    }
    if (!gJoy.haptic)
        return -1;
    SDL_HapticEffect s = ToSdl(effect);
    const int id = SDL_HapticNewEffect(gJoy.haptic, &s);
    if (id >= 0 && SDL_HapticRunEffect(gJoy.haptic, id, 1) != 0) {
        SDL_HapticDestroyEffect(gJoy.haptic, id);
        return -1;
    }
    return id;
}

bool HapticUpdate(int id, const HapticEffect& effect)
{
    if (gJoy.captureOpen) {
        Capture(CapturedHaptic::Op::Update, id, effect);
        return true;
    }
    if (!gJoy.haptic || id < 0)
        return false;
    SDL_HapticEffect s = ToSdl(effect);
    return SDL_HapticUpdateEffect(gJoy.haptic, id, &s) == 0;
}

void HapticRelease(int id)
{
    if (gJoy.captureOpen) {
        Capture(CapturedHaptic::Op::Release, id, {});
        return;
    }
    if (gJoy.haptic && id >= 0)
        SDL_HapticDestroyEffect(gJoy.haptic, id);
}

bool VirtualJoystickAttach(int axes, int buttons, int hats)
{
    // A test's window never has the keyboard focus (the dummy video driver
    // gives none), and SDL ignores a joystick while no window has it.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (gJoy.virtualHandle || SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0)
        return false;
    gJoy.virtualIndex = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, std::min(axes, 4), buttons, hats);
    if (gJoy.virtualIndex >= 0)
        gJoy.virtualHandle = SDL_JoystickOpen(gJoy.virtualIndex);
    if (gJoy.virtualHandle)
        return true;
    if (gJoy.virtualIndex >= 0)
        SDL_JoystickDetachVirtual(gJoy.virtualIndex);
    gJoy.virtualIndex = -1;
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    return false;
}

void VirtualJoystickSetAxis(int axis, int16_t value)
{
    if (gJoy.virtualHandle)
        SDL_JoystickSetVirtualAxis(gJoy.virtualHandle, axis, value);
}

void VirtualJoystickSetButton(int button, bool down)
{
    if (gJoy.virtualHandle)
        SDL_JoystickSetVirtualButton(gJoy.virtualHandle, button, down ? 1 : 0);
}

void VirtualJoystickSetHat(int hat, uint8_t sdlHatBits)
{
    if (gJoy.virtualHandle)
        SDL_JoystickSetVirtualHat(gJoy.virtualHandle, hat, sdlHatBits);
}

void VirtualJoystickDetach()
{
    if (!gJoy.virtualHandle)
        return;
    SDL_JoystickClose(gJoy.virtualHandle);
    gJoy.virtualHandle = nullptr;
    SDL_JoystickDetachVirtual(gJoy.virtualIndex);
    gJoy.virtualIndex = -1;
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void HapticCapture(bool on)
{
    gJoy.capture = on;
    gJoy.captured.clear();
    gJoy.nextCapturedId = 0;
    if (!on)
        gJoy.captureOpen = false;
}

std::vector<CapturedHaptic>& CapturedHapticEffects()
{
    return gJoy.captured;
}

} // namespace platform
