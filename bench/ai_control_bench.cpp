// The AI control step: CONTROL_AI for 90 ships among 400 items, each stack
// running a three-step push-pop chain a frame (push a child, the child pops,
// the parent stays) through stub states, so that the dispatcher's own cost
// is measured.
#include <benchmark/benchmark.h>

#include <vector>

#include "ai/aistate.h"
#include "system/frameclock.h"
#include "world/pools.h"
#include "world/scenelist.h"
// Each benchmark is built from its one file, so the scenario is compiled in.
#include "tests/support/world_scenario.cpp"

namespace {

// Sub-state 1 pushes the child, 2 stays and starts again next frame.
AIStateResult* Parent(AIStateResult* result, SceneItem*, int16_t subState, float, int32_t*, int32_t,
                      int32_t, int32_t)
{
    if (subState == 1) {
        result->action = kAIPush;
        result->pushState = 9;
        result->nextSubState = 2;
    } else {
        result->action = kAIStay;
        result->nextSubState = 1;
    }
    return result;
}

AIStateResult* Child(AIStateResult* result, SceneItem*, int16_t, float, int32_t*, int32_t, int32_t,
                     int32_t)
{
    result->action = kAIPop;
    result->value = 0.5f;
    return result;
}

void BM_ControlAI90Of400(benchmark::State& state)
{
    worldscenario::BuildFlight(1, kMaxSceneItems - 1);
    LoadAIStateTable();
    gAIStates.handlers[1] = Parent;
    gAIStates.handlers[9] = Child;
    std::vector<SceneItem*> ships;
    for (SceneItem* item = gSceneList.next; item && item != &gSceneList && ships.size() < 90; item = item->next) {
        if (item == gPlayerItem || !item->sim)
            continue;
        if (!item->sim->shipInfo)
            item->sim->shipInfo = AllocShipInfo();
        ShipInfo* info = item->sim->shipInfo;
        if (!info)
            continue;
        ResetStateStack(info);
        info->stateStack[0].stateId = 1;
        info->stateStack[0].subState = 1;
        info->stateStack[0].timerSlot = 5;
        ships.push_back(item);
    }
    gFrameClock.frameTicks = 2;
    for (auto _ : state)
        for (SceneItem* ship : ships)
            CONTROL_AI(ship);
    state.counters["ships"] = static_cast<double>(ships.size());
    LoadAIStateTable();
}
BENCHMARK(BM_ControlAI90Of400)->Unit(benchmark::kMicrosecond);

} // namespace
