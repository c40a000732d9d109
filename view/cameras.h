// The view camera's behaviours, the target and weapon cameras, the switch
// between the cockpit and the external view, the director (the automatic
// camera that cuts to shots offered by game events) and the remote link by
// which the player flies another item.
//
// A camera is a scene item whose control routine is its behaviour: each
// routine writes the camera's Sim matrix and double position, which the
// render sync copies to its Avatar like any item's. The view camera is the
// mission's "CamPly" item (gPlayerCamera). The camera-item makers are the
// script's (CreateCameraItem); the bridge keys call the view switches.
#pragma once

#include "ai/weapons.h"
#include "system/palette.h"
#include "world/records.h"

#include <cstdint>

struct SceneItem;
struct Weapon;
struct WindowHandle;

using CameraRoutine = void (*)(SceneItem* camera);

// One row of the director's event table.
struct DirectorEventRow {
    CameraRoutine camera;
    int32_t priority;
    int32_t mode; // 0 never starts the director, 1 may, 2 may and holds
    int32_t holdTicks;
};
constexpr int kDirectorEventCount = 13;
constexpr int32_t kMinimumShotTicks = 250;
// The remote link ends beyond this distance from its controller.
constexpr double kRemoteLinkRange = 12'000'000.0;

// Director events offered by the world.
enum DirectorEventNumber : int32_t {
    kShotDocking = 0,
    kShotUndocking = 1,
    kShotPlayerShip = 5, // death, external camera, a broken-off piece
    kShotNewOrder = 6,
    kShotCycling = 7, // the director's own move to the next ship
    kShotLdsEngaged = 8,
    kShotLdsDisengaged = 9,
    kShotJumpStart = 10,
    kShotArrival = 11,  // after a jump or through a gate
    kShotScripted = 12, // the DIRECTOR statement's row: always cuts
};

// Game text numbers of the camera routines and the remote link.
enum CameraText : int {
    kTextNotRemoteControllable = 1,
    kTextRemoteLinked = 2,
    kTextRemoteReleased = 3,
    kTextRemoteOutOfReach = 4, // also: remote control barred
    kTextCameraPlayer = 30,
    kTextCameraContact = 31,
    kTextCameraTrack = 32,
    kTextCameraChase = 33,
    kTextCameraDrift = 34,
};

// The director's state. Its on flag is gDirectorOn, which the simulation
// frame and the message handler read.
struct DirectorState {
    uint8_t locked;
    uint8_t keep; // stays on the player's ship until stopped
    int32_t event;
    int32_t hold;       // ticks left of the shot; counts down by the frame's ticks
    uint32_t shotStart; // game clock
    int32_t shotLength; // random length of a cycling shot, ticks
    ItemRef subject;
    ItemRef target;
    // What StartDirector and SaveCameraView remembered, until restored.
    uint8_t viewSaved;
    uint8_t savedExternal;
    CameraRoutine savedBehaviour;
};

// The remote link.
struct RemoteLinkState {
    uint8_t linked;
    ItemRef controller;
    ItemRef item;
    ItemFunction controllerControl; // the two routines the link replaced
    ItemFunction itemControl;
    uint32_t linkTime;                 // game clock
    const PaletteEntry* remotePalette; // "REMPalette", loaded once
    uint8_t remotePaletteLoaded;
    const PaletteEntry* replacedPalette; // null: none replaced
};

// The view's state: the orbit turn of the external cameras, the flags the
// bridge reads, the camera name and weapon label shown on screen.
struct CameraViewState {
    Matrix4 orbit; // identity on every view switch
    float orbitYaw, orbitPitch;
    uint8_t orbitOn;
    uint8_t directorTarget; // watch the selected contact instead of the viewed item
    const char* cameraName; // game text of the behaviour driving the view camera
    char weaponLabel[48];
    SceneItem* weaponViewOwner; // the controlled item the weapon view was set up for
    Vector3 smoothedTarget;     // the weapon camera's smoothed aim point
    uint8_t weaponTargetSmoothing;
    // The gunner's view: its turn from the mount's heading (degrees, within
    // the mount's arc) and the world direction the mount fires along.
    float gunnerYaw, gunnerPitch;
    Vector3 gunnerAim;
    // The weapon the label was last written for.
    const Weapon* labelledWeapon;
};

struct CameraState {
    DirectorState director;
    RemoteLinkState remote;
    CameraViewState view;
};

extern DirectorEventRow DirectorEvent[kDirectorEventCount];
extern CameraState gCameras;
extern uint8_t gDirectorOn; // the automatic camera runs
// The player camera slot: the eye of the flight view and the listener of
// positional sound.
extern SceneItem* gPlayerCamera;
// The weapon camera: the mission's "CamWep" item, the gunner's eye that
// the weapons station's small view looks through.
extern SceneItem* gWeaponCamera;
// The target camera, made at the start of each flight: the weapons and
// navigation scopes look through it.
extern SceneItem* gTargetCamera;
// The cameras a script made (CAMERA), one slot per behaviour, and the last
// one made; cleared with the cameras.
extern SceneItem* gTrackCamera;
extern SceneItem* gChaseCamera;
extern SceneItem* gContactCamera;
extern SceneItem* gPursuitCamera;
extern SceneItem* gLastCamera;
// The weapon view: the mount it looks along and that mount's firing arc.
extern Weapon* gWeaponViewMount;
extern FiringArc gWeaponViewArc;

// Resets the director, the link and the view state for a new flight.
void ResetCameras();

// The director.
void DirectorOfferShot(SceneItem* subject, SceneItem* second, int32_t event);
// Per simulation frame: counts the shot down, ends it or cycles to the next
// ship.
void DirectorUpdate();
void StartDirector();
void StopDirector();
// The end of the flight: the director on the player's ship until stopped.
void StartDirectorOnPlayer();
// A random viewpoint around the watched item: 2 radii away, or radius +
// 1100 for items of radius up to 1100.
void PlaceDirectorCamera();

// The view switches.
void SaveCameraView();
void RestoreCameraView();
void EnterExternalView();
void EnterCockpitView();
void ToggleExternalView();

// The remote link: the controller (the player's ship) gives its control to
// the item, or takes it back when linked.
void ToggleRemoteLink(SceneItem* controller, SceneItem* item);
void ReleaseRemoteLink(SceneItem* controller);
// Puts the "REMPalette" palette on the display, keeping the one it replaces.
void ApplyRemotePalette();
// The controller's control routine while linked: the link ends beyond range.
void RemoteLinkControl(SceneItem* controller);

// Debug: puts the player's ship just behind the item.
void JumpPlayerToObject(SceneItem* item);
// "%s %s", direction word and weapon name of the viewed item's current
// weapon, into the static label it returns (empty without a weapon).
const char* FormatWeaponLabel();
// Frame handler of a window showing the weapon label: its text follows the
// viewed item's current weapon; then the window ticks.
void UpdateWeaponLabelWindow(WindowHandle* window);

// Behaviours (control routines of camera items).
void CAM_TRACK(SceneItem* camera);
void CAM_CHASE(SceneItem* camera);
void CAM_PLAYER(SceneItem* camera);
void CAM_CONTACT(SceneItem* camera);
// A tracking camera that first drifts by its own velocity (director row 5).
void DriftingTrackCamera(SceneItem* camera);
void TargetCamera(SceneItem* camera);
// TargetCamera that also writes its result into the render matrix.
void SnapTargetCamera(SceneItem* camera);
void WeaponCameraStep(SceneItem* camera);
void NullCameraStep(SceneItem* camera);
