// The ship statements: CREATE_SHIP (a complete ship from a model), SHINFO
// (armour, hull and mass), PLAYER (the player's ship), SHIP and SHIP_SILENT
// (an existing object made a ship), ANNOUNCE (a ship's arrival), NAME_INC
// and PLACE_INC (names and positions picked by a counter).
//
// Every statement reads all its operands before it changes the world, so a
// syntax error never leaves a half-made ship.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/objectmaker.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "ai/aistate.h"
#include "system/crand.h"
#include "system/res/resman.h"
#include "ui/shiplog.h"
#include "view/cameras.h"
#include "view/explosions.h"
#include "view/renderpasses.h"
#include "world/floatingorigin.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"
#include "world/tally.h"

#include <cmath>
#include <vector>

namespace {

// SceneItem flag of an item that a script made a ship.
constexpr int16_t kScriptShipFlag = 0x10;
constexpr int16_t kPlayerSkill = 75;
// The player's ship opens every bridge station.
constexpr int16_t kPlayerStationLevel = 2;
constexpr int16_t kStandardSkill = 50;
// ANNOUNCE shows the arrival when the ship is this close to the camera.
constexpr float kArrivalFlashRange = 2500000.0f;
constexpr int32_t kDirectorArrival = 11;

int32_t ReadShipType(uint32_t& position)
{
    return ReadKeywordOperand(position, kw::CORVETTE, kw::GUNBASE);
}

int32_t ReadSide(uint32_t& position)
{
    return ReadKeywordOperand(position, kw::NEUTRAL, kw::ALLIANCE);
}

void AddTactic(SceneItem* item, int32_t tactic)
{
    if (tactic >= 0)
        item->sim->flags |= kTacticFlags[tactic];
}

// A new random phase for the ship's order scoring.
void NewEvaluationPhase(ShipInfo* info)
{
    info->tickAccumulator = CRand() % 100;
}

// CREATE_SHIP object model "name" type side x y z [a b c] [tactic]
void CreateShip(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    hx_model* model = ReadModelOperand(position);
    const char* name = ReadTextOperand(position);
    const int32_t type = ReadShipType(position);
    const int32_t side = ReadSide(position);
    double x = ReadNumberOperand(position);
    double y = ReadNumberOperand(position);
    double z = ReadNumberOperand(position);
    const float a = ReadOptionalNumber(position);
    const float b = ReadOptionalNumber(position);
    const float c = ReadOptionalNumber(position);
    const int32_t tactic = ReadOptionalKeyword(position, kw::COMBAT, kw::RESUPPLY);

    SceneItem* item = CreateScriptItem(model, CONTROL_AI, SIM_MAIN);
    SetSymbolObject(symbol, item);
    if (!item)
        return;
    item->symbol = symbol;
    SetSymbolObject(gBuiltinSymbols.lastShip, item);
    gBuiltinSymbols.last3dPart->value = item->avatar->root;

    item->avatar->classFlags |= SideSenseFlag(side);
    item->flags |= kScriptShipFlag;
    ShipInfo* info = MakeShipOfType(item, type, name);
    if (!info)
        return;

    AddPlacementOrigin(x, y, z);
    PlaceItemAt(item, x, y, z);
    Matrix4& matrix = item->sim->matrix;
    MatRotZ(c, matrix);
    MatRotX(b, matrix);
    MatRotY(a, matrix);
    AddTactic(item, tactic);

    PushApartOnPlacement(item);
    // The drawn copy too: a planet's response measures from it, and a ship
    // made inside a planet's reach would read as at its centre and crash.
    CopySimToAvatar(item);
    SyncAvatarTdps(item);
    NewEvaluationPhase(info);
    AddTallyItem(item);
}

// SHINFO object armour hull [mass]
void ShInfo(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    const float armour = ReadNumberOperand(position);
    const float hull = ReadNumberOperand(position);
    const float mass = ReadOptionalNumber(position);
    if (item && item->sim && item->sim->shipInfo) {
        ShipInfo& info = *item->sim->shipInfo;
        info.damage.armour = ScriptNumberToInt(armour);
        info.damage.maximumHull = ScriptNumberToInt(hull);
        info.skill = kStandardSkill;
        if (mass != 0.0f)
            item->sim->mass = mass;
    }
    AddTallyItem(item);
}

// The film the player's ship plays at its first event: an Action with no
// event key whose payload is the script's "SS209Vid" record.
void AddPlayerFilmAction(Sim* sim)
{
    Action* action = AllocAction();
    if (!action)
        return;
    action->key = 0;
    action->flags |= kActionFilm;
    action->scriptRecord = GetScriptSymbolValue("SS209Vid");
    Action** tail = &sim->actions;
    while (*tail)
        tail = &(*tail)->next;
    *tail = action;
}

// PLAYER object
void Player(uint32_t& position)
{
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    SceneItem* item = LiveObjectOrReport(symbol, "PLAYER", false);
    if (!item)
        return;
    gPlayerItem = item;
    gControlledItem = item;
    item->sim->assistMode = 1;
    item->sim->stationLevel = kPlayerStationLevel;
    SetControlFunction(item, CONTROL_MAIN);
    ResetShipSystems(item);
    gScriptVars.score = 0;
    AddPlayerFilmAction(item->sim);
    if (item->sim->shipInfo)
        item->sim->shipInfo->skill = kPlayerSkill;
}

// SHIP / SHIP_SILENT object "name" type side [tactic]
void Ship(uint32_t& position)
{
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    const char* name = ReadTextOperand(position);
    const int32_t type = ReadShipType(position);
    const int32_t side = ReadSide(position);
    const int32_t tactic = ReadOptionalKeyword(position, kw::COMBAT, kw::RESUPPLY);
    SceneItem* item = LiveObjectOrReport(symbol, "SHIP", false);
    if (!item)
        return;
    // The side flag alone: any other sense flags go (ADD_SENSE adds them).
    item->avatar->classFlags = SideSenseFlag(side);
    item->flags |= kScriptShipFlag;
    ShipInfo* info = MakeShipOfType(item, type, name);
    if (!info)
        return;
    NewEvaluationPhase(info);
    AddTactic(item, tactic);
}

// ANNOUNCE object
void Announce(uint32_t& position)
{
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    if (!item)
        return;
    if (item->sim && item->sim->shipInfo) {
        AddShipLogEntry(0, item->sim->shipInfo->name, nullptr);
        const SceneItem* camera = gPlayerCamera;
        if (camera && camera->avatar && item->avatar) {
            const float* m = item->avatar->matrix.m;
            const float* e = camera->avatar->matrix.m;
            const Vector3 d = {m[12] - e[12], m[13] - e[13], m[14] - e[14]};
            if (VecFastLength(d) < kArrivalFlashRange)
                AddArrivalFlash(item);
        }
    }
    DirectorOfferShot(item, nullptr, kDirectorArrival);
}

// NAME_INC counter object "name"...
void NameInc(uint32_t& position)
{
    const double counter = ReadIncrementOperand(position);
    const ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    std::vector<const char*> names;
    while (IsTextOperand(position))
        names.push_back(ReadTextOperand(position));
    if (names.empty())
        return;
    SceneItem* item = LiveObjectOrReport(symbol, "NAME_INC", true);
    if (!item)
        return;
    // The counter picks a name round the list; a negative counter counts
    // back from the end rather than off the list.
    const double count = static_cast<double>(names.size());
    double index = std::fmod(counter, count);
    if (!(index >= 0.0))
        index = std::isnan(index) ? 0.0 : index + count;
    const size_t i = std::min(static_cast<size_t>(index), names.size() - 1);
    SetShipNames(item->sim->shipInfo, names[i]);
}

// PLACE_INC counter object x y z...
void PlaceInc(uint32_t& position)
{
    const double counter = ReadIncrementOperand(position);
    SceneItem* item = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    std::vector<double> numbers;
    while (IsNumberOperand(position))
        numbers.push_back(ReadNumberOperand(position));
    if (!item)
        return;
    // A counter past the list (or before it) places at the origin.
    double x = 0.0, y = 0.0, z = 0.0;
    if (counter >= 0.0 && counter * 3.0 + 3.0 <= static_cast<double>(numbers.size())) {
        const size_t at = static_cast<size_t>(counter) * 3;
        x = numbers[at] * kPlacementScale;
        y = numbers[at + 1] * kPlacementScale;
        z = numbers[at + 2] * kPlacementScale;
    }
    AddPlacementOrigin(x, y, z);
    PlaceItemAt(item, x, y, z);
    PushApartOnPlacement(item);
    SyncAvatarTdps(item);
}

constexpr StatementRow kShipRows[] = {
    {kw::PLAYER, Player},
    {kw::SHIP, Ship},
    {kw::SHIP_SILENT, Ship},
    {kw::ANNOUNCE, Announce},
    {kw::NAME_INC, NameInc},
    {kw::PLACE_INC, PlaceInc},
    {kw::CREATE_SHIP, CreateShip},
    {kw::SHINFO, ShInfo},
};

} // namespace

std::span<const StatementRow> ShipStatementRows()
{
    return kShipRows;
}
