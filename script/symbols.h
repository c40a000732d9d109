// Script symbols: the one table of named values shared by every compiled
// script and by the game, the built-in symbols bound to game variables, and
// the start-up, mark and per-mission roll-back of the whole script store.
//
// A symbol made by the tokeniser owns 4 value bytes in the data buffer,
// right after its name (name, zero, one more zero, value bytes); the number
// built-ins instead point at the variables in gScriptVars, so a script and
// the game read and write the same integer. Names are looked up through a
// hash index that answers exactly like a linear search from the first
// record (first definition wins); the roll-back trims it.
#pragma once

#include <cstdint>
#include <string_view>

struct Resource;

// Type bits. The operand readers take kSymbolAnyType as "any type".
enum SymbolType : uint32_t {
    kSymbolData = 0x1, // value points at a data token's bytes (DEFINE)
    kSymbolModel = 0x2,
    kSymbol2dModel = 0x4,
    kSymbolSceneItem = 0x8, // value holds the scene item's handle (0: none)
    kSymbol3dPart = 0x10,
    kSymbolNumber = 0x20, // value points at a signed 32-bit integer
    kSymbolResource = 0x40,
    kSymbolWindow = 0x80,
    kSymbolOrderName = 0x100,
    kSymbolShape = 0x200, // vector-map shape
    kSymbolAnyType = 4095,
};

struct ScriptSymbol {
    const char* name;  // zero-terminated, in the data buffer
    void* value;       // value bytes (data, numbers, labels), the thing itself,
                       // or for an object symbol its scene-item handle
    int32_t size;      // value bytes copied at creation
    uint32_t type;     // SymbolType bits, 0 at creation
    bool labelDefined; // a definition "name:" has been compiled
};

constexpr uint32_t kSymbolCapacity = 750;

struct SymbolTable {
    ScriptSymbol records[kSymbolCapacity];
    uint32_t count;
};
extern SymbolTable gSymbols;

// The game variables behind the number built-ins.
struct ScriptVariables {
    int32_t score = 0;               // SCORE: the script's score value
    int32_t timer = 0;               // TIMER: the script timer
    int32_t vitalHits = 0;           // XHITS: hits on vital objects
    int32_t waypointCount = -1;      // NWAYPTS: waypoints still to reach
    int32_t waypointStartCount = -1; // the course's starting count (COUNT_WAYPTS)
    int32_t missionClock = 0;        // MISSTIME: ticks since the mission started
    int32_t stopClock = 0;           // STOPCLOCK: non-zero stops the mission clock
    int32_t targetTime = 0;          // TGTTIME
    int32_t timeScore = 0;           // TIMESCORE
    int32_t missionNumber = 1;       // MISSNUMBER: the current mission
    // LOYAL: 1 while the player stands with his side, 0 once friendly fire
    // has made him hostile to all (world/tally.cpp).
    int32_t loyal = 1;
};
extern ScriptVariables gScriptVars;

// The built-in object symbols, for the game code that sets them.
struct BuiltinSymbols {
    ScriptSymbol* lastShip;     // LASTSHIP
    ScriptSymbol* last3dPart;   // LAST3DP
    ScriptSymbol* lastResource; // LASTRES
    ScriptSymbol* lastWaypoint; // LASTWAYPT
    ScriptSymbol* kelvaBody;    // KELVABODY
    ScriptSymbol* kelvaHead;    // KELVAHEAD
};
extern BuiltinSymbols gBuiltinSymbols;

// Appends the name and count value bytes to the data buffer and fills the
// next record (size = count, type = 0). "Symbol Table Full!" past 750.
ScriptSymbol* AddScriptSymbol(std::string_view name, const void* bytes, int32_t count);
ScriptSymbol* FindScriptSymbol(std::string_view name);
// The value field of the named symbol, null when there is none. An object
// symbol's value is a handle: read its item with SymbolObject (operands.h).
void* GetScriptSymbolValue(const char* name);

uint32_t ScriptSymbolIndex(const ScriptSymbol* symbol);
ScriptSymbol* ScriptSymbolAt(uint32_t index); // null past the count

// True when the value field points at 4 value bytes of its own (in the
// data buffer or at a game variable), not at a thing such as a resource.
bool SymbolHoldsValueBytes(const ScriptSymbol* symbol);

// The 4 value bytes of a tokeniser-made symbol (numbers, labels).
int32_t ReadSymbolInt(const ScriptSymbol* symbol);
void WriteSymbolInt(ScriptSymbol* symbol, int32_t value);

// Once per process: empties the buffers and stores, defines the built-ins,
// takes the mark and resets the mission state.
void InitializeScriptSystem();
// Records the token, data and name-store positions and the symbol count;
// returns the token position.
uint32_t MarkScriptBase();
// Clears the per-mission script state and rolls everything back to the mark.
void ResetMissionScript();
// The first symbol defined since the mark.
uint32_t MarkedSymbolCount();

// Mission end: the resources that the mission's own symbols (type exactly
// resource) hold give up their data, so they are read again on next use.
void ReleaseMissionResources();
// A bridge key: plays again the mission's next loaded dialogue text (after
// the one replayed last, round to the first) and shows it on the bridge
// message line. Returns the text's resource, null when the mission has none.
Resource* ReplayNextDialogue();
