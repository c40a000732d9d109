// Floating origin, render sync and TDP attributes.
#pragma once

#include <cstdint>

struct SceneItem;
struct TDP;

void CopySimToAvatar(SceneItem* item);
// The TDP attribute step over a tree, with the Avatar's parameter block.
void AnimateTDPTree(int32_t* parameters, TDP* node);
