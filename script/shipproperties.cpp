// The ship property, group and sense statements: RANK, FTLSOURCE, SKILL,
// SHIP_SCORE, ALLEG_SCORE, SET_SHIP_CLOCK, REPAIRS, NO_UNDOCK, REMOTE_OK;
// GROUP, NEW_GROUP, GROUP_LEADER, UNLEADER, GET_LEADER; DEBUG, ADD_SENSE,
// CLR_SENSE, NEW_ALLEG.
//
// Groups: the script's current group (0 for none) goes to every ship that
// CREATE_SHIP and SHIP make; the next free group number starts at 1000 and
// only grows. Sense flags are the Avatar's class flags.
#include "script/shipstatements.h"

#include "ai/combathelpers.h"
#include "ai/orders.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "system/settings.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"
#include "world/tally.h"

float gSideValues[kSideValueCount];
const char* gLastDebugText = nullptr;

namespace {

// Sim flags of a group leader.
constexpr uint32_t kSimLeaderFlags = 0x1400;

// An object operand that must be a live ship (see LiveObjectOrReport).
ShipInfo* ReadShip(uint32_t& position, const char* statement, SceneItem** item = nullptr)
{
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    SceneItem* ship = LiveObjectOrReport(symbol, statement, true);
    if (item)
        *item = ship;
    return ShipInfoOf(ship);
}

// A group number: a whole number 0 .. kMaxScriptGroup, else a syntax error.
int16_t ReadGroup(uint32_t& position)
{
    const uint32_t start = position;
    const float number = ReadNumberOperand(position);
    const int32_t group = ScriptNumberToInt(number);
    if (group < 0 || group > kMaxScriptGroup)
        FailStatement(kStopBadToken, "Bad GROUP number", start);
    return static_cast<int16_t>(group);
}

// ON reads as 0, OFF as 1.
bool ReadOn(uint32_t& position)
{
    return ReadKeywordOperand(position, kw::ON, kw::OFF) == 0;
}

void SetSimFlag(SceneItem* item, uint32_t flag, bool on)
{
    if (!item || !item->sim)
        return;
    if (on)
        item->sim->flags |= flag;
    else
        item->sim->flags &= ~flag;
}

// ---- Ship properties ----------------------------------------------------------

void Rank(uint32_t& position)
{
    ShipInfo* info = ReadShip(position, "RANK");
    const float rank = ReadNumberOperand(position);
    if (info)
        info->rank = ScriptNumberToInt16(rank);
}

void FtlSource(uint32_t& position)
{
    if (SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem)))
        gFtlSource = item;
}

void Skill(uint32_t& position)
{
    SceneItem* item = nullptr;
    ShipInfo* info = ReadShip(position, "SKILL", &item);
    const float skill = ReadNumberOperand(position);
    if (!info)
        return;
    info->skill = ScriptNumberToInt16(skill);
    ScaleFlightModelBySkill(item);
}

void ShipScore(uint32_t& position)
{
    const int32_t category = ReadKeywordOperand(position, kw::CORVETTE, kw::RING);
    gTallyKillScore[category] = ScriptNumberToInt(ReadNumberOperand(position));
}

void AllegScore(uint32_t& position)
{
    const int32_t side = ReadKeywordOperand(position, kw::NEUTRAL, kw::ALLIANCE);
    gSideValues[side] = ReadNumberOperand(position);
}

// The two numbers are read only for a live object; otherwise the run loop
// passes over them.
void SetShipClock(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    if (!item || !item->sim)
        return;
    item->sim->countdown = ScriptNumberToInt16(ReadNumberOperand(position));
    item->sim->clockPeriod = ScriptNumberToInt16(ReadNumberOperand(position));
}

void Repairs(uint32_t& position)
{
    gShipSystems.repairsEnabled = ReadOn(position) ? 255 : 0;
}

void NoUndock(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SetSimFlag(item, kSimNoUndock, ReadOn(position));
}

void RemoteOk(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SetSimFlag(item, kSimRemoteControllable, ReadOn(position));
}

// ---- Groups ----------------------------------------------------------------------

// GROUP g [object]
void Group(uint32_t& position)
{
    const int16_t group = ReadGroup(position);
    const ScriptSymbol* symbol = ReadOptionalSymbol(position);
    if (!symbol) {
        gInterpreter.currentGroup = group;
        if (group >= gInterpreter.groupCounter)
            gInterpreter.groupCounter = static_cast<int16_t>(group + 1);
        return;
    }
    SceneItem* item = LiveObjectOrReport(symbol, "GROUP", true);
    if (!item)
        return;
    item->sim->shipInfo->group = group;
    const ShipInfo* player = ShipInfoOf(gPlayerItem);
    if (player && gPlayerItem != item && player->group == group)
        AddWingman(item);
}

void NewGroup(uint32_t&)
{
    gInterpreter.currentGroup = gInterpreter.groupCounter;
    if (gInterpreter.groupCounter < INT16_MAX)
        ++gInterpreter.groupCounter;
}

void GroupLeader(uint32_t& position)
{
    SceneItem* leader = nullptr;
    ShipInfo* info = ReadShip(position, "GROUP_LEADER", &leader);
    if (!info || info->group == 0)
        return;
    info->flags |= kShipGroupLeader;
    leader->sim->flags |= kSimLeaderFlags;
    ForEachSceneItem([&](SceneItem* other) {
        ShipInfo* member = ShipInfoOf(other);
        if (other != leader && member && member->group == info->group)
            member->leader = leader;
        return true;
    });
}

void Unleader(uint32_t& position)
{
    SceneItem* item = nullptr;
    if (ReadShip(position, "UNLEADER", &item))
        DetachGroupLeader(item);
}

// GET_LEADER g symbol: the last leader of the group in list order; the
// symbol keeps its value when the group has none.
void GetLeader(uint32_t& position)
{
    const int16_t group = ReadGroup(position);
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    SceneItem* leader = nullptr;
    ForEachSceneItem([&](SceneItem* item) {
        const ShipInfo* info = ShipInfoOf(item);
        if (info && info->group == group && (info->flags & kShipGroupLeader))
            leader = item;
        return true;
    });
    if (leader)
        SetSymbolObject(symbol, leader);
}

// ---- Sense flags --------------------------------------------------------------

void Debug(uint32_t& position)
{
    const char* text = ReadTextOperand(position);
    if (!gSettings.debug)
        return;
    guiAddMessageLogText(text, 0);
    gLastDebugText = text;
}

void ChangeSense(uint32_t& position, bool add)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const uint32_t mask = ReadSenseMask(position, false);
    if (!item || !item->avatar)
        return;
    if (add)
        item->avatar->classFlags |= mask;
    else
        item->avatar->classFlags &= ~mask;
}

void AddSense(uint32_t& position)
{
    ChangeSense(position, true);
}

void ClrSense(uint32_t& position)
{
    ChangeSense(position, false);
}

// NEW_ALLEG object side: the side keyword is read only for a live object.
void NewAlleg(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    if (!item || !item->avatar)
        return;
    const int32_t side = ReadKeywordOperand(position, kw::NEUTRAL, kw::ALLIANCE);
    uint32_t& sense = item->avatar->classFlags;
    sense = (sense & ~kSenseSides) | SideSenseFlag(side);
    SetSideFromSenseFlags(item);
}

constexpr StatementRow kShipPropertyRows[] = {
    {kw::RANK, Rank},
    {kw::FTLSOURCE, FtlSource},
    {kw::SKILL, Skill},
    {kw::SHIP_SCORE, ShipScore},
    {kw::ALLEG_SCORE, AllegScore},
    {kw::SET_SHIP_CLOCK, SetShipClock},
    {kw::REPAIRS, Repairs},
    {kw::NO_UNDOCK, NoUndock},
    {kw::REMOTE_OK, RemoteOk},
    {kw::GROUP, Group},
    {kw::NEW_GROUP, NewGroup},
    {kw::GROUP_LEADER, GroupLeader},
    {kw::UNLEADER, Unleader},
    {kw::GET_LEADER, GetLeader},
    {kw::DEBUG, Debug},
    {kw::ADD_SENSE, AddSense},
    {kw::CLR_SENSE, ClrSense},
    {kw::NEW_ALLEG, NewAlleg},
};

} // namespace

std::span<const StatementRow> ShipPropertyRows()
{
    return kShipPropertyRows;
}
