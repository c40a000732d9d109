// The statements that change a ship's type or launch, brake and end
// objects: SET_SHIP_TYPE, SET_MAX_EXTRAS, SPAWN, DISRUPT, DESTROY,
// FIXED_AST and NO_LDS.
//
// Deletion, destruction, the end of a brake and the end of a launch link
// are messages to the item itself, so they happen in the message pass
// like every other death and undoing in the world. Every statement reads
// all its operands before it acts.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/shipstatements.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "ui/hud.h"
#include "view/renderpasses.h"
#include "world/itemmessages.h"
#include "world/lds.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/tally.h"

int32_t gMaxEncounterExtras = 0;
uint8_t gFixedAsteroids = 0;

namespace {

// The launch link holds this long (hundredths of a second).
constexpr int32_t kSpawnLinkTicks = 500;
// DISRUPT's emitter: the sparks that crawl over a braked ship.
constexpr uint32_t kDisruptEmitterHeld = 0x1000010;  // until the brake is cleared
constexpr uint32_t kDisruptEmitterTimed = 0x1000012; // dies with its life
constexpr int32_t kDisruptHeldLife = 100;
constexpr int32_t kDisruptHitAmount = 250;

void PostToItem(SceneItem* item, int32_t delay, uint16_t kind, int32_t length = 0, const void* body = nullptr)
{
    PostItemMessage(item->receiver, item->receiver, delay, kind, length, body);
}

// SET_SHIP_TYPE object type: the ship's kind, and the category its tally
// row counts it under.
void SetShipType(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const int32_t type = ReadKeywordOperand(position, kw::CORVETTE, kw::RING);
    ShipInfo* info = ShipInfoOf(item);
    if (!info)
        return;
    info->kind = static_cast<int16_t>(type);
    if (TallyEntry* entry = FindTallyEntry(item->avatar->params[kParamTallySerial]))
        entry->category = type;
}

// SET_MAX_EXTRAS number
void SetMaxExtras(uint32_t& position)
{
    gMaxEncounterExtras = ScriptNumberToInt(ReadNumberOperand(position));
}

// SPAWN object spawner x y z [vx vy vz] [ON | OFF]: the object leaves the
// spawner at the offset in the spawner's axes, with the spawner's velocity
// plus its own, linked to the spawner for five seconds (unless OFF, or the
// spawner is an LDS field, which tows rather than bounces) so the two do not
// collide on the way out.
void Spawn(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SceneItem* spawner = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    Vector3 offset, velocity;
    offset.x = static_cast<float>(ReadNumberOperand(position) * kPlacementScale);
    offset.y = static_cast<float>(ReadNumberOperand(position) * kPlacementScale);
    offset.z = static_cast<float>(ReadNumberOperand(position) * kPlacementScale);
    velocity.x = static_cast<float>(ReadOptionalNumber(position) * kPlacementScale);
    velocity.y = static_cast<float>(ReadOptionalNumber(position) * kPlacementScale);
    velocity.z = static_cast<float>(ReadOptionalNumber(position) * kPlacementScale);
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (!item)
        return;
    if (!spawner) {
        // Nothing to launch from: the object goes.
        PostToItem(item, 0, kMsgDelete);
        return;
    }
    const Sim& from = *spawner->sim;
    Vector3 d;
    VecMulMat3(d, offset, from.matrix);
    PlaceItemAt(item, from.position.x + d.x, from.position.y + d.y, from.position.z + d.z);
    item->avatar->params[kParamTetherAnchor] = static_cast<int32_t>(ItemHandle(spawner));
    SyncAvatarTdps(item);

    VecMulMat3(d, velocity, from.matrix);
    item->sim->velocity = {from.velocity.x + d.x, from.velocity.y + d.y, from.velocity.z + d.z};

    if (keyword != 1 && spawner->avatar->collision != CollideLdsField) {
        item->avatar->linkItem = spawner;
        const ItemBody body{ItemHandle(spawner)};
        PostToItem(item, kSpawnLinkTicks, kMsgUnlink, sizeof body, &body);
    }
}

// DISRUPT ship ticks: braked as by a disruptor hit, for that long (below 1:
// until something clears the brake).
void Disrupt(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const int32_t ticks = ScriptNumberToInt(ReadNumberOperand(position));
    if (!ShipInfoOf(item))
        return;
    Sim& sim = *item->sim;
    sim.flags |= kSimBraked;
    if (ticks < 1) {
        AttachDisruptorGlow(item, kDisruptEmitterHeld, kDisruptHeldLife);
    } else {
        PostToItem(item, ticks, kMsgUnbrake);
        AttachDisruptorGlow(item, kDisruptEmitterTimed, ticks);
    }
    if (item == gPlayerItem) {
        gLastHitAmount = kDisruptHitAmount;
        sim.thrust = {};
    }
}

// DESTROY object [ON | OFF] [delay]: OFF removes the object quietly;
// otherwise it dies as by a hit after the delay (explosion, tally, its
// Actions).
void Destroy(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    const int32_t delay = keyword == 1 ? 0 : ScriptNumberToInt(ReadOptionalNumber(position));
    if (!item)
        return;
    if (keyword == 1) {
        PostToItem(item, 0, kMsgDelete);
        return;
    }
    // The hit names the item's last attacker, so a ship the player fought
    // counts as the player's kill.
    HitPayload record{};
    record.attacker = ItemHandle(item->avatar->lockedOn);
    NoteItemDestroyed(item, &record);
    PostToItem(item, delay > 0 ? delay : 0, kMsgHit, sizeof record, &record);
}

// FIXED_AST [ON | OFF]
void FixedAst(uint32_t& position)
{
    gFixedAsteroids = ReadOptionalKeyword(position, kw::ON, kw::OFF) == 1 ? 0 : 255;
}

// NO_LDS object [ON | OFF] [ON | OFF]: the ship barred from the LDS drive
// (or freed), and the drive switched off for the AI (or on).
void NoLds(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const int32_t own = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    const int32_t global = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (!item)
        return;
    if (own == 1)
        item->sim->flags &= ~kSimInhibited;
    else
        item->sim->flags |= kSimInhibited;
    gLdsSwitchedOff = global == 1 ? 0 : 255;
}

constexpr StatementRow kFateRows[] = {
    {kw::SET_SHIP_TYPE, SetShipType},
    {kw::SET_MAX_EXTRAS, SetMaxExtras},
    {kw::SPAWN, Spawn},
    {kw::DISRUPT, Disrupt},
    {kw::DESTROY, Destroy},
    {kw::FIXED_AST, FixedAst},
    {kw::NO_LDS, NoLds},
};

} // namespace

std::span<const StatementRow> FateStatementRows()
{
    return kFateRows;
}
