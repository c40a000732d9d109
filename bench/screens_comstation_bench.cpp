// A frame of the command station of the demo tree into a 640 x 480 memory
// screen: the layout script's windows with their set-up's routines, seven
// contact rows over ten contacts, the target panel showing the current
// contact, the comms arm closed. Two figures: a steady frame (the panel's
// countdown and the row frames only) and a frame that redraws every
// window. The budget is 1 ms of window work a frame.
#include <benchmark/benchmark.h>

#include "screens/bridge.h"
#include "screens/comstation.h"
#include "script/interpreter.h"
#include "script/scriptbase.h"
#include "script/symbols.h"
#include "script/tokenise.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "ui/contacts.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

constexpr int kWidth = 640, kHeight = 480;
constexpr int kContacts = 10;

void NoKeys(uint16_t) {}
void IgnoreBox(const char*, const char*) {}

RasterFont* SymbolFont(const char* name)
{
    const ScriptSymbol* s = FindScriptSymbol(name);
    return s && s->value ? static_cast<RasterFont*>(ResGet(static_cast<Resource*>(s->value))) : nullptr;
}

void RunFile(const char* name)
{
    const ScriptToken* start = TokeniseScript(name);
    if (!start)
        std::abort();
    uint32_t position = static_cast<uint32_t>(start - gScriptBuffers.tokens);
    RunScript(&position, false);
}

struct ComStation {
    std::vector<uint8_t> pixels = std::vector<uint8_t>(kWidth * kHeight, 0);
    uint8_t* address = pixels.data();

    ComStation()
    {
        gScreenMode.width = kWidth;
        gScreenMode.height = kHeight;
        gScreenMode.frameBuffer = &address;
        std::filesystem::current_path(std::filesystem::path(KV_SOURCE_DIR) / "data");
        SetMessageBoxHook(IgnoreBox);
        if (ResInit() == 0)
            std::abort();
        InitializeScriptSystem();
        InitMessageBuffer();
        ResetSimulation();
        guiResetWindowPool();
        guiRegisterScreen("COM", guiSetupComStation, NoKeys);
        ResetContactList();

        SceneItem* player = NewSceneItem();
        InsertSceneItem(player, 0);
        AttachSim(player, nullptr);
        gPlayerItem = gControlledItem = player;
        for (int i = 0; i < kContacts; ++i) {
            SceneItem* item = NewSceneItem();
            InsertSceneItem(item, 0);
            AttachSim(item, nullptr);
            AttachRootTDP(item);
            item->sim->shipInfo = AllocShipInfo();
            item->sim->shipInfo->name = "HALCYON";
            item->sim->shipInfo->damage.maximumHull = 100;
            item->avatar->classFlags = 0x4;
            item->sim->position = {0, 0, 5000.0 * (i + 1)};
            item->sim->matrix.m[14] = 5000.0f * static_cast<float>(i + 1);
        }
        gFrameClock.gameClock = 1000;
        gContacts.nextRefresh = gFrameClock.gameClock;
        UpdateContactList();
        gContacts.current = gContacts.visible[2];

        RunFile("zqk\\resource\\scripts\\init\\init.scr");
        gFontR = SymbolFont("RFont");
        gFontB = SymbolFont("BFont");
        RunFile("zqk\\resource\\scripts\\gui\\stations.gui");
        guiGotoScreen("COM");
        gCommsArmOpen = 0;
        gFrameClock.frameTicks = 3;
        guiRequestFullRedraw();
        guiUpdateScreen();
        guiUpdateScreen();
    }
};

ComStation& Station()
{
    static ComStation station;
    return station;
}

void BM_ComStationSteadyFrame(benchmark::State& state)
{
    Station();
    for (auto _ : state) {
        gFrameClock.gameClock += 3;
        guiUpdateScreen();
    }
    state.counters["pool_windows"] = gWindows.allocations; // the four stations' layouts
}
BENCHMARK(BM_ComStationSteadyFrame)->Unit(benchmark::kMicrosecond);

void BM_ComStationFullRedraw(benchmark::State& state)
{
    Station();
    for (auto _ : state) {
        gFrameClock.gameClock += 3;
        guiRequestFullRedraw();
        guiUpdateScreen();
    }
}
BENCHMARK(BM_ComStationFullRedraw)->Unit(benchmark::kMicrosecond);

} // namespace
