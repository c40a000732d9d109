// Fuzz target: the interpreter running arbitrary scripts.
//
// The input becomes the mission script "fuzz.scr", compiled and run as the
// per-frame mission script for a few frames over a small world (symbols A
// and B name two ships). A run stops after a few thousand statements (the
// game's own budget is far larger), so that a loop without a wait costs
// little and the target keeps its pace. Script faults end in a message box,
// which here throws; whatever the script does, the run must stay inside the token and
// data buffers, the subroutine stack and the CALL_WHEN table, and a mission
// reset must bring the interpreter back to rest.
//
// Every input starts from the same state: the world is made anew (A and B
// whole, at their places, on a fresh clock and random sources, with the
// start-up symbols and script variables) and torn down after the run as a
// mission's is.
#include "framework/scene.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_world.h"
#include "script/interpreter.h"
#include "script/operands.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "world/pools.h"
#include "world/scenelist.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

using fuzz::Stopped;

constexpr int kFrames = 4;
constexpr uint32_t kStatementsPerInput = 2000;
uint32_t gStatements = 0;

// Also keeps the display windowed: after FULLSCREEN a script fault goes to
// the debugger output and ends the program, as the full-screen game does,
// where here it must end in the message box that throws.
void CountStatement(uint32_t, uint32_t)
{
    if (++gStatements > kStatementsPerInput)
        throw Stopped{};
    gSettings.fullScreen = 0;
}

// A new ship at x, named by the object symbol (made when missing).
void PlaceShip(const char* name, float x)
{
    SceneItem* item = NewSceneItem();
    InsertSceneItem(item, 0);
    AttachSim(item, nullptr);
    item->sim->radius = 100.0f;
    item->avatar->matrix.m[12] = x;
    item->avatar->matrix.m[10] = 1.0f;
    ScriptSymbol* symbol = FindScriptSymbol(name);
    if (!symbol)
        symbol = AddScriptSymbol(name, nullptr, 0);
    symbol->type = kSymbolSceneItem;
    SetSymbolObject(symbol, item);
}

// The symbols below the mark (the built-ins, A and B) and the script
// variables as start-up left them; a script may change both.
ScriptSymbol gStartSymbols[kSymbolCapacity];
ScriptVariables gStartVariables;

void MakeWorld()
{
    fuzz::StartWorld();
    PlaceShip("A", 0.0f);
    PlaceShip("B", 1000.0f);
}

bool Start()
{
    fuzz::StartScriptScratch({"zqk/resource/scripts/missions"});
    SetFatalStopHook(fuzz::ThrowOnFatalStop);
    SetStatementTraceHook(CountStatement);
    // The game's framework is up before any mission script runs: effect
    // statements give ships particle emitters with actors of their own.
    HxBegin();
    std::atexit([] { HxEnd(); });
    MakeWorld();
    MarkScriptBase();
    ResMark();
    std::copy_n(gSymbols.records, MarkedSymbolCount(), gStartSymbols);
    gStartVariables = gScriptVars;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool started = Start();
    (void)started;
    // What a script sets (language, console, display) is undone after its
    // run, so that every input runs as it would alone.
    static const Settings initialSettings = gSettings;
    std::copy_n(gStartSymbols, MarkedSymbolCount(), gSymbols.records);
    gScriptVars = gStartVariables;
    MakeWorld();
    fuzz::WriteFile("zqk/resource/scripts/missions/fuzz.scr", data, size);

    gStatements = 0;
    try {
        const ScriptToken* start = TokeniseScript("fuzz.scr");
        if (start) {
            uint32_t position = static_cast<uint32_t>(start - gScriptBuffers.tokens);
            for (int frame = 0; frame < kFrames; ++frame) {
                ++gFrameClock.frameCounter;
                gFrameClock.frameTicks = 40;
                RunScript(&position, true);
                if (position > gScriptBuffers.tokenCursor)
                    std::abort();
            }
        }
    } catch (const Stopped&) {
    }
    if (gInterpreter.depth < -1 || gInterpreter.depth >= kSubroutineDepth ||
        gInterpreter.callWhenCount > kCallWhenRows || gScriptBuffers.dataCursor > kDataCapacity)
        std::abort();
    gSettings = initialSettings;
    fuzz::TearDownWorld();
    if (gInterpreter.depth != -1 || gInterpreter.callWhenCount != 0)
        std::abort();
    return 0;
}
