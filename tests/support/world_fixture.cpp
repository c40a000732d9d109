// Shared fixture of the world tests.
#include "tests/support/world_fixture.h"

#include "screens/bridge.h"
#include "system/calltrace.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/profiler.h"
#include "world/scenelist.h"
#include "view/cameras.h"
#include "view/viewstart.h"
#include "world/simframe.h"

namespace worldtest {

namespace {
std::vector<std::string> gStops;
void RecordStop(const char* text) { gStops.emplace_back(text); }
} // namespace

const std::vector<std::string>& FatalStops() { return gStops; }
void ClearFatalStops() { gStops.clear(); }

SceneItem* MakeItem(ItemFunction perFrame, ItemFunction control, ItemFunction message,
                    int16_t flags)
{
    SceneItem* item = NewSceneItem();
    if (!item)
        return nullptr;
    InsertSceneItem(item, flags);
    AttachSim(item, perFrame);
    SetControlFunction(item, control);
    if (message)
        SetMessageFunction(item, message);
    AttachRootTDP(item);
    return item;
}

ShipInfo* MakeShip(SceneItem* item)
{
    ShipInfo* info = AllocShipInfo();
    item->sim->shipInfo = info;
    InitFlightModel(&info->flightModel, 100, 10, 10, 1e6f, 30, 30, 30, 100);
    info->baseFlightModel = info->flightModel;
    info->skill = 50;
    item->sim->flightModel = &info->flightModel;
    return info;
}

void SetFrameStep(int32_t ticks)
{
    gFrameClock.frameTicks = ticks;
    gFrameClock.frameSeconds = static_cast<float>(ticks) / 100.0f;
}

void RunFrame(int32_t ticks)
{
    SetFrameStep(ticks);
    gFrameClock.gameClock += static_cast<uint32_t>(ticks);
    RunSimulationFrame();
}

void WorldTest::SetUp()
{
    SetFatalStopHook(RecordStop);
    gStops.clear();
    gFrameClock = FrameClock{};
    gFrameClock.frameTicks = 5;
    gFrameClock.frameSeconds = 0.05f;
    gLoopFlags = LoopFlags{};
    ResetSimulation();
    ResetValueRecorders();
    gMissionTimeLimit = {};
    gScriptWaitCountdown = gScriptCountdown = gScriptCountdownSeconds = 0;
    gStockDialogueTimer = 0;
    gStockDialogueRequest = 0;
    gSimHold = gSimHoldException = gSimSuspend = 0;
    gDirectorHold = 0;
    gStopSimulationPass = 0;
    gFullScreenView = gFreezeView = 0;
    gDirectorOn = 0;
    gRebuild3D = 0;
    CurrentStation = 0;
    ClearCallTrace();
    EnableCallTrace(true);
}

void WorldTest::TearDown()
{
    EnableCallTrace(false);
    ClearCallTrace();
    ResetSimulation();
    SetFatalStopHook(nullptr);
}

} // namespace worldtest
