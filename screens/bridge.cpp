// The bridge: stations, key handler, message line, comms film and views.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "screens/bridge.h"

#include "system/calltrace.h"
#include "system/trace.h"
#include "ui/screens.h"
#include "view/cameras.h"

int16_t CurrentStation = 0;
int32_t ScopeDisplayMode = 0;
int32_t MissionEndState = 0;
uint8_t gCommsArmOpen = 0;
uint8_t gDocsViewOpen = 0;
uint8_t gObjectivesViewOpen = 0;
uint8_t gLocalViewOpen = 0;
uint8_t gScriptSkipRequest = 0;
uint8_t gFullScreenView = 0;
uint8_t gFreezeView = 0;
uint8_t gExternalView = 0;
uint8_t gPanelHold = 0;
uint8_t gDockingAligned = 0;
uint8_t gCollisionDamage = 0;
const RasterFont* gBridgeFonts[kBridgeFonts] = {};
SceneItem* gRemoteLinkItem = nullptr;
uint8_t gDebriefAtFlightEnd = 0;

void guiDisplayMessage(const char* text, int32_t time)
{
    RecordCall("guiDisplayMessage");
    char quoted[300];
    if (text && TraceOn())
        TraceLine("message", "%s", TraceQuoted(text, quoted, sizeof quoted));
}

void EndRemoteLink(int32_t ignored)
{
    RecordCall("EndRemoteLink");
}

void CloseCommsFilms()
{
    RecordCall("CloseCommsFilms");
}

void TickCommsFilm()
{
    RecordCall("TickCommsFilm");
}

void ClearCommandOverlays()
{
    RecordCall("ClearCommandOverlays");
}

void guiToggleCommsArm()
{
    RecordCall("guiToggleCommsArm");
    gCommsArmOpen = gCommsArmOpen ? 0 : 255;
}

void RepeatContactHatActions()
{
    RecordCall("RepeatContactHatActions");
}

void StartPlayerJump()
{
    RecordCall("StartPlayerJump");
}

namespace {

struct SavedStation {
    uint8_t saved;
    int16_t station;
    uint8_t externalView;
} gSavedStation;

} // namespace

void SaveStationScreen()
{
    if (gSavedStation.saved)
        return;
    gSavedStation = {1, CurrentStation, static_cast<uint8_t>(gExternalView ? 1 : 0)};
}

void RestoreStationScreen()
{
    if (!gSavedStation.saved) {
        if (gExternalView)
            EnterCockpitView();
        return;
    }
    static const char* const kStationScreens[] = {"COM", "NAV", "WEP", "ENG"};
    const int16_t station = gSavedStation.station >= 1 && gSavedStation.station <= 4 ? gSavedStation.station : 2;
    CurrentStation = station;
    guiGotoScreen(kStationScreens[station - 1]);
    if (gSavedStation.externalView)
        EnterExternalView();
    else
        EnterCockpitView();
    gSavedStation.saved = 0;
}

void RemoteLinkToLaunched(SceneItem* launched)
{
    RecordCall("RemoteLinkToLaunched");
}
