// Dialogue lines and conversations with speech.
#pragma once

#include <cstdint>

struct SceneItem;
struct Resource;

uint8_t PlayDialogue(Resource* textResource, int32_t* resultVariable, SceneItem* item, SceneItem* partner);
void StartConversation(Resource* textResource, int32_t* resultVariable, SceneItem* item, SceneItem* partner);
void UpdateConversations();
void StopAllConversations();
void EndSceneItemConversations(SceneItem* item);
uint8_t IsInConversation(SceneItem* item);
void ResetConversationLists();
