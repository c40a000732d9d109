// Steering helpers of the AI.
#pragma once

#include <cstdint>
#include "system/gamemath.h"

struct SceneItem;
struct FlightModel;

using SpeedProfile = float (*)(SceneItem* item, FlightModel* model, float distance);

float SteerToPoint(SceneItem* ship, float x, float y, float z, const Vector3* referenceVelocity, const Vector3* heading, SpeedProfile profile);
