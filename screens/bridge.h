// The bridge: stations, key handler, message line, comms film and views.
#pragma once

#include <cstdint>

#include "screens/comstation.h"
#include "screens/navstation.h"
#include "screens/wepstation.h"

struct WindowHandle;
struct SceneItem;
struct RasterFont;

extern int16_t CurrentStation; // 0 overview, 1 COM, 2 NAV, 3 WEP, 4 ENG, 5 options
// What the weapons and navigation scopes show: 0 the orb, 1 the target
// camera's view, 2 the energy-share gauge.
extern int32_t ScopeDisplayMode;
// The mission's end: in flight, the flight over (the director shows the
// player's ship), the debrief. The outcome statements and the end key move
// it on (script/missionoutcome.h).
extern int32_t MissionEndState;
enum : int32_t {
    kMissionInFlight = 0,
    kMissionFlightOver = 1,
    kMissionDebrief = 2,
};
extern uint8_t gCommsArmOpen;       // the comms arm is out
extern uint8_t gDocsViewOpen;       // the documents, objectives and local views stop
extern uint8_t gObjectivesViewOpen; // the simulation frame and the script's timed waits
extern uint8_t gLocalViewOpen;      // while open
extern uint8_t gScriptSkipRequest;  // skip request of the script waits
extern uint8_t gFullScreenView;
extern uint8_t gFreezeView;
extern uint8_t gExternalView;
extern uint8_t gPanelHold;         // the bridge panels' hold
extern uint8_t gDockingAligned;    // raised by the docking alignment
extern uint8_t gCollisionDamage;   // the collision-damage option
extern SceneItem* gRemoteLinkItem; // the item under remote control, if any
// The three bridge fonts that the bridge's screen set-up loads; the
// objectives and the document browser draw in them. Null until loaded.
constexpr int kBridgeFonts = 3;
extern const RasterFont* gBridgeFonts[kBridgeFonts];
// The end of the flight goes straight to the debrief (mission-end state 2)
// instead of showing the player's ship first.
extern uint8_t gDebriefAtFlightEnd;

void guiBridgeKeyHandler(uint16_t keyCode);
void guiDisplayMessage(const char* text, int32_t time);
void EndRemoteLink(int32_t ignored);
// The station to come back to: SaveStationScreen keeps the current station
// and whether the external view was up, once (a later save keeps the first);
// RestoreStationScreen goes back to them (a station outside 1-4 is NAV) and
// forgets them. With nothing saved it only leaves the external view.
void SaveStationScreen();
void RestoreStationScreen();
// The player takes remote control of a just-launched probe or missile.
void RemoteLinkToLaunched(SceneItem* launched);
void CloseCommsFilms();
void TickCommsFilm();
void ClearCommandOverlays();
void guiToggleCommsArm();
void RepeatContactHatActions();
void StartPlayerJump();
