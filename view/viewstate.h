// The view layer's one state record: the screen and depth pixelmaps, the
// window being drawn, the standard materials and the shade table, the
// worlds with their cameras and lights, and the view of the frame.
//
// Shared by the view layer's own modules (start-up, scene update, view
// windows) and read by its tests; other subsystems go through the view
// headers instead.
#pragma once

#include <cstdint>

#include "system/gamemath.h"
#include "view/viewstart.h"

struct hx_actor;
struct hx_material;
struct hx_model;
struct hx_pixelmap;
struct SceneItem;
struct WindowHandle;

constexpr int kStandardMaterialCount = 21;
constexpr int kPlanetMaterialCount = 6;
constexpr int kFirstPlanetMaterial = 15;
constexpr float kMainCameraYon = 1e7f; // also the level-of-detail cut-off
constexpr float kMainCameraHither = 1000.0f;
constexpr uint8_t kSkyIndex = 176;

// The empty depth dirty rectangle: left, top, right, bottom.
constexpr int16_t kEmptyDirtyRect[4] = {0x7fff, 0x7fff, -0x7fff, -0x7fff};

// What the view keeps of one 3D view window: its colour and depth
// sub-pixelmaps while it is drawn, and the part of its depth target that
// the last draw wrote (relative to the sub-pixelmap's centre). A window
// new to the view, registered again or moved does not know what lies in
// the depth buffer under it: its next draw clears the whole of its target.
struct ViewWindowRecord {
    WindowHandle* window; // null: a free record
    hx_pixelmap* colour;
    hx_pixelmap* depth;
    // Where the marks drawn over the scene in palette colours go (the HUD's
    // lines, the viewer's wireframes): the colour pixelmap itself at 8 bits;
    // at 16 bits the same rectangle of the screen's palette-index plane.
    hx_pixelmap* overlay;
    int32_t left, top; // the screen position they were made at
    int16_t dirtyRect[4];
    uint8_t clearAll;
};
constexpr int kViewWindowRecords = 32;

struct ViewState {
    // Made once a run (until ShutdownP3D): the framework and its renderer
    // are begun, the pixelmaps, hooks, materials and effect models made.
    uint8_t begun;
    uint8_t pixelType;        // the screen's framework pixel type
    hx_pixelmap* screen;      // aliases the display canvas (its colour plane at 16 bits)
    hx_pixelmap* indexScreen; // 16 bits: aliases the display canvas's palette indices
    hx_pixelmap* depth;       // matches the screen
    Matrix4 projection;       // the game's own frustum, for the software passes
    float halfWidth, halfHeight;
    hx_material* materials[kStandardMaterialCount];
    int32_t textureTotal; // texels loaded through the texture hook since the framework began
    hx_model* onePoint;   // the model "one point", made on first use
    // The dummy models whose render routines draw in software, each made
    // on first use: emitter points, a sun's glow, a blinking flare.
    hx_model* particleDummy;
    hx_model* starDummy;
    hx_model* flareDummy;

    // Reset by every start-up.
    hx_pixelmap* shadeTable;
    void* shadePixels;
    hx_actor* mainWorld;
    hx_actor* planetWorld;
    hx_actor* farPlanetWorld;
    hx_actor* nebulaWorld;
    hx_actor* mainCamera;
    hx_actor* planetCamera;
    hx_actor* nebulaCamera;
    hx_actor* celestialSphere;
    hx_actor* lights[2];
    int32_t viewWindowCount;
    uint8_t flashMode;     // a star system of the flash type: the sky flashes
    uint8_t stretchEnable; // fast parts stretch along the travel in LDS

    // The view of the window being drawn.
    ViewWindowRecord* window;
    hx_pixelmap* colourTarget;
    hx_pixelmap* depthTarget;
    hx_pixelmap* overlayTarget; // the record's overlay
    SceneItem* viewer;
    ViewRect viewport; // screen rectangle, inclusive
    int32_t centreX, centreY;
    Vector3 viewOrigin;
    Matrix4 viewTransform; // the inverse of the viewer's matrix
    ViewRect hudViewport;  // relative to the colour target's origin
    float fieldOfView;     // degrees
};

extern ViewState gView;
extern ViewWindowRecord gViewWindows[kViewWindowRecords];

// The screen pixelmap takes the canvas's pixels again (the display back
// end may move them between frames).
void RefreshScreenPixels();
// The record of a window, or null when it has none.
ViewWindowRecord* FindViewWindowRecord(const WindowHandle* window);
// Grows the rectangle to take in another one.
void GrowDirtyRect(int16_t (&rect)[4], const int32_t bounds[4]);
