// Script conditions and the distance tests they use. See conditions.h.
//
// Each condition reads all its operands first and only then, when asked to
// evaluate, looks at the world; so a condition is stepped over exactly as
// it is evaluated, and stepping over has no side effect.
#include "script/conditions.h"

#include "ai/combathelpers.h"
#include "ai/docking.h"
#include "ai/weapons.h"
#include "screens/bridge.h"
#include "screens/objectives.h"
#include "script/autopilotquery.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "system/gamemath.h"
#include "system/settings.h"
#include "ui/contacts.h"
#include "ui/dialogue.h"
#include "world/behaviours.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/simframe.h"
#include "world/universe.h"

#include <cmath>

namespace {

using ConditionHandler = bool (*)(uint32_t& position, bool evaluate);

constexpr uint32_t kHalfRadiusClass = 0x2000000; // Avatar class flag: the radius counts half
constexpr uint32_t kSimHasFired = 0x10000;
constexpr int16_t kAvatarProbed = 0x20;
constexpr uint32_t kWeaponEmpty = 0x100;
constexpr int kAutopilotBase = 55;

// ---- Items -------------------------------------------------------------------

SceneItem* ReadObject(uint32_t& position)
{
    return SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
}

Vector3 DrawnPosition(const SceneItem* item)
{
    if (!item->avatar)
        return {0.0f, 0.0f, 0.0f};
    const float* m = item->avatar->matrix.m;
    return {m[12], m[13], m[14]};
}

Vector3 Velocity(const SceneItem* item)
{
    return item->sim ? item->sim->velocity : Vector3{0.0f, 0.0f, 0.0f};
}

float Radius(const SceneItem* item)
{
    if (!item->sim)
        return 0.0f;
    const bool half = item->avatar && (item->avatar->classFlags & kHalfRadiusClass);
    return half ? item->sim->radius / 2.0f : item->sim->radius;
}

bool InLds(const SceneItem* item)
{
    return item->sim && (item->sim->flags & kSimLdsEngaged);
}

float Speed(const SceneItem* item)
{
    return item->sim ? item->sim->speed : 0.0f;
}

int32_t Damage(const SceneItem* item)
{
    return item->sim ? 100 - item->sim->hull : 0;
}

const ShipInfo* Ship(const SceneItem* item)
{
    return item && item->sim ? item->sim->shipInfo : nullptr;
}

uint32_t ClassFlags(const SceneItem* item)
{
    return item->avatar ? item->avatar->classFlags : 0;
}

// A raw item pointer held by a record, when it still names a live item.
SceneItem* LiveItem(SceneItem* item)
{
    return ItemFromHandle(ItemHandle(item));
}

template <typename Test>
int32_t CountSceneItems(Test test)
{
    int32_t count = 0;
    for (SceneItem* item = gSceneList.next; item && item != &gSceneList; item = item->next)
        if (test(item))
            ++count;
    return count;
}

// ---- The conditions ------------------------------------------------------------

bool NearTo(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    SceneItem* b = ReadObject(position);
    const float n = ReadNumberOperand(position);
    if (!evaluate || !a || !b || a->sceneGeneration != b->sceneGeneration)
        return false;
    float limit = n;
    if (n == 0.0f) {
        limit = Radius(a) + 500000.0f + Radius(b);
        for (const SceneItem* item : {a, b})
            if (InLds(item) && 10.0f * Speed(item) > limit)
                limit = 10.0f * Speed(item) + 10000000.0f;
    }
    return GetSurfaceDistance(a, b) <= limit;
}

bool FarFrom(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    SceneItem* b = ReadObject(position);
    const float n = ReadNumberOperand(position);
    return evaluate && (!a || !b || GetSurfaceDistance(a, b) >= n);
}

bool AltLower(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    const float n = ReadNumberOperand(position);
    // The altitude counts only once the planet response has noted one: an
    // item that never came near a planet is not low.
    return evaluate && a && (a->flags & kItemInUse) && (a->flags & kItemNearPlanet) && a->sim &&
           a->sim->altitude < n * 100000.0f;
}

bool VelMatch(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    SceneItem* b = ReadObject(position);
    const float x = ReadNumberOperand(position);
    return evaluate && a && b && TestVelocityMatch(a, b, x);
}

bool Destroyed(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    return evaluate && !a;
}

bool Attacked(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    const ScriptSymbol* bSymbol = ReadOptionalSymbol(position);
    if (!evaluate)
        return false;
    if (!a)
        return true;
    SceneItem* attacker = a->avatar ? LiveItem(a->avatar->lockedOn) : nullptr;
    if (!attacker)
        return false;
    const ShipInfo* own = Ship(a);
    const ShipInfo* theirs = Ship(attacker);
    const int32_t ownSide = own ? own->side : -1;
    const int32_t theirSide = theirs ? theirs->side : -1;
    if (ownSide == theirSide)
        return false;
    return !bSymbol || attacker == SymbolObject(bSymbol);
}

bool InSystem(uint32_t& position, bool evaluate)
{
    const int32_t n = ScriptNumberToInt(ReadNumberOperand(position));
    SceneItem* a = ReadOptionalObject(position);
    if (!evaluate)
        return false;
    if (a)
        return a->sceneGeneration == n;
    return gCurrentSystemNumber == n;
}

bool ImpactsGt(uint32_t& position, bool evaluate)
{
    const float n = ReadNumberOperand(position);
    return evaluate && static_cast<float>(gCrashCount) > n;
}

bool Autopilot(uint32_t& position, bool evaluate)
{
    const int32_t n = ScriptNumberToInt(ReadNumberOperand(position));
    int32_t code;
    return evaluate && gPlayerItem && gPlayerItem->sim && (gPlayerItem->sim->flags & kSimAiControl) &&
           PlayerAutopilotCommand(&code) && code == n + kAutopilotBase;
}

bool IsTarget(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    SceneItem* b = ReadObject(position);
    return evaluate && a && b && a->sim && a->sim->target == b;
}

bool WaypointCountEq(uint32_t& position, bool evaluate)
{
    const int32_t n = ScriptNumberToInt(ReadNumberOperand(position));
    return evaluate && gScriptVars.waypointCount == n;
}

bool Docked(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    SceneItem* b = ReadOptionalObject(position);
    return evaluate && a && FindDockedItem(a, b) != nullptr;
}

bool Undocked(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    return evaluate && (!a || FindDockedItem(a, nullptr) == nullptr);
}

bool PlayerLinked(uint32_t&, bool evaluate)
{
    // The link count is the int16 that follows the flight model in the Sim.
    return evaluate && gPlayerItem && gPlayerItem->sim && gPlayerItem->sim->linkCount > 1;
}

bool DamageLt(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    const float n = ReadNumberOperand(position);
    return evaluate && a && static_cast<float>(Damage(a)) < n;
}

bool DamageGt(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    const float n = ReadNumberOperand(position);
    return evaluate && (!a || static_cast<float>(Damage(a)) > n);
}

bool SysOut(uint32_t& position, bool evaluate)
{
    static constexpr uint32_t kSystemMasks[] = {1, 2, 4, 0x18, 0x20, 0x40, 0x80, 0x100};
    SceneItem* a = ReadObject(position);
    const int32_t n = ScriptNumberToInt(ReadNumberOperand(position));
    const ShipInfo* ship = evaluate && a ? Ship(a) : nullptr;
    return ship && n >= 0 && n < 8 &&
           (static_cast<uint16_t>(ship->damage.capabilities) & kSystemMasks[n]) != 0;
}

bool EmitGt(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    const float n = ReadNumberOperand(position);
    if (!evaluate || !a)
        return false;
    const float engine = a->sim ? a->sim->engineValue : 0.0f;
    return std::log10(engine > 0.0f ? engine : 1.0f) > n;
}

bool LookingAt(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    SceneItem* b = ReadObject(position);
    const bool anyRange = ReadOptionalKeyword(position, kw::ON, kw::OFF) == 1;
    if (!evaluate || !a || !b || InLds(a) || InLds(b) || !a->avatar)
        return false;
    if (!anyRange) {
        float range = 30.0f * Radius(b);
        range = range < 120000.0f ? 120000.0f : (range > 2500000.0f ? 2500000.0f : range);
        if (GetCentreDistance(a, b) > range)
            return false;
    }
    const Vector3 from = DrawnPosition(a);
    const Vector3 to = DrawnPosition(b);
    Vector3 direction = {to.x - from.x, to.y - from.y, to.z - from.z};
    VecNormalise(direction);
    const float* m = a->avatar->matrix.m;
    const Vector3 forward = {m[8], m[9], m[10]};
    if (VecDot(forward, direction) <= 0.9f)
        return false;
    const Vector3 va = Velocity(a);
    const Vector3 vb = Velocity(b);
    return VecLength({va.x - vb.x, va.y - vb.y, va.z - vb.z}) < 15000.0f;
}

bool DialogueOver(uint32_t& position, bool evaluate)
{
    const ScriptSymbol* symbol = ReadOptionalSymbol(position);
    // A text names the ship of the conversation started from it.
    const Resource* text = SymbolResource(symbol);
    SceneItem* ship = text ? ConversationShipOfText(text) : SymbolObject(symbol);
    return evaluate && (gSettings.noDialogue || !IsInConversation(ship));
}

bool ShipCountLt(uint32_t& position, bool evaluate)
{
    const int32_t type = ReadKeywordOperand(position, kw::CORVETTE, kw::RING);
    const int32_t side = ReadKeywordOperand(position, kw::NEUTRAL, kw::ALLIANCE);
    const float n = ReadNumberOperand(position);
    if (!evaluate)
        return false;
    const int32_t count = CountSceneItems([&](const SceneItem* item) {
        const ShipInfo* ship = Ship(item);
        return ship && ship->kind == type && ship->side == side;
    });
    return static_cast<float>(count) < n;
}

bool SenseCountLt(uint32_t& position, bool evaluate)
{
    const float n = ReadNumberOperand(position);
    const uint32_t mask = ReadSenseMask(position, false);
    if (!evaluate)
        return false;
    const int32_t count =
        CountSceneItems([&](const SceneItem* item) { return (ClassFlags(item) & mask) == mask; });
    return static_cast<float>(count) < n;
}

bool GroupCountLt(uint32_t& position, bool evaluate)
{
    const int32_t group = ScriptNumberToInt(ReadNumberOperand(position));
    const float n = ReadNumberOperand(position);
    if (!evaluate)
        return false;
    const int32_t count = CountSceneItems([&](const SceneItem* item) {
        const ShipInfo* ship = Ship(item);
        return ship && ship->group == group;
    });
    return static_cast<float>(count) < n;
}

bool NoShips(uint32_t& position, bool evaluate)
{
    const int32_t side = ReadKeywordOperand(position, kw::NEUTRAL, kw::ALLIANCE);
    const float n = ReadOptionalNumber(position);
    return evaluate && static_cast<float>(CountItemsOfType(side)) <= n;
}

bool NoneToBringIn(uint32_t& position, bool evaluate)
{
    ReadObject(position); // names the source; the release does not use it
    const int32_t generation = ScriptNumberToInt(ReadNumberOperand(position));
    const uint32_t mask = ReadSenseMask(position, true);
    if (!evaluate)
        return false;
    SceneItem* released = ReleaseItemAtL4(mask, generation);
    if (!released)
        return true;
    // A list head back means an item was found but found no clear place.
    if (ItemHandle(released) != 0)
        SetSymbolObject(gBuiltinSymbols.lastShip, released);
    return false;
}

bool ValidScn(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    return evaluate && a && (a->flags & kItemInUse);
}

bool ScnSense(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    const uint32_t mask = ReadSenseMask(position, true);
    return evaluate && a && (ClassFlags(a) & mask) == mask;
}

bool TowedBy(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    SceneItem* b = ReadObject(position);
    return evaluate && a && b && a->avatar && a->perFrame == KeepTetherDistance &&
           ItemFromHandle(static_cast<SceneItemHandle>(a->avatar->params[kParamTetherAnchor])) == b;
}

bool ContactCondition(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    return evaluate && a && IsContact(a);
}

bool TimerOut(uint32_t&, bool evaluate)
{
    return evaluate && gScriptCountdown < 1;
}

bool TimerLt(uint32_t& position, bool evaluate)
{
    const float n = ReadNumberOperand(position);
    return evaluate && n > static_cast<float>(gScriptCountdown);
}

bool ShipClock(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    if (!evaluate || !a || !a->sim || a->sim->countdown >= 1)
        return false;
    a->sim->countdown = a->sim->clockPeriod;
    return true;
}

bool ShipType(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    const int32_t type = ReadKeywordOperand(position, kw::CORVETTE, kw::RING + 1);
    const ShipInfo* ship = a ? Ship(a) : nullptr;
    return evaluate && ship && ship->kind == type;
}

bool InGroup(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    const int32_t group = ScriptNumberToInt(ReadNumberOperand(position));
    const ShipInfo* ship = a ? Ship(a) : nullptr;
    return evaluate && ship && ship->group == group;
}

bool HasFired(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    if (!evaluate || !a || !a->sim || !(a->sim->flags & kSimHasFired))
        return false;
    a->sim->flags &= ~kSimHasFired;
    return true;
}

bool Equal(uint32_t& position, bool evaluate)
{
    return CompareOperandsEqual(position) && evaluate;
}

bool Greater(uint32_t& position, bool evaluate)
{
    return CompareOperandsGreater(position) && evaluate;
}

bool InLdsCondition(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    return evaluate && a && InLds(a);
}

bool Probed(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    return evaluate && a && a->avatar && (a->avatar->flags & kAvatarProbed);
}

bool Objective(uint32_t& position, bool evaluate)
{
    const int32_t status = ReadKeywordOperand(position, kw::NEW, kw::DONE);
    const int32_t id = ScriptNumberToInt(ReadOptionalNumber(position));
    return evaluate && ObjectiveStatusIs(FindObjectiveById(id), status);
}

bool RemoteLinked(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    return evaluate && a && a == gRemoteLinkItem;
}

bool WeaponEmpty(uint32_t& position, bool evaluate)
{
    SceneItem* a = ReadObject(position);
    const int32_t n = ScriptNumberToInt(ReadNumberOperand(position));
    if (!evaluate || !a || !a->sim)
        return false;
    const Weapon* mount = NthWeapon(a->sim->weapons, n);
    return !mount || (mount->flags & kWeaponEmpty);
}

// One row per condition id; ConditionChain indexes the rows by id minus
// NEARTO, so the ids must run on without a gap.
struct ConditionRow {
    uint32_t id;
    ConditionHandler handler;
};
constexpr ConditionRow kConditions[] = {
    {kw::NEARTO, NearTo},
    {kw::FARFROM, FarFrom},
    {kw::ALT_LOWER, AltLower},
    {kw::VELMATCH, VelMatch},
    {kw::DESTROYED, Destroyed},
    {kw::ATTACKED, Attacked},
    {kw::INSYSTEM, InSystem},
    {kw::IMPACTS_GT, ImpactsGt},
    {kw::AUTOPILOT, Autopilot},
    {kw::IS_TARGET, IsTarget},
    {kw::WAYPTCOUNT_EQ, WaypointCountEq},
    {kw::DOCKED, Docked},
    {kw::UNDOCKED, Undocked},
    {kw::PLAYER_LINKED, PlayerLinked},
    {kw::DAMAGE_LT, DamageLt},
    {kw::DAMAGE_GT, DamageGt},
    {kw::SYS_OUT, SysOut},
    {kw::EMIT_GT, EmitGt},
    {kw::LOOKING_AT, LookingAt},
    {kw::DIALOGUE_OVER, DialogueOver},
    {kw::SHIPCOUNT_LT, ShipCountLt},
    {kw::SENSECOUNT_LT, SenseCountLt},
    {kw::GROUPCOUNT_LT, GroupCountLt},
    {kw::NOSHIPS, NoShips},
    {kw::NONETOBRINGIN, NoneToBringIn},
    {kw::VALID_SCN, ValidScn},
    {kw::SCN_SENSE, ScnSense},
    {kw::TOWED_BY, TowedBy},
    {kw::CONTACT, ContactCondition},
    {kw::TIMER_OUT, TimerOut},
    {kw::TIMER_LT, TimerLt},
    {kw::SHIP_CLOCK, ShipClock},
    {kw::SHIP_TYPE, ShipType},
    {kw::IN_GROUP, InGroup},
    {kw::HASFIRED, HasFired},
    {kw::EQUAL, Equal},
    {kw::GT, Greater},
    {kw::IN_LDS, InLdsCondition},
    {kw::PROBED, Probed},
    {kw::OBJV, Objective},
    {kw::REMLINK, RemoteLinked},
    {kw::WEAPON_EMPTY, WeaponEmpty},
};
constexpr bool RowsRunOnFrom(uint32_t first)
{
    for (const ConditionRow& row : kConditions)
        if (row.id != first++)
            return false;
    return true;
}
static_assert(RowsRunOnFrom(kw::NEARTO) && std::size(kConditions) == kw::WEAPON_EMPTY - kw::NEARTO + 1);

bool ConditionChain(uint32_t& position, bool evaluate)
{
    const uint32_t id = ScriptTokenAt(position).id;
    if (id < kw::NEARTO || id > kw::WEAPON_EMPTY)
        FailStatement(kStopBadCondition, "Unrecognized CONDITIONAL", position);
    ++position;
    const bool result = kConditions[id - kw::NEARTO].handler(position, evaluate);
    const uint32_t joiner = ScriptTokenAt(position).id;
    if (joiner != kw::AND && joiner != kw::OR)
        return result;
    ++position;
    // The rest is always evaluated: its conditions have side effects.
    const bool rest = ConditionChain(position, evaluate);
    return joiner == kw::AND ? (result && rest) : (result || rest);
}

} // namespace

bool EvaluateCondition(uint32_t& position)
{
    return ConditionChain(position, true);
}

void SkipCondition(uint32_t& position)
{
    ConditionChain(position, false);
}

float GetSurfaceDistance(const SceneItem* a, const SceneItem* b)
{
    const float distance = GetCentreDistance(a, b) - Radius(a) - Radius(b);
    return distance > 0.0f ? distance : 0.0f;
}

float GetCentreDistance(const SceneItem* a, const SceneItem* b)
{
    const Vector3 pa = DrawnPosition(a);
    const Vector3 pb = DrawnPosition(b);
    return VecFastLength({pa.x - pb.x, pa.y - pb.y, pa.z - pb.z});
}

bool TestVelocityMatch(const SceneItem* a, const SceneItem* b, float x)
{
    if (InLds(a) || InLds(b))
        return false;
    Vector3 va = Velocity(a);
    Vector3 vb = Velocity(b);
    const float s1 = VecLength(va);
    const float s2 = VecLength(vb);
    if (s1 == 0.0f && s2 == 0.0f)
        return true;
    if (std::fabs(s2 - s1) * 200.0f / (s1 + s2) > x)
        return false;
    VecNormalise(va);
    VecNormalise(vb);
    return VecDot(va, vb) >= std::cos(x * 3.1415f / 100.0f);
}

void SetShipClock(SceneItem* item, int16_t countdown, int16_t period)
{
    if (!item || !item->sim)
        return;
    item->sim->countdown = countdown;
    item->sim->clockPeriod = period;
}
