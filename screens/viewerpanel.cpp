// The 3D viewer panel: its modes, the projection into the panel, the
// direction sphere, the orthographic grid and cursor, item wireframes, the
// weapons view, the viewer camera and the fade-in.
#include "screens/viewerpanel.h"

#include "ai/weapons.h"
#include "framework/pixelmap.h"
#include "framework/renderer.h"
#include "framework/scene.h"
#include "screens/bridge.h"
#include "screens/documents.h"
#include "screens/frontend.h"
#include "screens/objectives.h"
#include "script/interpreter.h"
#include "script/operands.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "system/canvas.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "ui/drawtypes.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "ui/windows.h"
#include "view/cameras.h"
#include "view/lwoloader.h"
#include "view/viewstart.h"
#include "view/viewstate.h"
#include "view/viewwindows.h"
#include "world/floatingorigin.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

ViewerPanel gViewer;

namespace {

constexpr float kPi = 3.14159265f;
constexpr int32_t kWireColour = 97;
constexpr uint32_t kSphereColour = 54; // the horizon circle is 58
constexpr uint32_t kGridColour = 54;
constexpr float kOrthoUnits = 56.0f;    // world units a pixel per unit of camera range
constexpr float kMinRange = 0.01f;      // a camera range of 0 would scale by nothing
constexpr float kNearVertex = 100.0f;   // closer: marked near
constexpr float kShallowEdge = 500.0f;  // an edge needs both ends deeper than this
constexpr int32_t kFlyByHudTicks = 200; // the HUD follows the fly-by from here
constexpr int32_t kTargetBlendTicks = 200;
constexpr int32_t kFullCharge = 150; // a mount's charge at full output
constexpr float kFarWatch = 100000.0f;
constexpr float kSteerRate = 0.35f;
constexpr float kPitchLimit = 85.0f;
// The log over the top of a view without a log frame (NAV's).
constexpr int32_t kViewLogInset = 4, kViewLogTop = 10, kViewLogHeight = 80;
constexpr uint32_t kChargeColour = 64;
constexpr uint32_t kRoundsColour = 128;
constexpr uint32_t kHighlightColour = 133;

// The player's hull condition as a colour, from wrecked to whole.
constexpr uint8_t kDamageRamp[24] = {55, 56, 57, 58, 59, 60, 62, 63, 240, 241, 241, 242,
                                     242, 243, 243, 244, 160, 162, 164, 166, 168, 170, 172, 174};

// The marker colours of an Avatar and the wireframe colours they give.
struct MarkColour {
    uint8_t mark;
    int32_t colour;
};
constexpr MarkColour kMarkColours[] = {{9, 133}, {10, 64}, {12, 160}};

// The weapon meshes: the assembly, then the four pairs of (charge, full).
constexpr const char* kAssemblyMesh = "zqk\\resource\\shapes\\CorvAsm_WEP.lwo";
constexpr const char* kMountMeshes[kWeaponMeshes] = {"WEP_RtPBC.lwo", "WEP_LfPBC.lwo", "WEP_RtMAG.lwo",
                                                     "WEP_LfMAG.lwo", "WEP_RtPBCR.lwo", "WEP_LfPBCR.lwo",
                                                     "WEP_RtMAGR.lwo", "WEP_LfMAGR.lwo"};
constexpr const char* kMeshFolder = "zqk\\resource\\shapes";

int32_t Held(float v)
{
    if (!(v == v))
        return 0;
    return static_cast<int32_t>(std::clamp(v, -kPanelCoordinateLimit, kPanelCoordinateLimit));
}

void Line(float x1, float y1, float x2, float y2, uint32_t colour)
{
    HxPixelmapLine(gViewer.panel, Held(x1), Held(y1), Held(x2), Held(y2), colour);
}

// The frame an item is seen from: its matrix at its world position.
Matrix4 ItemFrame(const SceneItem* item)
{
    Matrix4 frame = item->sim->matrix;
    frame.m[12] = static_cast<float>(item->sim->position.x);
    frame.m[13] = static_cast<float>(item->sim->position.y);
    frame.m[14] = static_cast<float>(item->sim->position.z);
    return frame;
}

SceneItem* Item(SceneItemHandle handle)
{
    SceneItem* item = ItemFromHandle(handle);
    return item && item->sim ? item : nullptr;
}

int32_t SlotOf(const SceneItem* item)
{
    const std::ptrdiff_t slot = item - SceneItemPool();
    return slot >= 0 && slot < kMaxSceneItems ? static_cast<int32_t>(slot) : -1;
}

hx_model* ModelOf(const SceneItem* item)
{
    return item->avatar && item->avatar->root ? item->avatar->root->model : nullptr;
}

// One projected vertex of a wireframe.
struct WireVertex {
    float x, y, depth;
    bool near;
};

// The vertex in the viewer's frame, projected by the current mode.
WireVertex ProjectVertex(const Vector3& local, float orthoScale)
{
    WireVertex v{};
    if (!gViewer.ortho) {
        const float depth = local.z;
        v.depth = depth;
        if (depth != 0.0f) {
            const float k = gViewer.scale / depth;
            v.x = std::clamp(local.x * k, -kPanelCoordinateLimit, kPanelCoordinateLimit);
            v.y = std::clamp(local.y * k, -kPanelCoordinateLimit, kPanelCoordinateLimit);
        }
    } else {
        // The view's y runs down the panel: depth across and height up, or
        // width across with the negated depth or the height up.
        const float k = 1.0f / orthoScale;
        switch (gViewer.orthoMode) {
        case 0:
            v.x = local.z * k;
            v.y = local.y * k;
            v.depth = local.x;
            break;
        case 1:
            v.x = local.x * k;
            v.y = local.z * k;
            v.depth = local.y;
            break;
        default:
            v.x = local.x * k;
            v.y = local.y * k;
            v.depth = local.z;
            break;
        }
        v.x = std::clamp(v.x, -kPanelCoordinateLimit, kPanelCoordinateLimit);
        v.y = std::clamp(v.y, -kPanelCoordinateLimit, kPanelCoordinateLimit);
        // Every vertex is in view in an orthographic projection.
        v.depth = kShallowEdge + 1.0f + std::fabs(v.depth);
    }
    v.near = v.depth < kNearVertex;
    return v;
}

// The item's model axes and position in the viewer's frame: local =
// p x rows + origin.
struct ViewTransform {
    float rows[3][3];
    Vector3 origin;
};

ViewTransform ItemInViewer(const SceneItem* item, const SceneItem* viewing)
{
    ViewTransform t{};
    const Matrix4& view = viewing->sim->matrix;
    for (int r = 0; r < 3; ++r) {
        const Vector3 axis = {item->sim->matrix.m[4 * r], item->sim->matrix.m[4 * r + 1], item->sim->matrix.m[4 * r + 2]};
        Vector3 local;
        VecMulMat3T(local, axis, view);
        t.rows[r][0] = local.x;
        t.rows[r][1] = local.y;
        t.rows[r][2] = local.z;
    }
    const Vector3 offset = {static_cast<float>(item->sim->position.x - viewing->sim->position.x),
                            static_cast<float>(item->sim->position.y - viewing->sim->position.y),
                            static_cast<float>(item->sim->position.z - viewing->sim->position.z)};
    VecMulMat3T(t.origin, offset, view);
    return t;
}

} // namespace

void ResetViewerPanel()
{
    gViewer = ViewerPanel{};
    gViewer.scale = kViewerProjectionScale;
    gViewer.secondMode = 180;
}

Vector3* ProjectToPanel(Vector3* result, float scale, const Vector3* worldPoint, const Matrix4* cameraFrame)
{
    const Vector3 offset = {worldPoint->x - cameraFrame->m[12], worldPoint->y - cameraFrame->m[13],
                            worldPoint->z - cameraFrame->m[14]};
    Vector3 local;
    VecMulMat3T(local, offset, *cameraFrame);
    auto held = [](float v) { return v == v ? std::clamp(v, -kPanelCoordinateLimit, kPanelCoordinateLimit) : 0.0f; };
    if (local.z == 0.0f) {
        // On the camera's plane: as far out as the panel goes, and behind.
        result->x = local.x == 0.0f ? 0.0f : std::copysign(kPanelCoordinateLimit, local.x * scale);
        result->y = local.y == 0.0f ? 0.0f : std::copysign(kPanelCoordinateLimit, local.y * scale);
        result->z = 0.0f;
        return result;
    }
    result->x = held(scale * local.x / local.z);
    result->y = held(scale * local.y / local.z);
    result->z = local.z;
    return result;
}

void BuildDirectionSphere(const Vector3& centre, float radius)
{
    if (gViewer.sphereBuilt)
        return;
    // Twelve meridians every 15 degrees of bearing, twelve parallels every
    // 15 degrees of elevation; the horizon is brighter.
    for (int c = 0; c < kSphereCircles; ++c) {
        SphereCircle& circle = gViewer.sphere[c];
        const bool meridian = c < kSphereCircles / 2;
        const int n = meridian ? c : c - kSphereCircles / 2;
        const float elevation = (-82.5f + 15.0f * n) * kPi / 180;
        const float bearing = 15.0f * n * kPi / 180;
        circle.colour = !meridian && std::fabs(elevation) < 0.2f ? 58 : static_cast<uint8_t>(kSphereColour);
        for (int i = 0; i < kCirclePoints; ++i) {
            const float a = 2 * kPi * i / kCirclePoints;
            Vector3 p;
            if (meridian)
                p = {std::cos(a) * std::sin(bearing), std::sin(a), std::cos(a) * std::cos(bearing)};
            else
                p = {std::cos(elevation) * std::sin(a), std::sin(elevation), std::cos(elevation) * std::cos(a)};
            circle.points[i] = {centre.x + radius * p.x, centre.y + radius * p.y, centre.z + radius * p.z};
        }
    }
    gViewer.sphereBuilt = 1;
}

void DrawSphereCircle(const SphereCircle* circle, const Matrix4* cameraFrame)
{
    Vector3 projected[kCirclePoints];
    for (int i = 0; i < kCirclePoints; ++i)
        ProjectToPanel(&projected[i], gViewer.scale, &circle->points[i], cameraFrame);
    for (int i = 0; i < kCirclePoints; ++i) {
        const Vector3& a = projected[i];
        const Vector3& b = projected[(i + 1) % kCirclePoints];
        if (a.z > 0.0f && b.z > 0.0f)
            Line(a.x, a.y, b.x, b.y, circle->colour);
    }
}

float OrthoGridStep(float range)
{
    const float unitsPerPixel = std::max(range, kMinRange) * kOrthoUnits;
    float step = 100000.0f / unitsPerPixel;
    while (step < 10.0f)
        step *= 10.0f;
    return step;
}

void DrawOrthoGrid(int32_t mouseX, int32_t mouseY)
{
    hx_pixelmap* pm = gViewer.panel;
    SceneItem* camera = Item(gViewer.camera);
    if (!pm || !camera)
        return;
    const float unitsPerPixel = std::max(gViewer.range, kMinRange) * kOrthoUnits;
    const float step = OrthoGridStep(gViewer.range);
    const float stepUnits = step * unitsPerPixel;
    // The two world axes across and up the panel, and the third.
    static constexpr int kAxes[3][3] = {{2, 1, 0}, {0, 2, 1}, {0, 1, 2}};
    const int* axes = kAxes[std::clamp<int>(gViewer.orthoMode, 0, 2)];
    const double position[3] = {camera->sim->position.x, camera->sim->position.y, camera->sim->position.z};
    const float half[2] = {pm->width / 2.0f, pm->height / 2.0f};
    for (int axis = 0; axis < 2; ++axis) {
        const double along = position[axes[axis]];
        const float first = -static_cast<float>(std::fmod(along, static_cast<double>(stepUnits))) / unitsPerPixel;
        const float start = first - std::floor((first + half[axis]) / step) * step;
        for (float p = start; p < half[axis]; p += step) {
            if (axis == 0)
                Line(p, -half[1], p, half[1] - 1, kGridColour);
            else
                Line(-half[0], p, half[0] - 1, p, kGridColour);
        }
    }
    // The cursor on the grid under the mouse.
    int32_t left = 0, top = 0;
    if (WindowHandle* window = gWindows.current)
        guiWindowRect(window, &left, &top);
    const float across = (mouseX - left - half[0]) * unitsPerPixel;
    const float up = (mouseY - top - half[1]) * unitsPerPixel;
    float cursor[3];
    cursor[axes[0]] = static_cast<float>(position[axes[0]]) + across;
    cursor[axes[1]] = static_cast<float>(position[axes[1]]) + up;
    cursor[axes[2]] = gViewer.cursorDepth;
    for (float& c : cursor) {
        const float shifted = c + stepUnits / 2;
        c = shifted - std::fmod(shifted, stepUnits);
    }
    gViewer.cursor = {cursor[0], cursor[1], cursor[2]};
    static constexpr const char* kReadout[3] = {"X %.0f", "Y %.0f", "Z %.0f"};
    for (int i = 0; i < 3; ++i) {
        char text[40];
        std::snprintf(text, sizeof text, kReadout[i], static_cast<double>(cursor[i]));
        HxPixelmapText(pm, -pm->origin_x + 4, -pm->origin_y + 10 + 15 * i, kGridColour, nullptr, text);
    }
}

void FormatPlaceCommand(char* out, std::size_t size)
{
    std::snprintf(out, size, "PLACE x,%.0f,%.0f,%.0f\r\n", static_cast<double>(gViewer.cursor.x) * 100,
                  static_cast<double>(gViewer.cursor.y) * 100, static_cast<double>(gViewer.cursor.z) * 100);
}

void CopyPlaceCommand()
{
    char text[200];
    FormatPlaceCommand(text, sizeof text);
    CopyTextToClipboard(text);
}

int32_t WireframeColour(const SceneItem* item)
{
    if (item == gPlayerItem && item->sim) {
        const float index = std::clamp(item->sim->hull * 0.01f * 23.8f, 0.0f, 23.0f);
        return kDamageRamp[static_cast<int>(index)];
    }
    if (item->avatar)
        for (const MarkColour& m : kMarkColours)
            if (item->avatar->colour == m.mark)
                return m.colour;
    return kWireColour;
}

void DrawItemWireframe(SceneItem* item, hx_model* model, int32_t faceLimit, int32_t colour, SceneItem* viewing,
                       int32_t mode)
{
    if (!item || item == viewing || !model || !item->sim || !viewing || !viewing->sim || !gViewer.panel)
        return;
    if (!model->vertices || !model->faces || model->nvertices <= 0)
        return;
    // The scene view colours items by what they are; the weapons view
    // draws in the colours it asks for.
    if (mode == kWireDepthShaded)
        colour = WireframeColour(item);
    // The item's vertices in the viewer's frame: rotate by the item, move by
    // the two positions' difference, rotate into the viewer's axes.
    const ViewTransform t = ItemInViewer(item, viewing);
    const float orthoScale = std::max(gViewer.range, kMinRange) * kOrthoUnits;
    static WireVertex vertices[65536];
    const int32_t count = std::min<int32_t>(model->nvertices, 65536);
    float nearest = 1e30f, farthest = -1e30f;
    float left = 1e30f, top = 1e30f, right = -1e30f, bottom = -1e30f;
    for (int32_t i = 0; i < count; ++i) {
        const hx_vector3& p = model->vertices[i].p;
        const Vector3 local = {p.x * t.rows[0][0] + p.y * t.rows[1][0] + p.z * t.rows[2][0] + t.origin.x,
                               p.x * t.rows[0][1] + p.y * t.rows[1][1] + p.z * t.rows[2][1] + t.origin.y,
                               p.x * t.rows[0][2] + p.y * t.rows[1][2] + p.z * t.rows[2][2] + t.origin.z};
        WireVertex& v = vertices[i] = ProjectVertex(local, orthoScale);
        nearest = std::min(nearest, v.depth);
        farthest = std::max(farthest, v.depth);
        left = std::min(left, v.x);
        right = std::max(right, v.x);
        top = std::min(top, v.y);
        bottom = std::max(bottom, v.y);
    }
    if (const int32_t slot = SlotOf(item); slot >= 0)
        gViewer.boxes[slot] = {static_cast<int16_t>(Held(left)), static_cast<int16_t>(Held(top)),
                               static_cast<int16_t>(Held(right)), static_cast<int16_t>(Held(bottom)), 1};
    // Nothing of it can show: wholly too close or behind, or off the panel.
    const hx_pixelmap* pm = gViewer.panel;
    if (farthest <= kShallowEdge || right < -pm->origin_x || bottom < -pm->origin_y ||
        left >= pm->width - pm->origin_x || top >= pm->height - pm->origin_y)
        return;
    const float depthRange = farthest - nearest;
    static constexpr uint8_t kEdgeHidden[3] = {HX_FACEF_NO_EDGE_01, HX_FACEF_NO_EDGE_12, HX_FACEF_NO_EDGE_20};
    for (int32_t f = 0; f < model->nfaces; ++f) {
        const hx_face& face = model->faces[f];
        const uint16_t* index = face.vertices;
        if (index[0] >= count || index[1] >= count || index[2] >= count)
            continue;
        const WireVertex& a = vertices[index[0]];
        const WireVertex& b = vertices[index[1]];
        const WireVertex& c = vertices[index[2]];
        // Facing the viewer: the corners turn clockwise on the panel.
        if ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x) < 0.0f)
            continue;
        int32_t edgeColour = colour;
        if (mode == kWireDepthShaded && !gViewer.ortho && depthRange > 0.0f) {
            const float mean = (a.depth + b.depth + c.depth) / 3;
            edgeColour = colour + static_cast<int32_t>(-16.0f * (mean - nearest) / depthRange);
        } else if (mode == kWireCharge) {
            edgeColour = faceLimit >= 0 && f < faceLimit ? static_cast<int32_t>(kRoundsColour)
                                                         : static_cast<int32_t>(kChargeColour);
        }
        for (int e = 0; e < 3; ++e) {
            if (face.flags & kEdgeHidden[e])
                continue;
            const WireVertex& p = vertices[index[e]];
            const WireVertex& q = vertices[index[(e + 1) % 3]];
            if (p.depth <= kShallowEdge || q.depth <= kShallowEdge)
                continue;
            Line(p.x, p.y, q.x, q.y, static_cast<uint32_t>(edgeColour));
            if (p.near && q.near)
                Line(p.x, p.y, q.x, q.y, static_cast<uint32_t>(edgeColour));
        }
    }
}

SceneItem* CreateViewerCamera()
{
    SceneItem* camera = CreateCameraItem(gPlayerItem, ViewerCameraControl);
    if (!camera)
        return nullptr;
    gViewer.camera = ItemHandle(camera);
    gViewer.watched = ItemHandle(gPlayerItem);
    gViewer.target = ItemHandle(gPlayerItem);
    gViewer.range = gPlayerItem && gPlayerItem->sim ? gPlayerItem->sim->radius : 1.0f;
    gViewer.orthoMode = 0;
    gViewer.secondMode = 180;
    return camera;
}

SceneItem* EnsureViewerCamera()
{
    if (SceneItem* camera = Item(gViewer.camera))
        return camera;
    return CreateViewerCamera();
}

void SetViewerWatched(SceneItem* item)
{
    SceneItem* camera = Item(gViewer.camera);
    gViewer.watched = ItemHandle(item);
    if (!camera || !item || !item->sim)
        return;
    // Keep where the camera stands as seen from the item.
    const double dx = camera->sim->position.x - item->sim->position.x;
    const double dy = camera->sim->position.y - item->sim->position.y;
    const double dz = camera->sim->position.z - item->sim->position.z;
    const double distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    gViewer.yaw = static_cast<float>(std::atan2(dx, dz) * 180 / kPi);
    gViewer.pitch = distance > 0 ? static_cast<float>(std::asin(dy / distance) * 180 / kPi) : 0.0f;
    gViewer.distance = static_cast<float>(distance * 1000);
}

void SetViewerTarget(SceneItem* item)
{
    gViewer.previous = gViewer.target;
    gViewer.target = ItemHandle(item);
    gViewer.blend = 0;
}

void StartViewerFlyBy()
{
    if (gViewer.flyBy || !gPlayerItem || !gPlayerItem->sim)
        return;
    EnsureViewerCamera();
    SetViewerWatched(gPlayerItem);
    SceneItem* target = gPlayerItem->sim->target ? gPlayerItem->sim->target.Get() : gPlayerItem;
    SetViewerTarget(target);
    gViewer.range = gPlayerItem->sim->radius * 1010;
    gViewer.flyBy = 199;
}

void ViewerOpenSpaceClick()
{
    if (gSettings.developerKeys) {
        if (gViewer.ortho) {
            CopyPlaceCommand();
        } else {
            // The grid at the camera's own scale, whatever the fly-by set.
            gViewer.ortho = 255;
            gViewer.mouseSteered = 0;
            gViewer.range = gPlayerItem && gPlayerItem->sim ? gPlayerItem->sim->radius : 1.0f;
        }
        return;
    }
    gViewer.mouseSteered = gViewer.mouseSteered ? 0 : 255;
}

void StopViewerFlyBy()
{
    gViewer.flyBy = 0;
    gViewer.ortho = 0;
}

void ViewerCameraControl(SceneItem* camera)
{
    Sim* sim = camera->sim;
    SceneItem* watched = Item(gViewer.watched);
    SceneItem* target = Item(gViewer.target);
    if (!target)
        target = watched;
    if (!watched || !target)
        return;
    auto ease = [&](const WorldPosition& to, double share) {
        sim->position.x += (to.x - sim->position.x) * share;
        sim->position.y += (to.y - sim->position.y) * share;
        sim->position.z += (to.z - sim->position.z) * share;
    };
    if (gViewer.ortho) {
        ease(target->sim->position, 0.25);
    } else {
        gViewer.flyBy += gFrameClock.frameTicks;
        gViewer.blend = std::min(gViewer.blend + gFrameClock.frameTicks, kTargetBlendTicks);
        const float radius = std::max(watched->sim->radius, 1.0f);
        const float out = watched == gPlayerItem && target == gPlayerItem ? 1.01f * radius
                          : gViewer.farMode                               ? kFarWatch
                                                                          : 3.0f * radius;
        // Beside the watched item in the kept direction.
        const float yaw = gViewer.yaw * kPi / 180, pitch = gViewer.pitch * kPi / 180;
        const WorldPosition beside = {watched->sim->position.x + out * std::cos(pitch) * std::sin(yaw),
                                      watched->sim->position.y + out * std::sin(pitch),
                                      watched->sim->position.z + out * std::cos(pitch) * std::cos(yaw)};
        ease(beside, 0.1);
    }
    // Look at the target, blended from the previous one.
    WorldPosition look = target->sim->position;
    if (SceneItem* previous = Item(gViewer.previous); previous && gViewer.blend < kTargetBlendTicks) {
        const double t = static_cast<double>(gViewer.blend) / kTargetBlendTicks;
        look = {previous->sim->position.x + (look.x - previous->sim->position.x) * t,
                previous->sim->position.y + (look.y - previous->sim->position.y) * t,
                previous->sim->position.z + (look.z - previous->sim->position.z) * t};
    }
    const Vector3 forward = {static_cast<float>(look.x - sim->position.x), static_cast<float>(look.y - sim->position.y),
                             static_cast<float>(look.z - sim->position.z)};
    if (forward.x != 0.0f || forward.y != 0.0f || forward.z != 0.0f)
        MatLookDir(forward, nullptr, sim->matrix);
    sim->matrix.m[12] = static_cast<float>(sim->position.x);
    sim->matrix.m[13] = static_cast<float>(sim->position.y);
    sim->matrix.m[14] = static_cast<float>(sim->position.z);
}

void guiViewerSceneDraw(WindowHandle* window, SceneItem* camera)
{
    camera = camera ? camera : EnsureViewerCamera();
    if (!camera)
        return;
    BuildDirectionSphere({0, 0, 0}, 1.0e15f);
    if (!AllocViewPixelmaps(window))
        return;
    ViewWindowRecord* record = FindViewWindowRecord(window);
    HxPixelmapFill(record->colour, 0);
    HxPixelmapFill(record->depth, 0xFFFF);
    // The scene itself through the viewer camera, then the lines over it.
    const ViewRect viewport = {record->left, record->top, record->left + window->width - 1,
                               record->top + window->height - 1};
    gView.window = record;
    gView.colourTarget = record->colour;
    gView.depthTarget = record->depth;
    gView.overlayTarget = record->overlay;
    SetViewFromSceneItem(camera, &viewport);
    RunRenderPasses(camera, &viewport);
    gView.window = nullptr;
    gView.colourTarget = gView.depthTarget = gView.overlayTarget = nullptr;
    gViewer.panel = record->overlay;
    gViewer.scale = kViewerProjectionScale;
    if (gViewer.ortho) {
        DrawOrthoGrid(gWindows.mouseX, gWindows.mouseY);
    } else {
        const Matrix4 frame = ItemFrame(camera);
        for (const SphereCircle& circle : gViewer.sphere)
            DrawSphereCircle(&circle, &frame);
    }
    ForEachSceneItem([&](SceneItem* item) {
        DrawItemWireframe(item, ModelOf(item), -1, kWireColour, camera, kWireDepthShaded);
        return true;
    });
    if (gViewer.mouseSteered && window->width > 0) {
        int32_t left = 0, top = 0;
        guiWindowRect(window, &left, &top);
        const float dx = static_cast<float>(gWindows.mouseX - (left + window->width / 2));
        const float dy = static_cast<float>(gWindows.mouseY - (top + window->height / 2));
        const float turn = kSteerRate / window->width * gFrameClock.frameTicks;
        gViewer.yaw += dx * turn;
        gViewer.pitch = std::clamp(gViewer.pitch + dy * turn, -kPitchLimit, kPitchLimit);
    }
    gViewer.panel = nullptr;
    FreeViewPixelmaps(window);
}

void LoadWeaponMeshes()
{
    if (gViewer.meshesLoaded)
        return;
    // Once: a missing mesh stays null and leaves its part of the view empty.
    gViewer.meshesLoaded = 1;
    int32_t size = 0;
    gViewer.assembly = LWO2HXM(kAssemblyMesh, nullptr, &size);
    for (int i = 0; i < kWeaponMeshes; ++i) {
        char path[260];
        std::snprintf(path, sizeof path, "%s\\%s", kMeshFolder, kMountMeshes[i]);
        gViewer.mounts[i] = LWO2HXM(path, nullptr, &size);
    }
}

int WeaponMeshPair(const Weapon* mount)
{
    const bool launcher = (mount->flags & kWeaponLauncher) != 0;
    const bool left = mount->mountPosition.x < 0.0f;
    return (launcher ? 2 : 0) + (left ? 1 : 0);
}

void DrawWeaponsView(SceneItem* camera)
{
    if (!gPlayerItem || !gPlayerItem->sim || !gViewer.assembly || !gViewer.panel)
        return;
    DrawItemWireframe(gPlayerItem, gViewer.assembly, -1, kWireColour, camera, kWirePlain);
    const Weapon* mount = gPlayerItem->sim->currentWeapon;
    if (!mount)
        return;
    const int pair = WeaponMeshPair(mount);
    if (hx_model* charge = gViewer.mounts[pair]) {
        const int32_t level = std::clamp(mount->charge, 0, kFullCharge);
        DrawItemWireframe(gPlayerItem, charge, charge->nfaces * level / kFullCharge, kChargeColour, camera,
                          kWireCharge);
    }
    if (mount->charge >= kFullCharge)
        if (hx_model* full = gViewer.mounts[pair + 4])
            DrawItemWireframe(gPlayerItem, full, -1, kHighlightColour, camera, kWirePlain);
    if (!(mount->flags & kWeaponLauncher))
        return;
    // The rounds left, beside the mount.
    const Matrix4 frame = ItemFrame(camera);
    const Matrix4 ship = ItemFrame(gPlayerItem);
    Vector3 world;
    MatRotateVec(ship, mount->mountPosition, world);
    world = {world.x + ship.m[12], world.y + ship.m[13], world.z + ship.m[14]};
    Vector3 p;
    ProjectToPanel(&p, gViewer.scale, &world, &frame);
    char text[16];
    if (mount->rounds <= 0)
        std::snprintf(text, sizeof text, "OUT");
    else
        std::snprintf(text, sizeof text, "%d", mount->rounds);
    HxPixelmapText(gViewer.panel, Held(p.x) + 6, Held(p.y) + 10, mount->rounds <= 0 ? kChargeColour : kRoundsColour,
                   nullptr, text);
}

void guiWeaponsViewDraw(WindowHandle* window)
{
    if (!gOptionFlags.weaponFrame || !gPlayerItem || !gPlayerItem->sim)
        return;
    LoadWeaponMeshes();
    SceneItem* camera = EnsureViewerCamera();
    if (!camera || !AllocViewPixelmaps(window))
        return;
    ViewWindowRecord* record = FindViewWindowRecord(window);
    HxPixelmapFill(record->overlay, 0);
    gViewer.panel = record->overlay;
    DrawWeaponsView(camera);
    gViewer.panel = nullptr;
    FreeViewPixelmaps(window);
}

void StartViewerFade(int32_t draws)
{
    gViewer.fadeCountdown = draws;
    gViewer.fadePalette = nullptr;
}

namespace {

// The viewer's own scene, unless it is switched off or the external view
// (with a view camera to look through) is up.
bool ViewerSceneShown()
{
    return !gViewer.sceneOff && !(gExternalView && gPlayerCamera);
}

} // namespace

void guiViewerPanelDraw(WindowHandle* window)
{
    if (gViewer.fadeCountdown > 0) {
        if (AllocViewPixelmaps(window)) {
            HxPixelmapFill(FindViewWindowRecord(window)->overlay, 0);
            FreeViewPixelmaps(window);
        }
        if (gViewer.fadeCountdown == 1) {
            if (!gViewer.fadePalette) {
                ++gViewer.fadePaletteLookups;
                const ScriptSymbol* symbol = FindScriptSymbol("BRFPalette");
                Resource* resource = symbol ? SymbolResource(symbol) : nullptr;
                gViewer.fadePalette = resource ? static_cast<const PaletteEntry*>(ResGet(resource)) : nullptr;
            }
            if (const PaletteEntry* last = DisplayLastPalette())
                std::memcpy(gViewer.savedPalette.entries, last, sizeof gViewer.savedPalette.entries);
            if (gViewer.fadePalette)
                DisplaySetPalette(gViewer.fadePalette);
        }
        --gViewer.fadeCountdown;
        guiRedrawOverlapping(window);
        return;
    }
    int32_t left = 0, top = 0;
    guiWindowRect(window, &left, &top);
    const ClipRect rect = {static_cast<int16_t>(left), static_cast<int16_t>(top),
                           static_cast<int16_t>(left + window->width - 1), static_cast<int16_t>(top + window->height - 1)};
    // A document's film clip plays over whatever the panel shows.
    if (gDocuments.clipOpen && gDocuments.clip && !DrawClip(gDocuments.clip, rect)) {
        CloseClip(&gDocuments.clip);
        gDocuments.clipOpen = 0;
    }
    // So does the briefing section's clip; once it has played out the
    // section stops waiting on it (the briefing closes it).
    if (gScriptMission.briefingClipOpen && gScriptMission.briefingClip &&
        !DrawClip(gScriptMission.briefingClip, rect))
        gScriptMission.briefingClipOpen = 0;
    // The overlays open on the station choose what the panel shows: the
    // briefing's text while it runs, the browser's page, the objectives.
    const bool briefing = gViewer.showsMessageLog || gScriptMission.briefingActive;
    const bool showsDocument = gViewer.showsDocument || gDocsViewOpen;
    const bool showsObjectives = gViewer.showsObjectives || gObjectivesViewOpen;
    // In flight the log's texts (the objective asked for, the ship's log
    // browsed, the radio's lines) are typed while the log is active: at NAV
    // and WEP over the top of the view (WEP's cockpit view is too narrow for
    // it); at COM, the briefing's lines too, in the log frame beside the
    // scene (a message-log window of the layout); ENG's schematic types them
    // in its own view.
    const bool flightLog = !briefing && gMessageLog.active;
    // The scene moves and the log types: the panel draws every frame.
    window->redrawCount = std::max<int16_t>(window->redrawCount, 1);
    if (briefing) {
        // The briefing holds the panel: its scene stays as it was.
    } else if (showsDocument) {
        DrawDocument(ScreenCanvas(), rect);
    } else {
        SceneItem* camera = EnsureViewerCamera();
        // The weapons view is the WEP station's view mode (an automatic
        // mount chosen, or the view key).
        if (CurrentStation == kStationWep && gWeaponViewFlag)
            guiWeaponsViewDraw(window);
        else if (showsObjectives)
            guiObjectivesListDraw(window);
        else if (ViewerSceneShown() && camera) {
            guiViewerSceneDraw(window, camera);
            if (gViewer.flyBy >= kFlyByHudTicks)
                UpdateHud();
        } else {
            // The view camera's picture: the external cameras, the cockpit.
            guiSetViewedItems(window, &gSceneList);
            guiDrawCockpitViewWindow(window);
            guiDrawRemoteLinkCaption(window);
        }
    }
    if (flightLog && (CurrentStation == kStationNav || CurrentStation == kStationWep))
        guiDrawMessageLog(left + kViewLogInset, top + kViewLogTop, window->width - 2 * kViewLogInset, kViewLogHeight);
    guiRedrawOverlapping(window);
}
