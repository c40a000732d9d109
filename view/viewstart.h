// The 3D view layer's start and end, its standard materials, the colour
// and depth pixelmaps of the 3D view windows, and the per-frame view.
#pragma once

#include <cstdint>

struct SceneItem;
struct WindowHandle;
struct hx_material;

struct ViewRect {
    int32_t left, top, right, bottom;
};

extern uint8_t gScreenClearColour;       // palette index the render passes clear with; others set it for one frame to flash
extern float gProjectionDistance;        // of the current view: half the viewport height / tan(field of view / 2)
extern uint8_t gRebuild3D;               // the 3D worlds are to be rebuilt (255 after start-up and FreeP3DWorlds)
extern float gLodThresholds[3];          // level of detail: one-point, full, hysteresis (apparent sizes)
extern hx_material* gPlanetMaterials[6]; // the standard materials "planet1" .. "planet6"
extern uint8_t gTextureReport;           // each texture loaded on demand is reported to the debug output

// Starts the view layer. The first run after program start (or after
// ShutdownP3D) begins the framework and its renderer over the display
// canvas and makes the pixelmaps, find hooks, standard materials and
// effect models; every run resets the view state and finds the shade
// table again, so a second start-up adds nothing to any registry.
void InitializeP3D();
// The framework's find-failed hooks that load a missing texture, shade
// table or material from its file: part of the start-up, and of a headless
// run's scene layer, which draws nothing yet finds what a mission names.
void InstallFindHooks();
// Ends the renderer and the framework; the next start-up begins them again.
void ShutdownP3D();
// Frees the worlds with every actor in them; the next frame builds them.
void FreeP3DWorlds();
// The frame's view from the item over the viewport: builds the worlds when
// they are to be built, then runs every item's TDP sync.
void PrepareView(SceneItem* item, const ViewRect* viewport);

// Colour and depth sub-pixelmaps of the screen over the window's screen
// rectangle, each with its origin at its centre. False, with nothing made,
// when the view has not started or the rectangle lies off the screen.
bool AllocViewPixelmaps(WindowHandle* window);
void FreeViewPixelmaps(WindowHandle* window);
// Counts a new 3D view window and empties its depth dirty rectangle; a
// window that holds sub-pixelmaps is counted already and left alone.
void RegisterViewWindow(WindowHandle* window);
// A 3D view window deleted: one fewer counted (never below none), its
// record and any sub-pixelmaps free again. Nothing for a window that holds
// no record.
void UnregisterViewWindow(WindowHandle* window);
// The count of 3D view windows: of the screen being defined, or of the
// current screen (the screen registry sets it when a screen is entered).
int32_t ViewWindowCount();
void SetViewWindowCount(int32_t count);
