// Headless runs of a script for developers: compile a script, run it as the
// game's per-frame mission script for a number of frames at a fixed tick
// step, and write a trace of the statements each frame ran.
//
// The trace has one line per statement: "<frame> <file>(<line>) <keyword>",
// with " (no handler)" for a keyword that the interpreter passes over, and
// one closing line "end <frame> stop <code> depth <depth>". With dumpShips a
// field dump of every ship in scene-list order follows (AppendShipDump).
// Script faults go through the message box as in the game; the caller's
// hook decides.
//
// Both kinds of run hold the mission as the game does: the 3D framework
// runs headless (no renderer, no display) for the shapes the mission
// registers and their collision shapes, and what the mission registers with
// the resource manager is released when the run ends, so that runs follow
// one another in one process. The scene list is left as the run ends, for
// the caller to read (when the run started the framework, the models of the
// parts are gone with it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ScriptRunOptions {
    const char* name = nullptr; // script name, looked up like the game's
    int frames = 100;
    int32_t ticks = 20;          // ticks per frame
    std::vector<int> skipFrames; // frames that start with a skip request
    int arrivalFrame = -1;       // frame that starts with an arrival...
    int32_t arrivalSystem = 0;   //   in this star system
    bool dumpShips = false;      // the ships' fields after the run
    // Flight mode: each frame steps the script, then the simulation frame
    // (with the ships' control routines), at a fixed frame time, with a
    // fixed random seed, until the mission is won or lost or `frames` have
    // run. Every `traceEvery` frames (0 never) a line per ship, with
    // `traceStatements` the statements as they run (the trace lines above),
    // with `dumpShips` the field dump once the flight ends, and last the
    // outcome: "SUCCESS", "FAILURE" or "running at frame N".
    bool flight = false;
    float frameSeconds = 1.0f / 60.0f;
    int traceEvery = 0;
    bool traceStatements = false;
    uint32_t seed = 1;
    void (*afterSetUp)() = nullptr; // run once the flight is set up (tests)
    // Run at the start of every frame, before the script (tests: what a
    // player does, such as closing a view or destroying a ship).
    void (*eachFrame)(int frame) = nullptr;
};

// One block per scene item with a ShipInfo, in list order: its symbol, type
// row, names, side, group and leader, rank and skill, sense, item and Sim
// flags, control routine and collision response, position, damage block,
// mass, flight model, its order slots, its targets (target, LDS-match ship,
// navigation target), its weapon mounts with their loads and its dock
// points; then one line for each other item with a Sim: its symbol, control
// routine, position and radius.
void AppendShipDump(std::string& out);

// A flight run (options.flight): appends its lines to `out`. False when the
// script cannot be opened.
bool FlyScriptRun(const ScriptRunOptions& options, std::string& out);

// Appends the trace to `trace` as it goes (so a fault keeps what ran before
// it). False when the script cannot be opened.
bool TraceScriptRun(const ScriptRunOptions& options, std::string& trace);
