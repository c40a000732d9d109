// Services of modules that have not landed yet. See unlinkedservices.h.
#include "script/unlinkedservices.h"

namespace unlinked {

bool ItemAltitude(const SceneItem*, float*) { return false; }
bool SurfaceImpactCount(int32_t*) { return false; }
bool AutopilotCommand(int32_t*) { return false; }
bool OutOfActionSystems(const SceneItem*, uint32_t*) { return false; }
bool CurrentStarSystem(int32_t*) { return false; }
bool IsTetherRoutine(ItemFunction) { return false; }

bool StarMapOpen() { return false; }
bool QueryTally(int16_t, uint8_t, int32_t, int32_t*) { return false; }

void PauseAllSounds() {}
void EnterExternalCamera() {}
bool PollVitalObjects() { return false; }
void FailMissionOnVitalLoss() {}

} // namespace unlinked
