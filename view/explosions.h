// Explosions, flashes and other particle effects.
#pragma once

#include <cstdint>
#include "system/gamemath.h"

struct SceneItem;
struct TDP;
struct HitPayload;

void AddColouredExplosion(SceneItem* item, int32_t r1, int32_t g1, int32_t b1, int32_t r2, int32_t g2, int32_t b2);
void AddMinorExplosion(SceneItem* item, int32_t firstColourBits, int32_t secondColourBits, const Vector3* hitPoint);
TDP* AddThermalExplosion(SceneItem* item, const Vector3* hitPoint);
void AddHullRupture(SceneItem* item, int32_t yellow, int32_t ignored, const Vector3* hitPoint, int32_t life);
void AddShipDestructionExplosion(SceneItem* wreck, HitPayload* hitRecord, SceneItem* destroyedShip);
void ChainExplosionStep(SceneItem* item);
void SetFlashPoint(SceneItem* item, int32_t colourKind, int32_t value, const Vector3* offset);
void FlashAtHullPoint(SceneItem* item, const Vector3* direction, int32_t intensity);
void FlashNearObject(SceneItem* item);
TDP* AddArrivalFlash(SceneItem* item);
TDP* AddDepartureFlash(SceneItem* item);
void AddDebrisSparks(SceneItem* item, int32_t life);
void AddLdsEffect(SceneItem* item);
