// The flight HUD's flat frame over the main view.
//
// Owns what the pilot reads in flight besides the HUD elements: the corner
// marks, reticle and contact icon, the mission clock, the centred status
// and warning lines, the incoming missiles, the status word, the speed
// scale with its draggable setpoint and its boxed readouts, the bearing
// and elevation tapes and the energy-share gauge. UpdateHud draws it after
// the elements. It does not own the element list (ui/hud.h) nor the
// contact list (ui/contacts.h).
#pragma once

#include <cstdint>

struct SceneItem;

constexpr int kIncomingMissiles = 5; // the most listed
constexpr int kIncomingMissileSlots = 16;

// The frame's own state: one record for the life of the program.
struct HudFrameState {
    int32_t lastDamage;      // the player's damage value last frame (the flash)
    uint8_t setpointGrabbed; // the speed scale's setpoint mark follows the mouse
    // Missiles heading for the player, registered by the world each frame
    // and emptied after drawing.
    SceneItem* missiles[kIncomingMissileSlots];
    float missileRanges[kIncomingMissileSlots];
    int16_t missileCount;
};
extern HudFrameState gHudFrame;

// Notes a missile heading for the player this frame; beyond the slots it
// is not noted.
void RegisterIncomingMissile(SceneItem* missile, float distance);
// Forgets the registered missiles.
void ClearIncomingMissiles();

// Angle of (x, y) in degrees: 90 - atan(y / x) for x >= 0, else
// -atan(y / x) - 90; (0, 0) is 0.
float BearingDegrees(float x, float y);
