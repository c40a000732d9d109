// Collision responses. See responses.h.
#include "world/responses.h"

#include "system/calltrace.h"

int32_t gCrashCount = 0;

void CollideShips(SceneItem*, TDP*, SceneItem*, TDP*, int16_t*, const Vector3*)
{
    RecordCall("CollideShips");
}
