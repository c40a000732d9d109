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
#include "framework/scene.h"
#include "fuzz/fuzz_support.h"
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

void AddShip(const char* name, float x)
{
    SceneItem* item = NewSceneItem();
    InsertSceneItem(item, 0);
    AttachSim(item, nullptr);
    item->sim->radius = 100.0f;
    item->avatar->matrix.m[12] = x;
    item->avatar->matrix.m[10] = 1.0f;
    ScriptSymbol* symbol = AddScriptSymbol(name, nullptr, 0);
    symbol->type = kSymbolSceneItem;
    SetSymbolObject(symbol, item);
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
    ResetSimulation();
    AddShip("A", 0.0f);
    AddShip("B", 1000.0f);
    MarkScriptBase();
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
    gLoopFlags = LoopFlags{};
    gSettings = initialSettings;
    ResetMissionScript();
    if (gInterpreter.depth != -1 || gInterpreter.callWhenCount != 0)
        std::abort();
    return 0;
}
