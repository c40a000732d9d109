// Steering helpers of the AI.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ai/steering.h"

#include "system/calltrace.h"

float SteerToPoint(SceneItem* ship, float x, float y, float z, const Vector3* referenceVelocity, const Vector3* heading, SpeedProfile profile)
{
    RecordCall("SteerToPoint");
    return {};
}
