// Object behaviours: the small routines that move objects the ship physics
// does not fly alone. Spawners (scripts, weapons, explosions, belts) store
// them as an item's per-frame function (simulation pass) or control function
// (control pass); the rest are called by those routines and by SIM_MAIN.
//
// Free bodies keep their two spin rates (degrees per second) in the
// SceneItem's pitch and yaw demand slots. Items named by an Avatar
// parameter are SceneItemHandles (world/pools.h): a handle whose item died
// reads back as none, so nothing follows a stale reference.
#pragma once

#include <cstdint>

struct SceneItem;
struct ParticleEmitter;
struct Vector3;

// ---- Free bodies (per-frame)

// Position (doubles) += velocity x dt; turns about Y by the first spin rate
// and about X by the second, each x dt; the local velocity and start time
// follow.
void BallisticStep(SceneItem* item);
// BallisticStep, then a further turn by the two spin rates without dt.
void TumbleStep(SceneItem* item);
// Only the matrix translation moves, by velocity x dt (light debris).
void DriftStep(SceneItem* item);

// ---- Flares, plasma and the LDS inhibitor

// An ECM flare: Avatar value 0 counts its age in hundredths; its radius
// grows by 1000 a second for 1500 hundredths and then shrinks at the same
// rate, never below 0; now and then it offers itself to missiles as a decoy.
void EcmFlareBehaviour(SceneItem* item);
// A plasma ball grows by its growth value (Avatar value 8) a second, the
// growth by a fifth of itself a second; radius 1 while its countdown is
// 200 or less.
void PlasmaBallStep(SceneItem* item);
// Control routine of an inhibitor: pulses with the radius in Avatar value 9.
void LdsInhibitorBehaviour(SceneItem* item);
// Sends LDS interdiction (kind 18) to every item within the radius, every
// 200 hundredths (counted in Avatar value 4).
void EmitLdsInhibitorPulse(SceneItem* item, float radius);
// The kicks an item interdicted in LDS gets to its turn rates.
void InterdictionJolt(SceneItem* item);

// ---- Missiles and mines

// Control routine of the LDS-interdictor missile: chases its target in LDS
// and becomes an inhibitor within the switch distance.
void SteerLdsiMissile(SceneItem* item);
// The proximity fuse: armed (Avatar class flag 0x4000) and under 10,000
// from the target, an impact (kind 20) on the target and the end of the
// missile (kind 0).
void CheckMissileFuse(SceneItem* missile, SceneItem* target, float distance);
// Control routine of a homing missile: seeks its target, enters itself in
// the incoming-missile list when that is the player's ship
// (world/simframe.h), checks the fuse and burns fuel (the Sim's spool field). A target that died meanwhile leaves
// the missile flying on ballistic.
void SteerHomingMissile(SceneItem* item);
// Per-frame routine of a guided missile: SIM_MAIN; near an enemy ship or out
// of fuel it bursts, damaging every ship within 250,000.
void GuidedMissileStep(SceneItem* item);
// Control routine of a proximity mine, laid by the item in Avatar value 3.
void RunProximityMine(SceneItem* item);

// ---- Belts

// Re-places a belt rock at 0.8 x its range (Avatar value 0) from its anchor
// (Avatar value 9, else the player's item), ahead of an anchor in LDS or
// flying fast, with a random motion, spin and attitude.
void ScatterAroundAnchor(SceneItem* item);
// Control routine of a belt rock: beyond its range from its anchor it is
// scattered around the anchor again.
void KeepNearAnchor(SceneItem* item);
// Control routine of an asteroid-field member: beyond its range (Avatar
// value 0) from its anchor (the player) it gives up its slot and takes the
// free one nearest the anchor.
void KeepInField(SceneItem* item);

// Field slots: the points of the field's dust cloud (Avatar fieldDust);
// a point whose life is kFreeFieldSlot is free, kTakenFieldSlot is held.
constexpr int16_t kFreeFieldSlot = 1;
constexpr int16_t kTakenFieldSlot = 2;
// The free slot of the cloud nearest the point, or -1 when none is free.
int FindFreeFieldSlot(const ParticleEmitter* dust, const Vector3& from);
// The item's slot, if it holds one, becomes free.
void FreeFieldSlot(SceneItem* item);
// Puts the item on the free slot nearest its anchor (the player; the item
// itself without one); a ship makes order slot 1 current. With no free
// slot the item posts itself a delete message. False then.
bool MoveToFreeFieldSlot(SceneItem* item);

// ---- Waypoints and markers

// Per-frame routine of a waypoint attached to a reference symbol (the
// Sim's target field holds the ScriptSymbol): the waypoint sits behind the
// symbol's item by that item's Sim radius.
void PlaceWaypoint(SceneItem* item);
// Control routine of a waypoint: rides with its carrier (the Sim's second
// target); the player's item within 40,000 of a shown waypoint marks it
// reached and makes the next one of its chain current.
void RunWaypoint(SceneItem* item);
// HUD-element flag of a reached waypoint's cube: its diagonal shows.
constexpr uint32_t kHudWaypointReached = 0x800;
constexpr int16_t kCubeReachedSegments = 13;
// Control routine of a marker near which the player may jump: the player's
// item within 37,500 raises its jump check against the marker.
void NearPlayerMark(SceneItem* item);

// ---- Carriers and tethers

// A carrier holds two items (its Sim target and second target), keeps the
// first on its +X side, and turns its X axis along the line between them.
void AlignCarrierToPair(SceneItem* item);
// Per-frame routine of a carried item (its Avatar link item is the
// carrier): 40,000 to the carrier's +X side (the first) or -X (the second),
// with the carrier's attitude, engine glow and speed; SIM_MAIN once released.
void RideOnCarrier(SceneItem* item);
// Holds a tethered item at the tether length (Avatar value 4; 100,000 when
// 0) from its anchor (Avatar value 3), on the line between them.
void KeepTetherDistance(SceneItem* item);
constexpr float kDefaultTetherLength = 100000.0f;

// ---- Placement

// Puts the item at distance d from A toward B (d = 0: a random point
// between the two radii, in 0.001 steps), facing along A to B.
void PlaceOnLineBetween(SceneItem* item, SceneItem* a, SceneItem* b, float d);
// Puts the item at distance d from A (d = 0: random, as above) in a random
// direction square to the line A to B, facing along A to B.
void PlaceAcrossLineBetween(SceneItem* item, SceneItem* a, SceneItem* b, float d);

// ---- Ships

// SIM_MAIN, then, when the player's item lies between the item and its
// target (nearer than half the way, within a cosine of 0.95), the item's
// hull is set to half.
void SIM_CHAOS(SceneItem* item);
// Sparks at random hull points of a damaged ship and small damage messages.
void SparkStep(SceneItem* item);
