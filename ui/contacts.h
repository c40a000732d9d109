// The contact list and targeting.
//
// Owns the sensor picture of the player's ship: every 50 ticks the scene
// list is walked and each object that the sensors detect keeps one Contact
// row; the rows of the class the player looks at form the sorted visible
// list, with a 7-line window over it for the bridge's contact panel. Also
// the 4 nearest attackers of the player, the current contact (the HUD's
// target), the player's target and navigation target, and the selected
// component of the target's model. It does not own the panel's windows
// (the COM station makes them) nor the HUD that brackets the contact.
#pragma once

#include <cstdint>

#include "system/gamemath.h"
#include "world/records.h"

struct HullBox;
struct WindowHandle;

constexpr int kContactRows = 100;
constexpr int kContactLines = 7;
constexpr int kContactThreats = 4;
constexpr int kContactClasses = 8;
constexpr int16_t kContactHighlightTicks = 150;

// Row flags.
enum : int16_t {
    kContactUsed = 0x1,
    kContactVisible = 0x4, // in the current visible list
    kContactTrail = 0x8,   // a HUD trail follows the row
};

// The class flags a row keeps of its object's Avatar class flags.
constexpr uint32_t kContactClassMask = 0x30001fc0;

// One row of the contact list.
struct Contact {
    WindowHandle* lineWindow; // the panel line showing the row, or null
    int16_t visiblePosition;  // index in the sorted visible list
    int16_t highlight;        // ticks; counted down while 0 or more
    SceneItem* item;
    int16_t rowFlags;
    int16_t contactClass; // 0-7
    uint32_t classFlags;  // Avatar class flags & kContactClassMask; 1024 when new
    float signal;         // log10 of the detection signal, at least 0
    float distance;       // from the player's ship at the last refresh
    float speed;
};

// The list's state: one record for the life of the program.
struct ContactListState {
    Contact rows[kContactRows];
    Contact* visible[kContactRows]; // null after the last
    int16_t visibleCount;
    int16_t linesInUse; // at most 7
    int32_t filterClass;
    int16_t sortMode; // 1 by distance, 2 by relative strength
    Contact* current;
    int16_t currentIndex;
    int16_t windowTop; // visible index of the panel's first line
    int32_t refreshInterval;
    uint32_t nextRefresh; // game clock
    uint8_t refreshed;    // 255 on a frame that rebuilt the list
    int16_t classCounts[kContactClasses];
    int16_t rowsUpdated;
    SceneItem* threats[kContactThreats];
    float threatDistances[kContactThreats];
    int16_t threatCount;
    Contact* lastSeen;                        // the current contact as the tick last saw it
    int32_t classFilterIndex;                 // 0-7 into the class-bit filter table
    uint8_t showAll;                          // developer toggle: list everything
    uint8_t reselect;                         // re-pick the player's target at the next refresh
    WindowHandle* lineWindows[kContactLines]; // the panel's lines; value = line number
    ItemRef playerTarget;
    ItemRef navTarget;
    Vector3 aimPoint; // the selected component's centre, in its model's frame
    HullBox* selectedComponent;
    uint8_t componentSelected;
};
extern ContactListState gContacts;

// Zero-fills the rows; filter class 0, sort by distance, refresh now, no
// current contact, no incoming missiles on the HUD frame.
void ResetContactList();
// The per-frame tick: highlights count down; every refresh interval (or at
// once after a request) the scene is walked and the visible list rebuilt.
void UpdateContactList();
// The next tick refreshes the list.
void ForceContactRefresh();
// 255 when a used row holds the item, else 0.
uint8_t IsContact(SceneItem* item);
// Clears every row of the item (the current contact with it); a counted
// item (SceneItem flag 0x2000) that lost a row is sent a delete message.
void RemoveContact(SceneItem* item);
// Notes a hit item's new sides: a changed row blinks for 150 ticks.
void FlagContactClassChange(SceneItem* item);
// Makes the item the current contact (its class becomes the filter class);
// nothing for null or an item that is not listed.
void SelectContact(SceneItem* item);
// Step the current contact through the visible list, wrapping round;
// nothing with an empty or unlisted current contact.
void SelectNextContact();
void SelectPreviousContact();
// Steps to the next contact of another side and makes it the player's target.
void SelectNextOtherSideContact();
// Picks the object nearest the aim ray from `aim` (a part of the player's
// ship; null: the ship's own line of sight) as the player's target; forced,
// anything ahead is taken. Returns the player's target afterwards.
SceneItem* SelectTargetAhead(TDP* aim, int32_t forced);
// Steps the selected component of the target's model; returns its kind
// (0-511), or 0 when the model has none.
int32_t SelectNextTargetComponent(SceneItem* target);
// Makes the player's chosen target the ship's weapon and navigation target.
void CommitPlayerTarget();
// The nearest listed enemy of the item, or null.
SceneItem* FindNearestHostileContact(SceneItem* item);
// The same with more kinds of enemy (bit 0x40) and fewer exclusions.
SceneItem* FindNearestHostileContactWide(SceneItem* item);
// The listed enemy after the current contact, cyclically; null when the
// current contact is not such an enemy or is the only one.
SceneItem* FindNextHostileContact(SceneItem* item);
// The current contact's item, or null when there is none.
SceneItem* CurrentContactItem();
void SelectNextOtherSideContact();
void FlagContactClassChange(SceneItem* item);
// The row of the item, or null.
Contact* FindContactRow(const SceneItem* item);
// The contact class of an object from its Avatar class flags, or -1.
int32_t ContactClassOf(const SceneItem* item);
// The sort order of the visible list: true when a sorts before b.
bool CompareContacts(const Contact* a, const Contact* b);
// Offers an attacker to the 4-entry threat list.
void AddThreat(SceneItem* item, float distance);
