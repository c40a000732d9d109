// The AI state machine's entry points that the world and start-up call: the
// state table's loading and the control routine of AI ships.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ai/aistate.h"

#include "system/calltrace.h"

void LoadAIStateTable()
{
    RecordCall("LoadAIStateTable");
}

void CONTROL_AI(SceneItem* item)
{
    RecordCall("CONTROL_AI");
}
