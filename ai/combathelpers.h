// Searches of the scene list by class flags, groups and placement near L4.
#pragma once

#include <cstdint>

struct SceneItem;

// The item that target searches skip (a script names it), or null.
extern SceneItem* gTargetSearchIgnoredItem;

SceneItem* FindNearestItemByFlags(const float* limits, uint32_t include, uint32_t exclude, SceneItem* item, float range);
SceneItem* FindFirstItemWithFlags(uint32_t mask);
SceneItem* FindNextItemWithFlags(SceneItem* position, uint32_t mask);
int32_t CountItemsOfType(int32_t type);
void CountShipsByType();
void ForgetTargetEverywhere(SceneItem* item);
void ForgetLeaderEverywhere(SceneItem* item);
void DetachGroupLeader(SceneItem* item);
void ElectFixedAttackLeader(SceneItem* item);
void FormationSlotPosition(SceneItem* item, SceneItem* leader, float spacing, int32_t slot);
uint8_t PlaceItemNearL4(SceneItem* item, float* radius, int32_t retry);
SceneItem* ReleaseItemAtL4(uint32_t mask, int32_t generation);
