// The script interpreter: the run loop that executes compiled scripts a
// statement at a time, its stop and wait states, the subroutine stack, the
// per-frame triggers (briefing start, arrival in a star system, the 16
// CALL_WHEN rows), the flow statements, the syntax-error report and the
// statement dispatch table that every statement module adds its rows to.
//
// A script keeps its place between frames in the caller's position (a pair
// index into the token buffer); a statement that waits puts the position
// back on itself and stops the run, so the next run tries it again.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

struct SceneItem;
struct FilmClip;
namespace platform {
struct PaletteColour;
}

// A statement handler is entered with the position at its first operand
// (its keyword pair already read) and leaves it after its last operand, or
// at any token position for a jump. A handler that waits sets the stop
// code to kStopWaiting and puts the position back on its statement start.
using StatementHandler = void (*)(uint32_t& position);
struct StatementRow {
    uint32_t id;
    StatementHandler handler;
};

// Ids that have a handler in the dispatch table.
constexpr uint32_t kFirstStatementId = 22;
constexpr uint32_t kLastStatementId = 513;
// The pair that erases a once-statement: a no-op for the run loop.
constexpr uint32_t kErasedStatementId = 1;

constexpr int kSubroutineDepth = 10;
constexpr int kCallWhenRows = 16;
constexpr int32_t kCallWhenPeriod = 150; // ticks between tests of a row
// A run that executes this many statements without stopping is a script
// fault (a loop without a wait), not a freeze of the game.
constexpr uint32_t kStatementBudget = 1000000;

struct SubroutineFrame {
    uint8_t placementMode;
    int32_t waitCountdown;
    uint32_t returnPosition;
};

enum : int32_t {
    kCallWhenActive = 1,
    kCallWhenOnce = 2,
    kCallWhenNegated = 4,
};

struct CallWhenRow {
    int32_t elapsed;       // ticks since the last test
    int32_t flags;         // kCallWhenActive, kCallWhenOnce, kCallWhenNegated
    uint32_t handler;      // position of the handler's label
    const char* labelName; // for messages
    uint32_t condition;    // position of the condition's first token
};

// The interpreter's process-wide state.
struct Interpreter {
    uint8_t missionPause; // 255: the mission clock, countdown and timed waits stand
    int32_t stopCode;
    uint32_t statementStart; // keyword pair of the statement being run
    uint8_t placementMode;   // 255 ABSOLUTE, 0 RELATIVE
    SceneItem* relativeOrigin;
    int32_t waitCountdown; // WAIT_TIME ticks left, 0 when no timed wait runs
    int16_t depth;         // -1 when the subroutine stack is empty
    SubroutineFrame frames[kSubroutineDepth];
    uint8_t triggersEnabled; // 255 enabled
    int16_t triggerDepthMark;
    CallWhenRow callWhen[kCallWhenRows];
    int16_t callWhenCount;
    const char* currentLabel; // label last jumped to, for messages
    uint32_t lineOffset;      // line record: the running line's offset and
    uint32_t lineFile;        //   file name (an offset in the name store)
    int32_t currentGroup;
    int32_t savedGroup;
    uint8_t savedGroupFlag;
    int16_t groupCounter;    // next number that NEW_GROUP hands out
    uint16_t lastClockFrame; // frame counter when the clocks last advanced
    uint8_t clockAdvanced;   // set once the clocks advanced in some frame
};
extern Interpreter gInterpreter;

// Mission state that other statements and screens set and the run loop and
// triggers read.
constexpr int kMaxStarSystems = 256;
// The briefing's section requests: skip to the next section, back to the
// previous one, leave the briefing, hold before the next section.
enum : int {
    kBriefingSkip = 0,
    kBriefingBack = 1,
    kBriefingLeave = 2,
    kBriefingHold = 3
};
struct ScriptMissionState {
    uint8_t briefingRequested;   // BRIEFING asked for a briefing
    int32_t briefingNumber;      // the briefing it asked for
    uint8_t briefingActive;      // a briefing runs
    uint8_t briefingSections[4]; // requests, indexed by kBriefingSkip ... kBriefingHold
    int32_t briefingSection;     // the last section entered, 0 to 15
    uint8_t briefingDeclared[4]; // a briefing's declaration lines have run this mission
    // Each section's BRF_SECT position, kNoScriptPosition until it runs in
    // the current briefing.
    uint32_t briefingSectionTable[16];
    FilmClip* briefingClip;   // the current section's film
    uint8_t briefingClipOpen; // the command screen draws the clip while set
    uint8_t arrivalPending;   // the player arrived in a star system
    int32_t arrivalSystem;    //   with this number
    uint8_t visited[kMaxStarSystems];
    int32_t vitalLossCountdown; // ticks until the external camera, when > 0
    int32_t dialogueCountdown;  // ticks the current dialogue line still shows
    uint8_t missionSucceeded;   // 255 once the mission has been won
    uint8_t missionFailed;      // 255 once the mission has failed
    // The debrief variant that OUTCOME chose. It is not reset between
    // missions: a mission that sets none is debriefed with the last one.
    int16_t outcomeNumber;
    // Set when a dialogue has started and its statement yields (SUCCESS sets
    // it too): the next dialogue statement in flight only clears it.
    uint8_t dialogueYield;
    // A cut-scene: the script holds the automatic external camera, and no
    // weapon fires.
    uint8_t cutScene;
};
extern ScriptMissionState gScriptMission;
// The player arrived in star system `system` (by a jump, a gate or SYSTEM):
// the mission's STARSYSTEM_<system> handler runs at the script's next step,
// once for each system.
void RaiseArrival(int32_t system);
// The game palette the command screen keeps while a briefing shows its own;
// BRF_END sets it on the display again (null: none kept).
extern const platform::PaletteColour* gBriefingGamePalette;

// Where the running mission script stands: kNoScriptPosition while none
// runs. Mission start sets it; every frame runs one step of it.
extern uint32_t gMissionScriptPosition;

// Runs the script at *position until it waits, ends or reaches END; with
// perFrame the per-frame triggers run first. Returns the stop code: 0 at END
// or when ended from outside, kStopWaiting when a statement waits. A null
// position or kNoScriptPosition returns 0.
int32_t RunScript(uint32_t* position, bool perFrame);
void CheckScriptTriggers(uint32_t* position);

// "%s(%u) : %s \n %s" (file, line, line text, message) titled "SCRIPT
// Syntax Error"; then the process ends.
[[noreturn]] void ReportSyntaxError(const char* message, uint32_t position);
// Sets the stop code, then reports.
[[noreturn]] void FailStatement(int32_t stopCode, const char* message, uint32_t position);

// Runs `run` (which compiles and runs a script the game can do without,
// such as the screen layouts) so that a compile or syntax error in it,
// named as ever, ends that script rather than the process. Returns what
// `run` returned, false after such an error.
bool RunForgivingScriptErrors(const std::function<bool()>& run);
// After a compile or syntax error has been named: ends the process, or
// only the script inside RunForgivingScriptErrors.
[[noreturn]] void EndOnScriptError();

// Called with the position and id of every statement pair the run loop
// reads, before it runs (developer traces); null for none.
using StatementTraceHook = void (*)(uint32_t position, uint32_t id);
void SetStatementTraceHook(StatementTraceHook hook);

// The text of the line being run (at most 255 characters, tabs as blanks).
void GetScriptLineText(char (&buffer)[256]);

// Clears the per-mission interpreter state (part of ResetMissionScript).
void ResetInterpreterState();

// The rows of each statement module, added to the dispatch table.
std::span<const StatementRow> FlowStatementRows();
std::span<const StatementRow> VariableStatementRows();
std::span<const StatementRow> DamageStatementRows();
std::span<const StatementRow> ShipStatementRows();
std::span<const StatementRow> ShipPropertyRows();
std::span<const StatementRow> PlacementStatementRows();
std::span<const StatementRow> ObjectStatementRows();
std::span<const StatementRow> ModelStatementRows();
std::span<const StatementRow> FateStatementRows();
std::span<const StatementRow> SpecialObjectStatementRows();
std::span<const StatementRow> WorldLinkStatementRows();
std::span<const StatementRow> ConfigStatementRows();
std::span<const StatementRow> OutcomeStatementRows();
std::span<const StatementRow> WindowStatementRows();
std::span<const StatementRow> SkyStatementRows();
std::span<const StatementRow> ShapeStatementRows();
std::span<const StatementRow> OrderStatementRows();
std::span<const StatementRow> DockStatementRows();
std::span<const StatementRow> GearStatementRows();
std::span<const StatementRow> CameraStatementRows();
std::span<const StatementRow> ObjectiveStatementRows();
std::span<const StatementRow> DialogueStatementRows();
// The handler of an id, or null (a no-op) for ids without one.
StatementHandler FindStatementHandler(uint32_t id);

// Stops the run with the cursor back on the statement, to try it again on
// the next run (the waiting statements' contract).
void WaitHere(uint32_t& position);
// Empties the briefing's section table (a new briefing starts).
void ForgetBriefingSections();
std::span<const StatementRow> BriefingStatementRows();

// Shared by the statements that branch and call.
void JumpTo(uint32_t& position, uint32_t target);
void CallSubroutine(uint32_t& position, uint32_t target);
// Erases the statement that started at gInterpreter.statementStart and ends
// just before `end`, so that it never runs again in this compiled script.
void EraseStatement(uint32_t end);
