// The contact list's refresh over a full scene list (400 items: the player
// and 399 ships, missiles and bodies around it), and one flight HUD frame
// with five incoming missiles and both degree tapes, drawn into a 640 x 480
// 8-bit screen. The targets are under 0.2 ms each in the release build.
#include <benchmark/benchmark.h>

#include <vector>

#include "framework/pixelmap.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/rasterfont.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "ui/hudframe.h"
#include "ui/messagelog.h"
#include "view/viewstate.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"
#include "world/simframe.h"

namespace {

constexpr int kItems = 400;

SceneItem* Item(uint32_t classFlags, float x, float y, float z)
{
    SceneItem* item = NewSceneItem();
    AttachSim(item, nullptr);
    InsertSceneItem(item, 0);
    AttachRootTDP(item);
    MatIdentity(item->sim->matrix);
    item->sim->matrix.m[12] = x;
    item->sim->matrix.m[13] = y;
    item->sim->matrix.m[14] = z;
    item->sim->position = {x, y, z};
    item->sim->radius = 2000;
    item->sim->signature = 100;
    item->avatar->classFlags = classFlags;
    return item;
}

// The player at the origin and the rest of the pool around it: ships of
// four sides, missiles aimed at the player, named bodies.
SceneItem* FillScene()
{
    ResetSimulation();
    ResetContactList();
    SceneItem* player = Item(0x80, 0, 0, 0);
    player->sim->shipInfo = AllocShipInfo();
    player->sim->shipInfo->kind = 7;
    player->sim->flightModel = &player->sim->shipInfo->flightModel;
    player->sim->flightModel->topSpeed = 10000;
    gPlayerItem = gControlledItem = player;
    static const uint32_t kinds[] = {0x4 | 0x40, 0x4 | 0x80, 0x4 | 0x100, 0x4 | 0x200, 0x10, 0x400000};
    for (int i = 1; i < kItems; ++i) {
        const float f = float(i);
        SceneItem* item = Item(kinds[i % 6], (i % 20 - 10) * 4e5f, (i / 20 - 10) * 3e5f, 1e6f + f * 2e4f);
        if (kinds[i % 6] == 0x10)
            item->sim->target = player;
    }
    return player;
}

void BM_ContactRefreshOver400Items(benchmark::State& state)
{
    FillScene();
    gContacts.sortMode = 2;
    for (auto _ : state) {
        gContacts.nextRefresh = gFrameClock.gameClock;
        UpdateContactList();
    }
    state.counters["rows"] = gContacts.rowsUpdated;
    state.counters["visible"] = gContacts.visibleCount;
    ResetContactList();
    ResetSimulation();
}
BENCHMARK(BM_ContactRefreshOver400Items)->Unit(benchmark::kMicrosecond);

void BM_FlightHudFrameWithMissilesAndTapes(benchmark::State& state)
{
    SceneItem* player = FillScene();
    gContacts.nextRefresh = gFrameClock.gameClock;
    UpdateContactList();

    // A font of solid 6 x 8 glyphs.
    static uint8_t glyphPixels[6 * 8];
    std::fill(std::begin(glyphPixels), std::end(glyphPixels), uint8_t(255));
    static Raster glyph{glyphPixels, 6, 8, 0, 7};
    static RasterFont font{};
    font.height = 8;
    for (int c = 0; c < kFontChars; ++c) {
        font.widths[c] = 7;
        font.glyphs[c] = &glyph;
    }
    RasterFont* savedFont = gFontV;
    gFontV = &font;

    std::vector<uint8_t> screen(640 * 480);
    uint8_t* pixels = screen.data();
    const DisplayMode savedMode = gScreenMode;
    gScreenMode.width = 640;
    gScreenMode.height = 480;
    gScreenMode.depth = 8;
    gScreenMode.frameBuffer = &pixels;
    gView.pixelType = HX_PMT_INDEX_8;
    gView.viewport = {0, 0, 639, 479};
    gHud.visible = 255;
    gFrameClock.gameClock = 12345;
    player->sim->ldsTargetSpeed = 5000;
    player->sim->localVelocity.z = 3000;

    SceneItem* missiles[5];
    int n = 0;
    for (SceneItem* item = gSceneList.next; item != &gSceneList && n < 5; item = item->next)
        if (item->avatar->classFlags == 0x10)
            missiles[n++] = item;
    for (auto _ : state) {
        for (int i = 0; i < n; ++i)
            RegisterIncomingMissile(missiles[i], 5e6f + 1e6f * float(i));
        DrawFlightHudFrame();
    }
    state.counters["missiles"] = n;

    gScreenMode = savedMode;
    gFontV = savedFont;
    ResetContactList();
    ResetSimulation();
}
BENCHMARK(BM_FlightHudFrameWithMissilesAndTapes)->Unit(benchmark::kMicrosecond);

} // namespace
