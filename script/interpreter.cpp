// The run loop, the triggers, the flow statements and the syntax-error
// report. See interpreter.h.
#include "script/interpreter.h"

#include "ai/weapons.h"
#include "screens/bridge.h"
#include "screens/objectives.h"
#include "script/conditions.h"
#include "script/keywords.h"
#include "script/missionoutcome.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/scriptfiles.h"
#include "script/symbols.h"
#include "script/vitalobjects.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/res/slab.h"
#include "system/sound.h"
#include "view/cameras.h"
#include "world/scenelist.h"
#include "world/starmap.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

Interpreter gInterpreter = [] {
    Interpreter state{};
    state.placementMode = 255;
    state.depth = -1;
    state.triggersEnabled = 255;
    state.groupCounter = 1000;
    return state;
}();
ScriptMissionState gScriptMission;
uint32_t gMissionScriptPosition = kNoScriptPosition;

namespace {

StatementTraceHook gTraceHook = nullptr;

// ---- Dispatch table ---------------------------------------------------------

// Every statement module's rows. A module of statements adds its span here.
std::span<const StatementRow> (*const kStatementModules[])() = {
    FlowStatementRows,
    VariableStatementRows,
    DamageStatementRows,
    ShipStatementRows,
    ShipPropertyRows,
    PlacementStatementRows,
    ObjectStatementRows,
    ModelStatementRows,
    FateStatementRows,
    SpecialObjectStatementRows,
    WorldLinkStatementRows,
    ConfigStatementRows,
    OutcomeStatementRows,
    WindowStatementRows,
    SkyStatementRows,
    ShapeStatementRows,
    OrderStatementRows,
    DockStatementRows,
    GearStatementRows,
    CameraStatementRows,
    ObjectiveStatementRows,
    DialogueStatementRows,
    BriefingStatementRows,
};

using HandlerTable = std::array<StatementHandler, kLastStatementId + 1>;

const HandlerTable& Handlers()
{
    static const HandlerTable table = [] {
        HandlerTable built{};
        for (auto rows : kStatementModules)
            for (const StatementRow& row : rows())
                if (row.id >= kFirstStatementId && row.id <= kLastStatementId)
                    built[row.id] = row.handler;
        return built;
    }();
    return table;
}

// ---- Subroutine stack -------------------------------------------------------

bool StackHasRoom()
{
    return gInterpreter.depth + 1 < kSubroutineDepth;
}

// The caller has made sure of StackHasRoom.
void PushFrame(uint32_t returnPosition)
{
    KV_DEBUG_VERIFY(StackHasRoom());
    ++gInterpreter.depth;
    gInterpreter.frames[gInterpreter.depth] = {gInterpreter.placementMode, gInterpreter.waitCountdown,
                                               returnPosition};
}

} // namespace

void WaitHere(uint32_t& position)
{
    position = gInterpreter.statementStart;
    gInterpreter.stopCode = kStopWaiting;
}

namespace {

// ---- Flow statements ---------------------------------------------------------

void LineMarker(uint32_t& position)
{
    const ScriptToken& record = ScriptTokenAt(position);
    ++position;
    gInterpreter.lineOffset = record.id;
    gInterpreter.lineFile = record.value;
}

void Bra(uint32_t& position)
{
    JumpTo(position, ReadLabelOperand(position));
}

void Beq(uint32_t& position)
{
    const uint32_t target = ReadLabelOperand(position);
    if (CompareOperandsEqual(position))
        JumpTo(position, target);
}

void Bne(uint32_t& position)
{
    const uint32_t target = ReadLabelOperand(position);
    if (!CompareOperandsEqual(position))
        JumpTo(position, target);
}

// The counter, less one; the label follows it.
int32_t DecrementCounter(uint32_t& position)
{
    ScriptSymbol* counter = ReadTypedSymbol(position, kSymbolNumber);
    const int32_t value = static_cast<int32_t>(static_cast<uint32_t>(SymbolIntegerValue(counter)) - 1u);
    SetSymbolInteger(counter, value);
    return value;
}

void Decbeq(uint32_t& position)
{
    const int32_t value = DecrementCounter(position);
    const uint32_t target = ReadLabelOperand(position);
    if (value == 0)
        JumpTo(position, target);
}

void Decbne(uint32_t& position)
{
    const int32_t value = DecrementCounter(position);
    const uint32_t target = ReadLabelOperand(position);
    if (value != 0)
        JumpTo(position, target);
}

// Label then condition; the jump or call happens when the condition's
// result equals `when`.
bool LabelAndCondition(uint32_t& position, uint32_t& target, bool when)
{
    target = ReadLabelOperand(position);
    return EvaluateCondition(position) == when;
}

void BraIf(uint32_t& position)
{
    uint32_t target;
    if (LabelAndCondition(position, target, true))
        JumpTo(position, target);
}

void BraIfNot(uint32_t& position)
{
    uint32_t target;
    if (LabelAndCondition(position, target, false))
        JumpTo(position, target);
}

void Call(uint32_t& position)
{
    CallSubroutine(position, ReadLabelOperand(position));
}

void CallOnce(uint32_t& position)
{
    const uint32_t target = ReadLabelOperand(position);
    EraseStatement(position);
    CallSubroutine(position, target);
}

void CallIf(uint32_t& position)
{
    uint32_t target;
    if (LabelAndCondition(position, target, true))
        CallSubroutine(position, target);
}

void CallIfNot(uint32_t& position)
{
    uint32_t target;
    if (LabelAndCondition(position, target, false))
        CallSubroutine(position, target);
}

void CallOnceIfNot(uint32_t& position)
{
    uint32_t target;
    if (LabelAndCondition(position, target, false)) {
        EraseStatement(position);
        CallSubroutine(position, target);
    }
}

void CallOnceIf(uint32_t& position)
{
    uint32_t target;
    if (LabelAndCondition(position, target, true)) {
        EraseStatement(position);
        CallSubroutine(position, target);
    }
}

void Return(uint32_t& position)
{
    if (gInterpreter.depth < 0)
        FailStatement(kStopBadStatement, "Underflow of subroutine stack.", position);
    if (gInterpreter.savedGroupFlag) {
        gInterpreter.savedGroupFlag = 0;
        gInterpreter.currentGroup = gInterpreter.savedGroup;
    }
    KV_DEBUG_VERIFY(gInterpreter.depth >= 0 && gInterpreter.depth < kSubroutineDepth);
    const SubroutineFrame& frame = gInterpreter.frames[gInterpreter.depth];
    gInterpreter.placementMode = frame.placementMode;
    gInterpreter.waitCountdown = frame.waitCountdown;
    position = frame.returnPosition;
    --gInterpreter.depth;
    if (!gInterpreter.triggersEnabled && gInterpreter.depth < gInterpreter.triggerDepthMark)
        gInterpreter.triggersEnabled = 255;
}

void Wait(uint32_t&)
{
    gInterpreter.stopCode = kStopWaiting;
}

// Timed waits stand while the mission is paused, a briefing runs or the
// command screen shows a view that holds the world.
bool TimedWaitsStand()
{
    return gInterpreter.missionPause || gScriptMission.briefingActive || gLocalViewOpen ||
           gObjectivesViewOpen || gStarMapOpen;
}

void WaitTime(uint32_t& position)
{
    if (gInterpreter.waitCountdown == 0) {
        // A count that truncates to 0 ends on the next run, like a negative
        // one, rather than restarting at 0 for ever.
        const int32_t ticks = ScriptNumberToInt(ReadNumberOperand(position));
        gInterpreter.waitCountdown = ticks != 0 ? ticks : -1;
        WaitHere(position);
        return;
    }
    if (!TimedWaitsStand())
        gInterpreter.waitCountdown -= gFrameClock.frameTicks;
    if (gInterpreter.waitCountdown <= 0 || gScriptSkipRequest) {
        gInterpreter.waitCountdown = 0;
        ReadNumberOperand(position);
        return;
    }
    WaitHere(position);
}

void ConditionalWait(uint32_t& position, bool until)
{
    if (gInterpreter.missionPause) {
        WaitHere(position);
        return;
    }
    if (EvaluateCondition(position) != until && !gScriptSkipRequest)
        WaitHere(position);
}

void WaitIf(uint32_t& position)
{
    ConditionalWait(position, true);
}

void WaitIfNot(uint32_t& position)
{
    ConditionalWait(position, false);
}

void RegisterCallWhen(uint32_t& position, int32_t flags)
{
    if (gInterpreter.callWhenCount >= kCallWhenRows)
        FailStatement(kStopBadStatement, "Unacceptable number of CALL_WHENs", position);
    const uint32_t handler = ReadLabelOperand(position);
    const int16_t index = gInterpreter.callWhenCount;
    CallWhenRow& row = gInterpreter.callWhen[index];
    row.handler = handler;
    row.labelName = gInterpreter.currentLabel;
    // Successive rows are tested 25 ticks apart.
    row.elapsed = index == 0 ? 100 : gInterpreter.callWhen[index - 1].elapsed - 25;
    row.condition = position;
    row.flags = flags;
    ++gInterpreter.callWhenCount;
    // The condition has side effects (HASFIRED, SHIP_CLOCK): step over it
    // without evaluating it.
    SkipCondition(position);
}

void CallWhen(uint32_t& position) { RegisterCallWhen(position, kCallWhenActive); }
void CallOnceWhen(uint32_t& position) { RegisterCallWhen(position, kCallWhenActive | kCallWhenOnce); }
void CallWhenNot(uint32_t& position) { RegisterCallWhen(position, kCallWhenActive | kCallWhenNegated); }
void CallOnceWhenNot(uint32_t& position)
{
    RegisterCallWhen(position, kCallWhenActive | kCallWhenOnce | kCallWhenNegated);
}

void Begin(uint32_t&) {}

constexpr StatementRow kFlowRows[] = {
    {kw::CALL_WHEN, CallWhen},
    {kw::CALL_ONCE_WHEN, CallOnceWhen},
    {kw::CALL_WHEN_NOT, CallWhenNot},
    {kw::CALL_ONCE_WHEN_NOT, CallOnceWhenNot},
    {kw::LINE, LineMarker},
    {kw::BEGIN, Begin},
    {kw::BRA, Bra},
    {kw::BEQ, Beq},
    {kw::BNE, Bne},
    {kw::DECBEQ, Decbeq},
    {kw::DECBNE, Decbne},
    {kw::BRA_IF, BraIf},
    {kw::BRA_IF_NOT, BraIfNot},
    {kw::RETURN, Return},
    {kw::CALL, Call},
    {kw::CALL_ONCE, CallOnce},
    {kw::CALL_IF, CallIf},
    {kw::CALL_IF_NOT, CallIfNot},
    {kw::CALL_ONCE_IF_NOT, CallOnceIfNot},
    {kw::CALL_ONCE_IF, CallOnceIf},
    {kw::WAIT, Wait},
    {kw::WAIT_TIME, WaitTime},
    {kw::WAIT_IF, WaitIf},
    {kw::WAIT_IF_NOT, WaitIfNot},
};

// ---- Triggers ----------------------------------------------------------------

void StartRequestedBriefing(uint32_t* position)
{
    const int32_t number = gScriptMission.briefingNumber;
    if (!gScriptMission.briefingRequested || number < 0 || number >= kMaxBriefings ||
        gBriefings.declare[number] == kNoScriptPosition)
        return;
    SoundPauseAll();
    gScriptMission.briefingRequested = 0;
    gScriptMission.briefingActive = 255;
    std::memset(gScriptMission.briefingSections, 0, sizeof gScriptMission.briefingSections);
    gScriptMission.briefingSection = 0;
    ForgetBriefingSections();
    gInterpreter.missionPause = 255;
    if (StackHasRoom()) {
        PushFrame(*position);
        *position = gBriefings.declare[number];
    }
}

// True when the arrival took the frame (no CALL_WHEN is tested then).
bool HandleArrival(uint32_t* position)
{
    if (!gScriptMission.arrivalPending || !gPlayerItem)
        return false;
    // With no room on the stack the arrival waits for a later frame.
    if (!StackHasRoom())
        return true;
    gScriptMission.arrivalPending = 0;
    const int32_t system = gScriptMission.arrivalSystem;
    if (system < 0 || system >= kMaxStarSystems || gScriptMission.visited[system])
        return true;
    gScriptMission.visited[system] = 255;
    // The system's ships form a group of their own, until the next RETURN
    // brings the saved number back.
    gInterpreter.savedGroup = gInterpreter.currentGroup;
    gInterpreter.savedGroupFlag = 255;
    gInterpreter.currentGroup = gInterpreter.groupCounter++;
    char name[32];
    std::snprintf(name, sizeof name, "STARSYSTEM_%i", static_cast<int>(system));
    const ScriptSymbol* label = FindScriptSymbol(name);
    if (!label || !label->labelDefined)
        return true;
    const auto target = static_cast<uint32_t>(ReadSymbolInt(label));
    if (target >= gScriptBuffers.tokenCursor)
        return true;
    PushFrame(*position);
    *position = target;
    gInterpreter.currentLabel = label->name;
    gInterpreter.triggersEnabled = 0;
    gInterpreter.triggerDepthMark = gInterpreter.depth;
    return true;
}

void TestCallWhenRows(uint32_t* position)
{
    for (int i = 0; i < gInterpreter.callWhenCount; ++i) {
        CallWhenRow& row = gInterpreter.callWhen[i];
        row.elapsed += gFrameClock.frameTicks;
        if (!(row.flags & kCallWhenActive) || row.elapsed <= kCallWhenPeriod)
            continue;
        // A row that could not push its frame is tested again later.
        if (!StackHasRoom())
            continue;
        row.elapsed -= kCallWhenPeriod;
        uint32_t condition = row.condition;
        const bool result = EvaluateCondition(condition);
        if (result == ((row.flags & kCallWhenNegated) != 0))
            continue;
        PushFrame(*position);
        *position = row.handler;
        gInterpreter.currentLabel = row.labelName;
        gInterpreter.triggersEnabled = 0;
        gInterpreter.triggerDepthMark = gInterpreter.depth;
        if (row.flags & kCallWhenOnce)
            row.flags &= ~kCallWhenActive;
        gInterpreter.waitCountdown = 0;
        return;
    }
}

// The mission clock and the countdowns advance once a frame, however many
// scripts run in it.
void AdvanceMissionClocks()
{
    if (gInterpreter.clockAdvanced && gInterpreter.lastClockFrame == gFrameClock.frameCounter)
        return;
    gInterpreter.clockAdvanced = 1;
    gInterpreter.lastClockFrame = gFrameClock.frameCounter;
    if (!gInterpreter.missionPause) {
        if (gScriptVars.stopClock == 0 && MissionEndState == kMissionInFlight)
            gScriptVars.missionClock += gFrameClock.frameTicks;
        if (gScriptMission.dialogueCountdown > 0)
            gScriptMission.dialogueCountdown -= gFrameClock.rawFrameTicks;
    }
    if (gScriptMission.vitalLossCountdown > 0) {
        gScriptMission.vitalLossCountdown -= gFrameClock.frameTicks;
        if (gScriptMission.vitalLossCountdown <= 0)
            EnterExternalCamera();
    }
}

// ---- Line text ----------------------------------------------------------------

// Reads the line at the offset of the named script, where the game reads
// the script itself (inside the "scripts" library or loose): at most 255
// characters, tabs as blanks, empty when the script cannot be read.
void ReadLineText(uint32_t fileName, uint32_t offset, char (&text)[256])
{
    text[0] = 0;
    uint32_t size = 0;
    std::FILE* file = SlabOpen("scripts", ScriptNameAt(fileName), &size);
    if (!file)
        return;
    size_t length = 0;
    if (offset < size && std::fseek(file, static_cast<long>(offset), SEEK_CUR) == 0)
        length = std::fread(text, 1, std::min<size_t>(sizeof text - 1, size - offset), file);
    std::fclose(file);
    text[length] = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == '\n' || text[i] == '\r' || text[i] == 0) {
            text[i] = 0;
            break;
        }
        if (text[i] == '\t')
            text[i] = ' ';
    }
}

} // namespace

std::span<const StatementRow> FlowStatementRows()
{
    return kFlowRows;
}

StatementHandler FindStatementHandler(uint32_t id)
{
    return id <= kLastStatementId ? Handlers()[id] : nullptr;
}

void JumpTo(uint32_t& position, uint32_t target)
{
    position = target;
}

void CallSubroutine(uint32_t& position, uint32_t target)
{
    if (!StackHasRoom())
        FailStatement(kStopBadStatement, "Overflow of subroutine stack.", gInterpreter.statementStart);
    PushFrame(position);
    position = target;
}

void EraseStatement(uint32_t end)
{
    for (uint32_t at = gInterpreter.statementStart; at < end && at < gScriptBuffers.tokenCursor; ++at)
        gScriptBuffers.tokens[at] = {kErasedStatementId, 0};
}

void CheckScriptTriggers(uint32_t* position)
{
    if (!position || *position == kNoScriptPosition)
        return;
    StartRequestedBriefing(position);
    if (HandleArrival(position))
        return;
    if (gInterpreter.triggersEnabled)
        TestCallWhenRows(position);
}

int32_t RunScript(uint32_t* position, bool perFrame)
{
    gInterpreter.stopCode = kStopRunning;
    if (!position || *position == kNoScriptPosition)
        return 0;

    AdvanceMissionClocks();
    if (perFrame)
        CheckScriptTriggers(position);

    uint32_t cursor = *position;
    if (PollVitalObjects())
        FailMissionOnVitalLoss();

    const HandlerTable& handlers = Handlers();
    uint32_t budget = kStatementBudget;
    while (ScriptTokenAt(cursor).id != kw::END && gInterpreter.stopCode == kStopRunning &&
           !gLoopFlags.filmMode) {
        gInterpreter.statementStart = cursor;
        const uint32_t id = ScriptTokenAt(cursor).id;
        ++cursor;
        if (--budget == 0)
            FailStatement(kStopBadStatement, "Script runs too long without a WAIT", gInterpreter.statementStart);
        if (gTraceHook)
            gTraceHook(gInterpreter.statementStart, id);
        if (id <= kLastStatementId) {
            if (StatementHandler handler = handlers[id])
                handler(cursor);
        }
        gScriptSkipRequest = 0;
        if (gLoopFlags.quitRequest)
            break;
    }

    *position = cursor;
    gScriptSkipRequest = 0;
    // Release builds walk the list once a frame, in the simulation frame.
    if constexpr (kDebugChecks)
        CheckSceneListIntegrity();
    return gInterpreter.stopCode;
}

void SetStatementTraceHook(StatementTraceHook hook)
{
    gTraceHook = hook;
}

void ReportSyntaxError(const char* message, uint32_t position)
{
    // The marker that ends the statement's line names its file and line;
    // the marker before it, when in the same file, where the line starts.
    // An operand missing at a line's end (a file cut short) is sought in
    // the lines after it, perhaps of another file: the statement's own line
    // is the one named.
    const ScriptToken* end = FindLineEndMarker(position);
    if (gInterpreter.statementStart <= position)
        if (const ScriptToken* own = FindLineEndMarker(gInterpreter.statementStart); own && (!end || own < end))
            end = own;
    uint32_t fileName = 0;
    uint32_t lineNumber = 1;
    uint32_t lineStart = 0;
    if (end) {
        fileName = end[1].value;
        lineNumber = end->value + 1;
        const uint32_t endPosition = static_cast<uint32_t>(end - gScriptBuffers.tokens);
        const ScriptToken* before = FindLineMarker(endPosition);
        if (before && before[1].value == fileName && before->value + 1 == end->value)
            lineStart = before[1].id;
    }
    char line[256];
    ReadLineText(fileName, lineStart, line);
    char text[1024];
    std::snprintf(text, sizeof text, "%s(%u) : %s \n %s", ScriptNameAt(fileName), lineNumber, line, message);
    DebugMessageBox(text, "SCRIPT Syntax Error");
    EndOnScriptError();
}

namespace {

int gForgivingDepth = 0;
struct ForgivenScriptError {};

} // namespace

bool RunForgivingScriptErrors(const std::function<bool()>& run)
{
    ++gForgivingDepth;
    try {
        const bool ran = run();
        --gForgivingDepth;
        return ran;
    } catch (const ForgivenScriptError&) {
        --gForgivingDepth;
        gInterpreter.stopCode = 0;
        return false;
    }
}

void EndOnScriptError()
{
    if (gForgivingDepth > 0)
        throw ForgivenScriptError{};
    QuitProgram(kExitFailure);
}

void FailStatement(int32_t stopCode, const char* message, uint32_t position)
{
    gInterpreter.stopCode = stopCode;
    ReportSyntaxError(message, position);
}

void GetScriptLineText(char (&buffer)[256])
{
    static uint32_t cachedFile = UINT32_MAX;
    static uint32_t cachedOffset = UINT32_MAX;
    static char cached[256];
    if (cachedFile != gInterpreter.lineFile || cachedOffset != gInterpreter.lineOffset) {
        cachedFile = gInterpreter.lineFile;
        cachedOffset = gInterpreter.lineOffset;
        ReadLineText(cachedFile, cachedOffset, cached);
    }
    std::memcpy(buffer, cached, sizeof buffer);
}

void ResetInterpreterState()
{
    // The mount WEPSYSLINK and WEPLOADOUT work on belongs to the old mission.
    gLastWeapon = nullptr;
    gInterpreter.callWhenCount = 0;
    gInterpreter.depth = -1;
    gInterpreter.triggersEnabled = 255;
    gInterpreter.triggerDepthMark = 0;
    gInterpreter.placementMode = 255;
    gInterpreter.relativeOrigin = nullptr;
    gInterpreter.waitCountdown = 0;
    gInterpreter.savedGroupFlag = 0;
    // Each mission starts without a group and numbers its groups from 1000,
    // so one mission's groups never carry into the next.
    gInterpreter.currentGroup = 0;
    gInterpreter.groupCounter = 1000;
    gInterpreter.currentLabel = nullptr;
    gInterpreter.clockAdvanced = 0;
    gScriptMission.briefingRequested = 0;
    gScriptMission.briefingActive = 0;
    std::memset(gScriptMission.briefingSections, 0, sizeof gScriptMission.briefingSections);
    gScriptMission.briefingSection = 0;
    std::memset(gScriptMission.briefingDeclared, 0, sizeof gScriptMission.briefingDeclared);
    gScriptMission.arrivalPending = 0;
    std::memset(gScriptMission.visited, 0, sizeof gScriptMission.visited);
    gScriptMission.vitalLossCountdown = 0;
    // A yield left by the last mission would swallow this one's first dialogue.
    gScriptMission.dialogueYield = 0;
    // The mission's result starts afresh; the outcome number stays.
    gScriptMission.missionSucceeded = 0;
    gScriptMission.missionFailed = 0;
    // A mission that declares no objectives has none, not the last one's.
    ParseObjectives(nullptr);
    MissionEndState = kMissionInFlight;
    gInterpreter.missionPause = 0;
    gDirectorOn = 0;
}

void RaiseArrival(int32_t system)
{
    gScriptMission.arrivalPending = 255;
    gScriptMission.arrivalSystem = system;
}
