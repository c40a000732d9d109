// Render callbacks of bodies and the wreck's corpse.
#pragma once

#include <cstdint>

struct SceneItem;

void UpdatePlanetRender(SceneItem* item);
void UpdateVideoPlanetRender(SceneItem* item);
void SpawnCorpse(SceneItem* item);
void RefreshPlanetDetail();
