// The bridge: stations, key handler, message line, comms film and views.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "system/raster.h"

#include "screens/comstation.h"
#include "screens/navstation.h"
#include "screens/wepstation.h"

struct WindowHandle;
struct FilmClip;
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
// Escape (the back step) goes on to the mission's end, as the end key
// does: the flight is over and cannot be taken up again (the mission
// failed or the player's ship is lost).
bool BackStepEndsMission();
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
// The three bridge fonts ("RFont", "GFont", "BFont") that the bridge's
// screen set-up loads; the objectives and the document browser draw in
// them. Null until loaded.
constexpr int kBridgeFonts = 3;
extern const RasterFont* gBridgeFonts[kBridgeFonts];
// The end of the flight goes straight to the debrief (mission-end state 2)
// instead of showing the player's ship first.
extern uint8_t gDebriefAtFlightEnd;

// The bridge's single values that the key handler and the stations keep
// and the HUD, the view and the weapons read.
extern uint8_t WingOrderPrefix; // the next order key addresses the wing; lasts one key
extern uint8_t OrbitViewByKey;  // the external view that the orbit key entered
extern uint8_t KeyListShown;    // the key-list picture is up
extern int16_t HudDebugPage;    // 0..2, the flight HUD's debug page
extern int16_t TrailsHidden;    // 0 or 1
extern int16_t AxisExchange;    // 0 or 1: two control axes exchanged
extern uint8_t gProfilerShown;  // the frame profiler's display
constexpr int16_t kStationOverview = 0;
constexpr int16_t kStationCom = 1;
constexpr int16_t kStationNav = 2;
constexpr int16_t kStationWep = 3;
constexpr int16_t kStationEng = 4;
constexpr int16_t kStationOptions = 5;

// Carries out one key (scan code in the high byte) through the key map.
void guiBridgeKeyHandler(uint16_t keyCode);
// Shows the key-list picture (from the overview it first goes to NAV).
void ShowKeyList();

// The one-line message line: guiDisplayMessage replaces whatever it shows
// by the text (cut to 79 characters) for `time` ticks; guiTickMessageLine,
// once a frame, returns the text to draw this frame (it blinks for its
// first 80 ticks) or null.
constexpr int kMessageLineText = 80;
struct MessageLine {
    char text[kMessageLineText];
    int32_t displayTime; // ticks
    int32_t startTime;   // game clock when it was set
};
constexpr const char* kIdleMessageText = "---------";
struct MessageLineState {
    MessageLine queue[1] = {};
    int16_t count = 0;
    const char* shown = kIdleMessageText; // the first record's text, or the idle text
    int32_t remaining = 0;                // ticks
    int32_t shownDisplayTime = 0;
    int32_t shownStartTime = 0;
    uint8_t newText = 0;
};
extern MessageLineState gMessageLine;
void guiDisplayMessage(const char* text, int32_t time);
const char* guiTickMessageLine();
// Back to the idle text with no queued record.
void ResetMessageLine();

// The station views and the station selectors. A refused selection does
// nothing at all.
void guiSelectComView(WindowHandle* window);
void guiSelectNavView(WindowHandle* window);
void guiSelectWepView(WindowHandle* window);
void guiSelectEngView(WindowHandle* window);
// From the overview as the view selectors; from a station the same
// without the sit-down film.
void guiSelectComStation();
void guiGoToNavStation();
void guiSelectWepStation();
void guiSelectEngStation();
// The options screen in flight: the simulation stands while it is up.
void guiGoToOptions();
void LeaveOptionsScreen();
// "OptExit": leaves the options screen when it was entered from flight.
void guiLeaveOptionsScreen(WindowHandle* window);
// The leave buttons of the four stations: back to the station's ahead view.
void guiLeaveComStation(WindowHandle* window);
void guiLeaveNavStation(WindowHandle* window);
void guiLeaveWepStation(WindowHandle* window);
void guiLeaveEngStation(WindowHandle* window);
// Draw type of a station view's backdrop: its ambient films, else its picture.
void guiDrawStationViewFilm(WindowHandle* window);
void guiSetupBridgeScreen();
void guiStatusLampFrame(WindowHandle* window);
extern WindowHandle* gBridgeRoot; // the "Bridge" screen's 3D view

constexpr int kStationViews = 12;
// The twelve station views in view-index order ("CMDStand" .. "ENGRgt").
extern const char* const kStationViewScreens[kStationViews];

// The bridge's own icon pictures, loaded once at registration with the
// contact and ship-class icons of screens/icons.h.
constexpr int kDriveLamps = 10;
constexpr int kWeaponSlotIcons = 13;
struct BridgeIcons {
    Bitmap* driveLamps[kDriveLamps];
    Bitmap* starMapMarker;
    Bitmap* weaponSlots[kWeaponSlotIcons];
    Bitmap* navCursor;
    uint8_t* navCursorRuns;
    int32_t weaponSlotState[8][4][2];
};
extern BridgeIcons gBridgeIcons;
// Registers the bridge's and the front end's screens.
void RegisterBridgeScreens();
void LoadBridgeIcons();

// A button's caption in English, French and German. The station layouts
// name their elements only; their set-ups give the buttons their captions,
// so that one layout serves the three languages.
struct ElementCaption {
    const char* element;
    const char* text[3];
};
// Gives an element of the current screen, or each of a table, its caption
// in the game's language.
// Each element's caption in the game's language.
void CaptionElements(std::span<const ElementCaption> captions);

// The comms arm, its speaker and the comms text area.
constexpr int kCommsPanelWidth = 368;
constexpr int kCommsPanelHeight = 168;
struct CommsArmState {
    std::vector<uint8_t> panel; // the screen under the arm
    FilmClip* armIn = nullptr;
    FilmClip* armOut = nullptr;
    uint8_t shownThisFrame = 0;
    int32_t speaker = -1;  // -1 none, 0..3 the crew of the four stations
    int32_t state = 0;     // 0 working, 1 listening, 2 talking
    int32_t hold = 4;      // counts down in the listening state
    int32_t nextClip = -1; // -1 none pending
    int32_t clip = -1;     // the clip shown, -1 none
    FilmClip* speakerClip = nullptr;
    // The arm is to come out afresh over the next screen: the screen change
    // closes its clips and, unless it was going in, brings it out there.
    uint8_t pending = 0;
};
extern CommsArmState gCommsArm;
void CloseCommsArm();
void guiDrawCommsArm(WindowHandle* window);
// The 3D view that shows a talking ship (not one of the crew) in the comms
// arm's speaker area on the current screen.
void MakeSpeakerView();
// The speaker by name: the crew of a station shows its picture, anyone
// else none (index -1).
void guiSetCommsSpeaker(const char* name);
// The picture of the talk at the right of the main view's text area while
// a conversation runs and no arm shows it; the width kept for it, else 0.
int32_t guiCommsTextAreaDraw(WindowHandle* window);
// The next clip of the speaker's clip table for its state.
int32_t ChooseSpeakerClip();
// The clip file of the speaker's clip table, or null.
const char* SpeakerClipName(int32_t speaker, int32_t clip);
void guiRemoteLink(WindowHandle* window);
void guiCycleRemoteCamera(WindowHandle* window);
void guiViewFrame(WindowHandle* window);
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
// The joystick hat's contact actions: at once, then again after 30 ticks
// of holding, then every frame.
void RepeatContactHatActions(uint32_t bits);
struct ContactHatState {
    uint32_t bits; // last frame's hat and button bits
    int32_t held;  // ticks they have been held
};
extern ContactHatState gContactHat;
// Points the 3D viewer at the current contact; at WEP it also becomes the
// weapons target.
void PointAtCurrentContact();
// A station is remembered for RestoreStationScreen.
bool StationSaved();
// Sim flag cleared whenever the player's weapons target changes.
constexpr uint32_t kSimTargetSettled = 0x10000;
// The item becomes the controlled ship's weapons target and, unless the
// ship is under an order, its navigation target.
void TakeAsWeaponsTarget(SceneItem* item);
void StartPlayerJump();
