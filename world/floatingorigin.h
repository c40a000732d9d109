// Floating origin, render sync and TDP attributes.
#pragma once

#include <cstdint>

struct SceneItem;
struct TDP;

// Once a frame, after the screen update: shifts the whole world so that the
// player stays near the origin.
void UpdateFloatingOrigin();
void CopySimToAvatar(SceneItem* item);
// The TDP attribute step over a tree, with the Avatar's parameter block.
void AnimateTDPTree(int32_t* parameters, TDP* node);
