// Collision responses: what an item does when a part of it touches another
// item's (the ship bounce, planets, fields, sinks, probes, flares,
// disruptors), and the hit responses of message kind 6 (the default
// break-off, asteroids, flares).
//
// Collision detection (world/collisions.h) calls the response held in each
// touching item's Avatar with (own item, own part, other item, other part,
// the handled word shared by the pair, the contact point in world terms).
// Unless its note says otherwise a response does nothing when the handled
// word is already 1, and sets it to 1 first, so of a pair's two responses
// the first one to act decides.
//
// Damage travels as impact messages (kind 7, PostImpactMessage of
// ai/combat.h) that the target's message handler applies.
#pragma once

#include <cstdint>

#include "world/records.h"

struct HitPayload;

// The crash counter: how many items have hit a planet's surface.
extern int32_t gCrashCount;

// The alien Lagrange device the player's ship touched last.
extern SceneItem* gCurrentLagrangeDevice;

// Pending hit-effect bit that arms an LDS field or a sink.
constexpr uint32_t kArmedByHit = 0x1000;

// The ship bounce, the response of ships and most made objects: the two
// push apart along their relative velocity, bounce by their masses, and
// each posts the other an impact whose amount grows with the closing speed
// (taken as at least 1000) and, between ships, with the hulls.
void CollideShips(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart, int16_t* handled,
                  const Vector3* contact);

// The plasma ball's pair: the ball crushes what it touches; the item that
// fired it deletes itself on contact (the handled word is not used).
void CrushOnContact(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                    int16_t* handled, const Vector3* contact);
void DeleteSelfOnContact(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                         int16_t* handled, const Vector3* contact);
// Debris pieces: the touch comes back to the piece as a hit (kind 6) with
// the other's mass, the parts' offset and the other's velocity, once.
void ForwardContactAsHit(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                         int16_t* handled, const Vector3* contact);
// Lagrange devices: the player's ship touching one makes it the current
// device and, with alien devices enabled (script/worldlink.h), takes its
// system as the Lagrange destination; whatever touches it may then jump.
void CollideLagrangeDevice(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                           int16_t* handled, const Vector3* contact);
// Planets: an item within the radius has its altitude above the surface
// (half the radius) noted; near the surface it is flagged, below it
// crashes.
void CollidePlanet(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                   int16_t* handled, const Vector3* contact);
// LDS fields: the other is towed by the field; an armed field fires once.
void CollideLdsField(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                     int16_t* handled, const Vector3* contact);
// Sinks: an armed sink deletes what it touches, but for the player's ship,
// which bounces off as from a ship; an unarmed sink is a ship.
void CollideSink(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                 int16_t* handled, const Vector3* contact);
// Recon probes: the probe's parts stick to the struck item's hull where
// they touched, and the probe item goes.
void AttachProbeToHull(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                       int16_t* handled, const Vector3* contact);
// ECM flares: a projectile (not a missile) that touches one is destroyed.
void DestroyOnFlareContact(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                           int16_t* handled, const Vector3* contact);
// The braking glow of a disrupted ship: a ramp emitter (type 2) with the
// given flags and life, pale blue (190, 200, 255) end to end.
void AttachDisruptorGlow(SceneItem* ship, uint32_t flags, int32_t life);
// Disruptors: a ship touched is braked for a time that shrinks with its
// size (at most 30 seconds), and the disruptor goes.
void DisruptOnContact(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                      int16_t* handled, const Vector3* contact);

// Hit responses (message kind 6), with the hit record.
// The default: a large enough item (or the player's ship) loses a piece
// and explodes; a small one bursts into debris.
void BreakOffOnHit(SceneItem* item, const void* hitRecord);
// The ECM flare bursts into red debris.
void BurstFlareIntoDebris(SceneItem* item, const void* hitRecord);
// Asteroids: a rock of a field shatters into flying pieces; any other
// breaks as the default.
void HitAsteroid(SceneItem* item, const void* hitRecord);

// Breaks a breakable item into 5 flying pieces at the hit point (model
// space; `split` halves it along a plane instead) and ends its collision
// response; the SHATTER statement's too.
void ShatterSceneItem(SceneItem* item, const Vector3& hitPoint, uint8_t split);
