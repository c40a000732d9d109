// Particle emitters hung on a scene item's part tree: records from the
// world's two emitter pools, their first points, and each frame's motion,
// ageing and emission. Drawing the points belongs to the particle pass.
#pragma once

#include <cstdint>
#include "system/gamemath.h"

struct SceneItem;
struct TDP;
struct ParticleEmitter;

// ParticleEmitter flags.
enum : uint32_t {
    kEmitterTimed = 0x2,            // lifeLeft counts down; below 0 emission stops
    kEmitterMarkerLights = 0x8,     // marker-light set (small pool)
    kEmitterGeneral = 0x10,         // general updater; removed when no point lives
    kEmitterStaticCloud = 0x40,     // no updater
    kEmitterHidden = 0x80,          // not drawn (rings still are)
    kEmitterBurst = 0x100,          // count points at attach, then no more
    kEmitterFromSphere = 0x200,     // new points on a sphere of startRadius / 2
    kEmitterStream = 0x400,         // between the owner and its target
    kEmitterRateByLife = 0x800,     // emission scaled by lifeLeft / life
    kEmitterFastMotion = 0x1000,    // step 4.5 x frame seconds squared
    kEmitterSweep = 0x4000,         // arrival and departure sweep
    kEmitterFromVertices = 0x8000,  // points start at the owner's vertices in turn
    kEmitterNoInherit = 0x10000,    // points keep only their own velocity
    kEmitterRing = 0x20000,         // two circles of 100 points
    kEmitterOwnColour = 0x40000,    // streaks drawn in each point's own colour
    kEmitterGrowing = 0x80000,      // sizes grow with the ticks
    kEmitterJet = 0x100000,         // heads and trailing sparks
    kEmitterOrbiters = 0x200000,    // groups of four circling the owner
    kEmitterLightField = 0x400000,  // a random light field: its spots have no rays
    kEmitterSwirl = 0x800000,       // tangential emission on the owner's sphere
    kEmitterVertexBand = 0x1000000, // points start at vertices inside a moving band
};

// A point's spare word: drawn only while its owner is near enough to show
// more than its one-point model.
constexpr int16_t kPointNearOnly = 0x1;

// A new record (flag 8 without the ring flag: a small one, else large), or
// null when its pool is full. Count is cut to the record's points, point
// life below 1 counts as 1; type 2 gets the yellow ramp.
ParticleEmitter* CreateParticleEmitter(int32_t type, uint32_t flags, int32_t count, int32_t pointLife, float speed,
                                       int32_t rate, float spread);
// Hangs a new emitter on the item's part tree and gives it its first points;
// returns its TDP (the record in its emitter field), or null with nothing
// added when no record or TDP is free. frame: the emitter's orientation, or
// null (the identity for the TDP, the item's Sim matrix for emission). A
// life below 1 counts as 1.
TDP* AttachParticleEmitter(SceneItem* item, const Matrix4* frame, int32_t type, uint32_t flags, int32_t life,
                           int32_t count, int32_t pointLife, float speed, int32_t rate, float spread);
// An emitter's settings, in AttachParticleEmitter's order: the tables of
// effects keep them as one record.
struct EmitterSettings {
    int32_t type;
    uint32_t flags;
    int32_t life;
    int32_t count;
    int32_t pointLife;
    float speed;
    int32_t rate;
    float spread;
};
// AttachParticleEmitter with the record's settings.
TDP* AttachParticleEmitter(SceneItem* item, const Matrix4* frame, const EmitterSettings& s);
// Per-frame routine of an emitter TDP: copies its world position into the
// record, counts a timed record down and runs the updaters by flag; removes
// the TDP when the general or sweep updater reports the end.
void UpdateEmitterTdp(TDP* tdp, const Matrix4* world);
// Emits, moves and ages the points; false when no point is alive (while the
// view is frozen nothing changes and the answer is true).
bool UpdateEmitterPoints(TDP* tdp, ParticleEmitter* e, const Matrix4* world);
// Lays the sweep's cross-section for this frame; false when its life is out.
bool UpdateSweepPoints(TDP* tdp, ParticleEmitter* e);
// Moves the orbiters round their owner in groups of four.
void UpdateOrbiters(TDP* tdp, ParticleEmitter* e);
