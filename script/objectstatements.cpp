// The object statements: CREATE (a scene item from a model with control and
// simulation routines named by keyword), CONTROL, SET_MODEL, INDESTRUCT,
// DSHIELD, the motion statements VEL, VEL_TOWARDS and ROT, and the part
// statements FLIP, ADDCHILD and ADDMOTOR.
//
// Every statement reads all its operands first; a symbol without an object
// then makes it do nothing. The optional ON / OFF reads as 0 / 1, -1 absent.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/objectmaker.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "ai/aistate.h"
#include "ai/docking.h"
#include "screens/engineering.h"
#include "view/effectmodels.h"
#include "view/renderpasses.h"
#include "world/behaviours.h"
#include "world/collisions.h"
#include "world/encounters.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/scenelist.h"

#include <iterator>

namespace {

// The routines that the keywords CONTROL_NULL .. CONTROL_FREE and SIM_NULL
// .. SIM_STARGATE bind, in keyword order. A null control routine does
// nothing (the frame skips it).
constexpr ItemFunction kControlRoutines[] = {
    nullptr,        // CONTROL_NULL
    CONTROL_MAIN,   // CONTROL_MAIN
    CONTROL_TEST,   // CONTROL_TEST
    CONTROL_AI,     // CONTROL_AI
    CONTROL_AIFREE, // CONTROL_AIFREE
    CONTROL_FREE,   // CONTROL_FREE
};
static_assert(std::size(kControlRoutines) == kw::CONTROL_FREE - kw::CONTROL_NULL + 1);
constexpr ItemFunction kSimRoutines[] = {
    SIM_NULL,     // SIM_NULL
    SIM_MAIN,     // SIM_MAIN
    SIM_ENG,      // SIM_ENG
    SIM_CHAOS,    // SIM_CHAOS
    SIM_STARGATE, // SIM_STARGATE
};
static_assert(std::size(kSimRoutines) == kw::SIM_STARGATE - kw::SIM_NULL + 1);

// SceneItem flag that INDESTRUCT sets and never clears.
constexpr int16_t kItemIndestructible = 0x200;
constexpr uint32_t kSimDeflector = 0x800000;
constexpr double kSpeedScale = 100.0;
// ADDMOTOR: the part's two motor attributes read Avatar parameter 3.
constexpr uint8_t kMotorAttributeA = 10;
constexpr uint8_t kMotorAttributeB = 13;
constexpr int kMotorParameter = 3;

ItemFunction ReadControlRoutine(uint32_t& position, const char* message)
{
    const int32_t index = ReadOptionalKeyword(position, kw::CONTROL_NULL, kw::CONTROL_FREE);
    if (index < 0)
        FailStatement(kStopBadToken, message, position);
    return kControlRoutines[index];
}

// CREATE object part model control simulation
void Create(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    ScriptSymbol* part = ReadTypedSymbol(position, kSymbol3dPart);
    hx_model* model = ReadModelOperand(position);
    const ItemFunction control = ReadControlRoutine(position, "CREATE Expected CONTROL Routine");
    const int32_t sim = ReadOptionalKeyword(position, kw::SIM_NULL, kw::SIM_STARGATE);
    if (sim < 0)
        FailStatement(kStopBadToken, "CREATE Expected SIMULATOR Routine", position);

    SceneItem* item = CreateScriptItem(model, control, kSimRoutines[sim]);
    SetSymbolObject(symbol, item);
    if (!item)
        return;
    item->symbol = symbol;
    SetSymbolObject(gBuiltinSymbols.lastShip, item);
    part->value = item->avatar->root;
    gBuiltinSymbols.last3dPart->value = item->avatar->root;
    SyncAvatarTdps(item);
}

// CONTROL object routine. The keyword is checked like CREATE's: any other
// word would index past the routine table.
void Control(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const ItemFunction control = ReadControlRoutine(position, "CONTROL Expected CONTROL Routine");
    if (!item)
        return;
    Sim& sim = *item->sim;
    if (!(sim.flags & kSimLdsEngaged))
        sim.thrust = {};
    item->pitchRemaining = 0.0f;
    SetControlFunction(item, control);
}

// SET_MODEL object model
void SetModel(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    hx_model* model = ReadModelOperand(position);
    if (!item)
        return;
    SetItemModel(item, model);
    item->avatar->root->hullBounds = FindHullBounds(model);
    AttachDockPointsToModel(item);
}

// INDESTRUCT object [ON | OFF]
void Indestruct(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (!item)
        return;
    if (keyword == 1) {
        item->sim->flags &= ~kSimNoDamage;
    } else {
        item->sim->flags |= kSimNoDamage;
        item->flags |= kItemIndestructible;
    }
}

// DSHIELD object [ON | OFF]
void DShield(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (!item)
        return;
    if (keyword == 1)
        item->sim->flags &= ~kSimDeflector;
    else
        item->sim->flags |= kSimDeflector;
}

// VEL object vx vy vz: in relative mode the relative object's velocity is
// added.
void Vel(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    Vector3 v;
    v.x = ReadNumberOperand(position);
    v.y = ReadNumberOperand(position);
    v.z = ReadNumberOperand(position);
    if (!item)
        return;
    const SceneItem* origin = gInterpreter.relativeOrigin;
    if (!gInterpreter.placementMode && origin && origin->sim) {
        v.x += origin->sim->velocity.x;
        v.y += origin->sim->velocity.y;
        v.z += origin->sim->velocity.z;
    }
    item->sim->velocity = v;
    item->sim->speed = VecFastLength(v);
}

// VEL_TOWARDS A B speed [ON | OFF]: A faces B and moves toward it; with ON
// the LDS drive takes it to the speed.
void VelTowards(uint32_t& position)
{
    SceneItem* a = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SceneItem* b = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const float speed = static_cast<float>(ReadNumberOperand(position) * kSpeedScale);
    const int32_t keyword = ReadOptionalKeyword(position, kw::ON, kw::OFF);
    if (!a || !b)
        return;
    Sim& sim = *a->sim;
    const WorldPosition& from = sim.position;
    const WorldPosition& to = b->sim->position;
    Vector3 d = {static_cast<float>(to.x - from.x), static_cast<float>(to.y - from.y),
                 static_cast<float>(to.z - from.z)};
    // On top of B there is no direction: A keeps its heading (and, without
    // the drive, stops).
    if (VecNormalise(d) != 0.0f)
        MatLookDir(d, nullptr, sim.matrix);
    if (keyword == 0) {
        sim.thrust.z = speed;
        sim.ldsTargetSpeed = speed;
        sim.flags |= kSimLdsEngaged;
    } else {
        sim.velocity = {d.x * speed, d.y * speed, d.z * speed};
        sim.flags &= ~kSimLdsEngaged;
    }
    sim.speed = VecFastLength(sim.velocity);
}

// ROT object a b c [p1 p2 p3]: turned by the three angles, then spinning
// at pitch p2, yaw p1 and roll p3 degrees a second (none when absent).
void Rot(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const float a = ReadNumberOperand(position);
    const float b = ReadNumberOperand(position);
    const float c = ReadNumberOperand(position);
    const float p1 = ReadOptionalNumber(position);
    const float p2 = ReadOptionalNumber(position);
    const float p3 = ReadOptionalNumber(position);
    if (!item)
        return;
    Matrix4& matrix = item->sim->matrix;
    MatRotZ(c, matrix);
    MatRotX(b, matrix);
    MatRotY(a, matrix);
    item->pitchDemand = p2;
    item->yawDemand = p1;
    item->rollDemand = p3;
    item->sim->turnRates = {p2, p1, p3};
}

// FLIP object
void Flip(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    if (item && item->avatar->root->model)
        FlipModelFaces(item->avatar->root->model);
}

// ADDCHILD parent new model x y z
void AddChild(uint32_t& position)
{
    TDP* parent = ReadPartOperand(position);
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbol3dPart);
    hx_model* model = ReadModelOperand(position);
    const float x = ReadNumberOperand(position);
    const float y = ReadNumberOperand(position);
    const float z = ReadNumberOperand(position);
    if (!parent)
        return;
    TDP* part = AddChildTDP(parent, model, x, y, z);
    if (!part)
        return;
    symbol->value = part;
    gBuiltinSymbols.last3dPart->value = part;
    part->flags = (part->flags | kTdpInScene) & ~kTdpNew;
    InitTDPRadius(part);
}

// ADDMOTOR object part value
void AddMotor(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    TDP* part = ReadPartOperand(position);
    const float value = ReadNumberOperand(position);
    if (!item || !part)
        return;
    AddTDPAttribute(part, kMotorAttributeA, kMotorParameter);
    AddTDPAttribute(part, kMotorAttributeB, kMotorParameter);
    item->avatar->params[kMotorParameter] = ScriptNumberToInt(value);
}

constexpr StatementRow kObjectRows[] = {
    {kw::CREATE, Create},
    {kw::CONTROL, Control},
    {kw::SET_MODEL, SetModel},
    {kw::INDESTRUCT, Indestruct},
    {kw::DSHIELD, DShield},
    {kw::VEL, Vel},
    {kw::VEL_TOWARDS, VelTowards},
    {kw::ROT, Rot},
    {kw::FLIP, Flip},
    {kw::ADDCHILD, AddChild},
    {kw::ADDMOTOR, AddMotor},
};

} // namespace

std::span<const StatementRow> ObjectStatementRows()
{
    return kObjectRows;
}
