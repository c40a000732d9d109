// The flight HUD's flat frame over the main view.
//
// Texts go to the screen canvas in the HUD font, clipped to the main view;
// lines of the reticle too. Everything is drawn from what the world, the
// bridge and the contact list hold this frame; the frame keeps only the
// setpoint mark's grab, the last damage value and the incoming missiles.
#include "ui/hudframe.h"

#include <cmath>

HudFrameState gHudFrame{};

void RegisterIncomingMissile(SceneItem* missile, float distance)
{
    if (!missile || gHudFrame.missileCount >= kIncomingMissileSlots)
        return;
    gHudFrame.missiles[gHudFrame.missileCount] = missile;
    gHudFrame.missileRanges[gHudFrame.missileCount] = distance;
    ++gHudFrame.missileCount;
}

void ClearIncomingMissiles() { gHudFrame.missileCount = 0; }

float BearingDegrees(float x, float y)
{
    // Straight above or below (x = 0) is a quarter turn; no division by zero.
    if (x == 0 && y == 0)
        return 0;
    const float a = x != 0 ? std::atan(y / x) * 180 / 3.1415926f : y > 0 ? 90.0f : -90.0f;
    return x >= 0 ? 90 - a : -a - 90;
}
