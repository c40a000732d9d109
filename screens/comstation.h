// The command station "COM" and what the other stations share with it.
//
// COM reads documents and objectives, follows briefings, shows the local
// scene and the star map, browses the contact list and takes remote
// control of launched probes; its set-up binds the named elements of the
// screen script's layout. The contact rows, the target panel, the filter
// and sort labels, the scroll bar, the mouse readouts and the comms
// elements are bound by every station under its own letter ("C", "N",
// "W") or prefix ("Cm", "Nv", "Wp", "Eg"). Also the cockpit HUD of the
// viewed ship. Not here: the comms arm and message line themselves
// (screens/bridge.h), the contact list (ui/contacts.h).
#pragma once

#include <cstdint>

struct WindowHandle;
struct SceneItem;
struct HUD;

// The bridge's mouse origin that the station mouse readouts subtract.
extern int32_t gStationMouseOrigin[2];
// Set by the briefing button: the presentation is to end.
extern uint8_t gPresentationDone;

// Binds the COM screen's elements and creates the star-map panel.
void guiSetupComStation();

// The overlays: each closes the others first, so one is up at a time.
void guiToggleObjectivesView(WindowHandle* window);
void guiToggleLocalView(WindowHandle* window);
void guiToggleDocsView(WindowHandle* window);
void guiStartBriefing(WindowHandle* window);
// The star map, closing the other overlays when it opens.
void guiToggleStarMap(WindowHandle* window);

// The contact filter: 0 -> 1 -> 2 -> 7 -> 0.
void CycleContactFilter(WindowHandle* window);
// The filter and sort labels in the current language.
const char* ContactFilterLabel(int32_t filter);
const char* ContactSortLabel(int32_t sort);

// Contact row i (0-6) of a station: "Cd<letter><i>".
void guiBindContactRow(int32_t i, const char* letter);
void guiContactRowFrame(WindowHandle* window);
void guiContactRowClick(WindowHandle* window);
// The target panel: refreshed every 50 ticks, at once on a new contact.
void guiTargetPanelFrame(WindowHandle* window);
void guiContactScrollBarFrame(WindowHandle* window);
// Indicator buttons: their text points at a flag byte; redrawn on change.
void guiIndicatorFrame(WindowHandle* window);
// A station button that shows whether it is lit: its pressed picture when
// lit, else its released one; a text button without pictures is filled in
// the pressed colour while lit. It draws again every frame.
void guiDrawLampButton(WindowHandle* window, bool lit);
// The contact rows, panel, filter, sort and scroll bar of a station:
// "Cd<l>0".."Cd<l>6", "CInf<l>", "Cd<l>M", "Cd<l>Sor", "Cd<l>SBar".
void BindStationContacts(const char* letter);
// The comms elements of a station with the prefix ("Cm", "Nv", "Wp", "Eg").
void BindStationComms(const char* prefix);
// Frame handlers of the readouts: mouse x and y less the bridge's origin.
void guiMouseXFrame(WindowHandle* window);
void guiMouseYFrame(WindowHandle* window);

// A click in a station's 3D view: the item under the mouse becomes the
// current contact.
void guiViewClick(WindowHandle* window);
// A station's local 3D view: the viewer panel as its draw (a 3D view
// window), `guiViewClick` as its press, the given frame handler.
void BindLocalView(const char* elementName, void (*frameHandler)(WindowHandle*));
// Of all named items but the player's whose screen box widened by 8 holds
// the point, the nearest; null when none.
SceneItem* FindItemAtPoint(int32_t x, int32_t y);
// The name tag of a contact at the mouse.
WindowHandle* guiShowContactTag(SceneItem* item);
// Makes a pop-up label follow the pointer until a click lets it go: over a
// window that takes drops it is dropped there, else the click passes to
// the window beneath; it closes when the pointer leaves it.
void guiCarryLabel(WindowHandle* window);
// The item of the contact whose tag was dropped, or null.
SceneItem* DroppedContactItem(const WindowHandle* dropped);
// The element's hint text above the mouse.
WindowHandle* guiShowElementHint(WindowHandle* window);
// A ship's name, else the name of the item's script symbol; null when none.
const char* ItemDisplayName(const SceneItem* item);
// The name a contact tag shows for the item.
const char* ContactTagText(const SceneItem* item);

// The cockpit HUD of the viewed ship (the current contact's item, else
// the controlled item), registered in drawing order, and the two orbs of
// the flight HUD's orb windows.
void BuildCockpitHud();
// The two orbs BuildCockpitHud took (NAV's, its eye distance 6500; WEP's,
// 5500), or null.
extern HUD* gCockpitOrbs[2];
// The NAV and WEP scope windows, which show the first and second orb.
extern WindowHandle* gScopeWindows[2];
// Its seven trail elements and its component box, which the bridge keys
// hide; null until it has run.
constexpr int kCockpitTrailHuds = 7;
extern HUD* gCockpitTrailHuds[kCockpitTrailHuds];
extern HUD* gComponentBoxHud;
