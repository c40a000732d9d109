// Marker lights: blinking and steady light points on ships, missiles,
// mines and weapon effects (navigation lights, engine glows, the hit-flash
// point, random light fields). A set is a marker-light emitter record
// (small pool, 30 points) on a child part of its item; the emitter's frame
// routine runs UpdateMarkerLights on it and the particle pass draws the lit
// points.
//
// A point keeps its light's place in the item's frame x 100 (offset), its
// world place this frame (position), lit or dark (life 1 or 0), size,
// colour kind and brightness, and its blink in the first six bytes of its
// velocity: phase, on time and period (on + off time). A point whose on
// time is 0 does not blink: its phase is a mode (1 counts the period down
// and then goes; 2 grows with a light channel of its item's Avatar; any
// other shows that channel at half brightness) and its period the channel.
#pragma once

#include <cstdint>
#include "system/gamemath.h"

struct EmitterPoint;
struct ParticleEmitter;
struct SceneItem;
struct TDP;

constexpr int kMarkerSetMost = 29; // points a set takes through AddMarkerLight

// Adds one light to the item's set, making the set (with its anchor point)
// when the item has none. Returns the set's point count, count + 1 when the
// set was full (nothing added), or 0 when no set could be made.
int32_t AddMarkerLight(SceneItem* item, const Vector3* offset, float size, int32_t colourKind, int32_t onTime,
                       int32_t offTime, int32_t phase);
// A set of lights in one of the fixed layouts (2, 10, 11 mines, other) on
// the item; false when no record was free.
bool AddMarkerLightSet(SceneItem* item, int32_t layoutType);
// A munition's tail light.
bool AddTailLight(SceneItem* item);
// A field of 30 steady points scattered round the item (a bolt seen from
// close behind).
bool AddRandomLightField(SceneItem* item, int32_t colourKind);
// Moves the anchor of the item's set to the world offset (turned into the
// item's frame) with the colour kind and size 1.5; the Avatar's flash
// countdown becomes `countdown` for kind 7, else 50.
void SetFlashPoint(SceneItem* item, int32_t colourKind, int32_t countdown, const Vector3* offset);

// Lays a point of the set being made: offset x 100, lit, the blink or mode.
void SetMarkerPoint(EmitterPoint* point, float x, float y, float z, float size, int32_t colourKind, int32_t onTime,
                    int32_t offTime);
// Takes point `index` out of the set; the later points move down one place.
void RemoveMarkerPoint(TDP* tdp, int32_t index);
// The frame step of a set: places, blinks and counts down its points.
void UpdateMarkerLights(TDP* tdp, ParticleEmitter* set, const Matrix4* world);

// The item's marker-light set (the first part under its root carrying
// one), or null.
TDP* MarkerSetOf(const SceneItem* item);
