// The statements that give ships orders and targets and arm them: ORDER,
// ORDER_PARAMS, PLAYER_ORDER, ASSERT_ORDER, CANCEL_ORDER, TARGET (and
// WEPTARGET), NAVTARGET, IGNORE_NAV, IGNORE_WEP and WEAPON.
//
// The order slots, their evaluation and the Weapon mounts belong to the AI
// (ai/orders.h, ai/weapons.h); these statements only fill them. Every
// statement reads all its operands before it acts, and a slot number
// outside the eight slots stops the script instead of writing past them.
#include "ai/combathelpers.h"
#include "ai/orders.h"
#include "ai/weapons.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "system/sound.h"
#include "ui/contacts.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"

namespace {

// PLAYER_ORDER's LDS drive: the sounds of entering and leaving it, the
// speed it starts at, and the spool counter of a drive winding down.
constexpr int32_t kSoundLdsOn = 31;
constexpr int32_t kSoundLdsOff = 33;
constexpr float kPlayerOrderLdsSpeed = 100000.0f;
constexpr int32_t kLdsWindDownSpool = -100;
// PLAYER_ORDER's slot 1: its weight and its evaluator's first parameter.
constexpr int32_t kPlayerOrderWeight = 80;
constexpr int32_t kPlayerOrderParameter = 80;
// How long IGNORE_NAV and IGNORE_WEP keep the item out of target searches
// (hundredths of a second).
constexpr int32_t kIgnoreTicks = 500;

// Firing-arc codes by keyword, from ARC_FWD: direction, width, hemisphere
// and range classes, ORed into a mount's direction code.
constexpr int16_t kFiringArcCodes[] = {
    0x1, 0x2, 0x3, 0x4, 0x5, 0x6, 0x7, 0x8, 0x9, // ARC_FWD .. ARC_COMPLETE
    0x10, 0x20, 0x30, 0x40,                      // ARC_60 .. ARC_30
    0x100, 0x200, 0x300,                         // ARC_UPPER .. ARC_FULL
    0x400, 0x800,                                // ARC_MEDIUM, ARC_NORM
};
static_assert(std::size(kFiringArcCodes) == kw::ARC_NORM - kw::ARC_FWD + 1);

// A slot number operand: 0..7, else the script stops.
int32_t ReadSlotOperand(uint32_t& position)
{
    const uint32_t at = position;
    const int32_t slot = ScriptNumberToInt(ReadNumberOperand(position));
    if (slot < 0 || slot >= kOrderSlots)
        FailStatement(kStopBadToken, "Order slot must be 0 to 7", at);
    return slot;
}

SceneItem* ReadObject(uint32_t& position)
{
    return SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
}

// The order program of the name; the script stops when there is none.
const OrderProgram& ProgramOrStop(const char* name, uint32_t position)
{
    const OrderProgram* program = FindOrderProgram(name);
    if (!program)
        FailStatement(kStopBadToken, "ORDER unrecognised order name", position);
    return *program;
}

void SetSlotState(ShipInfo* info, int32_t slot, const OrderProgram& program)
{
    SetOrderState(info, slot, program.stateId, program.parameters[0], program.parameters[1],
                  program.parameters[2]);
}

// ORDER n prerequisite ship "name" delay timeout priority target parameter:
// slot n gets the named order program; slot 1 becomes current at once.
void Order(uint32_t& position)
{
    const int32_t slot = ReadSlotOperand(position);
    const int32_t prerequisite = ScriptNumberToInt(ReadNumberOperand(position));
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    const uint32_t nameAt = position;
    const char* name = ReadTextOperand(position);
    const int32_t delay = ScriptNumberToInt(ReadNumberOperand(position));
    const int32_t timeout = ScriptNumberToInt(ReadNumberOperand(position));
    const int32_t priority = ScriptNumberToInt(ReadNumberOperand(position));
    const int32_t target = ReadIntegerOperand(position);
    const int32_t parameter = ScriptNumberToInt(ReadNumberOperand(position));
    SceneItem* item = SymbolObject(symbol);
    SetSymbolObject(gBuiltinSymbols.lastShip, item);
    ShipInfo* info = ShipInfoOf(item);
    if (!info)
        return;
    const OrderProgram& program = ProgramOrStop(name, nameAt);
    info->orders[slot].name = name;
    SetOrderSlot(info, slot, prerequisite, delay, timeout, priority, program.evaluator, target, parameter);
    SetSlotState(info, slot, program);
    if (slot == 1)
        ActivateOrder(item, 1);
}

// ORDER_PARAMS n ship a b c: slot n's AI state parameters; the current
// slot restarts with them.
void OrderParams(uint32_t& position)
{
    const int32_t slot = ReadSlotOperand(position);
    SceneItem* item = ReadObject(position);
    const int32_t a = ReadIntegerOperand(position);
    const int32_t b = ReadIntegerOperand(position);
    const int32_t c = ReadIntegerOperand(position);
    ShipInfo* info = ShipInfoOf(item);
    if (!info)
        return;
    SetOrderState(info, slot, info->orders[slot].stateId, a, b, c);
    if (info->currentOrder == slot)
        ActivateOrder(item, slot);
}

// PLAYER_ORDER "name" target [ON | OFF]: the player's ship takes the order
// in slot 1 under AI control, entering (ON) or leaving (OFF) the LDS drive.
void PlayerOrder(uint32_t& position)
{
    const uint32_t nameAt = position;
    const char* name = ReadTextOperand(position);
    SceneItem* target = ReadObject(position);
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    const OrderProgram& program = ProgramOrStop(name, nameAt);
    SceneItem* player = gPlayerItem;
    ShipInfo* info = ShipInfoOf(player);
    if (!info)
        return;
    Sim& sim = *player->sim;
    Sim* controlled = gControlledItem && gControlledItem->sim ? gControlledItem->sim : &sim;
    if (keyword == 0) {
        sim.flags |= kSimLdsEngaged;
        SoundPlay(kSoundLdsOn, 0, 0, 0, 0);
        controlled->thrust = {};
        sim.ldsSpool = controlled->flightModel ? static_cast<int32_t>(controlled->flightModel->spoolTime) : 0;
        sim.ldsTargetSpeed = kPlayerOrderLdsSpeed;
        sim.thrust.z = kPlayerOrderLdsSpeed;
    } else if (keyword == 1) {
        SoundPlay(kSoundLdsOff, 0, 0, 0, 0);
        controlled->ldsSpool = kLdsWindDownSpool;
        controlled->ldsTargetSpeed = 0.0f;
    }
    info->orders[1].name = name;
    SetOrderSlot(info, 1, 0, 0, 0, kPlayerOrderWeight, EvalDefault, kPlayerOrderParameter, 0);
    SetSlotState(info, 1, program);
    ActivateOrder(player, 1);
    sim.target = target;
    sim.flags |= kSimAiControl;
}

// ASSERT_ORDER n ship: slot n becomes current.
void AssertOrder(uint32_t& position)
{
    const int32_t slot = ReadSlotOperand(position);
    SceneItem* item = ReadObject(position);
    if (ShipInfoOf(item))
        ActivateOrder(item, slot);
}

// CANCEL_ORDER n ship: slot n is emptied (no evaluator, so it is never
// chosen) but keeps its name.
void CancelOrder(uint32_t& position)
{
    const int32_t slot = ReadSlotOperand(position);
    ShipInfo* info = ShipInfoOf(ReadObject(position));
    if (!info)
        return;
    OrderSlot& order = info->orders[slot];
    order.flags = 0;
    order.evaluator = nullptr;
    order.parameter1 = 0;
    order.parameter2 = 0;
    order.stateId = 0;
}

// The ship's current order slot, or null for an object without orders.
OrderSlot* CurrentSlot(SceneItem* item)
{
    ShipInfo* info = ShipInfoOf(item);
    if (!info || info->currentOrder < 0 || info->currentOrder >= kOrderSlots)
        return nullptr;
    return &info->orders[info->currentOrder];
}

// TARGET ship target [ON | OFF]: the ship's target, kept by its current
// order, and the player's current contact.
void Target(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    SceneItem* target = ReadObject(position);
    ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (!item || !target)
        return;
    item->sim->target = target;
    if (OrderSlot* slot = CurrentSlot(item))
        slot->savedTarget = target;
    SelectContact(target);
}

// NAVTARGET ship target [ON | OFF]: the ship's navigation target, the one
// the navigation station shows and its orders fly to (the AI's leader is
// not touched); the player's ship with ON also selects it as contact.
void NavTarget(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    SceneItem* target = ReadObject(position);
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (!item || !target)
        return;
    item->sim->navTarget = target;
    if (item == gPlayerItem) {
        gContacts.navTarget = target; // the contact list marks it as such
        if (keyword == 0)
            SelectContact(target);
    }
}

void IgnoreItem(SceneItem* item)
{
    gTargetSearchIgnoredItem = item;
    gTargetSearchIgnoreTicks = kIgnoreTicks;
}

// IGNORE_NAV object: no ship navigates by it, neither as its leader nor as
// its navigation target, and searches skip it a while.
void IgnoreNav(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    if (!item)
        return;
    ForgetLeaderEverywhere(item);
    Sim* pool = SimPool();
    for (int i = 0; i < kMaxSims; ++i)
        if ((pool[i].flags & kSimInUse) && pool[i].navTarget.Is(item))
            pool[i].navTarget = nullptr;
    IgnoreItem(item);
}

// IGNORE_WEP object: no ship nor mount aims at it, and searches skip it a
// while.
void IgnoreWep(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    if (!item)
        return;
    ForgetTargetEverywhere(item);
    Sim* pool = SimPool();
    for (int i = 0; i < kMaxSims; ++i)
        if (pool[i].flags & kSimInUse)
            for (Weapon* w = pool[i].weapons; w; w = w->next)
                if (w->target.Is(item))
                    w->target = nullptr;
    IgnoreItem(item);
}

// WEAPON ship kind arc arc arc x y z: a new mount at the end of the ship's
// list; the ship's current mount goes back to the first.
void WeaponStatement(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    const int32_t kind = ReadKeywordOperand(position, kw::BEAMCANN, kw::DISRUPTOR);
    int16_t code = 0;
    for (int i = 0; i < 3; ++i)
        code = static_cast<int16_t>(code | kFiringArcCodes[ReadKeywordOperand(position, kw::ARC_FWD, kw::ARC_NORM)]);
    const float x = ReadNumberOperand(position);
    const float y = ReadNumberOperand(position);
    const float z = ReadNumberOperand(position);
    if (!item || !item->sim)
        return;
    const WeaponKindRow& row = WeaponKindTable[kind];
    row.construct(item, x, y, z, row.name, code);
    Weapon* last = item->sim->weapons;
    while (last && last->next)
        last = last->next;
    if (last)
        last->kind = static_cast<int16_t>(kind);
    ++item->sim->weaponCount;
    item->sim->currentWeapon = item->sim->weapons;
}

constexpr StatementRow kOrderRows[] = {
    {kw::ORDER, Order},
    {kw::ORDER_PARAMS, OrderParams},
    {kw::PLAYER_ORDER, PlayerOrder},
    {kw::ASSERT_ORDER, AssertOrder},
    {kw::CANCEL_ORDER, CancelOrder},
    {kw::TARGET, Target},
    {kw::NAVTARGET, NavTarget},
    {kw::IGNORE_NAV, IgnoreNav},
    {kw::IGNORE_WEP, IgnoreWep},
    {kw::WEAPON, WeaponStatement},
};

} // namespace

std::span<const StatementRow> OrderStatementRows()
{
    return kOrderRows;
}
