// Mission objectives.
#pragma once

#include <cstdint>

// The mission score that completed objectives and kills add to, and the
// mission's maximum score (its mission-table row), which kills never pass.
extern int32_t gMissionScore;
extern int32_t gMissionMaxScore;

bool ParseObjectives(const char* text);
void SetObjectiveStatus(int32_t index, int32_t status);
bool ObjectiveStatusIs(int32_t index, int32_t status);
void SetObjectiveShown(int32_t index, int32_t flag);
void SetObjectiveScore(int32_t index, int32_t points);
void SetObjectiveTimer(int32_t index, int32_t seconds);
int32_t FindObjectiveById(int32_t id);
void SelectCurrentObjective();
