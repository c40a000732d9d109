// Particle emitters hung on a scene item's part tree.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/particles.h"

#include "system/calltrace.h"

TDP* AttachParticleEmitter(SceneItem* item, const Matrix4* frame, int32_t type, uint32_t flags, int32_t life, int32_t count, float value1, float speed, float value2, float spread)
{
    RecordCall("AttachParticleEmitter");
    return {};
}

void DrawAllParticles(int32_t flag)
{
    RecordCall("DrawAllParticles");
}
