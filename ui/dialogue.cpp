// Dialogue lines and conversations with speech.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "ui/dialogue.h"

#include "system/calltrace.h"

uint8_t PlayDialogue(Resource* textResource, int32_t* resultVariable, const ScriptSymbol* textSymbol, SceneItem* item)
{
    RecordCall("PlayDialogue");
    return {};
}

void StartConversation(Resource* textResource, int32_t* resultVariable, SceneItem* item, SceneItem* partner)
{
    RecordCall("StartConversation");
}

void UpdateConversations()
{
    RecordCall("UpdateConversations");
}

void StopAllConversations()
{
    RecordCall("StopAllConversations");
}

void EndSceneItemConversations(SceneItem* item)
{
    RecordCall("EndSceneItemConversations");
}

uint8_t IsInConversation(SceneItem* item)
{
    RecordCall("IsInConversation");
    return {};
}

void ResetConversationLists()
{
    RecordCall("ResetConversationLists");
}
