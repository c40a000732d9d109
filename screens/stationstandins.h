// Entry points of the station screens, the engineering panel and the 3D
// viewer panel that the bridge calls and that are not built
// yet. Stand-in bodies (stationstandins.cpp) only record their calls; each
// moves to its own module when that module lands.
#pragma once

#include <cstdint>

struct WindowHandle;
struct SceneItem;
struct HUD;

// Station set-ups: bind the named elements of the station's layout.
void guiSetupComStation();
void guiSetupNavStation();
void guiSetupWepStation();
void guiSetupEngStation();

// The NAV station's orders and drive.
void CommandOrder(int32_t row); // row of the vessel-order table
void guiCancelOrder(WindowHandle* window);
void SelectDriveModeOne();
void CycleDriveMode();
void guiToggleLds(WindowHandle* window);
void guiUndock(WindowHandle* window);
void guiSeparateCommandSection(WindowHandle* window);

// The contact list's class filter (COM station).
void CycleContactFilter(WindowHandle* window);

// The WEP station's weapons.
void guiFireCurrentMount(WindowHandle* window);
void guiToggleRippleFire(WindowHandle* window);
void guiToggleTrackMode(WindowHandle* window);

// The engineering panel's selection and repair teams.
void PrevSystem(WindowHandle* window);
void NextSystem(WindowHandle* window);
void PrevSystemInGroup();
void NextSystemInGroup();
void PrevGroupSystem();
void NextGroupSystem();
void AssignSystemToTeam(int32_t team); // the selected system to repair team 0-3

// The 3D viewer panel's camera looks at the item.
void SetViewerTarget(SceneItem* item);

// The cockpit HUD's elements that the bridge keys hide: the seven trail
// elements and the component box; null until the cockpit HUD is built.
constexpr int kCockpitTrailHuds = 7;
extern HUD* gCockpitTrailHuds[kCockpitTrailHuds];
extern HUD* gComponentBoxHud;
