// Blinking marker lights on scene items.
#pragma once

#include <cstdint>
#include "system/gamemath.h"

struct SceneItem;

void AddMarkerLight(SceneItem* item, const Vector3* offset, float size, int32_t colourKind, int32_t onTime, int32_t offTime, int32_t phase);
void AddMarkerLightSet(SceneItem* item, int32_t layoutType);
void AddTailLight(SceneItem* item);
void AddRandomLightField(SceneItem* item, int32_t colourKind);
