// Shared fixture of the interpreter tests: a fresh mission state and world
// per test, message boxes that throw, scripts compiled from text, and a
// fake frame clock that steps one frame at a time.
#pragma once

#include "../script/script_test_support.h"

#include "screens/bridge.h"
#include "script/interpreter.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/scenelist.h"
#include "world/simframe.h"

#include <string>

class InterpTest : public ScriptTest {
protected:
    void SetUp() override
    {
        ScriptTest::SetUp();
        SetFatalStopHook([](const char* text) { throw ScriptStop{"fatal", text}; });
        gFrameClock = FrameClock{};
        gLoopFlags = LoopFlags{};
        gScriptSkipRequest = 0;
        gScriptCountdown = 0;
        gInterpreter.missionPause = 0;
        ResetSimulation();
    }

    void TearDown() override
    {
        SetFatalStopHook(nullptr);
        ScriptTest::TearDown();
    }

    // Compiles a mission script from text; its first token's position.
    uint32_t Compile(const std::string& text, const std::string& name = "test.scr")
    {
        WriteMission(name, text);
        ScriptToken* start = TokeniseScript(name.c_str());
        EXPECT_NE(start, nullptr);
        return start ? static_cast<uint32_t>(start - gScriptBuffers.tokens) : kNoScriptPosition;
    }

    // One frame of the game: the clock advances, the per-frame run follows.
    int32_t Frame(uint32_t& position, int32_t ticks = 20)
    {
        ++gFrameClock.frameCounter;
        gFrameClock.frameTicks = ticks;
        gFrameClock.rawFrameTicks = ticks;
        return RunScript(&position, true);
    }

    // Runs the statements of `text` once, as a mission script's first run;
    // the position where the run stopped.
    uint32_t Run(const std::string& text)
    {
        uint32_t position = Compile(text + "\nEND\n");
        RunScript(&position, false);
        return position;
    }

    // The box of the script stop (a syntax error) that running `text` ends
    // with; empty when it runs through.
    ScriptStop RunUntilStop(const std::string& text)
    {
        try {
            Run(text);
        } catch (const ScriptStop& stop) {
            return stop;
        }
        return {};
    }

    // Runs frames until the run throws a script stop; its box.
    ScriptStop FramesUntilStop(uint32_t& position, int frames = 50)
    {
        try {
            for (int i = 0; i < frames; ++i)
                Frame(position);
        } catch (const ScriptStop& stop) {
            return stop;
        }
        return {};
    }

    // A number symbol's value (0 when there is none).
    static int32_t Number(const char* name)
    {
        const ScriptSymbol* symbol = FindScriptSymbol(name);
        return symbol ? SymbolIntegerValue(symbol) : 0;
    }
};
