// Steering and approach routines: the small vocabulary with which the AI,
// the behaviours and the autopilot fly ships.
//
// They only set demands, as the player's controls do: pitch, yaw and roll
// demands (percent) with the remaining angles in the SceneItem, and the
// thrust demand (ship axes) in the Sim. SIM_MAIN carries them out.
//
// Directions "in ship axes" have x to the right, y up and z forward (the
// rows of the Sim matrix). A positive pitch demand turns the nose down, a
// positive yaw demand turns it right, a positive roll tilts the up axis to
// the right; the angle routines answer angles in that sense.
//
// Turning at most once a frame: Sim flag 0x2000 means "turning is done for
// this frame". TurnTowardDirection sets it; while it is set, every routine
// that turns (the per-axis steering, TurnTowardDirection, TurnTowardVector,
// SteerToDirection, SteerToMatchFrame) does nothing and answers 0, so that
// routines that follow only thrust. The AI's control step clears it.
#pragma once

#include <cstdint>

#include "system/gamemath.h"

struct SceneItem;
struct FlightModel;

// A speed profile: the closing speed wanted at a distance.
using SpeedProfile = float (*)(SceneItem* item, FlightModel* model, float distance);

// ---- Angles from a sine-like s and a cosine-like c (s above 1 counts as 1)

// 0 inside the dead zone (|s| < 0.07 while c > -0.05); ahead -asin(s) in
// degrees; behind -90 (s >= 0) or 90.
float AimAngle(float s, float c);
// The same without the dead zone.
float AimAngleToAxis(float s, float c);
// asin(s) in degrees when |s| or |c| is at least 0.05, else 0 (the opposite
// sign to AimAngle).
float SmallAimAngle(float s, float c);

// ---- Per-axis steering: each answers a factor for the next axis, and 0
// without doing anything while turning is done for this frame.

// Remaining pitch = a; the demand goes halfway to +-100, times f^2;
// answers (1 - |a|/90)^2 f.
float SteerPitch(SceneItem* item, float angle, const FlightModel* model, float factor);
float SteerYaw(SceneItem* item, float angle, const FlightModel* model, float factor);
// Remaining roll = a; the demand goes halfway to +-100, falling off
// linearly below 30 degrees; answers (1 - |a|/90)^3.
float SteerRoll(SceneItem* item, float angle, const FlightModel* model = nullptr);
// The three demands and remaining angles to 0.
void ClearControlDemands(SceneItem* item);

// ---- Turning

// Steers toward an orientation given in ship axes (rows X, Y, Z): yaw, then
// roll and pitch scaled down while the yaw is large. Answers how well the
// ship is aligned (1 = aligned).
float SteerToDirection(SceneItem* item, const Matrix4& target);
// One turn step toward a direction in ship axes: roll and pitch, or roll and
// yaw when that way is quicker (the pitch way's time estimate is 1.5 times
// the yaw way's or more). Once a frame: sets the turning-done flag. Answers
// the alignment factor.
float TurnTowardDirection(SceneItem* item, const Vector3& direction, const FlightModel* model);
// Rolls the direction (ship axes) into the yaw plane, and yaws toward it as
// well once the roll left is below 10 degrees; answers the alignment factor
// (0 while still rolling).
float TurnTowardVector(SceneItem* item, const Vector3& direction, const FlightModel* model);
float TurnTowardVector(SceneItem* item, float x, float y, float z, const FlightModel* model);
// Yaws and pitches the nose onto a direction in ship axes (the forward axis
// of a reference frame): yaw by AimAngleToAxis(x, z) with factor 1, then
// pitch by AimAngleToAxis(y, z) with the yaw's factor; answers the pitch's.
// A zero direction steers nothing and answers 0.
float SteerToMatchFrame(SceneItem* item, float x, float y, float z, const FlightModel* model);
// The same with a reference frame given in ship axes (its row Z is the
// forward axis to match), on the item's own flight model.
float SteerToMatchFrame(SceneItem* item, const Matrix4& frame);
// Seconds to turn the nose onto a world point: the smaller of the
// pitch-first and the yaw-first sums of angle / rate, rates taken as at
// least 1.
float EstimateTurnTime(SceneItem* item, const Vector3& point);
// The same for a direction in ship axes, on the given flight model.
float EstimateTurnTimeToDirection(const FlightModel* model, const Vector3& direction);
// out = the vector turned by the matrix's rotation, normalised.
void RotateDirection(Vector3& out, const Matrix4& matrix, const Vector3& vector);
void RotateDirection(Vector3& out, const Vector3& vector, const Matrix4& matrix);

// ---- Thrust

// Cuts the demand (world axes) to the acceleration, turns toward the facing
// (world axes; TurnTowardDirection) and sets the demand, turned into ship
// axes, as the thrust demand. Answers 1.
float SteerWithThrust(SceneItem* item, const Vector3& demand, const FlightModel* model,
                      const Vector3& facing);
// Thrusts toward a velocity (world axes), facing along it (along the own
// nose when it is 0.1 or shorter). Answers (2000 - |difference|) / 2000,
// 0 beyond 2000.
float SteerToVelocity(SceneItem* item, const Vector3& velocity, const FlightModel* model);
// One braking step: thrust against the local velocity, within the
// acceleration (0.75 of it sideways); a coupled ship brakes relative to its
// carrier. Answers the speed left to brake.
float StopInPlace(SceneItem* item);
// A velocity shorter than 1000 becomes 0, a thrust demand shorter than 300
// becomes 0; answers 0, 0.5 or 1 by how much now is at rest.
float ZeroSmallMotion(SceneItem* item);
// The same relative to the target: a velocity within 1000 of the target's
// becomes the target's. The one-argument form uses the Sim's target.
float ZeroSmallRelativeMotion(SceneItem* item, SceneItem* target);
float ZeroSmallRelativeMotion(SceneItem* item);
// (target position + target velocity t) - (own position + own velocity t).
void PredictRelativePosition(Vector3& out, const Vector3& ownPosition, const Vector3& ownVelocity,
                             const Vector3& targetPosition, const Vector3& targetVelocity,
                             float time);

// ---- Speed profiles (acceleration a and top speed v of the model; the
// stand-off is the item's Avatar parameter 5)

float ApproachSpeed(SceneItem* item, FlightModel* model, float distance); // min(sqrt(0.8 a d), v)
float ApproachSpeedProfile(SceneItem* item, FlightModel* model, float distance);
float ApproachSpeedMin500(SceneItem* item, FlightModel* model, float distance);
float SignedApproachSpeed(SceneItem* item, FlightModel* model, float distance); // toward the stand-off
float ApproachSpeedWithStandoff(SceneItem* item, FlightModel* model, float distance);

// Keeps the ship clear of the nearest obstacle that collision detection
// noted in its Avatar: thrust away scaled by closeness, or a push of the
// position itself while in LDS.
void AvoidCollision(SceneItem* item);

// Run after the script's placement statements; they do nothing.
void PlacementHook(SceneItem* item);
void AttachToNearbyBody(SceneItem* item);
