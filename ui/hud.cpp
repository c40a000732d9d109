// The HUD element list, its element types and the flight HUD's shared state.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null. The search for a
// named body is built (placement near "L4" and the gate need it).
#include "ui/hud.h"

#include <cstring>

#include "system/calltrace.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/universe.h"

int16_t gScreenShake[2] = {0, 0};
int32_t gLastHitAmount = 0;
uint8_t gControlledHitCounter = 0;
int32_t gScreenFlash = 0;
SceneItem* gFtlSource = nullptr;
int32_t gHudStringNumber = 0;
int32_t gHudWatchedNumber = 0;

void RegisterHud(HUD* element)
{
    RecordCall("RegisterHud");
}

HUD* InitCubeHud(HUD* element, const char* caption, SceneItem* subject, int32_t userData)
{
    RecordCall("InitCubeHud");
    return {};
}

HUD* InitSphereHud(HUD* element, SceneItem* subject, int32_t userData, float cx, float cy, float cz, float rx, float ry, float rz)
{
    RecordCall("InitSphereHud");
    return {};
}

void ClearHudList()
{
    RecordCall("ClearHudList");
}

void RemoveOtherSystemHuds()
{
    RecordCall("RemoveOtherSystemHuds");
}

void OffsetTrailHuds(float x, float y, float z)
{
    RecordCall("OffsetTrailHuds");
}

float BearingDegrees(float x, float y)
{
    RecordCall("BearingDegrees");
    return {};
}

// A body's item carries no name of its own: the body table names it.
SceneItem* FindNamedSceneItem(const char* name)
{
    if (name && *name >= '0' && *name <= '9')
        name = LookUpBodyName(name);
    if (!name)
        return nullptr;
    for (SceneItem* item = gSceneList.next; item && item != &gSceneList; item = item->next) {
        if (!item->avatar || !(item->avatar->classFlags & kClassNamedBody) ||
            item->sceneGeneration != gCurrentSceneGeneration)
            continue;
        for (int i = 0; i < gBodyCount; ++i)
            if (gBodies[i].sceneItem == item && std::strcmp(gBodies[i].name, name) == 0)
                return item;
    }
    return nullptr;
}
