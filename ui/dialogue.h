// Dialogue lines and conversations with speech.
#pragma once

#include <cstdint>

struct SceneItem;
struct Resource;
struct ScriptSymbol;

// The text (its record and script symbol) typed with its speech, or, for a
// text that begins with "<", a conversation with the object; 0 only for a
// record without data.
uint8_t PlayDialogue(Resource* textResource, int32_t* resultVariable, const ScriptSymbol* textSymbol, SceneItem* item);
void StartConversation(Resource* textResource, int32_t* resultVariable, SceneItem* item, SceneItem* partner);
void UpdateConversations();
void StopAllConversations();
void EndSceneItemConversations(SceneItem* item);
uint8_t IsInConversation(SceneItem* item);
void ResetConversationLists();
