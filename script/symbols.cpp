// The symbol table, the built-ins, start-up and the per-mission roll-back.
// See symbols.h.
#include "script/symbols.h"

#include "screens/bridge.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/scriptbase.h"
#include "script/scriptfiles.h"
#include "script/vitalobjects.h"
#include "script/worldlink.h"
#include "system/errors.h"
#include "system/res/resman.h"
#include "ui/dialogue.h"
#include "world/tally.h"
#include "world/encounters.h"

#include <cstdio>
#include <cstring>

SymbolTable gSymbols;
ScriptVariables gScriptVars;
BuiltinSymbols gBuiltinSymbols;

namespace {

bool gInitialized = false;
uint32_t gMarkedSymbolCount = 0;
const Resource* gLastReplayedDialogue = nullptr;

// Hash index over the names: a slot holds record index + 1, 0 = empty.
constexpr uint32_t kIndexSlots = 2048;
static_assert(kIndexSlots > 2 * kSymbolCapacity);
uint16_t gIndex[kIndexSlots];

// The slot holding the name, or the empty slot where it would go.
uint32_t IndexSlot(std::string_view name)
{
    uint32_t slot = HashScriptName(name) & (kIndexSlots - 1);
    while (uint16_t entry = gIndex[slot]) {
        if (name == gSymbols.records[entry - 1].name)
            break;
        slot = (slot + 1) & (kIndexSlots - 1);
    }
    return slot;
}

void RebuildIndex()
{
    std::memset(gIndex, 0, sizeof gIndex);
    for (uint32_t i = 0; i < gSymbols.count; ++i) {
        uint32_t slot = IndexSlot(gSymbols.records[i].name);
        if (!gIndex[slot])
            gIndex[slot] = static_cast<uint16_t>(i + 1);
    }
}

ScriptSymbol* AddBuiltin(const char* name, uint32_t type, int32_t* variable)
{
    const int32_t zero = 0;
    ScriptSymbol* symbol = AddScriptSymbol(name, &zero, sizeof zero);
    symbol->type = type;
    symbol->value = variable; // null for the object built-ins: no object yet
    return symbol;
}

} // namespace

ScriptSymbol* AddScriptSymbol(std::string_view name, const void* bytes, int32_t count)
{
    if (gSymbols.count >= kSymbolCapacity) {
        DebugMessageBox("Symbol Table Full!", "SCRIPT DRASTIC ERROR!!!");
        QuitProgram(kExitFailure);
    }
    if (count < 0)
        count = 0;
    // Name, its terminator, one further zero, then the value bytes: all or nothing.
    uint64_t need = uint64_t(name.size()) + 2 + uint64_t(count);
    if (need > kDataCapacity - gScriptBuffers.dataCursor)
        ReportScriptDrasticError("Data Buffer OVERFLOW !!!");
    const char zeros[2] = {0, 0};
    uint32_t nameOffset = AppendScriptData(name.data(), static_cast<uint32_t>(name.size()));
    AppendScriptData(zeros, 2);
    uint32_t valueOffset = AppendScriptData(bytes, static_cast<uint32_t>(count));

    uint32_t index = gSymbols.count++;
    ScriptSymbol& symbol = gSymbols.records[index];
    symbol.name = gScriptBuffers.data + nameOffset;
    symbol.value = gScriptBuffers.data + valueOffset;
    symbol.size = count;
    symbol.type = 0;
    symbol.labelDefined = false;

    uint32_t slot = IndexSlot(symbol.name);
    if (!gIndex[slot])
        gIndex[slot] = static_cast<uint16_t>(index + 1);
    return &symbol;
}

ScriptSymbol* FindScriptSymbol(std::string_view name)
{
    uint16_t entry = gIndex[IndexSlot(name)];
    return entry ? &gSymbols.records[entry - 1] : nullptr;
}

void* GetScriptSymbolValue(const char* name)
{
    ScriptSymbol* symbol = FindScriptSymbol(name);
    return symbol ? symbol->value : nullptr;
}

uint32_t ScriptSymbolIndex(const ScriptSymbol* symbol)
{
    return static_cast<uint32_t>(symbol - gSymbols.records);
}

ScriptSymbol* ScriptSymbolAt(uint32_t index)
{
    return index < gSymbols.count ? &gSymbols.records[index] : nullptr;
}

// A handle or a thing of another type holds no value bytes.
bool SymbolHoldsValueBytes(const ScriptSymbol* symbol)
{
    if (symbol->size < 4 || (symbol->type & kSymbolSceneItem))
        return false;
    const auto at = reinterpret_cast<uintptr_t>(symbol->value);
    const auto data = reinterpret_cast<uintptr_t>(gScriptBuffers.data);
    const auto variables = reinterpret_cast<uintptr_t>(&gScriptVars);
    return (at >= data && at <= data + kDataCapacity - 4) ||
           (at >= variables && at <= variables + sizeof gScriptVars - 4);
}

int32_t ReadSymbolInt(const ScriptSymbol* symbol)
{
    int32_t value = 0;
    if (SymbolHoldsValueBytes(symbol))
        std::memcpy(&value, symbol->value, sizeof value);
    return value;
}

void WriteSymbolInt(ScriptSymbol* symbol, int32_t value)
{
    if (SymbolHoldsValueBytes(symbol))
        std::memcpy(symbol->value, &value, sizeof value);
}

void InitializeScriptSystem()
{
    if (gInitialized) {
        DebugMessageBox("You called me once - Don't call me again!", "InitializeScriptSystem says");
        QuitProgram(kExitFailure);
    }
    gInitialized = true;

    std::memset(&gScriptBuffers, 0, sizeof gScriptBuffers);
    gSymbols.count = 0;
    RebuildIndex();
    ResetScriptNameStore();
    gScriptVars = ScriptVariables{};

    gBuiltinSymbols.lastShip = AddBuiltin("LASTSHIP", kSymbolSceneItem, nullptr);
    gBuiltinSymbols.last3dPart = AddBuiltin("LAST3DP", kSymbol3dPart, nullptr);
    gBuiltinSymbols.lastResource = AddBuiltin("LASTRES", kSymbolResource, nullptr);
    gBuiltinSymbols.lastWaypoint = AddBuiltin("LASTWAYPT", kSymbolSceneItem, nullptr);
    AddBuiltin("SCORE", kSymbolNumber, &gScriptVars.score);
    AddBuiltin("TIMER", kSymbolNumber, &gScriptVars.timer);
    AddBuiltin("XHITS", kSymbolNumber, &gScriptVars.vitalHits);
    AddBuiltin("NWAYPTS", kSymbolNumber, &gScriptVars.waypointCount);
    AddBuiltin("MISSTIME", kSymbolNumber, &gScriptVars.missionClock);
    AddBuiltin("STOPCLOCK", kSymbolNumber, &gScriptVars.stopClock);
    AddBuiltin("TGTTIME", kSymbolNumber, &gScriptVars.targetTime);
    AddBuiltin("TIMESCORE", kSymbolNumber, &gScriptVars.timeScore);
    gBuiltinSymbols.kelvaBody = AddBuiltin("KELVABODY", kSymbolSceneItem, nullptr);
    gBuiltinSymbols.kelvaHead = AddBuiltin("KELVAHEAD", kSymbolSceneItem, nullptr);
    AddBuiltin("MISSNUMBER", kSymbolNumber, &gScriptVars.missionNumber);
    AddBuiltin("LOYAL", kSymbolNumber, &gScriptVars.loyal);

    MarkScriptBase();
    ResetMissionScript();
}

uint32_t MarkScriptBase()
{
    MarkScriptBuffers();
    MarkScriptNameStore();
    gMarkedSymbolCount = gSymbols.count;
    return ScriptMarkPosition();
}

uint32_t MarkedSymbolCount()
{
    return gMarkedSymbolCount;
}

void ResetMissionScript()
{
    // The mission clock and the values a mission keeps score with.
    gScriptVars.missionClock = 0;
    gScriptVars.stopClock = 0;
    gScriptVars.timer = 0;
    gScriptVars.vitalHits = 0;
    gScriptVars.targetTime = 0;
    gScriptVars.timeScore = 0;
    gScriptVars.loyal = 1;
    gScriptVars.waypointCount = -1;
    gScriptVars.waypointStartCount = -1;
    if (gBuiltinSymbols.lastWaypoint)
        gBuiltinSymbols.lastWaypoint->value = nullptr;
    ClearVitalObjects();
    ResetWorldLinkState();
    ClearBriefingIndex();
    ResetInterpreterState();
    ClearTally();
    ClearEncounterSources();

    RollBackScriptBuffers();
    RollBackScriptNameStore();
    if (gSymbols.count != gMarkedSymbolCount) {
        gSymbols.count = gMarkedSymbolCount;
        RebuildIndex();
    }
}

namespace {

// The record of a mission's resource symbol (type exactly resource), or
// null. A symbol declared a resource but never given a record still points
// at its own value bytes, which are no record.
Resource* MissionResource(const ScriptSymbol& symbol)
{
    if (symbol.type != kSymbolResource || !symbol.value || SymbolHoldsValueBytes(&symbol))
        return nullptr;
    return static_cast<Resource*>(symbol.value);
}

// A resource symbol of the mission holding a loaded text.
Resource* LoadedMissionText(const ScriptSymbol& symbol)
{
    Resource* resource = MissionResource(symbol);
    return resource && resource->libraryRow == kResRowTexts && resource->data ? resource : nullptr;
}

} // namespace

void ReleaseMissionResources()
{
    for (uint32_t i = gMarkedSymbolCount; i < gSymbols.count; ++i) {
        Resource* resource = MissionResource(gSymbols.records[i]);
        if (!resource)
            continue;
        ResDropData(resource);
        if (!resource->data)
            ResClearModelFlag(resource);
    }
}

Resource* ReplayNextDialogue()
{
    Resource* first = nullptr;
    Resource* next = nullptr;
    bool passedLast = false;
    for (uint32_t i = gMarkedSymbolCount; i < gSymbols.count && !next; ++i) {
        Resource* text = LoadedMissionText(gSymbols.records[i]);
        if (!text)
            continue;
        if (!first)
            first = text;
        if (passedLast)
            next = text;
        else if (text == gLastReplayedDialogue)
            passedLast = true;
    }
    Resource* chosen = next ? next : first;
    if (!chosen)
        return nullptr;
    gLastReplayedDialogue = chosen;
    PlayDialogue(chosen, nullptr, nullptr, nullptr);
    // The message line takes at most 256 characters; a longer text (a
    // conversation script) is shown cut rather than ending the game.
    char line[257];
    std::snprintf(line, sizeof line, "%s", static_cast<const char*>(chosen->data));
    const int32_t countdown = gScriptMission.dialogueCountdown;
    guiDisplayMessage(line, countdown > 500 ? countdown : 1000);
    return chosen;
}
