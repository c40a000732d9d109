// Drawing a 3D view window: its sub-pixelmaps, the view from its viewing
// item, and the fixed order of render passes (sky clear, depth clear,
// nebula, stars, planets, objects with the sun flare, particles, HUD), each
// closed by a frame-profiler mark that bears its name.
#pragma once

#include <cstdint>

struct SceneItem;
struct WindowHandle;
struct ViewRect;

// Set by the code around a view for that view only.
extern uint8_t gTargetViewDrawing;    // the target camera's view is drawn: 45 degrees, no stars, particles or HUD
extern uint8_t gFullDepthClear;       // the next view clears its whole depth target
extern uint8_t g3DSuppressed;         // station overlays and the 3D viewer panel: only the clears are drawn
extern uint8_t gCockpitDisplayOption; // 2: the own ship is not drawn in the cockpit
extern uint8_t gWeaponViewOption;     // the weapon camera counts as the cockpit
extern int32_t gViewInterference;     // rows of the view jittered this frame, then 0

// Draws the window's view into its part of the screen when it has a
// viewing item; the sub-pixelmaps are freed on every path. A window off the
// screen draws nothing.
void RenderViewWindow(WindowHandle* window);
// The same with the main world drawn as edges.
void RenderViewWindowWireframe(WindowHandle* window);
// Draws the HUD element the window holds (an orb) into its part of the
// screen, projected straight from the eye with the scopes' projection
// distance (227.783 at the weapons station, else 345.244). Nothing when the
// window holds no element or the view has not started; the view's
// rectangle and projection are left as they were.
void RenderHudWindow(WindowHandle* window);
// The passes of one view, after PrepareView.
void RunRenderPasses(SceneItem* item, const ViewRect* viewport);
