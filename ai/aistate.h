// The AI state machine's entry points that the world and start-up call: the
// state table's loading and the control routine of AI ships.
#pragma once

#include <cstdint>

struct SceneItem;

void LoadAIStateTable();
void CONTROL_AI(SceneItem* item);
