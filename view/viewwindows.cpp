// Drawing a 3D view window: sub-pixelmaps over the window, the view from
// its viewing item, and the render passes in their fixed order. The order
// of the passes reads top to bottom in RunRenderPasses.
#include "view/viewwindows.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "framework/pixelmap.h"
#include "framework/scene.h"
#include "screens/bridge.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "ui/hud.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "view/particles.h"
#include "view/renderpasses.h"
#include "view/skyandlights.h"
#include "view/viewstate.h"
#include "world/profiler.h"
#include "world/scenelist.h"

uint8_t gTargetViewDrawing = 0;
uint8_t gFullDepthClear = 0;
uint8_t g3DSuppressed = 0;
uint8_t gCockpitDisplayOption = 0;
uint8_t gWeaponViewOption = 0;
int32_t gViewInterference = 0;

namespace {

constexpr hx_angle kHalfTurn = 32760;
constexpr float kAngleUnit = 182.0f;
constexpr uint32_t kTdpDrawEdges = 0x400;
constexpr uint32_t kTdpDrawBounds = 0x800;
constexpr uint32_t kEmitterHidden = 0x80;
constexpr uint32_t kSimShowsOwnEmitter = 0x20;
constexpr int16_t kWepStation = 3;
constexpr float kHudWindowDistanceWep = 227.783f;
constexpr float kHudWindowDistance = 345.244f;

// Field of view in degrees, by station and view.
struct FieldOfViewRow {
    float cockpit, external;
};
constexpr FieldOfViewRow kOtherStations = {45.0f, 73.14f};
constexpr FieldOfViewRow kWepStationView = {82.0f, 88.0f};
constexpr float kTargetViewFieldOfView = 45.0f;

float ViewFieldOfView()
{
    if (gTargetViewDrawing)
        return kTargetViewFieldOfView;
    const FieldOfViewRow& row = CurrentStation == kWepStation ? kWepStationView : kOtherStations;
    return gExternalView ? row.external : row.cockpit;
}

hx_actor* RootActor(const SceneItem* item)
{
    return item && item->avatar && item->avatar->root ? item->avatar->root->actor : nullptr;
}

void SetStyle(hx_actor* actor, uint8_t style)
{
    if (actor)
        actor->render_style = style;
}

void AimCamera(hx_actor* camera, float fieldOfView, float aspect)
{
    auto* c = static_cast<hx_camera*>(camera->type_data);
    c->field_of_view = hx_angle(fieldOfView * kAngleUnit);
    c->aspect = aspect;
}

// The matrix of an Avatar as a framework transform, after a half turn about x.
void CameraFromAvatar(hx_actor* camera, const Matrix4& m)
{
    hx_matrix34& t = camera->t.t.mat;
    camera->t.type = HX_TRANSFORM_MATRIX;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            t.m[row][column] = m.m[row * 4 + column];
    t.m[3][0] = m.m[12];
    t.m[3][1] = m.m[13];
    t.m[3][2] = m.m[14];
    HxMatrix34PreRotateX(&t, kHalfTurn);
}

// The main camera rides on the viewing item's root actor for the passes; a
// viewer without one carries it in the main world at its own matrix.
void MountMainCamera(const SceneItem* item)
{
    if (hx_actor* eye = RootActor(item)) {
        gView.mainCamera->t.type = HX_TRANSFORM_MATRIX;
        HxMatrix34RotateX(&gView.mainCamera->t.t.mat, kHalfTurn);
        HxActorAdd(eye, gView.mainCamera);
    } else {
        CameraFromAvatar(gView.mainCamera, item->avatar->matrix);
        HxActorAdd(gView.mainWorld, gView.mainCamera);
    }
}

// Back in the main world between frames, so that freeing an item's actor
// never frees the camera with it.
void UnmountMainCamera()
{
    gView.mainCamera->t.type = HX_TRANSFORM_MATRIX;
    HxMatrix34RotateX(&gView.mainCamera->t.t.mat, kHalfTurn);
    HxActorAdd(gView.mainWorld, gView.mainCamera);
}

// The render styles of this view (the viewed item's, its emitter's, the
// viewing item's own).
void SetViewStyles(SceneItem* item, SceneItem* viewed)
{
    TDP* root = viewed && viewed->avatar ? viewed->avatar->root : nullptr;
    hx_actor* viewedActor = RootActor(viewed);
    ParticleEmitter* emitter = root && root->firstChild ? root->firstChild->emitter : nullptr;
    if (viewedActor) {
        viewedActor->render_style = HX_RSTYLE_DEFAULT;
        if (emitter && !(viewed->sim && (viewed->sim->flags & kSimShowsOwnEmitter)))
            emitter->flags &= ~kEmitterHidden;
        if (root->flags & kTdpDrawEdges)
            viewedActor->render_style = HX_RSTYLE_EDGES;
        else if (root->flags & kTdpDrawBounds)
            viewedActor->render_style = HX_RSTYLE_BOUNDING_EDGES;
    }
    const bool cockpit = gTargetViewDrawing || item->control == CAM_PLAYER ||
                         (item->control == WeaponCameraStep && gWeaponViewOption);
    if (cockpit && gCockpitDisplayOption == 2) {
        SetStyle(viewedActor, HX_RSTYLE_NONE);
        if (emitter)
            emitter->flags |= kEmitterHidden;
    }
    SetStyle(RootActor(item), HX_RSTYLE_NONE);
}

// Whether the planet's actor shows a whole model, its sphere, rather than
// a dot or a star's glow that its model's own routine draws.
bool ShowsSphere(const TDP* tdp)
{
    const hx_model* model = tdp->actor->model;
    return model && !(model->flags & HX_MODF_CUSTOM);
}

// Planet TDPs with an actor, in scene order: those outside the far-planet
// world, and those in it that show their sphere.
void ListPlanets(TDP* tdp, std::vector<TDP*>& planets)
{
    for (; tdp; tdp = tdp->nextSibling) {
        if ((tdp->flags & kTdpPlanetLayer) && tdp->actor &&
            (tdp->actor->parent != gView.farPlanetWorld || ShowsSphere(tdp)))
            planets.push_back(tdp);
        ListPlanets(tdp->firstChild, planets);
    }
}

// The far planets' dots and the stars' glows, then each planet alone in the
// planet world over them, farthest first (equal depths keep their order),
// all without depth. A sphere of the far-planet world leaves it while the
// dots are drawn, so that it is drawn once, over the glow of a star behind
// it, and goes back after its own pass: that world draws its dot again when
// the planet pool takes the sphere away.
void DrawPlanets()
{
    static std::vector<TDP*> planets;
    static std::vector<hx_actor*> farSpheres;
    planets.clear();
    farSpheres.clear();
    ForEachSceneItem([](SceneItem* s) {
        ListPlanets(s->avatar->root, planets);
        return true;
    });
    for (TDP* planet : planets)
        if (planet->actor->parent == gView.farPlanetWorld) {
            farSpheres.push_back(planet->actor);
            HxActorRemove(planet->actor);
        }
    HxActorAdd(gView.farPlanetWorld, gView.planetCamera);
    HxZbSceneRender(gView.farPlanetWorld, gView.planetCamera, gView.colourTarget, nullptr);
    for (std::size_t pass = 0; pass + 1 < planets.size(); ++pass)
        for (std::size_t i = 0; i + 1 < planets.size() - pass; ++i)
            if (planets[i]->viewPosition.z < planets[i + 1]->viewPosition.z)
                std::swap(planets[i], planets[i + 1]);
    for (TDP* planet : planets) {
        while (hx_actor* child = gView.planetWorld->children)
            HxActorRemove(child);
        HxActorAdd(gView.planetWorld, gView.planetCamera);
        HxActorAdd(gView.planetWorld, planet->actor);
        HxZbSceneRender(gView.planetWorld, gView.planetCamera, gView.colourTarget, nullptr);
    }
    for (hx_actor* sphere : farSpheres)
        HxActorAdd(gView.farPlanetWorld, sphere);
}

void ClearDepth(ViewWindowRecord* window)
{
    const int16_t* r = window->dirtyRect;
    if (gFullDepthClear || gTargetViewDrawing || window->clearAll)
        HxPixelmapFill(gView.depthTarget, 0xFFFF);
    else if (r[0] <= r[2] && r[1] <= r[3])
        HxPixelmapRectangleFill(gView.depthTarget, r[0], r[1], r[2] - r[0] + 1, r[3] - r[1] + 1, 0xFFFF);
    window->clearAll = 0;
}

// What the window views from: its own scene item, or for a window on the
// global list (the script's 3D windows, the bridge's) the view camera.
SceneItem* ViewingItem(const WindowHandle* window)
{
    SceneItem* item = guiViewedItems(window);
    if (item == &gSceneList)
        item = gPlayerCamera;
    return item && item->avatar && (item->flags & kItemInUse) ? item : nullptr;
}

// Draws the window's view; the main world in the given render style.
void DrawViewWindow(WindowHandle* window, uint8_t worldStyle)
{
    if (!AllocViewPixelmaps(window))
        return;
    ViewWindowRecord* record = FindViewWindowRecord(window);
    gView.window = record;
    gView.colourTarget = record->colour;
    gView.depthTarget = record->depth;
    gView.overlayTarget = record->overlay;
    const ViewRect viewport = {record->left, record->top, record->left + window->width - 1,
                               record->top + window->height - 1};
    if (SceneItem* item = ViewingItem(window)) {
        SetViewFromSceneItem(item, &viewport);
        MarkProfileSection(gFrameProfiler, "AV-TO-GRF");
        SetStyle(gView.mainWorld, worldStyle);
        RunRenderPasses(item, &viewport);
        SetStyle(gView.mainWorld, HX_RSTYLE_DEFAULT);
    }
    FreeViewPixelmaps(window);
    gView.window = nullptr;
    gView.colourTarget = gView.depthTarget = gView.overlayTarget = nullptr;
}

} // namespace

void RenderViewWindow(WindowHandle* window)
{
    DrawViewWindow(window, HX_RSTYLE_DEFAULT);
}

void RenderViewWindowWireframe(WindowHandle* window)
{
    DrawViewWindow(window, HX_RSTYLE_EDGES);
}

void RenderHudWindow(WindowHandle* window)
{
    HUD* element = guiHeldHudElement(window);
    if (!element || !AllocViewPixelmaps(window))
        return;
    ViewWindowRecord* record = FindViewWindowRecord(window);
    // The element draws through the view's HUD state: this window's for
    // the call, the main view's again after it.
    const ViewRect savedViewport = gView.viewport, savedHud = gView.hudViewport;
    const int32_t savedX = gView.centreX, savedY = gView.centreY;
    const float savedDistance = gProjectionDistance;
    gView.window = record;
    gView.colourTarget = record->colour;
    gView.depthTarget = record->depth;
    gView.overlayTarget = record->overlay;
    RefreshScreenPixels();
    gView.viewport = {record->left, record->top, record->left + window->width - 1, record->top + window->height - 1};
    gView.centreX = (gView.viewport.left + gView.viewport.right) / 2;
    gView.centreY = (gView.viewport.top + gView.viewport.bottom) / 2;
    const int32_t originX = record->left + record->colour->origin_x;
    const int32_t originY = record->top + record->colour->origin_y;
    gView.hudViewport = {gView.viewport.left - originX, gView.viewport.top - originY, gView.viewport.right - originX,
                         gView.viewport.bottom - originY};
    gProjectionDistance = CurrentStation == kWepStation ? kHudWindowDistanceWep : kHudWindowDistance;
    DrawHudElement(element);
    gView.viewport = savedViewport;
    gView.hudViewport = savedHud;
    gView.centreX = savedX;
    gView.centreY = savedY;
    gProjectionDistance = savedDistance;
    FreeViewPixelmaps(window);
    gView.window = nullptr;
    gView.colourTarget = gView.depthTarget = gView.overlayTarget = nullptr;
}

namespace {

// 16 bits: the sky passes drew palette indices over the colour plane before
// the models; wherever a model has drawn since (it wrote depth), the index
// plane takes the key again, so that the model shows and what follows (the
// flare, particles, the HUD) draws over it.
void ShowModelsOverSky()
{
    const hx_pixelmap* overlay = gView.overlayTarget;
    const hx_pixelmap* depth = gView.depthTarget;
    if (!overlay || overlay == gView.colourTarget || !overlay->pixels || !depth || !depth->pixels ||
        depth->type != HX_PMT_DEPTH_16 || depth->width != overlay->width || depth->height != overlay->height)
        return;
    for (int y = 0; y < overlay->height; ++y) {
        auto* index = static_cast<uint8_t*>(overlay->pixels) + (intptr_t(overlay->base_y) + y) * overlay->row_bytes +
                      overlay->base_x;
        const auto* z = static_cast<const uint8_t*>(depth->pixels) + (intptr_t(depth->base_y) + y) * depth->row_bytes +
                        intptr_t(depth->base_x) * 2;
        for (int x = 0; x < overlay->width; ++x) {
            uint16_t d;
            std::memcpy(&d, z + 2 * x, 2);
            if (d != 0xFFFF)
                index[x] = kColourPlaneKey;
        }
    }
}

} // namespace

void RunRenderPasses(SceneItem* item, const ViewRect* viewport)
{
    hx_pixelmap* colour = gView.colourTarget;
    const int32_t originX = gView.window->left + colour->origin_x;
    const int32_t originY = gView.window->top + colour->origin_y;
    if (!gTargetViewDrawing)
        gView.hudViewport = {viewport->left - originX, viewport->top - originY, viewport->right - originX,
                             viewport->bottom - originY};

    const int32_t width = viewport->right - viewport->left + 1;
    const int32_t height = viewport->bottom - viewport->top + 1;
    gView.fieldOfView = ViewFieldOfView();
    gProjectionDistance = float(height / 2) / std::tan(gView.fieldOfView / 2 * 3.1415f / 180);
    RefreshScreenPixels();
    gView.viewer = item;

    if (gView.flashMode) {
        SetFlashLight(item, 100, -1);
        SetFlashLightSoft();
        if (item->sim)
            gScreenClearColour = uint8_t(190 + 4 * std::fabs(item->sim->matrix.m[8]));
    }

    if (gView.pixelType == HX_PMT_INDEX_8) {
        HxPixelmapFill(colour, gLoopFlags.pause ? kSkyIndex : gScreenClearColour);
    } else {
        HxPixelmapFill(colour, DisplayColour565(gLoopFlags.pause ? kSkyIndex : gScreenClearColour));
        DisplayShowColourPlane(gView.window->left, gView.window->top, gView.window->left + colour->width - 1,
                               gView.window->top + colour->height - 1);
    }
    MarkProfileSection(gFrameProfiler, "SCRN CLR");

    SceneItem* viewed = item->avatar->linkItem ? item->avatar->linkItem.Get() : item;
    const bool worlds = gView.mainWorld && gView.mainCamera;
    if (worlds) {
        SetViewStyles(item, viewed);
        MountMainCamera(item);
    }
    if (gView.planetWorld && gView.planetCamera) {
        CameraFromAvatar(gView.planetCamera, item->avatar->matrix);
        if (gNebulaOn && gView.nebulaCamera)
            CameraFromAvatar(gView.nebulaCamera, item->avatar->matrix);
        if (gView.celestialSphere) {
            gView.celestialSphere->t.type = HX_TRANSFORM_MATRIX;
            for (int i = 0; i < 3; ++i)
                gView.celestialSphere->t.t.mat.m[3][i] = gView.planetCamera->t.t.mat.m[3][i];
        }
    }

    ClearDepth(gView.window);
    MarkProfileSection(gFrameProfiler, "ZBUF CLR");

    if (!g3DSuppressed && worlds) {
        const float aspect = float(width) / float(height);
        if (gView.planetWorld && gView.planetCamera && gScreenClearColour == kSkyIndex) {
            if (gNebulaOn && gView.nebulaWorld && gView.nebulaCamera) {
                AimCamera(gView.nebulaCamera, gView.fieldOfView, aspect);
                HxZbSceneRender(gView.nebulaWorld, gView.nebulaCamera, colour, nullptr);
            }
            MarkProfileSection(gFrameProfiler, "NEBULA");
            if (!gTargetViewDrawing)
                DrawStarField();
            MarkProfileSection(gFrameProfiler, "STARS");
            AimCamera(gView.planetCamera, gView.fieldOfView, aspect);
            if (!gTargetViewDrawing && gView.farPlanetWorld)
                DrawPlanets();
            MarkProfileSection(gFrameProfiler, "PLANETS");
        }

        std::copy(std::begin(kEmptyDirtyRect), std::end(kEmptyDirtyRect), gView.window->dirtyRect);
        AimCamera(gView.mainCamera, gView.fieldOfView, aspect);
        HxZbSceneRender(gView.mainWorld, gView.mainCamera, colour, gView.depthTarget);
        ShowModelsOverSky();
        DrawSunFlare();
        MarkProfileSection(gFrameProfiler, "OBJECTS");

        if (!gTargetViewDrawing)
            DrawAllParticles(0);
        MarkProfileSection(gFrameProfiler, "PARTICLES");
        SetStyle(RootActor(item), HX_RSTYLE_DEFAULT);
        // The HUD is the pilot's: the target and weapon cameras' small
        // views show the scene alone.
        if (!gTargetViewDrawing && item != gWeaponCamera)
            UpdateHud();
        MarkProfileSection(gFrameProfiler, "HUD");
    }

    if (worlds) {
        SetStyle(RootActor(item), HX_RSTYLE_DEFAULT);
        SetStyle(RootActor(viewed), HX_RSTYLE_DEFAULT);
        SetStyle(RootActor(gPlayerItem), HX_RSTYLE_DEFAULT);
        UnmountMainCamera();
    }
    if (gViewInterference)
        CanvasJitterRows(ScreenCanvas(), uint8_t(gViewInterference), int16_t(viewport->left), int16_t(viewport->top),
                         int16_t(viewport->right), int16_t(viewport->bottom));
    gScreenClearColour = kSkyIndex;
    gViewInterference = 0;
}
