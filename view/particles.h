// Particle emitters hung on a scene item's part tree.
#pragma once

#include <cstdint>
#include "system/gamemath.h"

struct SceneItem;
struct TDP;

TDP* AttachParticleEmitter(SceneItem* item, const Matrix4* frame, int32_t type, uint32_t flags, int32_t life, int32_t count, float value1, float speed, float value2, float spread);
void DrawAllParticles(int32_t flag);
