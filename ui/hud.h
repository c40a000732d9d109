// The HUD element list, its element types and the flight HUD's shared state.
#pragma once

#include <cstdint>

struct HUD;
struct SceneItem;

extern int16_t gScreenShake[2];       // screen-shake counters of the controlled item
extern int32_t gLastHitAmount;        // shown by the panels as interference; falls by the frame ticks
extern uint8_t gControlledHitCounter; // set to 7 by a hit on the controlled item
extern int32_t gScreenFlash;
extern SceneItem* gFtlSource;
extern int32_t gHudStringNumber;
extern int32_t gHudWatchedNumber;

void RegisterHud(HUD* element);
HUD* InitCubeHud(HUD* element, const char* caption, SceneItem* subject, int32_t userData);
HUD* InitSphereHud(HUD* element, SceneItem* subject, int32_t userData, float cx, float cy, float cz, float rx, float ry, float rz);
void ClearHudList();
void RemoveOtherSystemHuds();
void OffsetTrailHuds(float x, float y, float z);
float BearingDegrees(float x, float y);
SceneItem* FindNamedSceneItem(const char* name);
