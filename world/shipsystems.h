// The player's ship-systems model.
#pragma once

struct SceneItem;

void UpdateShipSystems(SceneItem* item);
