// Ship types, default AI programs and placement. See shiptypes.h.
#include "script/shiptypes.h"

#include "ai/combat.h"
#include "ai/orders.h"
#include "script/interpreter.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/crand.h"
#include "system/errors.h"
#include "view/renderpasses.h"
#include "world/floatingorigin.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"

#include <cmath>
#include <cstring>

namespace {

// SceneItem flags of every ship.
constexpr int16_t kShipItemFlags = 0x202;

// The default orders: slot 0 keeps the ship alive, slot 1 does nothing
// until a script gives it an order.
constexpr int32_t kSelfPreservationState = 34;
constexpr int32_t kDoNothingState = 61;

// The pair of ShipInfo floats that the LDS code reads.
constexpr float kLdsReachA = 15000000.0f;
constexpr float kLdsReachB = 1500000.0f;

constexpr int32_t kDefaultArmour = 50;
constexpr int32_t kDefaultMaximumHull = 250;

// Headless corvettes drift; mines carry fuel and burst on contact.
constexpr float kHeadlessDrift[2] = {120.0f, 40.0f};
constexpr int32_t kMineFuel = 5000;
constexpr int8_t kMineResponseByte = 40;

void SetupDefault(SceneItem* item, const char* displayName)
{
    SetupShipDefaults(item, displayName);
}

void SetupHeadless(SceneItem* item, const char* displayName)
{
    SetupShipDefaults(item, displayName);
    item->avatar->classFlags |= SenseFlag(kw::SN_CRIPPLED);
    SetControlFunction(item, CONTROL_FREE);
    item->pitchDemand = kHeadlessDrift[0];
    item->yawDemand = kHeadlessDrift[1];
}

void SetupMine(SceneItem* item, const char* displayName)
{
    Sim* sim = SetupShipDefaults(item, displayName);
    if (sim)
        sim->ldsSpool = kMineFuel;
    item->avatar->collision = ProjectileHit;
    item->avatar->responseOrder = kMineResponseByte;
}

// Stations are drawn after the ordinary objects.
void SetupStation(SceneItem* item, const char* displayName)
{
    SetupShipDefaults(item, displayName);
    uint32_t& sense = item->avatar->classFlags;
    sense = (sense & ~SenseFlag(kw::SN_STARSHIP)) | SenseFlag(kw::SN_BASE);
    MoveSceneItemToTailGroup(item);
}

// The last leader of the group in list order, other than the item itself.
SceneItem* FindGroupLeader(const SceneItem* item, int16_t group)
{
    SceneItem* leader = nullptr;
    ForEachSceneItem([&](SceneItem* other) {
        const ShipInfo* info = ShipInfoOf(other);
        if (other != item && info && info->group == group && (info->flags & kShipGroupLeader))
            leader = other;
        return true;
    });
    return leader;
}

} // namespace

const ShipType kShipTypes[kShipTypeCount] = {
    {"Corvette", SetupDefault},
    {"Freighter", SetupDefault},
    {"Command", SetupDefault},
    {"Headless", SetupHeadless},
    {"Transporter", SetupDefault},
    {"Cruiser", SetupDefault},
    {"Patrol Combatant", SetupDefault},
    {"C-Fighter", SetupDefault},
    {"S-Fighter", SetupDefault},
    {"Tug", SetupDefault},
    {"Missile", SetupDefault},
    {"Mine", SetupMine},
    {"Drone", SetupDefault},
    {"Station", SetupStation},
    {"Destroyer", SetupDefault},
    {"Carrier", SetupDefault},
    {"Comm Relay", SetupDefault},
    {"GunBase", SetupDefault},
};
static_assert(kw::GUNBASE - kw::CORVETTE + 1 == kShipTypeCount);

const uint32_t kTacticFlags[6] = {0x400, 0x800, 0xC00, 0x1000, 0x1400, 0x20000000};
static_assert(kw::RESUPPLY - kw::COMBAT + 1 == 6);

ShipInfo* ShipInfoOf(SceneItem* item)
{
    return item && item->sim ? item->sim->shipInfo : nullptr;
}

Sim* SetupShipDefaults(SceneItem* item, const char* displayName)
{
    ShipInfo* info = ShipInfoOf(item);
    if (!info || !item->avatar)
        return item ? item->sim : nullptr;

    ClearOrderSlots(info);
    info->orders[0].name = "SelfPreservation";
    SetOrderSlot(info, 0, 0, 0, 0, 100, EvalSelfPreservation, 79, 0);
    SetOrderState(info, 0, kSelfPreservationState, 0, 0, 0);
    info->orders[1].name = "NO PROGRAM";
    SetOrderSlot(info, 1, 0, 0, 0, 1, EvalDefault, 80, 0);
    SetOrderState(info, 1, kDoNothingState, 0, 0, 0);
    ActivateOrder(item, 1);

    info->damage.armour = kDefaultArmour;
    info->damage.maximumHull = kDefaultMaximumHull;
    info->ldsReach[0] = kLdsReachA;
    info->ldsReach[1] = kLdsReachB;
    info->name = displayName;

    item->avatar->classFlags |= SenseFlag(kw::SN_MANUFACTURED) | SenseFlag(kw::SN_STARSHIP);
    item->flags |= kShipItemFlags;
    item->avatar->collision = CollideShips;
    SetSideFromSenseFlags(item);
    return item->sim;
}

void SetSideFromSenseFlags(SceneItem* item)
{
    ShipInfo* info = ShipInfoOf(item);
    if (!info || !item->avatar)
        return;
    int16_t side = 0;
    int found = 0;
    for (int32_t s = 1; s <= 6; ++s) {
        if (item->avatar->classFlags & SideSenseFlag(s)) {
            side = static_cast<int16_t>(s);
            ++found;
        }
    }
    info->side = found == 1 ? side : 0;
}

const OrderProgram* FindOrderProgramIn(const OrderProgram* table, const char* name)
{
    const OrderProgram* found = nullptr;
    if (!name)
        return nullptr;
    for (const OrderProgram* row = table; row->name; ++row)
        if (std::strcmp(row->name, name) == 0)
            found = row;
    return found;
}

const OrderProgram* FindOrderProgram(const char* name)
{
    return FindOrderProgramIn(OrderProgramTable, name);
}

void SetShipNames(ShipInfo* info, const char* name)
{
    info->name = name;
    const char* blank = std::strrchr(name, ' ');
    info->shortName = blank ? blank + 1 : name;
}

ShipInfo* MakeShipOfType(SceneItem* item, int32_t type, const char* name)
{
    if (!item || !item->sim || type < 0 || type >= kShipTypeCount)
        return nullptr;
    Sim* sim = item->sim;
    if (!sim->shipInfo) {
        sim->shipInfo = AllocShipInfo();
        if (!sim->shipInfo)
            return nullptr;
        sim->flightModel = &sim->shipInfo->flightModel;
    }
    ShipInfo* info = sim->shipInfo;
    info->kind = static_cast<int16_t>(type);
    info->rank = 3;
    const int16_t group = ScriptNumberToInt16(gInterpreter.currentGroup);
    info->group = group;
    if (group != 0) {
        if (SceneItem* leader = FindGroupLeader(item, group))
            info->leader = leader;
        const ShipInfo* player = ShipInfoOf(gPlayerItem);
        if (player && gPlayerItem != item && player->group == group)
            AddWingman(item);
    }
    const ShipType& row = kShipTypes[type];
    row.setup(item, row.displayName);
    SetShipNames(info, name);
    return info;
}

void AddPlacementOrigin(double& x, double& y, double& z)
{
    if (gInterpreter.placementMode) {
        x -= gWorldOriginOffset.x;
        y -= gWorldOriginOffset.y;
        z -= gWorldOriginOffset.z;
        return;
    }
    const SceneItem* origin = gInterpreter.relativeOrigin;
    if (!origin)
        return;
    const Matrix4* matrix = origin->sim ? &origin->sim->matrix : origin->avatar ? &origin->avatar->matrix
                                                                                : nullptr;
    if (!matrix)
        return;
    x += matrix->m[12];
    y += matrix->m[13];
    z += matrix->m[14];
}

void PlaceItemAt(SceneItem* item, double x, double y, double z)
{
    if (!item || !item->sim)
        return;
    Sim& sim = *item->sim;
    sim.position = {x, y, z};
    sim.matrix.m[12] = static_cast<float>(x);
    sim.matrix.m[13] = static_cast<float>(y);
    sim.matrix.m[14] = static_cast<float>(z);
}

void PushApartOnPlacement(SceneItem* item)
{
    if (!item || !item->sim || !item->avatar || (item->avatar->classFlags & SenseFlag(kw::SN_PLANET)))
        return;
    Sim& sim = *item->sim;
    ForEachSceneItem([&](SceneItem* other) {
        if (other == item || !ShipInfoOf(other))
            return true;
        const float limit = 1.5f * other->sim->radius + 1.5f * sim.radius;
        Vector3 d = {sim.matrix.m[12] - other->sim->matrix.m[12], sim.matrix.m[13] - other->sim->matrix.m[13],
                     sim.matrix.m[14] - other->sim->matrix.m[14]};
        if (VecLength(d) >= limit)
            return true;
        // Two objects at one point have no direction between them: the
        // newcomer moves along the world's x axis.
        if (VecNormalise(d) == 0.0f)
            d = {1.0f, 0.0f, 0.0f};
        PlaceItemAt(item, sim.matrix.m[12] + d.x * limit, sim.matrix.m[13] + d.y * limit,
                    sim.matrix.m[14] + d.z * limit);
        return true;
    });
}

SceneItem* LiveObjectOrReport(const ScriptSymbol* symbol, const char* statement, bool needShip)
{
    SceneItem* item = SymbolObject(symbol);
    if (item && item->sim && (!needShip || item->sim->shipInfo))
        return item;
    DebugPrintf("SCRIPT Error: %s needs %s: %s", statement, needShip ? "a ship" : "an object",
                symbol && symbol->name ? symbol->name : "?");
    return nullptr;
}

SceneItem* CreateCameraItem(SceneItem* watched, void (*control)(SceneItem* camera))
{
    constexpr int16_t kCameraItemFlags = kItemLateControl | kItemKeptAcrossSystems;
    constexpr int32_t kCameraMinimumDistance = 7500;
    constexpr int32_t kCameraLag = 900;
    SceneItem* item = NewSceneItem();
    if (!item)
        return nullptr;
    InsertSceneItem(item, kCameraItemFlags);
    SetControlFunction(item, control);
    TDP* root = AttachSim(item, nullptr) ? AttachRootTDP(item) : nullptr;
    if (!root) {
        DeleteSceneItem(item);
        return nullptr;
    }
    SetAvatarCallbacks(item, CopySimToAvatar, SyncAvatarTdps);
    item->avatar->linkItem = watched;
    item->avatar->cameraMinimumDistance = kCameraMinimumDistance;
    item->avatar->cameraLag = kCameraLag;
    root->flags = (root->flags | kTdpInScene) & ~uint32_t{kTdpNew};
    return item;
}
