// The placement statements: PLACE, ORIENT, NOCONTACT, PLACE_IN_ORBIT,
// PLACE_BETWEEN, PLACE_BEHIND and PLACE_RANDOM put existing objects in
// place. Distances are in hundredths of world units (the script number
// times 100), PLACE_IN_ORBIT's altitude in units of 100000.
//
// Every statement reads all its operands first; a symbol without an object
// then makes it do nothing. World positions are doubles throughout, so an
// object far out in a star system lands exactly where the script says.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "ai/combathelpers.h"
#include "screens/vectormap.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "ui/contacts.h"
#include "view/renderpasses.h"
#include "world/behaviours.h"
#include "world/floatingorigin.h"

#include <cmath>

namespace {

constexpr double kOrbitAltitudeUnit = 100000.0;
// A planet's collision radius is this many times its surface radius.
constexpr float kPlanetRadiusDivisor = 2.0f;
// Avatar flag of an object kept off the contact list.
constexpr int16_t kAvatarNoContact = 0x10;

// A symbol operand that may name a vector-map shape: the symbol, read as an
// object unless it already is a shape.
const ScriptSymbol* ReadObjectOrShape(uint32_t& position)
{
    const uint32_t start = position;
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolAnyType);
    if ((symbol->type & kSymbolShape) && !(symbol->type & kSymbolSceneItem))
        return symbol;
    position = start;
    return ReadTypedSymbol(position, kSymbolSceneItem);
}

// PLACE object x y z (or a vector-map shape and x y)
void Place(uint32_t& position)
{
    const ScriptSymbol* symbol = ReadObjectOrShape(position);
    if (!(symbol->type & kSymbolSceneItem)) {
        // A shape takes a map position, y pointing up the panel.
        const float x = ReadNumberOperand(position);
        const float y = ReadNumberOperand(position);
        if (VectorShape* shape = AsVectorShape(symbol->value)) {
            shape->x = x;
            shape->y = -y;
        }
        return;
    }
    double x = ReadNumberOperand(position) * kPlacementScale;
    double y = ReadNumberOperand(position) * kPlacementScale;
    double z = ReadNumberOperand(position) * kPlacementScale;
    SceneItem* item = SymbolObject(symbol);
    if (!item)
        return;
    AddPlacementOrigin(x, y, z);
    PlaceItemAt(item, x, y, z);
    PushApartOnPlacement(item);
    SyncAvatarTdps(item);
}

// ORIENT A B: A turned with B's orientation about the world's true origin
// (the floating-origin offset added back), its velocity with it.
void Orient(uint32_t& position)
{
    SceneItem* a = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SceneItem* b = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    if (!a || !b)
        return;
    const Matrix4& turn = b->sim->matrix;
    const WorldPosition& p = a->sim->position;
    const double ax = p.x + gWorldOriginOffset.x;
    const double ay = p.y + gWorldOriginOffset.y;
    const double az = p.z + gWorldOriginOffset.z;
    // The 3x3 product in doubles: a far position keeps its precision.
    const float* m = turn.m;
    const double tx = ax * m[0] + ay * m[4] + az * m[8];
    const double ty = ax * m[1] + ay * m[5] + az * m[9];
    const double tz = ax * m[2] + ay * m[6] + az * m[10];
    MatPreMulRotation(a->sim->matrix, turn);
    PlaceItemAt(a, tx - gWorldOriginOffset.x, ty - gWorldOriginOffset.y, tz - gWorldOriginOffset.z);
    const Vector3 velocity = a->sim->velocity;
    VecMulMat3(a->sim->velocity, velocity, turn);
}

// NOCONTACT object [ON | OFF]
void NoContact(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadObjectOrShape(position));
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (!item)
        return;
    if (keyword == 1) {
        item->avatar->flags &= static_cast<int16_t>(~kAvatarNoContact);
        ForceContactRefresh();
    } else {
        item->avatar->flags |= kAvatarNoContact;
        RemoveContact(item);
    }
}

// PLACE_IN_ORBIT object centre direction altitude: beside the centre, square
// to the direction object and the world's Y axis.
void PlaceInOrbit(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SceneItem* centre = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SceneItem* toward = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const double altitude = ReadNumberOperand(position);
    if (!item || !centre || !toward)
        return;
    const double distance = altitude * kOrbitAltitudeUnit + centre->sim->radius / kPlanetRadiusDivisor;
    const WorldPosition& c = centre->sim->position;
    const WorldPosition& t = toward->sim->position;
    Vector3 d = {static_cast<float>(t.x - c.x), static_cast<float>(t.y - c.y), static_cast<float>(t.z - c.z)};
    VecNormalise(d);
    const Vector3 up = {0.0f, 1.0f, 0.0f};
    Vector3 side;
    VecCross(d, up, side);
    // The cross product is unit length only when d lies level; a direction
    // straight up or down (or on the centre) gives none, so the world's X
    // axis stands in and the distance holds either way.
    if (VecNormalise(side) == 0.0f)
        side = {1.0f, 0.0f, 0.0f};
    PlaceItemAt(item, c.x + side.x * distance, c.y + side.y * distance, c.z + side.z * distance);
}

// PLACE_BETWEEN object A B distance [ON | OFF]
void PlaceBetween(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SceneItem* a = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SceneItem* b = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    float distance = ReadNumberOperand(position) * static_cast<float>(kPlacementScale);
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (!item || !a || !b)
        return;
    float radius = a->sim->radius;
    if (a->avatar->classFlags & SenseFlag(kw::SN_PLANET))
        radius /= kPlanetRadiusDivisor;
    // Distances count from A's surface; 0 keeps its meaning (a random point).
    if (distance > 1.0f)
        distance += radius;
    else if (distance < 0.0f)
        distance -= radius;
    if (keyword == 1)
        PlaceAcrossLineBetween(item, a, b, distance);
    else
        PlaceOnLineBetween(item, a, b, distance);
    SyncAvatarTdps(item);
}

// PLACE_BEHIND object leader spacing counter: formation slot `counter`,
// and the counter moves on to the next slot.
void PlaceBehind(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SceneItem* leader = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const float spacing = ReadNumberOperand(position) * static_cast<float>(kPlacementScale);
    const int32_t slot = ScriptNumberToInt(ReadIncrementOperand(position));
    if (!item || !leader)
        return;
    FormationSlotPosition(item, leader, spacing, slot);
}

// PLACE_RANDOM object radius: on the sphere of that radius about the
// placement origin.
void PlaceRandom(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const double radius = ReadNumberOperand(position) * kPlacementScale;
    if (!item)
        return;
    Vector3 v;
    v.x = static_cast<float>(CRand() % 1000 - 500);
    v.y = static_cast<float>(CRand() % 1000 - 500);
    v.z = static_cast<float>(CRand() % 1000 - 500);
    VecNormalise(v);
    double x = v.x * radius;
    double y = v.y * radius;
    double z = v.z * radius;
    AddPlacementOrigin(x, y, z);
    PlaceItemAt(item, x, y, z);
    PushApartOnPlacement(item);
    SyncAvatarTdps(item);
}

constexpr StatementRow kPlacementRows[] = {
    {kw::PLACE, Place},
    {kw::ORIENT, Orient},
    {kw::NOCONTACT, NoContact},
    {kw::PLACE_IN_ORBIT, PlaceInOrbit},
    {kw::PLACE_BETWEEN, PlaceBetween},
    {kw::PLACE_BEHIND, PlaceBehind},
    {kw::PLACE_RANDOM, PlaceRandom},
};

} // namespace

std::span<const StatementRow> PlacementStatementRows()
{
    return kPlacementRows;
}
