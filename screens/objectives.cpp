// Mission objectives.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "screens/objectives.h"

#include "system/calltrace.h"

int32_t gMissionScore = 0;
int32_t gMissionMaxScore = 0;

bool ParseObjectives(const char* text)
{
    RecordCall("ParseObjectives");
    return {};
}

void SetObjectiveStatus(int32_t index, int32_t status)
{
    RecordCall("SetObjectiveStatus");
}

bool ObjectiveStatusIs(int32_t index, int32_t status)
{
    RecordCall("ObjectiveStatusIs");
    return {};
}

void SetObjectiveShown(int32_t index, int32_t flag)
{
    RecordCall("SetObjectiveShown");
}

void SetObjectiveScore(int32_t index, int32_t points)
{
    RecordCall("SetObjectiveScore");
}

void SetObjectiveTimer(int32_t index, int32_t seconds)
{
    RecordCall("SetObjectiveTimer");
}

int32_t FindObjectiveById(int32_t id)
{
    RecordCall("FindObjectiveById");
    return {};
}

void SelectCurrentObjective()
{
    RecordCall("SelectCurrentObjective");
}
