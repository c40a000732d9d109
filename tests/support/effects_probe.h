// What the effects left on an item: the particle emitters hung on its part
// tree, found by their flags (each named effect has its own, see
// view/explosions.cpp) and, for the sweeps, the sign of their speed.
#pragma once

#include <cstdint>
#include <vector>

#include "world/records.h"

namespace effectsprobe {

inline void Collect(const TDP* tdp, std::vector<const ParticleEmitter*>& out)
{
    for (; tdp; tdp = tdp->nextSibling) {
        if (tdp->emitter)
            out.push_back(tdp->emitter);
        Collect(tdp->firstChild, out);
    }
}

// Every emitter on the item's part tree.
inline std::vector<const ParticleEmitter*> Emitters(const SceneItem* item)
{
    std::vector<const ParticleEmitter*> out;
    if (item && item->avatar)
        Collect(item->avatar->root, out);
    return out;
}

constexpr uint32_t kInUse = 0x1; // the pool's mark, not the effect's

// The emitters whose flags (the pool's mark aside) are exactly `flags`.
inline int Count(const SceneItem* item, uint32_t flags)
{
    int n = 0;
    for (const ParticleEmitter* e : Emitters(item))
        n += (e->flags & ~kInUse) == flags;
    return n;
}

// Flags of the named effects.
constexpr uint32_t kHitBurst = 0x12; // minor and thermal explosions, coloured bursts
constexpr uint32_t kHullRupture = 0x812;
constexpr uint32_t kDestruction = 0x180012; // a destroyed ship's big burst
constexpr uint32_t kSweep = 0x4000;         // arrival (speed > 0) and departure (speed < 0)
constexpr uint32_t kMarkerSet = 0x8;
constexpr uint32_t kLightField = 0x400008;

// Arrival sweeps (+1) or departure sweeps (-1) on the item.
inline int Sweeps(const SceneItem* item, int sign)
{
    int n = 0;
    for (const ParticleEmitter* e : Emitters(item))
        n += (e->flags & ~kInUse) == kSweep && (sign > 0 ? e->speed > 0.0f : e->speed < 0.0f);
    return n;
}

} // namespace effectsprobe
