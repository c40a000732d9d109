// Lagrange gate and encounter sources.
#pragma once

struct SceneItem;

void EncounterStep();
void RemoveEncounterSource(SceneItem* item);
