// Headless traced script runs. See scriptrun.h.
#include "script/scriptrun.h"

#include "ai/aistate.h"
#include "ai/combat.h"
#include "ai/docking.h"
#include "ai/orders.h"
#include "framework/scene.h"
#include "screens/bridge.h"
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/shiptypes.h"
#include "script/scriptbase.h"
#include "script/scriptdump.h"
#include "script/scriptfiles.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "view/viewstart.h"
#include "world/playerinput.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"
#include "world/simframe.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

std::string* gTrace = nullptr;
int gFrame = 0;

const char* BaseName(const char* path)
{
    const char* base = path;
    for (const char* at = path; *at; ++at)
        if (*at == '\\' || *at == '/')
            base = at + 1;
    return base;
}

void TraceStatement(uint32_t position, uint32_t id)
{
    const char* keyword = KeywordName(id);
    if (!gTrace || !keyword || id == kw::LINE)
        return;
    const ScriptToken* marker = FindLineEndMarker(position);
    const char* file = marker ? BaseName(ScriptNameAt(marker[1].value)) : "?";
    const unsigned line = marker ? marker->value + 1 : 0;
    char text[160];
    std::snprintf(text, sizeof text, "%d %s(%u) %s%s\n", gFrame, file, line, keyword,
                  FindStatementHandler(id) ? "" : " (no handler)");
    *gTrace += text;
}

// Ends the trace's hold on the interpreter however the run ends.
struct TraceScope {
    explicit TraceScope(std::string& trace)
    {
        gTrace = &trace;
        SetStatementTraceHook(TraceStatement);
    }
    ~TraceScope()
    {
        SetStatementTraceHook(nullptr);
        gTrace = nullptr;
    }
};

// What a run's mission holds, taken as a mission takes it and handed back
// at the end of the run. The mission's shapes load into the 3D framework,
// begun headless (its scene layer only: no renderer, no display), and each
// shape's collision shape is read with it. What the mission registers with
// the resource manager is released at the end, as a mission's end releases
// it, before the framework frees the models those records point at: the
// next run loads its own.
struct MissionScope {
    bool begun = false;
    MissionScope()
    {
        ResMark();
        begun = HxBegin() == HX_OK;
        if (begun)
            InstallFindHooks();
    }
    ~MissionScope()
    {
        ResReleaseToMark();
        if (begun)
            HxEnd();
    }
    MissionScope(const MissionScope&) = delete;
    MissionScope& operator=(const MissionScope&) = delete;
};

void StartFrame(int32_t ticks)
{
    ++gFrameClock.frameCounter;
    gFrameClock.rawFrameTicks = ticks;
    gFrameClock.frameTicks = ticks;
    gFrameClock.frameSeconds = static_cast<float>(ticks) / 100.0f;
    gFrameClock.gameClock += static_cast<uint32_t>(ticks);
}

// Names of the routines a ship can hold, for the dump.
template <typename Function>
struct NamedRoutine {
    Function function;
    const char* name;
};

template <typename Function, size_t N>
const char* RoutineName(Function function, const NamedRoutine<Function> (&table)[N])
{
    if (!function)
        return "none";
    for (const auto& row : table)
        if (row.function == function)
            return row.name;
    return "other";
}

const NamedRoutine<ItemFunction> kControlRoutines[] = {
    {CONTROL_AI, "CONTROL_AI"},
    {CONTROL_MAIN, "CONTROL_MAIN"},
    {CONTROL_FREE, "CONTROL_FREE"},
};
const NamedRoutine<CollisionResponse> kResponses[] = {
    {CollideShips, "CollideShips"},
    {ProjectileHit, "ProjectileHit"},
};
const NamedRoutine<OrderEvaluator> kEvaluators[] = {
    {EvalDefault, "EvalDefault"},
    {EvalSelfPreservation, "EvalSelfPreservation"},
    {EvalDockWhenClose, "EvalDockWhenClose"},
    {EvalPullOut, "EvalPullOut"},
    {EvalSeekAndDestroy, "EvalSeekAndDestroy"},
    {EvalStayNear, "EvalStayNear"},
    {EvalProvokedAttack, "EvalProvokedAttack"},
    {EvalAcquire, "EvalAcquire"},
    {EvalDefendObject, "EvalDefendObject"},
    {EvalSentryDuty, "EvalSentryDuty"},
    {EvalDestroyIfTarget, "EvalDestroyIfTarget"},
    {EvalWaitForTrouble, "EvalWaitForTrouble"},
    {EvalCheckLDA, "EvalCheckLDA"},
    {EvalDefendMothership, "EvalDefendMothership"},
    {EvalHullAbove, "EvalHullAbove"},
    {EvalNearestHostile, "EvalNearestHostile"},
};

const char* SymbolName(const SceneItem* item)
{
    return item && item->symbol && item->symbol->name ? item->symbol->name : "-";
}

} // namespace

void AppendShipDump(std::string& out)
{
    ForEachSceneItem([&](SceneItem* item) {
        const ShipInfo* info = item->sim ? item->sim->shipInfo : nullptr;
        if (!info)
            return true;
        const Sim& sim = *item->sim;
        const Avatar& avatar = *item->avatar;
        const char* row = info->kind >= 0 && info->kind < kShipTypeCount ? kShipTypes[info->kind].displayName : "?";
        AppendListing(out, "ship %s kind %d (%s) name \"%s\" short \"%s\"\n", SymbolName(item), info->kind, row,
                      info->name ? info->name : "", info->shortName ? info->shortName : "");
        AppendListing(out, "  side %d group %d leader %s leaderflag %d rank %d skill %d\n", info->side, info->group,
                      SymbolName(info->leader), (info->flags & kShipGroupLeader) ? 1 : 0, info->rank, info->skill);
        AppendListing(out,
                      "  sense 0x%08x item 0x%04x sim 0x%08x tail %d control %s collision %s byte %d marker %d\n",
                      avatar.classFlags, static_cast<uint16_t>(item->flags), sim.flags,
                      (item->flags & kItemTailGroup) ? 1 : 0, RoutineName(item->control, kControlRoutines),
                      RoutineName(avatar.collision, kResponses), static_cast<int>(avatar.responseOrder),
                      static_cast<int>(avatar.colour));
        AppendListing(out, "  position %.1f %.1f %.1f drift %.1f %.1f spool %d clock %d %d\n", sim.position.x,
                      sim.position.y, sim.position.z, static_cast<double>(item->pitchDemand),
                      static_cast<double>(item->yawDemand), sim.ldsSpool, sim.countdown, sim.clockPeriod);
        AppendListing(out, "  axes %.3f %.3f %.3f / %.3f %.3f %.3f / %.3f %.3f %.3f\n", sim.matrix.m[0], sim.matrix.m[1],
                      sim.matrix.m[2], sim.matrix.m[4], sim.matrix.m[5], sim.matrix.m[6], sim.matrix.m[8],
                      sim.matrix.m[9], sim.matrix.m[10]);
        AppendListing(out, "  armour %d hull %d mass %.1f lds %.0f %.0f\n", info->damage.armour,
                      info->damage.maximumHull, static_cast<double>(sim.mass), static_cast<double>(info->ldsReach[0]),
                      static_cast<double>(info->ldsReach[1]));
        const FlightModel& flight = sim.flightModel ? *sim.flightModel : info->flightModel;
        AppendListing(out, "  flight %s accel %.3f rates %.3f %.3f %.3f\n",
                      sim.flightModel == &info->flightModel ? "own" : "other", static_cast<double>(flight.acceleration),
                      static_cast<double>(flight.rollRate), static_cast<double>(flight.pitchRate),
                      static_cast<double>(flight.yawRate));
        AppendListing(out, "  orders current %d\n", info->currentOrder);
        for (int i = 0; i < kOrderSlots; ++i) {
            const OrderSlot& slot = info->orders[i];
            if (!slot.name && !slot.evaluator)
                continue;
            AppendListing(out, "    slot %d \"%s\" weight %d %s %d %d state %d %d %d %d\n", i, slot.name ? slot.name : "",
                          slot.weight, RoutineName(slot.evaluator, kEvaluators), slot.parameter1, slot.parameter2,
                          slot.stateId, slot.stateParameters[0], slot.stateParameters[1], slot.stateParameters[2]);
        }
        AppendListing(out, "  targets %s %s %s\n", SymbolName(sim.target.Get()), SymbolName(sim.secondTarget.Get()),
                      SymbolName(sim.navTarget.Get()));
        int n = 1;
        for (const Weapon* w = sim.weapons; w; w = w->next, ++n)
            AppendListing(out, "  weapon %d kind %d flags 0x%x load %d %d %d charges %.1f system %s\n", n, w->kind,
                          w->flags, w->rounds, w->magazineSize, w->magazines, static_cast<double>(w->charges),
                          w->system && w->system->names[0] ? w->system->names[0] : "-");
        n = 0; // dock points are numbered from 0, mounts from 1, as the statements number them
        for (const DockPoint* p = info->dockPoints; p; p = p->next, ++n)
            AppendListing(out, "  dock %d flags 0x%x mask %u kind %d model %s partner %s\n", n, p->flags, p->mask,
                          p->kind, p->mergeModel ? "yes" : "none", SymbolName(p->partnerItem.Get()));
        return true;
    });
    // The other simulated items (planets, waypoints, wrecks, shots), one line
    // each after the ships.
    ForEachSceneItem([&](SceneItem* item) {
        if (!item->sim || item->sim->shipInfo)
            return true;
        const Sim& sim = *item->sim;
        AppendListing(out, "item %s control %s position %.1f %.1f %.1f radius %.1f\n", SymbolName(item),
                      RoutineName(item->control, kControlRoutines), sim.position.x, sim.position.y, sim.position.z,
                      static_cast<double>(sim.radius));
        return true;
    });
}

bool TraceScriptRun(const ScriptRunOptions& options, std::string& trace)
{
    ResetSimulation();
    ResetMissionScript();
    gFrameClock = FrameClock{};
    gLoopFlags = LoopFlags{};
    gScriptSkipRequest = 0;
    MissionScope mission;

    const ScriptToken* start = TokeniseScript(options.name);
    if (!start)
        return false;
    uint32_t position = static_cast<uint32_t>(start - gScriptBuffers.tokens);

    // An arrival needs the player's ship.
    if (options.arrivalFrame >= 0) {
        SceneItem* player = NewSceneItem();
        if (player) {
            InsertSceneItem(player, 0);
            AttachSim(player, nullptr);
            gPlayerItem = player;
        }
    }

    TraceScope scope(trace);
    int32_t stop = 0;
    for (gFrame = 0; gFrame < options.frames; ++gFrame) {
        StartFrame(options.ticks);
        if (std::find(options.skipFrames.begin(), options.skipFrames.end(), gFrame) != options.skipFrames.end())
            gScriptSkipRequest = 255;
        if (gFrame == options.arrivalFrame) {
            gScriptMission.arrivalPending = 255;
            gScriptMission.arrivalSystem = options.arrivalSystem;
        }
        stop = RunScript(&position, true);
    }
    char text[96];
    std::snprintf(text, sizeof text, "end %d stop %d depth %d\n", gFrame, static_cast<int>(stop),
                  static_cast<int>(gInterpreter.depth));
    trace += text;
    if (options.dumpShips)
        AppendShipDump(trace);
    return true;
}

namespace {

// One trace line per ship: name, position, hull, the top AI state with its
// parameters, the weapons' charges.
void AppendFlightTrace(std::string& out, int frame)
{
    ForEachSceneItem([&](SceneItem* item) {
        const ShipInfo* info = item->sim ? item->sim->shipInfo : nullptr;
        if (!info)
            return true;
        const Sim& sim = *item->sim;
        const int32_t current = info->currentFrame >= 0 && info->currentFrame < kAIStackFrames ? info->currentFrame : 0;
        const AIStateFrame& top = info->stateStack[current];
        AppendListing(out, "%d %s at %.1f %.1f %.1f hull %d state %d %d %d %d weapons", frame, SymbolName(item),
                      sim.position.x, sim.position.y, sim.position.z, sim.hull, top.stateId, top.parameter1,
                      top.parameter2, top.parameter3);
        for (const Weapon* w = sim.weapons; w; w = w->next)
            AppendListing(out, " %d", w->charge);
        out += "\n";
        return true;
    });
}

} // namespace

bool FlyScriptRun(const ScriptRunOptions& options, std::string& out)
{
    ResetSimulation();
    ResetMissionScript();
    gFrameClock = FrameClock{};
    gLoopFlags = LoopFlags{};
    gScriptSkipRequest = 0;
    CRandSeed(options.seed);
    LoadAIStateTable();
    MissionScope mission;

    const ScriptToken* start = TokeniseScript(options.name);
    if (!start)
        return false;
    uint32_t position = static_cast<uint32_t>(start - gScriptBuffers.tokens);
    if (options.afterSetUp)
        options.afterSetUp();
    std::optional<TraceScope> statements;
    if (options.traceStatements)
        statements.emplace(out);

    // Whole ticks a frame, the fraction carried, so that the clock keeps the
    // fixed frame time on average.
    const double hundredths = options.frameSeconds > 0.0f ? options.frameSeconds * 100.0 : 0.0;
    double carry = 0.0;
    const char* outcome = nullptr;
    for (gFrame = 0; gFrame < options.frames && !outcome; ++gFrame) {
        carry += hundredths;
        const auto ticks = static_cast<int32_t>(carry);
        carry -= ticks;
        StartFrame(ticks);
        if (options.eachFrame)
            options.eachFrame(gFrame);
        RunScript(&position, true);
        if (SimulationRuns())
            RunSimulationFrame();
        // What the view would draw: the conditions read drawn positions.
        ForEachSceneItem([](SceneItem* item) {
            if (item->avatar && item->avatar->renderSync)
                item->avatar->renderSync(item);
            return true;
        });
        if (options.traceEvery > 0 && gFrame % options.traceEvery == 0)
            AppendFlightTrace(out, gFrame);
        if (gScriptMission.missionSucceeded)
            outcome = "SUCCESS";
        else if (gScriptMission.missionFailed)
            outcome = "FAILURE";
    }
    if (options.dumpShips)
        AppendShipDump(out);
    if (outcome) {
        out += outcome;
        out += "\n";
    } else {
        char text[48];
        std::snprintf(text, sizeof text, "running at frame %d\n", gFrame);
        out += text;
    }
    return true;
}
