// The contact list and targeting.
#pragma once

#include <cstdint>

struct SceneItem;
struct AimRay;

extern uint32_t gContactRefreshTime; // game clock of the next contact-list refresh

void ResetContactList();
void UpdateContactList();
void ForceContactRefresh();
uint8_t IsContact(SceneItem* item);
void RemoveContact(SceneItem* item);
void SelectContact(SceneItem* item);
SceneItem* SelectTargetAhead(AimRay* aim, int32_t forced);
int32_t SelectNextTargetComponent(SceneItem* target);
// Makes the player's chosen target the ship's target.
void CommitPlayerTarget();
// The current contact's item, or null when there is none.
SceneItem* CurrentContactItem();
void SelectNextOtherSideContact();
void FlagContactClassChange(SceneItem* item);
