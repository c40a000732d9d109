// The window draw types that the window statements install.
//
// Each draw type paints its window into the screen canvas inside the
// rectangle guiWindowRect places, and draws nothing when the window is
// invisible. Meter styles and graphs set their redraw countdown again so
// they are drawn every frame.
#pragma once

#include <cstddef>
#include <cstdint>

struct WindowHandle;
struct Canvas;
struct SceneItem;

// The vessel kind's name in the current language ("CORVETTE" ... "RING"),
// also the category names of the mission status panel's kill tables; null
// outside kinds 0-18.
const char* ShipKindName(int32_t kind);

void guiDrawBoxWindow(WindowHandle* window);
void guiDrawRectWindow(WindowHandle* window);
void guiDrawRasterWindow(WindowHandle* window);
void guiDrawSwitchWindow(WindowHandle* window);
void guiDrawStringWindow(WindowHandle* window);
void guiDrawButtonWindow(WindowHandle* window);
void guiDrawTextWindow(WindowHandle* window);
void guiDrawVerticalBarWindow(WindowHandle* window);
void guiDrawHorizontalBarWindow(WindowHandle* window);
void guiDrawCentredVBarWindow(WindowHandle* window);
void guiDrawCentredHBarWindow(WindowHandle* window);
// Vertical bar inset by 2 in a frame of its own colour: 97 above 75 % of
// the maximum, 160 above 25 %, else 64.
void guiDrawLevelBarWindow(WindowHandle* window);
// The same the other way: 64 from 75 %, 160 from 50 %, else 97.
void guiDrawWarningBarWindow(WindowHandle* window);
void guiDrawNumberWindow(WindowHandle* window);
void guiDrawXYDeviationWindow(WindowHandle* window);
void guiDrawCheckBoxWindow(WindowHandle* window);
void guiDrawUpArrowWindow(WindowHandle* window);
void guiDrawDownArrowWindow(WindowHandle* window);
// One line of the contact list for the Contact row in the window's subject:
// label, class columns and range; the current contact highlighted.
void guiDrawCardWindow(WindowHandle* window);
// The card's range text of a distance in metres (a negative one is 0).
void guiFormatCardRange(double metres, char* buffer, std::size_t size);
// The contact list's scroll bar: its picture and the thumb over the lines
// shown; the thumb's ends are kept in value and maximum.
void guiDrawContactScrollBarWindow(WindowHandle* window);
// The order status line: scrolls its text, 64 while value is 9999.
void guiDrawTickerWindow(WindowHandle* window);
void guiDrawLoggerWindow(WindowHandle* window);
void guiDrawProfileWindow(WindowHandle* window);
void guiDrawVideoWindow(WindowHandle* window);
void guiDrawOverlayWindow(WindowHandle* window);
void guiDraw3DWindow(WindowHandle* window);
void guiDraw3DWireWindow(WindowHandle* window);

// The view of a target through the window's viewing item (a camera aimed
// at it): the remotely viewed item while the remote link is on, else the
// comms partner, else the current contact while it is a vessel of the
// class shown. Its name centred 15 pixels below the top in its class
// colour (47 for the comms partner). Without one, the no-signal picture
// (the window's up picture) at the corner.
void guiDrawTargetViewWindow(WindowHandle* window);
// The view from the remotely linked vessel with its HUD, the caption "REM"
// and an outline in 47.
void guiDrawRemoteViewWindow(WindowHandle* window);
// The cockpit: the view, the window's picture over it (colour 0 lets the
// view through) and, while it is active, the message log in its lower part.
void guiDrawCockpitViewWindow(WindowHandle* window);
// The line icon the window holds, turned by the viewer's orientation about
// the window's centre at the scale in value (0: 100) in the window colour
// (0: 97), clipped to the window.
void guiDrawVectorIconWindow(WindowHandle* window);
// Over the main view while the remote link is on and the message log is
// idle: "REMOTE LINK - '<name>'" in the highlight font, and while a docking
// alignment is measured "DOCK ALIGN - <alignment x 100>" 12 pixels lower.
void guiDrawRemoteLinkCaption(WindowHandle* window);
// The weapons ("WOrb") and navigation ("NOrb") scopes: by ScopeDisplayMode
// the orb the window holds (0), the target camera's view (1) or the
// energy-share gauge (2, and whatever the mode while left Ctrl is held),
// framed by the part of the screen-sized picture under the window, with a
// glow spot.
void guiDrawWeaponScopeWindow(WindowHandle* window);
void guiDrawNavScopeWindow(WindowHandle* window);
// The contact icon of an item by its class flags: 3 for 0x600, 2 for
// 0x100, 1 for 0x80, else 0.
int32_t guiContactIconIndex(const SceneItem* item);

// Three lines centred on (x, y): half the size wide, a quarter of the size
// above and below, the apex up or down.
void guiDrawUpTriangle(const Canvas& canvas, int16_t x, int16_t y, int16_t size, uint8_t colour);
void guiDrawDownTriangle(const Canvas& canvas, int16_t x, int16_t y, int16_t size, uint8_t colour);

// The target read-outs of the bridge stations. The panel describes the
// Contact row in its subject (a vessel, a missile or only its frame); the
// label and name lines show the SceneItem in their subject as their text.
void guiDrawTargetPanelWindow(WindowHandle* window);
void guiDrawTargetInfoWindow(WindowHandle* window);
void guiDrawTargetLabelWindow(WindowHandle* window);
void guiDrawTargetNameWindow(WindowHandle* window);
// The silhouette colour of a ship by its hull damage taken and maximum hull.
uint8_t guiHealthShade(int32_t taken, int32_t maximumHull);
// One repair team of the player's ship, team = the window's value (0-3).
void guiDrawRepairTeamWindow(WindowHandle* window);

// The down picture while the window's text is non-empty, else the up one.
void guiDrawIndicatorWindow(WindowHandle* window);
// The string type in the default font, the highlight font while hot.
void guiDrawHotTextWindow(WindowHandle* window);
// The rect type with its text centred at the top in 246.
void guiDrawTitledBoxWindow(WindowHandle* window);
// The button type; with kWindowOutlined a frame in 47 one pixel outside.
void guiDrawOutlinedButtonWindow(WindowHandle* window);
// A horizontal bar in the level gauge's colours.
void guiDrawLevelHBarWindow(WindowHandle* window);
// A triangle filling the window: 47, 250 when hot, 249 when pressed.
void guiDrawRightArrowWindow(WindowHandle* window);
void guiDrawLeftArrowWindow(WindowHandle* window);

// The ENG station: a layer button (layer = the window's value) drawn as a
// button, checked and framed in 64 while its layer is shown; the tab
// marker moved to the selected tab; one priority group's systems
// (group = the window's value) by health, the selected one framed.
void guiDrawEngToggleWindow(WindowHandle* window);
void guiDrawEngTabMarkerWindow(WindowHandle* window);
void guiDrawEngSystemListWindow(WindowHandle* window);

struct SceneItem;
// A row of 2 x 2 squares, 3 pixels from start to start, one per system of
// the ship's list from index first to last (0 and 0: all), coloured by
// health: 58 up to 0.2, 64 up to 0.5, 160 below 1, 97 at 1.
void guiDrawSystemHealthSquares(const Canvas& canvas, const SceneItem* ship, int32_t first, int32_t last, int16_t x,
                                int16_t y);
// The squares of the window's range (value to maximum) for the ship it
// shows, only when that ship is the player's.
void guiDrawSystemsHealthWindow(WindowHandle* window);
