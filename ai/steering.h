// Steering helpers of the AI: fly to a point on a speed profile, move to a
// point and stop, approach under a braking curve, match a velocity, align
// with a frame. Each sets the ship's thrust and turn demands (through the
// turning routines of world/steering.h) and answers a closeness that the
// calling state compares with its thresholds.
#pragma once

#include <cstdint>
#include "system/gamemath.h"
#include "world/steering.h"

// Displays read these: the last distance SteerToPoint predicted, and whether
// its velocity change pointed against the facing.
extern float gSteerPointDistance;
extern uint8_t gSteerAgainstFacing;

// Flies toward a world point, moving with the reference velocity (null: at
// rest), facing the given way (null: toward the point, or along the
// reference velocity when near), at the profile's speed (null: ApproachSpeed
// closing, then top speed). Answers 1 - min(1, distance / 100000).
float SteerToPoint(SceneItem* ship, float x, float y, float z, const Vector3* referenceVelocity, const Vector3* heading, SpeedProfile profile);
// SteerToPoint on ApproachSpeedProfile; answers the closeness
// 1 - (distance - tolerance) / tolerance, not below 0: 2 at the point, 1 at
// the tolerance, 0 from twice it.
float MoveToPoint(SceneItem* ship, float x, float y, float z, const Vector3* referenceVelocity, float tolerance);
// Closes on a point at the speed from which the second thrust still stops
// the ship there, facing the given way; answers the closeness as MoveToPoint.
float ApproachPointBraking(SceneItem* ship, float x, float y, float z, float facingX, float facingY, float facingZ, const Vector3* referenceVelocity, float tolerance);
// Thrusts toward a velocity, facing the given way; answers
// 1 - |difference| / 3000, not below 0.
float MatchVelocity(SceneItem* ship, float vx, float vy, float vz, FlightModel* model, float facingX, float facingY, float facingZ);
// The same facing along the ship's own nose.
float MatchVelocityInFrame(SceneItem* ship, float vx, float vy, float vz, FlightModel* model);
// One turn step toward the facing and a thrust along the velocity
// difference (world axes): within the second thrust, or, for a larger
// difference, its forward part within +acceleration and -acceleration / 2.
// Answers 1.
float ThrustTowardVelocity(SceneItem* ship, float dx, float dy, float dz, FlightModel* model, float facingX, float facingY, float facingZ);
// Turns the nose onto the frame's forward axis, then rolls to its up axis;
// answers 0 until the nose is aligned (0.98), then the roll's factor.
float AlignWithFrame(SceneItem* ship, const Matrix4& frame, const FlightModel* limits);
// Points along a wanted velocity (world axes) and thrusts forward as the
// nose comes round; a ship whose wanted speed stays within 1.2 x its second
// thrust (a while, with hysteresis) thrusts sideways without turning.
// Answers 1, or acceleration / speed when the speed was cut.
float SeekPointing(SceneItem* ship, FlightModel* model, const Vector3& wanted);
