// The statements that make objects with special collision behaviour: LDS
// fields, sinks, shattering, corpses, Lagrange devices and asteroids. Each
// installs the collision or hit response (world/responses.h) and sets the
// fields that the response reads.
//
// Every statement reads all its operands first; a symbol without an object
// then makes it do nothing. The optional ON / OFF reads as 0 / 1, -1 absent.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/objectmaker.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "ui/hud.h"
#include "view/asteroids.h"
#include "view/bodyrender.h"
#include "view/renderpasses.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"

namespace {

// An LDS field reaches six times the object's own radius while it is on.
constexpr float kLdsFieldReach = 6.0f;
// HUD flag of a field sphere whose field is switched off.
constexpr uint32_t kHudFieldOff = 0x100;
constexpr uint32_t kTdpSolidField = 0x8000;
// SceneItem flag: others steer clear of it (an object that is no field).
constexpr int16_t kItemSteerClear = 0x200;

// The response order of each: the higher responds first to a contact.
constexpr int8_t kFieldResponseByte = 0;
constexpr int8_t kSinkResponseByte = 60;
constexpr int8_t kLagrangeResponseByte = 88;

// Lagrange devices: a reach of 300,000 units, out of the 3D scene.
constexpr float kLagrangeRadius = 300000.0f;
constexpr int16_t kItemLagrangeDevice = 0x2;
constexpr uint32_t kTdpLagrangeFlags = 0x300 | 0x2010;

// Shattering: the plane-split byte that halves along a plane instead.
constexpr uint8_t kShatterSplit = 255;

// Asteroids made by ASTEROID: a nonzero field link makes every hit shatter
// the rock (HitAsteroid).
constexpr int32_t kAsteroidFieldLink = 3;

void ScaleRadii(SceneItem* item, float factor)
{
    item->sim->radius *= factor;
    if (TDP* root = item->avatar->root)
        root->radius *= factor;
}

// ATTACH_LDS_FIELD object [ON | OFF]: the object becomes an LDS field that
// tows what enters it (ON or absent) or a plain object again (OFF).
void AttachLdsField(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (!item)
        return;
    Avatar& avatar = *item->avatar;
    TDP* root = avatar.root;
    if (keyword == 1) {
        ScaleRadii(item, 1.0f / kLdsFieldReach);
        if (avatar.fieldSphere)
            avatar.fieldSphere->flags |= kHudFieldOff;
        avatar.collision = CollideShips;
        if (root)
            root->flags &= ~kTdpSolidField;
        item->flags = static_cast<int16_t>(item->flags | kItemSteerClear);
        return;
    }
    ScaleRadii(item, kLdsFieldReach);
    if (!avatar.fieldSphere) {
        if (HUD* sphere = AllocHUD()) {
            const float r = root ? root->radius : item->sim->radius;
            InitSphereHud(sphere, item, 0, 0.0f, 0.0f, 0.0f, r, r, r);
            RegisterHud(sphere);
            avatar.fieldSphere = sphere;
        }
    }
    avatar.responseOrder = kFieldResponseByte;
    avatar.collision = CollideLdsField;
    if (root)
        root->flags |= kTdpSolidField;
    item->flags = static_cast<int16_t>(item->flags & ~kItemSteerClear);
}

// ATTACH_SINK object: the object swallows what it touches once armed.
void AttachSink(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    if (!item)
        return;
    SetControlFunction(item, LookAheadPlayerControl);
    item->avatar->responseOrder = kSinkResponseByte;
    item->avatar->collision = CollideSink;
}

// SHATTER object [ON | OFF]: breaks the object into flying pieces about its
// centre; OFF splits it along a plane instead.
void Shatter(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (item)
        ShatterSceneItem(item, Vector3{0.0f, 0.0f, 0.0f}, keyword == 1 ? kShatterSplit : 0);
}

// CORPSE object
void Corpse(uint32_t& position)
{
    if (SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem)))
        SpawnCorpse(item);
}

// LAGRANGE object "name" x y z: an alien Lagrange device, a waypoint that
// is not drawn. Its destination system stays 0 until the star system gives
// it one.
void Lagrange(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    const char* name = ReadTextOperand(position);
    double x = ReadNumberOperand(position) * kPlacementScale;
    double y = ReadNumberOperand(position) * kPlacementScale;
    double z = ReadNumberOperand(position) * kPlacementScale;

    SceneItem* item = CreateScriptItem(nullptr, nullptr, nullptr);
    SetSymbolObject(symbol, item);
    if (!item)
        return;
    item->symbol = symbol;
    TDP* root = item->avatar->root;
    if (root) {
        root->flags &= ~kTdpInScene;
        // The part draws nothing: no model, rather than a link to none.
        root->model = nullptr;
    }
    AddPlacementOrigin(x, y, z);
    PlaceItemAt(item, x, y, z);
    item->flags = static_cast<int16_t>(item->flags | kItemLagrangeDevice);
    item->avatar->classFlags |= SenseFlag(kw::SN_WAYPOINT) | SenseFlag(kw::SN_LAGRANGE);
    // The name is the quoted text's place in the script data, as for
    // waypoints.
    item->avatar->params[kParamName] = static_cast<int32_t>(name - gScriptBuffers.data);
    item->sim->radius = kLagrangeRadius;
    if (root) {
        root->radius = kLagrangeRadius;
        root->flags |= kTdpLagrangeFlags;
    }
    item->avatar->collision = CollideLagrangeDevice;
    item->avatar->responseOrder = kLagrangeResponseByte;
    SyncAvatarTdps(item);
}

// ASTEROID object model kind x y z [drift drift]: a rock that shatters at
// every hit. Positions are in world units.
void Asteroid(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    hx_model* model = ReadModelOperand(position);
    const int32_t kind = ScriptNumberToInt(ReadNumberOperand(position));
    double x = ReadNumberOperand(position);
    double y = ReadNumberOperand(position);
    double z = ReadNumberOperand(position);
    const float driftA = ReadOptionalNumber(position);
    const float driftB = ReadOptionalNumber(position);

    SceneItem* item = CreateAsteroid(kind, model);
    SetSymbolObject(symbol, item);
    if (!item)
        return;
    AddPlacementOrigin(x, y, z);
    PlaceItemAt(item, x, y, z);
    item->pitchDemand = driftA;
    item->yawDemand = driftB;
    item->avatar->hitResponse = HitAsteroid;
    item->avatar->params[kParamBeltAnchor] = kAsteroidFieldLink;
}

constexpr StatementRow kSpecialRows[] = {
    {kw::ATTACH_LDS_FIELD, AttachLdsField},
    {kw::ATTACH_SINK, AttachSink},
    {kw::SHATTER, Shatter},
    {kw::CORPSE, Corpse},
    {kw::LAGRANGE, Lagrange},
    {kw::ASTEROID, Asteroid},
};

} // namespace

std::span<const StatementRow> SpecialObjectStatementRows()
{
    return kSpecialRows;
}
