// Collision responses. See responses.h.
#include "world/responses.h"

#include "ai/combat.h"
#include "system/calltrace.h"
#include "world/itemmessages.h"
#include "world/messages.h"

int32_t gCrashCount = 0;

void CollideShips(SceneItem*, TDP*, SceneItem*, TDP*, int16_t*, const Vector3*)
{
    RecordCall("CollideShips");
}

// Stand-in until the break-up lands: records the call.
void BreakOffOnHit(SceneItem*, const void*) { RecordCall("BreakOffOnHit"); }

void DeleteSelfOnContact(SceneItem* self, TDP*, SceneItem*, TDP*, int16_t*, const Vector3*)
{
    PostItemMessage(self->receiver, self->receiver, 0, kMsgDelete, 0, nullptr);
}

void CrushOnContact(SceneItem* self, TDP*, SceneItem* other, TDP*, int16_t*, const Vector3*)
{
    PostImpactMessage(self, other, 100, 100000000);
}
