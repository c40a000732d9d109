// Vital objects, encounter launching and the stock dialogue runner. See
// vitalobjects.h.
#include "script/vitalobjects.h"

#include "ai/combathelpers.h"
#include "script/interpreter.h"
#include "script/missionoutcome.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "system/gamemath.h"
#include "ui/messagelog.h"
#include "view/cameras.h"
#include "view/explosions.h"
#include "world/behaviours.h"
#include "world/encounters.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <cstdio>
#include <cstring>

EncounterCounts gEncounterCounts;
SceneItem* gDialogueShip = nullptr;

namespace {

struct VitalSlot {
    ScriptSymbol* symbol; // null: free
    VitalTest test;
    float argument;
};

struct VitalState {
    VitalSlot slots[kVitalSlots];
    uint32_t interval = kVitalPollInterval;
    uint32_t nextPoll = 0;
};
VitalState gVital;

// clang-format off
constexpr const char* kKindPatterns[kEncounterKinds] = {
    "DRONE_%i", "FIGHTER_%i", "ARMED_%i", "CARGO_%i", "FREIGHTER_%i", "MOTHERSHIP_%i",
};
// clang-format on
enum EncounterKind : int {
    kDrone = 1,
    kFighter = 2,
    kArmed = 3,
    kCargo = 4,
    kMothershipKind = 6
};

// The SceneItem flag of a ship a script made; an encounter ship drops it.
constexpr int16_t kItemStockShipFlag = 0x10;
constexpr uint32_t kClassLagrangeCarrier = 0x1000000;
constexpr float kCarrierSearchRange = 30000000.0f;
constexpr float kCarrierLaunchSpeed = 50000.0f;
constexpr float kLineClearance = 50000.0f;
constexpr int32_t kDirectorEncounter = 11;
constexpr int32_t kBusyShipTotal = 350;
constexpr uint32_t kSenseSide1 = 0x80;
constexpr uint32_t kSenseSide2 = 0x100;

// The position of a defined label, or kNoScriptPosition.
uint32_t LabelPosition(const char* name)
{
    const ScriptSymbol* label = FindScriptSymbol(name);
    if (!label || !label->labelDefined)
        return kNoScriptPosition;
    const auto target = static_cast<uint32_t>(ReadSymbolInt(label));
    return target < gScriptBuffers.tokenCursor ? target : kNoScriptPosition;
}

uint32_t NumberedLabel(const char* pattern, int number)
{
    char name[40];
    std::snprintf(name, sizeof name, pattern, number);
    return LabelPosition(name);
}

// Runs a stock script from the label to its END (not per frame).
int32_t RunFrom(uint32_t position)
{
    return RunScript(&position, false);
}

bool ObjectInUse(const SceneItem* item)
{
    return item && (item->flags & kItemInUse);
}

int32_t ShipTotal()
{
    int32_t total = 0;
    for (const SceneItem* item = gSceneList.next; item && item != &gSceneList; item = item->next)
        if (item->sim && item->sim->shipInfo)
            ++total;
    return total;
}

// The (r+1)-th set bit of the mask, as a kind counted from 1.
int NthKind(uint32_t mask, int r)
{
    for (int kind = 1; kind <= kEncounterKinds; ++kind)
        if ((mask & (1u << (kind - 1))) && r-- == 0)
            return kind;
    return 0;
}

int CountSetBits(uint32_t mask)
{
    int count = 0;
    for (int kind = 0; kind < kEncounterKinds; ++kind)
        count += (mask >> kind) & 1;
    return count;
}

float RandomDegrees()
{
    return static_cast<float>(CRand() % 360);
}

// Places the new ship: out of a nearby L-point carrier for order 3, else on
// the line from the source toward the player, turned at random.
void PlaceEncounterShip(SceneItem* ship, SceneItem* source, int order)
{
    Sim* sim = ship->sim;
    if (order == 3) {
        if (SceneItem* carrier = FindNearestItemByFlags(nullptr, kClassLagrangeCarrier, 0, source,
                                                        kCarrierSearchRange);
            carrier && carrier->sim) {
            sim->position = carrier->sim->position;
            sim->matrix = carrier->sim->matrix;
            const float* z = &sim->matrix.m[8];
            sim->velocity = {z[0] * kCarrierLaunchSpeed, z[1] * kCarrierLaunchSpeed, z[2] * kCarrierLaunchSpeed};
            AddArrivalFlash(ship);
            return;
        }
    }
    if (gPlayerItem && gPlayerItem->sim && source->sim)
        PlaceOnLineBetween(ship, source, gPlayerItem, source->sim->radius + kLineClearance);
    MatRotY(RandomDegrees(), sim->matrix);
    MatRotX(RandomDegrees(), sim->matrix);
    MatRotZ(RandomDegrees(), sim->matrix);
}

void TakeSide(SceneItem* ship, SceneItem* source)
{
    ShipInfo* info = ship->sim->shipInfo;
    const ShipInfo* sourceInfo = source->sim ? source->sim->shipInfo : nullptr;
    uint32_t& sense = ship->avatar->classFlags;
    if (sourceInfo) {
        if (info)
            info->side = sourceInfo->side;
        sense = (sense & ~kSenseSidesAndFactions) | (source->avatar->classFlags & kSenseSidesAndFactions);
        return;
    }
    const bool even = (CRand() & 1) == 0;
    if (info)
        info->side = even ? 1 : 2;
    sense |= even ? kSenseSide1 : kSenseSide2;
}

} // namespace

void ClearVitalObjects()
{
    std::memset(gVital.slots, 0, sizeof gVital.slots);
    gVital.interval = kVitalPollInterval;
    gVital.nextPoll = gFrameClock.gameClock;
    gScriptMission.vitalLossCountdown = 0;
    // The stock scripts are compiled with each mission, so their labels are
    // counted again for it.
    gEncounterCounts = {};
}

uint8_t AddVitalObject(ScriptSymbol* symbol, VitalTest test, float argument)
{
    for (VitalSlot& slot : gVital.slots) {
        if (slot.symbol == symbol || !slot.symbol) {
            slot = {symbol, test, argument};
            return 255;
        }
    }
    return 0;
}

uint8_t RemoveVitalObject(const ScriptSymbol* symbol)
{
    for (VitalSlot& slot : gVital.slots) {
        if (symbol && slot.symbol == symbol) {
            slot = {};
            return 255;
        }
    }
    return 0;
}

ScriptSymbol* PollVitalObjects()
{
    if (gFrameClock.gameClock < gVital.nextPoll)
        return nullptr;
    gVital.nextPoll = gFrameClock.gameClock + gVital.interval;
    ScriptSymbol* lost = nullptr;
    for (VitalSlot& slot : gVital.slots) {
        if (!slot.symbol)
            continue;
        SceneItem* item = SymbolObject(slot.symbol);
        if (ObjectInUse(item)) {
            if (slot.test && slot.test(item, slot.argument))
                lost = slot.symbol;
            continue;
        }
        lost = slot.symbol;
        slot = {};
    }
    return lost;
}

void CountVitalHit(const SceneItem* item)
{
    if (!item)
        return;
    for (const VitalSlot& slot : gVital.slots) {
        if (slot.symbol && SymbolObject(slot.symbol) == item) {
            ++gScriptVars.vitalHits;
            return;
        }
    }
}

void FailMissionOnVitalLoss()
{
    TypeTextTableLine(kTextMissionFailed);
    gScriptMission.missionFailed = 255;
    gScriptMission.missionSucceeded = 0;
    gScriptMission.vitalLossCountdown = kVitalLossCountdown;
}

void CountEncounterScripts()
{
    for (int kind = 0; kind < kEncounterKinds; ++kind) {
        int32_t count = 0;
        while (NumberedLabel(kKindPatterns[kind], count) != kNoScriptPosition)
            ++count;
        gEncounterCounts.perKind[kind] = count;
    }
    gEncounterCounts.counted = 255;
}

int LaunchEncounter(EncounterSource* source)
{
    if (!source || !source->item)
        return gEncounterCounts.launched;
    const uint8_t placementMode = gInterpreter.placementMode;
    if (!gEncounterCounts.counted)
        CountEncounterScripts();
    // A source without kinds has nothing to launch (no division by zero).
    const int kinds = CountSetBits(source->kindMask);
    if (kinds == 0)
        return gEncounterCounts.launched;
    int kind = NthKind(source->kindMask, CRand() % kinds);
    if (kind == kFighter && gScriptVars.missionNumber != 99 &&
        (gScriptVars.missionNumber < 5 || gScriptVars.missionNumber > 90))
        kind = kCargo;
    const int32_t stock = gEncounterCounts.perKind[kind - 1];
    ScriptSymbol* mothercraft = FindScriptSymbol("MOTHERCRAFT");
    ScriptSymbol* stockShip = FindScriptSymbol("STOCKSHIP");
    if (stock == 0 || !mothercraft || !stockShip)
        return gEncounterCounts.launched;

    const int32_t savedGroup = gInterpreter.currentGroup;
    gInterpreter.currentGroup = gInterpreter.groupCounter++;
    auto restore = [&] {
        gInterpreter.currentGroup = savedGroup;
        gInterpreter.placementMode = placementMode;
    };

    // The game fills these two: they name objects whatever the stock
    // scripts first made of them.
    mothercraft->type |= kSymbolSceneItem;
    stockShip->type |= kSymbolSceneItem;
    SceneItem* mother = source->item;
    SetSymbolObject(mothercraft, mother);
    SetSymbolObject(stockShip, nullptr);
    RunFrom(NumberedLabel(kKindPatterns[kind - 1], CRand() % stock));
    SceneItem* ship = SymbolObject(stockShip);
    if (!ship || !ship->sim || !ship->avatar) {
        restore();
        return gEncounterCounts.launched;
    }
    ship->flags = static_cast<int16_t>(ship->flags & ~kItemStockShipFlag);

    int order = 3;
    if (kind == kFighter || kind == kArmed)
        order = ShipTotal() > kBusyShipTotal ? 4 : 1;
    if (order == 3)
        ship->sim->target = mother;
    const uint32_t orderLabel = NumberedLabel("ORDER_%i", order);
    if (orderLabel != kNoScriptPosition)
        RunFrom(orderLabel);

    PlaceEncounterShip(ship, mother, order);
    DirectorOfferShot(ship, nullptr, kDirectorEncounter);
    MarkCounted(ship);
    FindClearPosition(mother, ship);
    if (kind <= kArmed || kind == kMothershipKind)
        TakeSide(ship, mother);
    if (order == 1 && ship->sim->shipInfo) {
        ShipInfo* info = ship->sim->shipInfo;
        info->orders[1].parameter2 = static_cast<int32_t>(ItemHandle(mother));
        if (info->orders[1].evaluator)
            info->currentOrder = 1;
    }
    ++gEncounterCounts.launched;
    restore();
    return gEncounterCounts.launched;
}

int32_t RunStockDialogue(int32_t number)
{
    ScriptSymbol* ship = FindScriptSymbol("DIALOGUESHIP");
    const uint32_t label = NumberedLabel("STOCKDIALOGUE_%i", number);
    if (!ship || label == kNoScriptPosition)
        return -1;
    ship->type |= kSymbolSceneItem;
    SetSymbolObject(ship, gDialogueShip);
    return RunFrom(label);
}

void ReplaceTextFolder(char* path, const char* letters)
{
    const size_t length = std::strlen(path);
    if (length < 8)
        return;
    for (size_t at = 0; at + 4 <= length - 4; ++at)
        if (std::memcmp(path + at, "text", 4) == 0)
            std::memcpy(path + at, letters, 4);
}

PresentationState gPresentation = {};
