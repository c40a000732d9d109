// Steering helpers of the AI.
#pragma once

#include <cstdint>
#include "system/gamemath.h"
#include "world/steering.h"

float SteerToPoint(SceneItem* ship, float x, float y, float z, const Vector3* referenceVelocity, const Vector3* heading, SpeedProfile profile);
