// Searches of the scene list by class flags, groups and placement near L4.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ai/combathelpers.h"

#include "system/calltrace.h"

SceneItem* gTargetSearchIgnoredItem = nullptr;

SceneItem* FindNearestItemByFlags(const float* limits, uint32_t include, uint32_t exclude, SceneItem* item, float range)
{
    RecordCall("FindNearestItemByFlags");
    return {};
}

SceneItem* FindFirstItemWithFlags(uint32_t mask)
{
    RecordCall("FindFirstItemWithFlags");
    return {};
}

SceneItem* FindNextItemWithFlags(SceneItem* position, uint32_t mask)
{
    RecordCall("FindNextItemWithFlags");
    return {};
}

int32_t CountItemsOfType(int32_t type)
{
    RecordCall("CountItemsOfType");
    return {};
}

void CountShipsByType()
{
    RecordCall("CountShipsByType");
}

void ForgetTargetEverywhere(SceneItem* item)
{
    RecordCall("ForgetTargetEverywhere");
}

void ForgetLeaderEverywhere(SceneItem* item)
{
    RecordCall("ForgetLeaderEverywhere");
}

void DetachGroupLeader(SceneItem* item)
{
    RecordCall("DetachGroupLeader");
}

void ElectFixedAttackLeader(SceneItem* item)
{
    RecordCall("ElectFixedAttackLeader");
}

void FormationSlotPosition(SceneItem* item, SceneItem* leader, float spacing, int32_t slot)
{
    RecordCall("FormationSlotPosition");
}

uint8_t PlaceItemNearL4(SceneItem* item, float* radius, int32_t retry)
{
    RecordCall("PlaceItemNearL4");
    return {};
}

SceneItem* ReleaseItemAtL4(uint32_t mask, int32_t generation)
{
    RecordCall("ReleaseItemAtL4");
    return {};
}
