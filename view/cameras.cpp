// The view camera's behaviours, the target and weapon cameras, the cockpit
// and external views, the director and the remote link.
//
// Owns: the director's event table and state, the orbit turn of the
// external cameras, the remote link and its palette, the camera name and
// the weapon label. Not here: the camera items themselves (the script's
// CreateCameraItem), the drawing of the view (renderpasses, viewwindows) and
// the bridge keys that call the switches.
#include "view/cameras.h"

#include "screens/bridge.h"
#include "script/configstatements.h"
#include "script/keywords.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "system/crand.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "view/bodyrender.h"
#include "view/skyandlights.h"
#include "view/viewwindows.h"
#include "ai/docking.h"
#include "world/playerinput.h"
#include "world/scenelist.h"
#include "world/universe.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>

DirectorEventRow DirectorEvent[kDirectorEventCount] = {
    {CAM_TRACK, 6, 2, 300},
    {CAM_TRACK, 6, 1, 200},
    {CAM_TRACK, 6, 1, 200},
    {CAM_CONTACT, 1, 0, 500},
    {CAM_CONTACT, 1, 0, 500},
    {DriftingTrackCamera, 7, 0, 400},
    {CAM_CHASE, 2, 0, 500},
    {CAM_CHASE, 0, 0, 500},
    {CAM_TRACK, 3, 0, 500},
    {CAM_TRACK, 3, 0, 500},
    {CAM_TRACK, 4, 1, 200},
    {CAM_TRACK, 5, 1, 200},
    {CAM_TRACK, 8, 1, 500},
};
CameraState gCameras = {};
uint8_t gDirectorOn = 0;
SceneItem* gPlayerCamera = nullptr;
SceneItem* gTrackCamera = nullptr;
SceneItem* gChaseCamera = nullptr;
SceneItem* gContactCamera = nullptr;
SceneItem* gPursuitCamera = nullptr;
SceneItem* gLastCamera = nullptr;
SceneItem* gTargetCamera = nullptr;
SceneItem* gWeaponCamera = nullptr;
Weapon* gWeaponViewMount = nullptr;
FiringArc gWeaponViewArc = {};

namespace {

constexpr int16_t kNavStation = 2;
constexpr int16_t kWepStation = 3;
// The screens of the bridge stations 1-4.
constexpr const char* kStationScreens[] = {nullptr, "COM", "NAV", "WEP", "ENG"};
constexpr int32_t kMessageTicks = 200;
constexpr float kShakeDegrees = 2.0f; // the strongest turn of a cockpit shake

// Direction words of the weapon label by direction code; codes past the
// table read as 0.
constexpr const char* kDirectionWords[] = {"FULL RNG", "FWD", "FWD PORT", "PORT", "AFT PORT",
                                           "AFT", "AFT STBD", "STBD", "FWD STBD", "FULL RNG"};
// The turn about y of a mount's view by its direction code (port is -x).
constexpr float kDirectionDegrees[] = {0, 0, -45, -90, -135, 180, 135, 90, 45, 0};
constexpr int kDirectionCodes = 10;
// The gunner's turn at full steering demand, degrees a second.
constexpr float kGunnerTurnRate = 60.0f;
constexpr int16_t kWeaponsStation = 3;

int DirectionIndex(int16_t directionCode)
{
    const int code = directionCode & 15;
    return code < kDirectionCodes ? code : 0;
}

Vector3 Axis(const Matrix4& m, int row)
{
    return {m.m[4 * row], m.m[4 * row + 1], m.m[4 * row + 2]};
}

void SetAxes(Matrix4& m, const Vector3& side, const Vector3& up, const Vector3& forward)
{
    const Vector3 rows[3] = {side, up, forward};
    for (int r = 0; r < 3; ++r) {
        m.m[4 * r] = rows[r].x;
        m.m[4 * r + 1] = rows[r].y;
        m.m[4 * r + 2] = rows[r].z;
        m.m[4 * r + 3] = 0.0f;
    }
    m.m[15] = 1.0f;
}

// b - a of two world positions, as floats.
Vector3 Between(const WorldPosition& a, const WorldPosition& b)
{
    return {static_cast<float>(b.x - a.x), static_cast<float>(b.y - a.y), static_cast<float>(b.z - a.z)};
}

WorldPosition Moved(const WorldPosition& p, const Vector3& v, double by)
{
    return {p.x + v.x * by, p.y + v.y * by, p.z + v.z * by};
}

// The camera's double position and its float copy in the matrix.
void PlaceCamera(SceneItem* camera, const WorldPosition& p)
{
    Sim* sim = camera->sim;
    sim->position = p;
    sim->matrix.m[12] = static_cast<float>(p.x);
    sim->matrix.m[13] = static_cast<float>(p.y);
    sim->matrix.m[14] = static_cast<float>(p.z);
}

// Axes looking along forward with the world's y up: side = forward x
// (0, -1, 0). False, and the matrix untouched, when forward is zero or
// straight up or down: the camera then keeps its last orientation.
bool TrackAxes(Vector3 forward, Matrix4& m)
{
    if (VecNormalise(forward) == 0.0f)
        return false;
    Vector3 side;
    VecCross(forward, Vector3{0.0f, -1.0f, 0.0f}, side);
    if (VecNormalise(side) == 0.0f)
        return false;
    Vector3 up;
    VecCross(forward, side, up);
    SetAxes(m, side, up, forward);
    return true;
}

bool HasSim(const SceneItem* item)
{
    return item && item->sim && item->avatar;
}

SceneItem* ViewedItem()
{
    return HasSim(gControlledItem) ? gControlledItem : gPlayerItem;
}

// The selected contact: the viewed item's weapons target.
SceneItem* SelectedContactItem()
{
    const SceneItem* viewed = ViewedItem();
    SceneItem* target = HasSim(viewed) ? viewed->sim->target.Get() : nullptr;
    return HasSim(target) ? target : nullptr;
}

// What a camera looks at. The view camera watches the viewed item, the
// selected contact while the director-target flag is set, the director's
// subject while the director runs; other cameras their own watched item.
SceneItem* WatchedItem(const SceneItem* camera)
{
    SceneItem* watched = nullptr;
    if (camera && camera != gPlayerCamera && camera->avatar)
        watched = camera->avatar->linkItem.Get();
    if (!HasSim(watched)) {
        watched = ViewedItem();
        if (gCameras.view.directorTarget)
            if (SceneItem* contact = SelectedContactItem())
                watched = contact;
        if (gDirectorOn)
            if (SceneItem* subject = gCameras.director.subject.Get(); HasSim(subject))
                watched = subject;
    }
    if (!HasSim(watched))
        watched = gPlayerItem;
    return HasSim(watched) ? watched : nullptr;
}

// The displayed camera name, when the camera drives the view.
void NameCamera(const SceneItem* camera, int text)
{
    if (camera == gPlayerCamera)
        gCameras.view.cameraName = gTextTable[text];
}

void ShowText(int text)
{
    if (const char* line = gTextTable[text])
        guiDisplayMessage(line, kMessageTicks);
}

// Every cut and view switch: the star field starts its trails afresh and
// the next view clears its whole depth target.
void MarkCut()
{
    gStarFieldReset = 255;
    gFullDepthClear = 255;
}

void ResetOrbit()
{
    CameraViewState& view = gCameras.view;
    MatIdentity(view.orbit);
    view.orbitYaw = view.orbitPitch = 0.0f;
    view.orbitOn = 0;
    view.directorTarget = 0;
    MarkCut();
}

void GoToStation(int16_t station)
{
    if (station < 1 || station > 4)
        return;
    guiGotoScreen(kStationScreens[station]);
    CurrentStation = station;
}

void SetViewBehaviour(CameraRoutine routine)
{
    if (gPlayerCamera)
        gPlayerCamera->control = routine;
}

const DirectorEventRow& CurrentRow()
{
    const int32_t event = gCameras.director.event;
    return DirectorEvent[event >= 0 && event < kDirectorEventCount ? event : 0];
}

// The player's ship is the subject of a holding (mode 2) shot.
bool PlayerHeldInShot()
{
    const DirectorState& d = gCameras.director;
    return CurrentRow().mode == 2 && gPlayerItem && d.subject.Get() == gPlayerItem;
}

// The next ship for the director to film after the subject: one of the
// player's star system that is a contact, or the player's ship.
SceneItem* NextFilmableShip(SceneItem* from)
{
    int length = 0;
    for (SceneItem* i = gSceneList.next; i != &gSceneList; i = i->next)
        ++length;
    SceneItem* at = from && IsInSceneList(from) ? from : &gSceneList;
    const int16_t generation = gPlayerItem ? gPlayerItem->sceneGeneration : gCurrentSceneGeneration;
    for (int step = 0; step < length; ++step) {
        at = at->next;
        if (at == &gSceneList)
            at = at->next;
        if (at == &gSceneList)
            return nullptr;
        if (!at->sim || !at->sim->shipInfo || at->sceneGeneration != generation)
            continue;
        if (at == gPlayerItem || IsContact(at))
            return at;
    }
    return nullptr;
}

void CycleDirector()
{
    DirectorState& d = gCameras.director;
    SceneItem* next = NextFilmableShip(d.subject.Get());
    if (!next)
        return;
    DirectorOfferShot(next, nullptr, kShotPlayerShip);
    SetViewBehaviour(CAM_CHASE);
    d.event = kShotCycling;
    d.shotLength = CRand() % 250 + 400;
    d.hold = std::max(d.hold, d.shotLength + 100);
}

// The target camera's placement. With nothing to look at (no viewer, no
// target, or the target on the viewer) the camera stays at the viewer with
// its last orientation.
void AimTargetCamera(SceneItem* camera)
{
    SceneItem* viewer = gPlayerItem;
    SceneItem* target = camera->avatar ? camera->avatar->linkItem.Get() : nullptr;
    if (gDirectorOn) {
        viewer = gCameras.director.subject.Get();
        target = gCameras.director.target.Get();
    } else if (target == viewer && HasSim(viewer)) {
        target = viewer->sim->target.Get();
    }
    if (!HasSim(viewer))
        return;
    const Sim& v = *viewer->sim;
    PlaceCamera(camera, v.position);
    if (!HasSim(target) || target == viewer)
        return;
    const Vector3 toTarget = Between(v.position, target->sim->position);
    Vector3 forward = toTarget;
    const float distance = VecNormalise(forward);
    if (distance == 0.0f)
        return;
    const Vector3 viewerUp = Axis(v.matrix, 1);
    Vector3 side;
    VecCross(forward, Vector3{-viewerUp.x, -viewerUp.y, -viewerUp.z}, side);
    if (VecLength(side) <= 0.1f) {
        const Vector3 right = Axis(v.matrix, 0);
        side = {-right.x, -right.y, -right.z};
    }
    VecNormalise(side);
    Vector3 up;
    VecCross(forward, side, up);
    SetAxes(camera->sim->matrix, side, up, forward);
    WorldPosition at;
    if (gDirectorOn) {
        // Two radii behind the viewer, a little above (or below) and aside.
        const float r = v.radius;
        const double g = r * 2.0 + distance;
        Vector3 local;
        VecMulMat3T(local, toTarget, v.matrix);
        const double lift = (local.y >= 0.0f ? 1.0 : -1.0) * r / 2.0;
        at = Moved(Moved(Moved(target->sim->position, forward, -g), up, lift), side, r / 4.0);
    } else {
        double g = std::max(target->sim->radius * 2.5, 3000.0);
        g = std::min(g, 0.75 * distance);
        at = Moved(target->sim->position, forward, -g);
    }
    PlaceCamera(camera, at);
}

} // namespace

void ResetCameras()
{
    gCameras = CameraState{};
    MatIdentity(gCameras.view.orbit);
    gDirectorOn = 0;
    gStarFieldReset = 0;
    gTrackCamera = gChaseCamera = gContactCamera = gPursuitCamera = gLastCamera = nullptr;
    gWeaponCamera = nullptr;
}

// ---- The director -------------------------------------------------------------------

void DirectorOfferShot(SceneItem* subject, SceneItem* second, int32_t event)
{
    if (event < 0 || event >= kDirectorEventCount)
        return;
    DirectorState& d = gCameras.director;
    const DirectorEventRow& row = DirectorEvent[event];
    const uint32_t now = gFrameClock.gameClock;
    if (!gDirectorOn) {
        // Only the automatic director ("director" switch) starts on events:
        // once started it keeps cycling from ship to ship, so an event in
        // ordinary flight would otherwise leave the cockpit for good.
        if (!gSettings.director || !subject || subject != gPlayerItem || row.mode == 0)
            return;
        if (CurrentStation == 0 || CurrentStation == kWepStation)
            GoToStation(kNavStation);
        SaveCameraView();
        SaveStationScreen();
        EnterExternalView();
        gDirectorOn = 255;
        d.hold = 0;
        d.shotStart = now - kMinimumShotTicks - 1;
    }
    if ((d.hold > 0 && PlayerHeldInShot()) || d.locked)
        return;
    const int32_t current = CurrentRow().priority;
    d.hold = row.holdTicks;
    if (event != kShotScripted && current >= row.priority &&
        static_cast<int32_t>(now - d.shotStart) < kMinimumShotTicks)
        return;
    d.event = event;
    d.shotStart = now;
    d.subject = subject;
    d.target = second;
    SetViewBehaviour(row.camera);
    PlaceDirectorCamera();
    CameraViewState& view = gCameras.view;
    view.orbitOn = 1;
    view.orbitYaw = static_cast<float>(CRand() % 360);
    view.orbitPitch = static_cast<float>(CRand() % 180 - 90);
    MatIdentity(view.orbit);
    MatRotX(view.orbitPitch, view.orbit);
    MatRotY(view.orbitYaw, view.orbit);
    MarkCut();
}

void DirectorUpdate()
{
    if (CurrentStation < 1 || CurrentStation > 4)
        return;
    DirectorState& d = gCameras.director;
    if (gSettings.director && !gDirectorOn && !gObjectivesViewOpen && !gDocsViewOpen && !gLocalViewOpen) {
        EnterExternalView();
        gDirectorOn = 255;
    }
    if (!gDirectorOn)
        return;
    const int32_t ticks = gFrameClock.frameTicks;
    if (d.hold > 0) {
        if (PlayerHeldInShot()) {
            d.hold -= ticks;
            if (d.hold < 1) {
                d.hold = CurrentRow().holdTicks;
                PlaceDirectorCamera();
            }
        } else if (!d.keep) {
            d.hold -= ticks;
            if (d.hold < 1) {
                RestoreCameraView();
                RestoreStationScreen();
                gDirectorOn = 0;
                d.locked = 0;
                d.hold = 0;
                return;
            }
        }
    }
    // The player's ship stays in view while a holding shot or the keep
    // flag says so; any shot runs its random length before the next ship.
    if (PlayerHeldInShot() || d.locked || d.keep)
        return;
    if (d.hold > 0 && static_cast<int32_t>(gFrameClock.gameClock - d.shotStart) < d.shotLength)
        return;
    CycleDirector();
}

// No shot runs yet: the first offer cuts whatever the last shot was, so the
// director never starts on a stale subject.
void StartDirector()
{
    SaveCameraView();
    EnterExternalView();
    gDirectorOn = 255;
    gCameras.director.hold = 0;
    gCameras.director.shotStart = gFrameClock.gameClock - kMinimumShotTicks - 1;
}

void StopDirector()
{
    RestoreCameraView();
    gDirectorOn = 0;
    DirectorState& d = gCameras.director;
    d.locked = 0;
    d.keep = 0;
    d.hold = 0;
}

void StartDirectorOnPlayer()
{
    if (CurrentStation == 0)
        GoToStation(kNavStation);
    guiClearMessageLog();
    MissionEndState = gDebriefAtFlightEnd ? kMissionDebrief : kMissionFlightOver;
    StartDirector();
    DirectorOfferShot(gPlayerItem, nullptr, kShotPlayerShip);
    gCameras.director.keep = 255;
}

void PlaceDirectorCamera()
{
    SceneItem* camera = gPlayerCamera;
    SceneItem* subject = WatchedItem(camera);
    if (!HasSim(camera) || !subject)
        return;
    const float yaw = static_cast<float>(CRand() * 360 / 32768 - 180);
    const float pitch = static_cast<float>(CRand() * 180 / 32768 - 90);
    const float roll = static_cast<float>(CRand() * 45 / 32768 - 22);
    const float r = subject->sim->radius;
    const float distance = r > 1100.0f ? 2.0f * r : r + 1100.0f;
    Matrix4 m;
    MatIdentity(m);
    MatRotZ(roll, m);
    MatRotX(pitch, m);
    MatRotY(yaw, m);
    const Vector3 forward = Axis(m, 2);
    m.m[12] = -forward.x * distance;
    m.m[13] = -forward.y * distance;
    m.m[14] = -forward.z * distance;
    // Into the subject's frame, the translation through its axes only: the
    // subject's own position is added in double precision.
    Vector3 offset;
    MatRotateVec(subject->sim->matrix, Vector3{m.m[12], m.m[13], m.m[14]}, offset);
    MatMul(m, subject->sim->matrix);
    camera->sim->matrix = m;
    PlaceCamera(camera, Moved(subject->sim->position, offset, 1.0));
    camera->avatar->cameraOffset = offset;
}

// ---- View switching ---------------------------------------------------------------------

void SaveCameraView()
{
    if (gDirectorOn)
        return;
    DirectorState& d = gCameras.director;
    d.viewSaved = 1;
    d.savedExternal = gExternalView;
    d.savedBehaviour = gPlayerCamera ? gPlayerCamera->control : nullptr;
}

// Only a saved view is restored, once: stopping a director that never ran
// (every move to another star system stops it) leaves the view, its camera
// and a remote link as they are.
void RestoreCameraView()
{
    DirectorState& d = gCameras.director;
    if (!d.viewSaved)
        return;
    d.viewSaved = 0;
    if (d.savedExternal)
        EnterExternalView();
    else
        EnterCockpitView();
    SetViewBehaviour(d.savedBehaviour);
}

void EnterExternalView()
{
    if (CurrentStation == 0) {
        ClearCommandOverlays();
        GoToStation(kNavStation);
    }
    gExternalView = 255;
    ResetOrbit();
}

void EnterCockpitView()
{
    gExternalView = 0;
    ResetOrbit();
    SetViewBehaviour(CAM_PLAYER);
    if (gCameras.remote.linked)
        ReleaseRemoteLink(gCameras.remote.controller.Get());
}

void ToggleExternalView()
{
    if (gExternalView)
        EnterCockpitView();
    else
        EnterExternalView();
}

// ---- The remote link ---------------------------------------------------------------------

void ToggleRemoteLink(SceneItem* controller, SceneItem* item)
{
    RemoteLinkState& link = gCameras.remote;
    if (link.linked) {
        ReleaseRemoteLink(controller);
        ShowText(kTextRemoteReleased);
        return;
    }
    if (!HasSim(controller) || !HasSim(item) || item == controller || !item->sim->shipInfo ||
        !(item->sim->flags & kSimRemoteControllable)) {
        ShowText(kTextNotRemoteControllable);
        return;
    }
    if (gRemoteLinkMarker) {
        ShowText(kTextRemoteOutOfReach);
        return;
    }
    link.controller = controller;
    link.item = item;
    link.controllerControl = controller->control;
    link.itemControl = item->control;
    controller->control = RemoteLinkControl;
    item->control = CONTROL_MAIN;
    gControlledItem = item;
    gRemoteLinkItem = item;
    item->avatar->remoteLinked = 1;
    ShowText(kTextRemoteLinked);
    link.linked = 1;
    link.linkTime = gFrameClock.gameClock;
    ApplyRemotePalette();
}

void ReleaseRemoteLink(SceneItem* controller)
{
    RemoteLinkState& link = gCameras.remote;
    if (!link.linked)
        return;
    link.linked = 0;
    SceneItem* owner = link.controller.Get();
    if (!owner)
        owner = controller;
    if (owner && owner->control == RemoteLinkControl)
        owner->control = link.controllerControl;
    if (SceneItem* item = link.item.Get(); HasSim(item)) {
        item->control = link.itemControl;
        item->sim->flags &= ~uint32_t{kSimAiControl};
        item->avatar->remoteLinked = 0;
    }
    link.controller = nullptr;
    link.item = nullptr;
    gRemoteLinkItem = nullptr;
    gControlledItem = gPlayerItem;
    ForceContactRefresh();
    if (link.replacedPalette) {
        gCurrentPalette = link.replacedPalette;
        DisplaySetPalette(link.replacedPalette);
        link.replacedPalette = nullptr;
    }
    RestoreStationScreen();
}

void ApplyRemotePalette()
{
    RemoteLinkState& link = gCameras.remote;
    if (!link.remotePaletteLoaded) {
        link.remotePaletteLoaded = 1;
        const ScriptSymbol* symbol = FindScriptSymbol("REMPalette");
        if (symbol && symbol->value && (symbol->type & kSymbolResource) && !SymbolHoldsValueBytes(symbol)) {
            auto* resource = static_cast<Resource*>(symbol->value);
            if (resource->type == ResType::PcxPalette || resource->type == ResType::LbmPalette)
                if (auto* palette = static_cast<GamePalette*>(ResGet(resource)))
                    link.remotePalette = palette->entries;
        }
    }
    if (!link.remotePalette || gCurrentPalette == link.remotePalette)
        return;
    if (!link.replacedPalette)
        link.replacedPalette = gCurrentPalette;
    gCurrentPalette = link.remotePalette;
    DisplaySetPalette(link.remotePalette);
}

void RemoteLinkControl(SceneItem* controller)
{
    RemoteLinkState& link = gCameras.remote;
    if (!link.linked)
        return;
    const SceneItem* item = link.item.Get();
    if (!HasSim(controller) || !HasSim(item)) {
        ReleaseRemoteLink(controller);
        return;
    }
    const WorldPosition& a = controller->sim->position;
    const WorldPosition& b = item->sim->position;
    const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    if (dx * dx + dy * dy + dz * dz > kRemoteLinkRange * kRemoteLinkRange) {
        ReleaseRemoteLink(controller);
        ShowText(kTextRemoteOutOfReach);
    }
}

// ---- Debug jump and the weapon label ------------------------------------------------------

void JumpPlayerToObject(SceneItem* item)
{
    SceneItem* player = gPlayerItem;
    if (!HasSim(player) || !HasSim(item) || item == player)
        return;
    double itemRadius = item->sim->radius;
    if (item->avatar->classFlags & SenseFlag(kw::SN_PLANET))
        itemRadius /= kPlanetScale;
    const double back = 2.0 * player->sim->radius + 2.0 * itemRadius;
    const WorldPosition at = Moved(item->sim->position, Axis(player->sim->matrix, 2), -back);
    PlaceItemAt(player, at.x, at.y, at.z);
    RefreshPlanetDetail();
}

const char* FormatWeaponLabel()
{
    char* label = gCameras.view.weaponLabel;
    label[0] = '\0';
    const SceneItem* viewed = ViewedItem();
    const Weapon* weapon = HasSim(viewed) ? viewed->sim->currentWeapon : nullptr;
    if (!weapon)
        return label;
    const char* name = weapon->kind >= 0 && weapon->kind < kWeaponKindCount ? WeaponKindTable[weapon->kind].name : "";
    std::snprintf(label, sizeof gCameras.view.weaponLabel, "%s %s", kDirectionWords[DirectionIndex(weapon->directionCode)],
                  name);
    return label;
}

void UpdateWeaponLabelWindow(WindowHandle* window)
{
    const SceneItem* viewed = ViewedItem();
    const Weapon* weapon = HasSim(viewed) ? viewed->sim->currentWeapon : nullptr;
    CameraViewState& view = gCameras.view;
    if (weapon != view.labelledWeapon || !window->text) {
        view.labelledWeapon = weapon;
        window->text = FormatWeaponLabel();
        guiRedrawWindowAndChildren(window);
    }
    guiTickWindow(window);
}

// ---- Behaviours -----------------------------------------------------------------------------

void CAM_TRACK(SceneItem* camera)
{
    if (!HasSim(camera))
        return;
    NameCamera(camera, kTextCameraTrack);
    if (const SceneItem* watched = WatchedItem(camera))
        TrackAxes(Between(camera->sim->position, watched->sim->position), camera->sim->matrix);
}

void DriftingTrackCamera(SceneItem* camera)
{
    if (!HasSim(camera))
        return;
    NameCamera(camera, kTextCameraDrift);
    Sim& sim = *camera->sim;
    PlaceCamera(camera, Moved(sim.position, sim.velocity, gFrameClock.frameSeconds));
    if (const SceneItem* watched = WatchedItem(camera))
        TrackAxes(Between(sim.position, watched->sim->position), sim.matrix);
}

void CAM_CHASE(SceneItem* camera)
{
    if (!HasSim(camera))
        return;
    NameCamera(camera, kTextCameraChase);
    const SceneItem* watched = WatchedItem(camera);
    if (!watched || watched == camera)
        return;
    const Sim& w = *watched->sim;
    const CameraViewState& view = gCameras.view;
    const float d = std::max(w.radius * 2.0f, static_cast<float>(camera->avatar->cameraMinimumDistance));
    const float t = std::clamp(camera->avatar->cameraLag / 1000.0f * gFrameClock.frameSeconds, 0.0f, 1.0f);
    Vector3 local{0.0f, 0.0f, -d};
    if (view.orbitOn)
        MatRotateVec(view.orbit, Vector3{0.0f, 0.0f, -d}, local);
    Vector3 desired;
    MatRotateVec(w.matrix, local, desired);
    Vector3& offset = camera->avatar->cameraOffset;
    offset = {t * desired.x + (1 - t) * offset.x, t * desired.y + (1 - t) * offset.y,
              t * desired.z + (1 - t) * offset.z};
    if (!view.orbitOn) {
        // Never ahead of the watched item: the camera slides beside it.
        Vector3 inWatched;
        VecMulMat3T(inWatched, offset, w.matrix);
        if (inWatched.z > 0.0f) {
            inWatched.z = 0.0f;
            MatRotateVec(w.matrix, inWatched, offset);
        }
    }
    Vector3 direction = offset;
    VecNormalise(direction);
    PlaceCamera(camera, Moved(w.position, direction, d));
    const Vector3 forwardAxis = Axis(w.matrix, 2);
    const WorldPosition lookAt = view.orbitOn ? w.position : Moved(w.position, forwardAxis, 1.05 * w.radius);
    Vector3 look = Between(camera->sim->position, lookAt);
    const Vector3 up = Axis(w.matrix, 1);
    if (VecNormalise(look) > 0.0f)
        MatLookDir(look, &up, camera->sim->matrix);
}

void CAM_PLAYER(SceneItem* camera)
{
    if (!HasSim(camera))
        return;
    NameCamera(camera, kTextCameraPlayer);
    const SceneItem* watched = WatchedItem(camera);
    if (!watched || watched == camera)
        return;
    const Sim& w = *watched->sim;
    Matrix4 m = gCameras.view.orbit;
    m.m[12] = m.m[13] = m.m[14] = 0.0f;
    MatMul(m, w.matrix);
    if (gScreenShake[0] > 0) {
        const int32_t left = std::max<int32_t>(gScreenShake[0] - gFrameClock.frameTicks, 0);
        gScreenShake[0] = static_cast<int16_t>(left);
        const float fraction = gScreenShake[1] > 0 ? static_cast<float>(left) / gScreenShake[1] : 0.0f;
        if (fraction > 0.0f) {
            for (void (*turn)(float, Matrix4&) : {MatRotX, MatRotY, MatRotZ})
                turn((CRand() * 2.0f / kCRandMax - 1.0f) * kShakeDegrees * fraction, m);
        }
    }
    camera->sim->matrix = m;
    PlaceCamera(camera, Moved(w.position, Axis(m, 2), 1.01 * w.radius));
}

void CAM_CONTACT(SceneItem* camera)
{
    if (!HasSim(camera))
        return;
    SceneItem* subject = gDirectorOn ? gCameras.director.subject.Get() : SelectedContactItem();
    if (!HasSim(subject))
        subject = gCameras.director.target.Get();
    if (!HasSim(subject)) {
        CAM_CHASE(camera);
        return;
    }
    NameCamera(camera, kTextCameraContact);
    camera->avatar->linkItem = subject;
    TargetCamera(camera);
}

void TargetCamera(SceneItem* camera)
{
    if (HasSim(camera))
        AimTargetCamera(camera);
}

void SnapTargetCamera(SceneItem* camera)
{
    if (!HasSim(camera))
        return;
    AimTargetCamera(camera);
    camera->avatar->position = camera->sim->position;
    camera->avatar->matrix = camera->sim->matrix;
}

namespace {

void ViewMount(Weapon* mount)
{
    gWeaponViewMount = mount;
    if (mount)
        SetupFiringArc(&gWeaponViewArc, mount->directionCode);
}

// The player's mount that faces the target becomes the current one (and
// the one the view looks along), when one of its group can bear.
void ChooseMountFacing(SceneItem* player, const SceneItem* target)
{
    Sim& p = *player->sim;
    if (!p.weapons || !HasSim(target))
        return;
    Vector3 local;
    VecMulMat3T(local, Between(p.position, target->sim->position), p.matrix);
    const int16_t group = p.currentWeapon ? p.currentWeapon->kind : p.weapons->kind;
    if (Weapon* facing = ChooseMountForDirection(local.x, local.y, local.z, p.weapons, group)) {
        p.currentWeapon = facing;
        if (facing != gWeaponViewMount)
            ViewMount(facing);
    }
}

// Moves an angle toward where the demand (percent of full) points within
// the limits, at most the frame's turn.
float SteerAngle(float angle, float demand, float low, float high)
{
    const float wanted = demand >= 0.0f ? demand / 100.0f * high : -demand / 100.0f * low;
    const float step = kGunnerTurnRate * gFrameClock.frameSeconds;
    angle += std::clamp(wanted - angle, -step, step);
    return std::clamp(angle, low, high);
}

// The gunner's view along the item's first mount: turned by the mount's
// heading, then by the gunner's yaw and pitch, which the steering demands
// move at the weapons station. The mount fires along the view.
void GunnerView(SceneItem* camera, const SceneItem* viewed)
{
    const Sim& v = *viewed->sim;
    CameraViewState& view = gCameras.view;
    Weapon* mount = v.weapons;
    if (mount && CurrentStation == kWeaponsStation) {
        FiringArc arc;
        SetupFiringArc(&arc, mount->directionCode);
        // limits: highest and lowest pitch, then the two yaw bounds.
        const float yawLow = std::min(arc.limits[2], arc.limits[3]), yawHigh = std::max(arc.limits[2], arc.limits[3]);
        view.gunnerYaw = SteerAngle(view.gunnerYaw, viewed->yawDemand, yawLow, yawHigh);
        view.gunnerPitch = SteerAngle(view.gunnerPitch, viewed->pitchDemand, arc.limits[1], arc.limits[0]);
    }
    // Each turn goes on the inside of the last: the pitch is about the
    // yawed mount's own side axis.
    Matrix4 m;
    MatIdentity(m);
    if (mount)
        MatRotY(kDirectionDegrees[DirectionIndex(mount->directionCode)], m);
    MatRotY(view.gunnerYaw, m);
    MatRotX(view.gunnerPitch, m);
    MatMul(m, v.matrix);
    camera->sim->matrix = m;
    Vector3 offset{};
    if (mount) {
        view.gunnerAim = Axis(m, 2);
        mount->aimReference = &view.gunnerAim;
        MatRotateVec(v.matrix, mount->mountPosition, offset);
    }
    PlaceCamera(camera, Moved(v.position, offset, 1.0));
}

} // namespace

void WeaponCameraStep(SceneItem* camera)
{
    if (!HasSim(camera))
        return;
    SceneItem* viewed = ViewedItem();
    CameraViewState& view = gCameras.view;
    if (viewed != view.weaponViewOwner) {
        view.weaponViewOwner = viewed;
        view.gunnerYaw = view.gunnerPitch = 0.0f;
        ViewMount(HasSim(viewed) ? viewed->sim->weapons : nullptr);
    }
    if (!HasSim(viewed))
        return;
    const Sim& v = *viewed->sim;
    Sim& cam = *camera->sim;
    if (!gWeaponViewOption) {
        GunnerView(camera, viewed);
        return;
    }
    SceneItem* player = HasSim(gPlayerItem) ? gPlayerItem : viewed;
    SceneItem* target = player->sim->target.Get();
    if (!HasSim(target))
        target = gCameras.director.target.Get();
    ChooseMountFacing(player, target);
    if (view.weaponTargetSmoothing && HasSim(target)) {
        const Sim& p = *player->sim;
        const Vector3 aim{static_cast<float>(target->sim->position.x), static_cast<float>(target->sim->position.y),
                          static_cast<float>(target->sim->position.z)};
        Vector3& s = view.smoothedTarget;
        s = {0.85f * s.x + 0.15f * aim.x, 0.85f * s.y + 0.15f * aim.y, 0.85f * s.z + 0.15f * aim.z};
        Vector3 look{static_cast<float>(s.x - p.position.x), static_cast<float>(s.y - p.position.y),
                     static_cast<float>(s.z - p.position.z)};
        const Vector3 up = Axis(p.matrix, 1);
        const Vector3 down{-up.x, -up.y, -up.z};
        if (VecNormalise(look) > 0.0f)
            MatLookDir(look, &down, cam.matrix);
        const WorldPosition back = Moved(p.position, Axis(p.matrix, 2), -0.2 * p.radius);
        PlaceCamera(camera, Moved(back, Axis(cam.matrix, 2), 1.9 * p.radius));
        return;
    }
    cam.matrix = v.matrix;
    PlaceCamera(camera, Moved(v.position, Axis(v.matrix, 2), 1.2 * v.radius));
}

void NullCameraStep(SceneItem*) {}
