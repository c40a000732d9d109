// Collision detection: once a frame, every pair of parts that touch.
#pragma once

struct SceneItem;
struct TDP;

void PrepareCollisionFrame();
void TestAllCollisions();

// Radii and centres of a new item's parts: each part of the tree without a
// radius takes its model's; the parts' world centres; the item's radius
// from its parts when it has none.
void InitTDPRadius(TDP* part);
void UpdateTDPWorldCentres(SceneItem* item);
void SetSceneItemRadius(SceneItem* item);
