// The mission tally. See tally.h.
#include "world/tally.h"

#include "screens/objectives.h"
#include "script/symbols.h"
#include "system/crand.h"
#include "world/messages.h"
#include "world/playerinput.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/simframe.h"

#include <algorithm>
#include <iterator>

TallyCounters gTallyCounters;

// clang-format off
const int32_t kTallyKillScore[kShipCategories] = {
    200, 50, 25, 5, 50, 500, 150, 50, 50, 100, 10, 10, 10, 800, 400, 350, 90, 100, 10,
};
// clang-format on

int32_t gTallyKillScore[kShipCategories];

namespace {

// The table in use starts as the standard one before any mission clears it.
[[maybe_unused]] const bool kKillScoresSet = [] {
    std::copy(std::begin(kTallyKillScore), std::end(kTallyKillScore), std::begin(gTallyKillScore));
    return true;
}();

// The friendly total above which the player is hostile to all.
constexpr int32_t kFriendlyLimit = 100;

struct Tally {
    TallyEntry rows[kMaxTallyEntries];
    int32_t count;
    int32_t nextSerial; // the running counter of serials
} gTally;

const ShipInfo* ShipOf(const SceneItem* item)
{
    return item && item->sim ? item->sim->shipInfo : nullptr;
}

bool RowCounts(const TallyEntry& row, uint8_t destroyed)
{
    return destroyed ? row.destroyed != 0 : row.hits != 0;
}

void MakePlayerHostileToAll()
{
    gScriptVars.loyal = 0;
    if (!gPlayerItem || !gPlayerItem->avatar)
        return;
    uint32_t& flags = gPlayerItem->avatar->classFlags;
    flags = (flags & ~uint32_t{kSenseSidesAndFactions}) | kSenseLeper;
}

// Counts the kill of a tallied ship of that side and returns its points.
int32_t CountKill(const TallyEntry& row, int16_t side)
{
    const int32_t category = row.category;
    if (category < 0 || category >= kShipCategories)
        return 0;
    const int32_t score = gTallyKillScore[category];
    const ShipInfo* player = ShipOf(gPlayerItem);
    if (!player || side != player->side) {
        ++gTallyCounters.enemyKills[category];
        gTallyCounters.enemyScore[category] += score;
        return score;
    }
    ++gTallyCounters.friendlyKills[category];
    gTallyCounters.friendlyPenalty[category] -= score;
    gTallyCounters.friendlyTotal += score;
    gStockDialogueRequest = 255;
    gStockDialogueNumber = 2 + CRand() % 3;
    if (gTallyCounters.friendlyTotal > kFriendlyLimit)
        MakePlayerHostileToAll();
    return -score;
}

} // namespace

void ClearTally()
{
    gTally = Tally{};
    gTally.nextSerial = 1;
    gTallyCounters = TallyCounters{};
    std::copy(std::begin(kTallyKillScore), std::end(kTallyKillScore), std::begin(gTallyKillScore));
    // The player's shots are what the mission's hits are counted against.
    gPlayerInput.shotsFired = 0;
    gPlayerInput.missilesFired = 0;
}

void AddTallyItem(SceneItem* item)
{
    const ShipInfo* ship = ShipOf(item);
    if (!ship || !item->avatar || item->avatar->params[kAvatarTallySerial] != 0 ||
        gTally.count >= kMaxTallyEntries)
        return;
    const int32_t serial = static_cast<int32_t>(gReceiverGeneration) | gTally.nextSerial;
    item->avatar->params[kAvatarTallySerial] = serial;
    TallyEntry& row = gTally.rows[gTally.count];
    row = TallyEntry{};
    row.item = ItemHandle(item);
    row.serial = serial;
    row.name = ship->name;
    row.category = ship->kind;
    row.side = ship->side;
    row.marks[0] = row.marks[1] = 255;
    row.group = ship->group;
    ++gTally.count;
    ++gTally.nextSerial;
}

TallyEntry* FindTallyEntry(int32_t serial)
{
    for (int32_t i = 0; i < gTally.count; ++i)
        if (gTally.rows[i].serial == serial)
            return &gTally.rows[i];
    return nullptr;
}

int32_t TallyEntryCount()
{
    return gTally.count;
}

const TallyEntry* TallyEntryAt(int32_t index)
{
    return index >= 0 && index < gTally.count ? &gTally.rows[index] : nullptr;
}

void RecordTallyHit(int32_t serial, uint8_t flag)
{
    TallyEntry* row = FindTallyEntry(serial);
    if (!row)
        return;
    ++row->hits;
    row->time = gScriptVars.missionClock;
    ++(flag ? gTallyCounters.flaggedHits : gTallyCounters.otherHits);
}

void RecordTallyKill(int32_t serial)
{
    if (gSimHold)
        return;
    TallyEntry* row = FindTallyEntry(serial);
    if (!row || (gPlayerItem && row->item == ItemHandle(gPlayerItem)))
        return;
    row->destroyed = 255;
    row->time = gScriptVars.missionClock;
    // A ship that is gone already is remembered by its row; a live item
    // that is no ship (any more) scores nothing.
    const SceneItem* item = ItemFromHandle(row->item);
    const ShipInfo* ship = ShipOf(item);
    int32_t points = 0;
    if (!item || ship)
        points = CountKill(*row, ship ? ship->side : row->side);
    if (gMissionScore + points > gMissionMaxScore) {
        points = gMissionMaxScore > gMissionScore ? gMissionMaxScore - gMissionScore : 0;
    }
    gMissionScore += points;
    gScriptVars.score += points;
}

int32_t QueryTally(int16_t mode, uint8_t flag, int32_t key)
{
    if (mode < 0 || mode > 3)
        return 0;
    int32_t count = 0;
    for (int32_t i = 0; i < gTally.count; ++i) {
        const TallyEntry& row = gTally.rows[i];
        if (!RowCounts(row, flag))
            continue;
        const int32_t value = mode == 0   ? static_cast<int32_t>(row.item)
                              : mode == 1 ? row.category
                              : mode == 2 ? row.side
                                          : row.group;
        if (value == key) {
            if (mode == 0)
                return 1;
            ++count;
        }
    }
    return count;
}
