// Marker lights: the fixed layouts, single lights, the flash point and the
// per-frame blink. See markerlights.h.
#include "view/markerlights.h"

#include <algorithm>
#include <cstring>

#include "system/crand.h"
#include "system/frameclock.h"
#include "view/particles.h"
#include "world/records.h"

namespace {

constexpr int16_t kLitBrightness = 15;  // as laid
constexpr int16_t kFullBrightness = 32; // a counting-down or ring-lit point
constexpr int16_t kModeCountDown = 1;   // the phase of a point that goes when its period runs out
constexpr int16_t kModeGrow = 2;        // the phase of a point that grows with its channel
constexpr int32_t kFlashKind = 7;       // SetFlashPoint's colour kind that sets its own countdown
constexpr int32_t kFlashCountdown = 50; // the countdown of every other kind
constexpr float kFlashSize = 1.5f;
constexpr int32_t kHighKindBase = 0x40;     // colour kinds 7-15 are drawn from the second bank
constexpr uint32_t kAllLit = 0x20000;       // a set whose every point is lit
constexpr uint32_t kRandomField = 0x400008; // the random light field's record

// The blink of a point, kept in the first six bytes of its velocity.
struct Blink {
    int16_t phase;
    int16_t onTime;
    int16_t period;
};

Blink BlinkOf(const EmitterPoint& p)
{
    Blink b;
    std::memcpy(&b, &p.velocity, sizeof b);
    return b;
}

void SetBlink(EmitterPoint& p, const Blink& b)
{
    std::memcpy(&p.velocity, &b, sizeof b);
}

int16_t Short(int32_t v)
{
    return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX));
}

// A new set on the item: a small record hung under its root, owned by it.
TDP* MakeSet(SceneItem* item, uint32_t flags)
{
    TDP* tdp = AttachParticleEmitter(item, nullptr, 0, flags, 1, 1, 1, 1.0f, 1, 1.0f);
    if (!tdp || !tdp->emitter)
        return nullptr;
    tdp->emitter->owner = item;
    tdp->emitter->pointCount = 0;
    return tdp;
}

// The start phase that new blinking points of a set share: drawn whenever
// a set is made, kept in the set's spare word for the lights added later.
int16_t gStartPhase = 0;

void NewStartPhase(ParticleEmitter* set)
{
    gStartPhase = static_cast<int16_t>(CRand() % 90);
    set->spareWord = gStartPhase;
}

struct LayoutPoint {
    float x, y, z, size;
    int16_t kind, onTime, offTime;
};

// clang-format off
constexpr LayoutPoint kLayout2[] = {
    {0, 0, 0, 0, 5, 0, 1},
    {-6.1f, 0, -15, 0.4f, 4, 80, 0}, {6.1f, 0, -15, 0.4f, 4, 80, 0},
    {0, 0, -15.5f, 0.4f, 6, 0, 2},
    {-12, 0, -4, 0.25f, 4, 10, 75}, {12, 0, -4, 0.25f, 2, 10, 75},
};
constexpr LayoutPoint kLayout10[] = {
    {0, 0, -6.5f, 0.35f, 6, 0, 2},
};
constexpr LayoutPoint kLayoutMine[] = {
    {0, 0, 0, 0, 5, 0, 1},
    {0, 0, -32, 0.3f, 5, 80, 0},
    {0, 0, -32, 0.9f, 1, 0, 2},
    {0, 0, 31, 0.25f, 6, 25, 25},
};
constexpr LayoutPoint kLayoutShip[] = {
    {0, 0, 0, 0, 5, 0, 1},
    {-6.1f, 0, -88, 0.4f, 4, 80, 0}, {6.1f, 0, -88, 0.4f, 4, 80, 0},
    {0, 0, -89, 1.1f, 6, 0, 2},
    {-66.2f, -7.5f, -9.7f, 0.25f, 4, 10, 75}, {-65.1f, 6.4f, 8.2f, 0.25f, 4, 10, 75},
    {-65.2f, 6.4f, -9.7f, 0.25f, 4, 10, 75},  {-66.3f, -7.5f, 8.3f, 0.25f, 4, 10, 75},
    {65.5f, 6.5f, 8.2f, 0.25f, 2, 10, 75},    {65.3f, 6.5f, -9.45f, 0.25f, 2, 10, 75},
    {66.55f, -7.7f, 7.7f, 0.25f, 2, 10, 75},  {66.55f, -7.6f, -9.45f, 0.25f, 2, 10, 75},
};
// The tail light, and the flash anchor every set starts with.
constexpr LayoutPoint kTailLight[] = {
    {0, 0, -4, 0.35f, 9, 0, 2},
    {0, 0, 0, 0, 5, 0, 1},
};
// clang-format on

template <size_t N>
bool LaySet(SceneItem* item, const LayoutPoint (&layout)[N], bool newPhase)
{
    TDP* tdp = MakeSet(item, kEmitterMarkerLights);
    if (!tdp)
        return false;
    ParticleEmitter* set = tdp->emitter;
    if (newPhase)
        NewStartPhase(set);
    else
        set->spareWord = gStartPhase;
    const int n = std::min<int>(static_cast<int>(N), set->capacity);
    for (int i = 0; i < n; ++i) {
        const LayoutPoint& l = layout[i];
        SetMarkerPoint(&set->points[i], l.x, l.y, l.z, l.size, l.kind, l.onTime, l.offTime);
    }
    set->pointCount = static_cast<int16_t>(n);
    return true;
}

} // namespace

TDP* MarkerSetOf(const SceneItem* item)
{
    if (!item || !item->avatar || !item->avatar->root)
        return nullptr;
    for (TDP* t = item->avatar->root->firstChild; t; t = t->nextSibling)
        if ((t->flags & kTdpEmitter) && t->emitter && (t->emitter->flags & kEmitterMarkerLights))
            return t;
    return nullptr;
}

void SetMarkerPoint(EmitterPoint* point, float x, float y, float z, float size, int32_t colourKind, int32_t onTime,
                    int32_t offTime)
{
    EmitterPoint& p = *point;
    p.offset = {x * 100.0f, y * 100.0f, z * 100.0f};
    p.life = 1;
    p.size = size;
    p.colour = Short(colourKind);
    p.brightness = kLitBrightness;
    // Only a blinking point takes the set's start phase: for a point that
    // does not blink the phase is its mode, and a start phase of 1 would
    // make it go at once.
    SetBlink(p, {onTime != 0 ? gStartPhase : int16_t{0}, Short(onTime), Short(onTime + offTime)});
}

void RemoveMarkerPoint(TDP* tdp, int32_t index)
{
    ParticleEmitter* set = tdp ? tdp->emitter : nullptr;
    if (!set || index < 0 || index >= set->pointCount)
        return;
    std::memmove(&set->points[index], &set->points[index + 1],
                 sizeof(EmitterPoint) * static_cast<size_t>(set->pointCount - index - 1));
    --set->pointCount;
}

int32_t AddMarkerLight(SceneItem* item, const Vector3* offset, float size, int32_t colourKind, int32_t onTime,
                       int32_t offTime, int32_t phase)
{
    if (!item || !offset)
        return 0;
    TDP* tdp = MarkerSetOf(item);
    if (tdp && tdp->emitter->pointCount >= kMarkerSetMost)
        return tdp->emitter->pointCount + 1;
    if (!tdp) {
        tdp = MakeSet(item, kEmitterMarkerLights);
        if (!tdp)
            return 0;
        NewStartPhase(tdp->emitter);
        // Point 0, the anchor that SetFlashPoint moves: grows with the flash
        // countdown (channel 1).
        EmitterPoint& anchor = tdp->emitter->points[0];
        anchor = {};
        anchor.life = 1;
        anchor.colour = 5;
        anchor.brightness = kLitBrightness;
        SetBlink(anchor, {kModeGrow, 0, 1});
        tdp->emitter->pointCount = 1;
    }
    ParticleEmitter* set = tdp->emitter;
    EmitterPoint& p = set->points[set->pointCount];
    p = {};
    p.offset = {offset->x * 100.0f, offset->y * 100.0f, offset->z * 100.0f};
    p.life = 1;
    p.size = size;
    p.colour = Short(colourKind >= 7 && colourKind <= 15 ? colourKind + kHighKindBase : colourKind);
    p.brightness = kLitBrightness;
    if (offTime == 0) {
        SetBlink(p, {0, 0, 2}); // steady
    } else if (onTime != 0) {
        // Blinking lights of one set share its start phase.
        SetBlink(p, {Short(phase + set->spareWord), Short(onTime), Short(onTime + offTime)});
    } else {
        SetBlink(p, {Short(phase), 0, Short(onTime + offTime)}); // the phase is its mode
    }
    return ++set->pointCount;
}

bool AddMarkerLightSet(SceneItem* item, int32_t layoutType)
{
    switch (layoutType) {
    case 2: return LaySet(item, kLayout2, true);
    case 10: return LaySet(item, kLayout10, false);
    case 11: return LaySet(item, kLayoutMine, true);
    default: return LaySet(item, kLayoutShip, true);
    }
}

bool AddTailLight(SceneItem* item)
{
    return LaySet(item, kTailLight, true);
}

bool AddRandomLightField(SceneItem* item, int32_t colourKind)
{
    TDP* tdp = MakeSet(item, kRandomField);
    if (!tdp)
        return false;
    ParticleEmitter* set = tdp->emitter;
    gStartPhase = 0;
    set->spareWord = 0;
    const int n = std::min<int>(30, set->capacity);
    float z = -0.005f;
    for (int i = 0; i < n; ++i) {
        const float x = static_cast<float>(CRand()) * 2.0f / 32768.0f - 1.0f;
        const float y = static_cast<float>(CRand()) * 2.0f / 32768.0f - 1.0f;
        SetMarkerPoint(&set->points[i], x, y, z, 0.95f, colourKind, 5000, 2);
        z += 0.01f / 30.0f;
    }
    set->pointCount = static_cast<int16_t>(n);
    return true;
}

void SetFlashPoint(SceneItem* item, int32_t colourKind, int32_t countdown, const Vector3* offset)
{
    if (!item || !item->avatar || !item->sim || !offset)
        return;
    if (TDP* tdp = MarkerSetOf(item); tdp && tdp->emitter->pointCount > 0) {
        EmitterPoint& anchor = tdp->emitter->points[0];
        VecMulMat3T(anchor.offset, *offset, item->sim->matrix); // unscaled
        anchor.colour = Short(colourKind);
        anchor.size = kFlashSize;
    }
    item->avatar->params[kParamEngineCountdown] = colourKind == kFlashKind ? countdown : kFlashCountdown;
}

void UpdateMarkerLights(TDP* tdp, ParticleEmitter* set, const Matrix4* world)
{
    if (!set || !world)
        return;
    const int32_t ticks = gFrameClock.frameTicks;
    const SceneItem* owner = set->owner;
    const Vector3 at{world->m[12], world->m[13], world->m[14]};
    for (int i = 0; i < set->pointCount;) {
        EmitterPoint& p = set->points[i];
        Vector3 turned;
        VecMulMat3(turned, p.offset, *world);
        p.position = {turned.x + at.x, turned.y + at.y, turned.z + at.z};
        if (set->flags & kAllLit) {
            p.life = 1;
            p.brightness = kFullBrightness;
            ++i;
            continue;
        }
        Blink b = BlinkOf(p);
        if (b.onTime != 0) {
            b.phase = Short(b.phase + ticks);
            if (b.phase > b.onTime)
                p.life = 0;
            if (b.phase > b.period) {
                p.life = 1;
                b.phase = Short(b.phase - b.period);
            }
            SetBlink(p, b);
            ++i;
            continue;
        }
        if (b.phase == kModeCountDown) {
            b.period = Short(b.period - ticks);
            p.brightness = kFullBrightness;
            SetBlink(p, b);
            if (b.period <= 0) {
                RemoveMarkerPoint(tdp, i);
                continue; // the next point has moved into this place
            }
            ++i;
            continue;
        }
        // The brightness follows a light channel of the owner; a channel
        // past the Avatar's values reads 0.
        const int32_t channel = b.period;
        const int32_t level = owner && owner->avatar && channel >= 0 && channel < kAvatarParameterCount
                                  ? owner->avatar->params[channel]
                                  : 0;
        p.brightness = Short(level);
        if (b.phase == kModeGrow) {
            const float s = static_cast<float>(p.brightness) / 50.0f;
            p.size = s * s * kFlashSize;
            if (p.size < 1.3f)
                p.colour = static_cast<int16_t>(p.colour & 7);
        } else {
            p.brightness = static_cast<int16_t>(p.brightness / 2);
        }
        ++i;
    }
}
