// The director (automatic camera), camera behaviours and remote links.
#pragma once

#include "ai/weapons.h"

#include <cstdint>

struct SceneItem;
struct Weapon;

using CameraRoutine = void (*)(SceneItem* camera);

// One row of the director's event table.
struct DirectorEventRow {
    CameraRoutine camera;
    int32_t priority;
    int32_t mode; // 0 never starts the director, 1 may, 2 may and holds
    int32_t holdTicks;
};
constexpr int kDirectorEventCount = 13;

// Director events offered by the world.
enum DirectorEventNumber : int32_t {
    kShotDocking = 0,
    kShotUndocking = 1,
    kShotPlayerShip = 5, // death, external camera, a broken-off piece
    kShotNewOrder = 6,
    kShotLdsEngaged = 8,
    kShotLdsDisengaged = 9,
    kShotJumpStart = 10,
    kShotArrival = 11, // after a jump or through a gate
};

extern DirectorEventRow DirectorEvent[kDirectorEventCount];
extern uint8_t gDirectorOn; // the automatic camera runs
// The player camera slot: the eye of the flight view and the listener of
// positional sound.
extern SceneItem* gPlayerCamera;
// The target camera, made at the start of each flight: the weapons and
// navigation scopes look through it.
extern SceneItem* gTargetCamera;
// The weapon view: the mount it looks along and that mount's firing arc.
extern Weapon* gWeaponViewMount;
extern FiringArc gWeaponViewArc;

void DirectorOfferShot(SceneItem* subject, SceneItem* second, int32_t event);
void DirectorUpdate();
void StartDirector();
void StopDirector();
void StartDirectorOnPlayer();
void EnterExternalView();
void ReleaseRemoteLink(SceneItem* controller);
void CAM_TRACK(SceneItem* camera);
void CAM_CHASE(SceneItem* camera);
void CAM_PLAYER(SceneItem* camera);
void CAM_CONTACT(SceneItem* camera);
void TargetCamera(SceneItem* camera);
void WeaponCameraStep(SceneItem* camera);
void NullCameraStep(SceneItem* camera);
