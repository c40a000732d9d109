// The mission tally: the ships a mission counts, the hits they take and
// their destruction, the kill counts and scores by ship category, and the
// script's questions about them.
//
// Rows are kept in registration order and name their ship by handle and by
// a serial that the ship's Avatar also holds (parameter 10), so a row
// outlives its ship: a ship deleted during the mission stays counted.
// Nothing here is keyed by a pointer.
#pragma once

#include <cstdint>

#include "world/pools.h"

struct SceneItem;

constexpr int kMaxTallyEntries = 400;
constexpr int kShipCategories = 19;    // ShipInfo kinds 0..18
constexpr int kAvatarTallySerial = 10; // the Avatar parameter holding the serial

struct TallyEntry {
    SceneItemHandle item;
    int32_t serial;   // receiver generation tag | running counter
    const char* name; // the ShipInfo's name
    int32_t category; // the ShipInfo kind
    int32_t time;     // mission clock of the last hit or the destruction
    int16_t side;
    int16_t hits;
    uint8_t marks[2];  // 255 at registration
    uint8_t destroyed; // 255 once destroyed
    uint8_t spare;
    int32_t group;
};

struct TallyCounters {
    int32_t enemyKills[kShipCategories];
    int32_t enemyScore[kShipCategories];
    int32_t friendlyKills[kShipCategories];
    int32_t friendlyPenalty[kShipCategories];
    int32_t flaggedHits; // hits the weapon flagged (launchers)
    int32_t otherHits;
    int32_t friendlyTotal; // score of the friendly kills so far
    int32_t spare[7];
    int32_t words[2];
};
extern TallyCounters gTallyCounters;

// The score of a kill by ship category: the standard table, and the one in
// use, which scripts change (SHIP_SCORE) and every mission starts again
// from the standard one (ClearTally).
extern const int32_t kTallyKillScore[kShipCategories];
extern int32_t gTallyKillScore[kShipCategories];

// Empties the rows, zeroes the counters and restarts the serials at 1.
void ClearTally();

// Registers a ship (an item with a Sim and a ShipInfo whose Avatar holds no
// serial yet) while fewer than 400 rows exist; otherwise nothing.
void AddTallyItem(SceneItem* item);

// The row with that serial, or null.
TallyEntry* FindTallyEntry(int32_t serial);
int32_t TallyEntryCount();
// The row at that place in registration order, or null.
const TallyEntry* TallyEntryAt(int32_t index);

// A hit on the ship of that serial: its hit count and time; the first hit
// counter when the flag is set, the second otherwise. Unknown serials do
// nothing.
void RecordTallyHit(int32_t serial, uint8_t flag);

// The ship of that serial was destroyed: marks its row, counts the kill for
// its side and adds its points to the mission score (capped at the
// mission's maximum) and to the script's SCORE. A friendly kill costs its
// score, asks for a stock rebuke, and once the friendly total passes 100
// the player becomes hostile to all. Nothing while the world is held, for
// an unknown serial, or for the player's own ship.
void RecordTallyKill(int32_t serial);

// How many tallied ships count, by mode: 0 the item whose handle is the key
// (1 or 0), 1 a ship category, 2 a side, 3 a group; any other mode 0. With
// the flag set a ship counts once destroyed, otherwise once hit.
int32_t QueryTally(int16_t mode, uint8_t flag, int32_t key);
