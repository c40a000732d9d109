// Explosions, flashes and other particle effects: the fixed emitter
// settings of each named effect, with its colour ramp, light and sound.
// A missing hit point is a fatal stop named after the routine.
#pragma once

#include <cstdint>
#include "system/gamemath.h"

struct SceneItem;
struct TDP;
struct HitPayload;

// A burst from the second colour toward the first (r, g, b each).
void AddColouredExplosion(SceneItem* item, int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2, int32_t b2);
// A burst out of the hull at the hit point (a world offset from the item's
// centre); the colours as bits: 4 red, 2 green, 1 blue, 8 full strength.
void AddMinorExplosion(SceneItem* item, int32_t firstColourBits, int32_t secondColourBits, const Vector3* hitPoint);
TDP* AddThermalExplosion(SceneItem* item, const Vector3* hitPoint);
// Fire venting from the face nearest the hit, yellow or red, with a light
// that burns out; a life of 0 lasts as long as an emitter can.
void AddHullRupture(SceneItem* item, int32_t yellow, int32_t ignored, const Vector3* hitPoint, int32_t life);
// A destroyed ship: a thermal explosion at the hit, a burst fuller the
// nearer the camera, a burst of light, and the chain of part explosions.
void AddShipDestructionExplosion(SceneItem* wreck, HitPayload* hitRecord, SceneItem* destroyedShip);
// Makes the item's parts explode one by one (ChainExplosionStep as its
// control routine, from the first part under its root).
void StartChainExplosion(SceneItem* wreck);
// Control routine of a wreck: now and then the next part goes with a bang;
// after the last the wreck deletes itself.
void ChainExplosionStep(SceneItem* item);
// Light flashes: at the hull in a direction, or next to the item (below
// and ahead of the viewpoint for the controlled item).
void FlashAtHullPoint(SceneItem* item, const Vector3* direction, int32_t intensity);
void FlashNearObject(SceneItem* item);
// The sweeps of an arrival and a departure, with their sound and flash.
TDP* AddArrivalFlash(SceneItem* item);
TDP* AddDepartureFlash(SceneItem* item);
// Sparks from the model's vertices in turn.
void AddDebrisSparks(SceneItem* item, int32_t life);
// The LDS drive's green glow, falling in on the item.
void AddLdsEffect(SceneItem* item);
