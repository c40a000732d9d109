// The 3D view layer's start and end, its worlds and the per-frame view.
#pragma once

#include <cstdint>

struct SceneItem;

struct ViewRect {
    int32_t left, top, right, bottom;
};

extern uint8_t gScreenClearColour; // palette index the render passes clear with; others set it for one frame to flash
extern float gProjectionDistance;  // of the current view: half the viewport height / tan(field of view / 2)
extern uint8_t gRebuild3D;         // the 3D worlds are to be rebuilt
extern float gLodThresholds[3];    // level-of-detail thresholds of apparent size

void InitializeP3D();
void ShutdownP3D();
void FreeP3DWorlds();
void PrepareView(SceneItem* item, const ViewRect* viewport);
