// Object behaviours: the per-frame routines of free bodies, rocks,
// flares, plasma balls and the like.
#pragma once

struct SceneItem;

void BallisticStep(SceneItem* item);
