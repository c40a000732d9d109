// The bridge stations' 3D viewer panel: a small view of the scene through
// a viewer camera of its own, drawn as wireframes over a direction sphere
// or an orthographic grid with a cursor readout; the player ship's weapon
// mounts with their charge; the objectives list; an in-game document; and
// the fade-in with the briefing palette.
//
// What the panel shows is chosen by the stations (the mode flags below);
// the objectives list and the documents draw themselves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "system/gamemath.h"
#include "system/palette.h"
#include "world/pools.h"

struct SceneItem;
struct Weapon;
struct WindowHandle;
struct hx_model;
struct hx_pixelmap;

constexpr float kViewerProjectionScale = 328.34f;
constexpr float kPanelCoordinateLimit = 30000.0f;
constexpr int kSphereCircles = 24;
constexpr int kCirclePoints = 32;
constexpr int kWeaponMeshes = 8;

// One circle of the direction sphere.
struct SphereCircle {
    Vector3 points[kCirclePoints];
    uint8_t colour;
};

// The projected bounds of an item's last wireframe (for picking).
struct PanelBox {
    int16_t left, top, right, bottom;
    uint8_t valid;
};

// Wireframe colour modes.
enum WireColourMode : int32_t {
    kWireDepthShaded = 0, // the colour darkened with depth (none in ortho)
    kWireCharge = 1,      // 128 below the partial face count, 64 above
    kWirePlain = 2,
};

struct ViewerPanel {
    SceneItemHandle camera;     // the viewer camera item, made on demand
    SceneItemHandle watched;    // what the camera flies beside
    SceneItemHandle target;     // what it looks at
    SceneItemHandle previous;   // the target before, blended out over 200 ticks
    int32_t blend;              // ticks since the target changed
    float yaw, pitch, distance; // the watched direction (distance x 1000)
    int32_t flyBy;              // fly-by timer, ticks; 0 none
    uint8_t ortho;              // orthographic view
    int16_t orthoMode;          // 0 top, 1 and 2 the side views
    int16_t secondMode = 180;
    uint8_t farMode;      // the camera keeps 100,000 units off
    uint8_t mouseSteered; // the mouse offset turns the camera
    float range;          // of the camera (ortho scale = range x 56)
    SphereCircle sphere[kSphereCircles];
    uint8_t sphereBuilt;
    float scale = kViewerProjectionScale;
    hx_model* assembly;
    hx_model* mounts[kWeaponMeshes];
    uint8_t meshesLoaded;
    int32_t fadeCountdown;
    const PaletteEntry* fadePalette; // "BRFPalette", found once a fade
    int32_t fadePaletteLookups;
    GamePalette savedPalette; // the palette before the fade
    Vector3 cursor;           // the ortho cursor (x, y, z), world units
    float cursorDepth;
    // What the panel shows, chosen by the stations.
    uint8_t showsMessageLog;
    uint8_t showsDocument;
    uint8_t showsObjectives;
    uint8_t sceneOff;
    hx_pixelmap* panel; // the panel's pixel map while drawing, origin at its centre
    PanelBox boxes[kMaxSceneItems];
};
extern ViewerPanel gViewer;

// Forgets the camera, the meshes and the sphere; the modes off.
void ResetViewerPanel();

// The point in the camera's frame: x' = scale x x / z, y' = scale x y / z,
// each held within -30000..30000, z the depth. A depth of 0 gives a held
// point with depth 0 (behind: never above 0), never an infinity.
Vector3* ProjectToPanel(Vector3* result, float scale, const Vector3* worldPoint, const Matrix4* cameraFrame);
// The 24 circles of 32 points about the centre, once.
void BuildDirectionSphere(const Vector3& centre, float radius);
// The circle's segments whose both ends lie in front, centred in the panel.
void DrawSphereCircle(const SphereCircle* circle, const Matrix4* cameraFrame);
// The grid of the ortho view (colour 54) and the cursor readout at the mouse.
void DrawOrthoGrid(int32_t mouseX, int32_t mouseY);
// The grid step in pixels for the camera range: 100,000 / (range x 56),
// times 10 until at least 10.
float OrthoGridStep(float range);
// "PLACE x,%.0f,%.0f,%.0f\r\n" of the cursor x 100 to the clipboard.
void CopyPlaceCommand();
// The same line into the buffer.
void FormatPlaceCommand(char* out, std::size_t size);
// The model's wireframe as the viewing item sees it (see the modes).
// faceLimit: the partial face count of mode 1, or -1.
void DrawItemWireframe(SceneItem* item, hx_model* model, int32_t faceLimit, int32_t colour, SceneItem* viewing,
                       int32_t mode);
// The wireframe colour of an item (97, its mark's, or the player's damage ramp).
int32_t WireframeColour(const SceneItem* item);

// The viewer camera.
SceneItem* CreateViewerCamera();
SceneItem* EnsureViewerCamera();
void SetViewerWatched(SceneItem* item);
void SetViewerTarget(SceneItem* item);
void StartViewerFlyBy();
// Ends the fly-by and the ortho view.
void StopViewerFlyBy();
// A click on the panel's open space. With the developer's keys the
// perspective view becomes the ortho grid (seen from above), and a click
// on the grid puts the PLACE line of the cursor on the clipboard; without
// them it starts or stops steering the camera with the mouse.
void ViewerOpenSpaceClick();
// The camera's per-frame behaviour (its control routine).
void ViewerCameraControl(SceneItem* camera);

// The panel's draw, and its two views.
void guiViewerPanelDraw(WindowHandle* window);
void guiViewerSceneDraw(WindowHandle* window, SceneItem* camera);
void guiWeaponsViewDraw(WindowHandle* window);
// The weapon meshes, loaded on the first call only.
void LoadWeaponMeshes();
// The mesh pair of a mount: 0 right gun, 1 left gun, 2 right launcher, 3
// left launcher (the charge mesh; + 4 the full-charge highlight).
int WeaponMeshPair(const Weapon* mount);
// The assembly, the current mount's charge and rounds into the panel.
void DrawWeaponsView(SceneItem* camera);
// Starts the fade-in over the given number of draws.
void StartViewerFade(int32_t draws);
// The draws of the fade-in after a briefing.
constexpr int32_t kViewerFadeDraws = 20;
