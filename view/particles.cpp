// Particle emitters hung on a scene item's part tree: taking records from the
// world's two pools, hanging them on the item, laying their first points,
// and each frame emitting, moving and ageing the points until the record is
// spent. Not here: drawing the points (the particle pass) and the marker
// lights laid in small records.
//
// A point is free when its life is 0 or below; emission walks the array
// from the last point in use and refills free points in place, so nothing is
// allocated after start-up. All times are frame ticks of 1/100 s.
#include "view/particles.h"

#include "ai/combathelpers.h"
#include "framework/scene.h"
#include "screens/bridge.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "view/colourtables.h"
#include "view/markerlights.h"
#include "view/renderpasses.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kEmitPi = 3.1415f; // the emission angles' pi
constexpr float kRingPi = 3.14159265359f;
constexpr int kRingPoints = 100;
constexpr float kRingGap = 3000.0f;
constexpr float kOrbitRadius = 7000.0f;
constexpr int16_t kNeverCounts = 32767;

int Ticks()
{
    return gFrameClock.frameTicks;
}

float FrameSeconds()
{
    return static_cast<float>(Ticks()) / 100.0f;
}

constexpr float kInvRandMax = 1.0f / static_cast<float>(kCRandMax);

float RandUnit()
{
    return static_cast<float>(CRand()) * kInvRandMax;
}

Vector3 Add(const Vector3& a, const Vector3& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vector3 Scale(const Vector3& a, float s)
{
    return {a.x * s, a.y * s, a.z * s};
}

Vector3 Translation(const Matrix4& m)
{
    return {m.m[12], m.m[13], m.m[14]};
}

const Sim* OwnerSim(const TDP* tdp)
{
    return tdp && tdp->owner ? tdp->owner->sim : nullptr;
}

float OwnerRadius(const TDP* tdp)
{
    const Sim* sim = OwnerSim(tdp);
    return sim ? sim->radius : 0.0f;
}

// The owner's model: the one on its root part.
TDP* OwnerRoot(const TDP* tdp)
{
    const SceneItem* item = tdp ? tdp->owner : nullptr;
    return item && item->avatar ? item->avatar->root : nullptr;
}

const hx_model* OwnerModel(const TDP* tdp)
{
    const TDP* root = OwnerRoot(tdp);
    return root ? root->model : nullptr;
}

// What new points inherit: the owner's velocity, plus its drive along its
// forward axis while the drive is engaged.
Vector3 BaseVelocity(const TDP* tdp)
{
    const Sim* sim = OwnerSim(tdp);
    if (!sim)
        return {0, 0, 0};
    Vector3 v = sim->velocity;
    if (sim->flags & kSimLdsEngaged)
        v = Add(v, Scale({sim->matrix.m[8], sim->matrix.m[9], sim->matrix.m[10]}, sim->thrust.z));
    return v;
}

const Matrix4& EmissionMatrix(const TDP* tdp, const Matrix4* given)
{
    static Matrix4 identity = [] {
        Matrix4 m{};
        MatIdentity(m);
        return m;
    }();
    if (given)
        return *given;
    const Sim* sim = OwnerSim(tdp);
    return sim ? sim->matrix : identity;
}

// Sine and cosine of one angle to float precision, for the thousands of
// angles drawn each frame (the library's sincos dominated emission): the
// angle is reduced to a quarter turn in three parts, then two short
// polynomials. Plain arithmetic, so the same on every machine.
void SinCos(float x, float& s, float& c)
{
    constexpr float kTwoOverPi = 0.636619772f;
    const float half = x < 0.0f ? -0.5f : 0.5f;
    const int q = static_cast<int>(x * kTwoOverPi + half);
    const float j = static_cast<float>(q);
    const float r = ((x - j * 1.5703125f) - j * 4.837512969970703125e-4f) - j * 7.54978995489188216e-8f;
    const float r2 = r * r;
    const float sr = r + r * r2 * (-1.6666654611e-1f + r2 * (8.3321608736e-3f + r2 * -1.9515295891e-4f));
    const float cr =
        1.0f - 0.5f * r2 + r2 * r2 * (4.166664568298827e-2f + r2 * (-1.388731625493765e-3f + r2 * 2.443315711809948e-5f));
    // Each quarter turn rotates (sin, cos): a table, as the quadrant is random.
    const float turns[4] = {sr, cr, -sr, -cr};
    s = turns[q & 3];
    c = turns[(q + 1) & 3];
}

// Life, brightness, size and colour of a freshly emitted spark.
void FinishSpark(EmitterPoint& p, const ParticleEmitter* e)
{
    p.life = static_cast<int16_t>(e->pointLife / 2 + (CRand() % e->pointLife) / 2);
    p.brightness = 32;
    p.size = (CRand() & 1) ? 0.2f : 0.1f;
    p.colour = (CRand() & 1) ? 78 : 75;
}

// The next free point walking down from `from` (exclusive); -1 when none.
int NextFree(const ParticleEmitter* e, int from)
{
    for (int i = from - 1; i >= 0; --i)
        if (e->points[i].life <= 0)
            return i;
    return -1;
}

void EmitSpikePoints(TDP* tdp, ParticleEmitter* e, int n)
{
    if (n < 3)
        return;
    const Vector3 base = (e->flags & kEmitterNoInherit) ? Vector3{0, 0, 0} : BaseVelocity(tdp);
    const float out = (e->flags & kEmitterFromSphere) ? e->startRadius / 2 : 20.0f;
    int i = e->pointCount;
    while (i > 0) {
        int run[7];
        int got = 0;
        while (got < 7 && (i = NextFree(e, i)) >= 0)
            run[got++] = i;
        if (got <= 4)
            break;
        Vector3 d{static_cast<float>(CRand() % 1000 - 500), static_cast<float>(CRand() % 1000 - 500),
                  static_cast<float>(CRand() % 1000 - 500)};
        VecNormalise(d);
        const Vector3 start = Add(e->position, Scale(d, out));
        for (int k = 0; k < got; ++k) {
            EmitterPoint& p = e->points[run[k]];
            p.position = start;
            p.velocity = Add(base, Scale(d, e->speed / 3 * static_cast<float>(CRand() % 100) / 100));
            p.life = static_cast<int16_t>(e->pointLife);
            p.brightness = 32;
            p.size = (CRand() & 1) ? 0.2f : 0.1f;
            p.colour = 71;
        }
        if (i <= 0)
            break;
    }
}

void EmitJetSparks(ParticleEmitter* e)
{
    const EmitterPoint* head = nullptr;
    for (int i = e->pointCount - 1; i >= 0; --i) {
        EmitterPoint& p = e->points[i];
        if (p.life > 2 * e->pointLife) {
            head = &p;
            continue;
        }
        if (p.life > 0 || !head)
            continue;
        const Vector3 jitter{static_cast<float>(CRand() % 200 - 100) * e->speed / 500,
                             static_cast<float>(CRand() % 200 - 100) * e->speed / 500,
                             static_cast<float>(CRand() % 200 - 100) * e->speed / 500};
        p.velocity = Add(Scale(head->velocity, static_cast<float>(500 + CRand() % 700) / 1000), jitter);
        p.position = Add(head->position, Scale(jitter, 0.25f));
        p.size = head->size * static_cast<float>(1 + (CRand() & 3));
        p.colour = CRand() % 3 == 0 ? 11 : 13;
        p.life = static_cast<int16_t>((CRand() % 120) * e->pointLife / 100);
        p.brightness = 32;
    }
}

void EmitSwirlPoints(TDP* tdp, ParticleEmitter* e, int n, const Matrix4& m)
{
    const float r = OwnerRadius(tdp);
    const Vector3 base = (e->flags & kEmitterNoInherit) ? Vector3{0, 0, 0} : BaseVelocity(tdp);
    const float spread = e->spread * kEmitPi / 180.0f;
    const float spreadStep = spread * kInvRandMax;
    for (int i = e->pointCount, made = 0; made < n && (i = NextFree(e, i)) >= 0; ++made) {
        EmitterPoint& p = e->points[i];
        const float a = static_cast<float>(CRand()) * (2.0f * kEmitPi * kInvRandMax) - kEmitPi;
        const float el = static_cast<float>(CRand()) * spreadStep - spread / 2 + kEmitPi / 2;
        float sa, ca, se, ce;
        SinCos(a, sa, ca);
        SinCos(el, se, ce);
        p.position = Add(e->position, {r * ce * ca, r * ce * sa, -r * se});
        const Vector3 tangent{-r * ce * sa, r * ce * ca, 0.0f};
        MatRotateVec(m, tangent, p.velocity);
        p.velocity = Add(p.velocity, base);
        FinishSpark(p, e);
    }
}

// Up to n new sparks in a cone about the emitter's -Z axis.
void EmitBurstPoints(TDP* tdp, ParticleEmitter* e, int n, const Matrix4& m)
{
    if (e->type == 4)
        return EmitSpikePoints(tdp, e, n);
    if (e->flags & kEmitterJet)
        return EmitJetSparks(e);
    if (e->flags & kEmitterSwirl)
        return EmitSwirlPoints(tdp, e, n, m);
    const Vector3 base = BaseVelocity(tdp);
    const float radius = OwnerRadius(tdp);
    float bandLow = -radius, bandHigh = radius;
    if (e->flags & kEmitterVertexBand) {
        if (e->flags & kEmitterTimed) {
            // The band runs from the bow (+radius) to the stern over the life.
            const float c = radius / 8;
            const float centre = 2 * radius * (static_cast<float>(e->lifeLeft) / e->life - 0.5f);
            bandLow = centre - c;
            bandHigh = centre + c;
        } else {
            const Sim* sim = OwnerSim(tdp);
            if (!sim || !(sim->flags & kSimBraked)) {
                e->flags |= kEmitterTimed;
                e->lifeLeft = e->life = 100;
            }
        }
    }
    TDP* root = OwnerRoot(tdp);
    const float spread = e->spread * kEmitPi / 180.0f;
    const float spreadStep = spread * kInvRandMax;
    const float seconds = FrameSeconds();
    for (int i = e->pointCount, made = 0; made < n && (i = NextFree(e, i)) >= 0; ++made) {
        EmitterPoint& p = e->points[i];
        const float v = e->speed * (0.75f + static_cast<float>(CRand()) / 65536.0f);
        const float a = static_cast<float>(CRand()) * (2.0f * kEmitPi * kInvRandMax) - kEmitPi;
        const float el = static_cast<float>(CRand()) * spreadStep - spread / 2 + kEmitPi / 2;
        float sa, ca, se, ce;
        SinCos(a, sa, ca);
        SinCos(el, se, ce);
        Vector3 local{ca * ce * v, sa * ce * v, -se * v};
        Vector3 start = e->position;
        if (e->flags & kEmitterFromSphere) {
            start = Add(start, Scale({ca * ce, sa * ce, -se}, e->startRadius / 2));
        } else if (e->flags & kEmitterFromVertices) {
            // The owner's unmarked vertices in turn; the cursor lives in the
            // record's spare word.
            Vector3 turned;
            MatRotateVec(m, NextUnmarkedModelVertex(root, &e->spareWord), turned);
            start = Add(start, turned);
        } else if (e->flags & kEmitterVertexBand) {
            // A vertex in the band, from a random one; the point flies out
            // from the owner's axis through it.
            int32_t cursor = -1;
            const Vector3 vertex = PickModelVertexInZRange(root, &cursor, bandLow, bandHigh);
            local = {vertex.x, vertex.y, 0.0f};
            Vector3 turned;
            MatRotateVec(m, vertex, turned);
            start = Add(start, turned);
        }
        MatRotateVec(m, local, p.velocity);
        if (!(e->flags & kEmitterFromSphere)) {
            start.x -= RandUnit() * p.velocity.x * seconds;
            start.y -= RandUnit() * p.velocity.y * seconds;
            start.z -= RandUnit() * p.velocity.z * seconds;
        }
        if (!(e->flags & kEmitterNoInherit))
            p.velocity = Add(p.velocity, base);
        p.position = start;
        p.offset.z = 0.0f;
        FinishSpark(p, e);
    }
}

// Two circles about the owner: points 1-100 at its radius, 101-200 3000
// further out at the same angles (the ring fill pairs point i with i + 100).
void LayRingPoints(TDP* tdp, ParticleEmitter* e)
{
    const SceneItem* owner = e->owner;
    const float r = owner && owner->sim ? owner->sim->radius : OwnerRadius(tdp);
    e->pointCount = static_cast<int16_t>(std::min<int>(2 * kRingPoints + 1, e->capacity));
    for (int k = 1; k <= kRingPoints && k + kRingPoints < e->pointCount; ++k) {
        const float t = static_cast<float>(k - 1) * 2 * kRingPi / kRingPoints;
        const float radii[2] = {r, r + kRingGap};
        for (int outer = 0; outer < 2; ++outer) {
            EmitterPoint& p = e->points[k + outer * kRingPoints];
            p.offset = {radii[outer] * std::cos(t), 0.0f, radii[outer] * std::sin(t)};
            p.life = 100;
            p.size = (CRand() & 1) ? 0.2f : 0.1f;
            p.colour = (CRand() & 1) ? 75 : 78;
        }
    }
}

// Points running from one end to the other of the owner-target line.
void EmitStreamPoints(TDP* tdp, ParticleEmitter* e, int n)
{
    const Sim* sim = OwnerSim(tdp);
    const SceneItem* target = sim ? sim->target.Get() : nullptr;
    if (!target || !target->sim)
        return;
    const Vector3 from = Translation(sim->matrix), to = Translation(target->sim->matrix);
    Vector3 u{to.x - from.x, to.y - from.y, to.z - from.z};
    const float length = VecNormalise(u);
    const float seconds = FrameSeconds();
    for (int i = e->pointCount, made = 0; made < n && (i = NextFree(e, i)) >= 0; ++made) {
        EmitterPoint& p = e->points[i];
        const float k = static_cast<float>(75 + CRand() % 50) * length / static_cast<float>(e->pointLife);
        const bool fromTarget = CRand() & 1;
        const Vector3 end = fromTarget ? to : from;
        p.position = {end.x + static_cast<float>(CRand() % 100 * 60 - 3000),
                      end.y + static_cast<float>(CRand() % 100 * 60 - 3000),
                      end.z + static_cast<float>(CRand() % 100 * 60 - 3000)};
        p.velocity = Scale(u, fromTarget ? -k : k);
        p.position.x += RandUnit() * p.velocity.x * seconds;
        p.position.y += RandUnit() * p.velocity.y * seconds;
        p.position.z += RandUnit() * p.velocity.z * seconds;
        p.life = static_cast<int16_t>(e->pointLife / 2 + (CRand() % e->pointLife) / 2);
        p.colour = fromTarget ? 7 : 0;
        p.brightness = 7;
    }
}

// Heads of the jet: the last point, then every 10th to 15th, each leaving
// from the next part of the owner in turn.
void SeedJetHeads(TDP* tdp, ParticleEmitter* e)
{
    const SceneItem* item = tdp->owner;
    const TDP* root = item && item->avatar ? item->avatar->root : nullptr;
    const TDP* part = root ? root->nextSibling : nullptr;
    const Matrix4& m = EmissionMatrix(tdp, nullptr);
    const Vector3 base = (e->flags & kEmitterNoInherit) ? Vector3{0, 0, 0} : BaseVelocity(tdp);
    const float size = std::max(OwnerRadius(tdp) / 90000.0f, 0.1f);
    for (int i = e->pointCount - 1; i >= 0; i -= CRand() % 6 + 10) {
        Vector3 at{0, 0, 0}, dir;
        if (part) {
            at = part->offset;
            dir = {part->local.m[8], part->local.m[9], part->local.m[10]};
            part = part->nextSibling ? part->nextSibling : root->nextSibling;
        } else {
            dir = {static_cast<float>(CRand() % 1000 - 500), static_cast<float>(CRand() % 1000 - 500),
                   static_cast<float>(CRand() % 1000 - 500)};
            VecNormalise(dir);
        }
        EmitterPoint& p = e->points[i];
        Vector3 worldAt, worldDir;
        MatRotateVec(m, at, worldAt);
        MatRotateVec(m, Scale(dir, e->speed), worldDir);
        p.position = Add(e->position, worldAt);
        p.velocity = Add(worldDir, base);
        p.life = e->lifeLeft;
        p.brightness = 32;
        p.size = size;
        p.colour = (CRand() & 1) ? 13 : 11;
    }
}

void SeedOrbiters(ParticleEmitter* e)
{
    for (int i = 0; i < e->pointCount; ++i) {
        EmitterPoint& p = e->points[i];
        p.colour = 9;
        p.velocity = {static_cast<float>(CRand() % 100 - 50), static_cast<float>(CRand() % 100 - 50),
                      static_cast<float>(CRand() % 100 - 50)};
        p.offset = {static_cast<float>(CRand() % 100 - 50), static_cast<float>(CRand() % 100 - 50),
                    static_cast<float>(CRand() % 100 - 50)};
        p.life = 32;
        p.brightness = 32;
        p.size = (i == 0 || i % 4 == 1) ? 1.0f : 0.25f;
    }
}

Vector3 OwnerPosition(const TDP* tdp, const ParticleEmitter* e)
{
    const Sim* sim = OwnerSim(tdp);
    return sim ? Translation(sim->matrix) : e->position;
}

} // namespace

ParticleEmitter* CreateParticleEmitter(int32_t type, uint32_t flags, int32_t count, int32_t pointLife, float speed,
                                       int32_t rate, float spread)
{
    const bool small = (flags & kEmitterMarkerLights) && !(flags & kEmitterRing);
    ParticleEmitter* e = small ? AllocSmallParticleEmitter() : AllocParticleEmitter();
    if (!e)
        return nullptr;
    // Counts and lives come from script statements unchecked.
    e->pointCount = static_cast<int16_t>((flags & kEmitterMarkerLights) ? 0 : std::clamp<int32_t>(count, 0, e->capacity));
    e->flags |= flags;
    e->type = static_cast<int16_t>(type);
    e->pointLife = std::max<int32_t>(static_cast<int16_t>(pointLife), 1);
    e->speed = speed;
    e->rate = rate;
    e->spread = spread;
    e->alive = 1;
    e->spareWord = 0;
    // A reused record keeps nothing of its last emitter.
    e->startRadius = 0.0f;
    e->owner = nullptr;
    std::memset(e->ramp, 0, sizeof(e->ramp));
    e->ramp[0] = static_cast<uint8_t>(CRand() % 7 + 1);
    if (type == 2 && gRampLookup)
        BuildColourRamp(gRampLookup, e->ramp, 255, 255, 0, 15, 15, 0);
    return e;
}

TDP* AttachParticleEmitter(SceneItem* item, const Matrix4* frame, const EmitterSettings& s)
{
    return AttachParticleEmitter(item, frame, s.type, s.flags, s.life, s.count, s.pointLife, s.speed, s.rate, s.spread);
}

TDP* AttachParticleEmitter(SceneItem* item, const Matrix4* frame, int32_t type, uint32_t flags, int32_t life,
                           int32_t count, int32_t pointLife, float speed, int32_t rate, float spread)
{
    if (!item || !item->avatar)
        return nullptr;
    ParticleEmitter* e = CreateParticleEmitter(type, flags, count, pointLife, speed, rate, spread);
    if (!e)
        return nullptr;
    TDP* root = item->avatar->root;
    TDP* tdp;
    if (!root) {
        tdp = AttachRootTDP(item);
    } else if (root->firstChild) {
        TDP* last = root->firstChild;
        while (last->nextSibling)
            last = last->nextSibling;
        tdp = AddSiblingTDP(last, nullptr, 0, 0, 0);
    } else {
        tdp = AddChildTDP(root, nullptr, 0, 0, 0);
    }
    if (!tdp) {
        e->flags = 0; // back to its pool
        return nullptr;
    }
    const int16_t ticks = static_cast<int16_t>(std::clamp<int32_t>(life, 1, kNeverCounts));
    e->lifeLeft = e->life = ticks;
    if (flags & kEmitterRing)
        e->owner = item;
    AttachTdpToScene(tdp, e, 1);
    tdp->perFrame = UpdateEmitterTdp;
    tdp->flags = (tdp->flags | kTdpInScene | kTdpEmitter) & ~kTdpNew;
    tdp->owner = item;
    if (frame)
        MatCopy(tdp->local, *frame);
    else
        MatIdentity(tdp->local);
    const Matrix4& m = EmissionMatrix(tdp, frame);
    if (flags & kEmitterRing)
        LayRingPoints(tdp, e);
    if (flags & kEmitterBurst) {
        e->position = Translation(EmissionMatrix(tdp, nullptr));
        EmitBurstPoints(tdp, e, e->pointCount, m);
        e->alive = 0;
    }
    if (flags & kEmitterJet) {
        e->position = Translation(EmissionMatrix(tdp, nullptr));
        SeedJetHeads(tdp, e);
    }
    if (flags & kEmitterOrbiters)
        SeedOrbiters(e);
    if (type == 0)
        e->owner = item;
    return tdp;
}

bool UpdateEmitterPoints(TDP* tdp, ParticleEmitter* e, const Matrix4* world)
{
    const int ticks = Ticks();
    // Type-0 and ring records refill every free point each frame.
    int n = (e->type == 0 || (e->flags & kEmitterRing)) ? e->pointCount : e->rate * ticks / 100;
    if (e->flags & kEmitterRateByLife)
        n = n * e->lifeLeft / e->life;
    if (e->alive) {
        if (!(e->flags & (kEmitterRing | kEmitterStream)))
            EmitBurstPoints(tdp, e, n, EmissionMatrix(tdp, world));
        else if (e->flags & kEmitterStream)
            EmitStreamPoints(tdp, e, n);
        else
            LayRingPoints(tdp, e);
    }
    // A timed record counts down here as well as in its TDP routine.
    if ((e->flags & kEmitterTimed) && e->lifeLeft != kNeverCounts) {
        e->lifeLeft = static_cast<int16_t>(e->lifeLeft - ticks);
        if (e->lifeLeft < 0)
            e->alive = 0;
    }
    const float seconds = FrameSeconds();
    float s = seconds;
    if (e->flags & kEmitterFastMotion) {
        const int q = e->lifeLeft / (2 * e->life);
        s = q <= -1 ? seconds * seconds * 0.5f : seconds * seconds * (4.0f / static_cast<float>(q + 1) + 0.5f);
    }
    const float g = (e->flags & kEmitterGrowing) ? 1.0f + static_cast<float>(ticks) / (2.0f * e->life) : 1.0f;
    if (gFreezeView)
        return true;
    bool any = false;
    for (int i = 0; i < e->pointCount; ++i) {
        EmitterPoint& p = e->points[i];
        if (p.life <= 0)
            continue;
        any = true;
        p.position = Add(p.position, Scale(p.velocity, s));
        p.size *= g;
        p.life = static_cast<int16_t>(p.life - ticks);
        if (e->type == 0)
            p.brightness = static_cast<int16_t>(p.life * 40 / e->pointLife + 4);
    }
    return any;
}

bool UpdateSweepPoints(TDP* tdp, ParticleEmitter* e)
{
    e->lifeLeft = static_cast<int16_t>(e->lifeLeft - Ticks());
    if (e->lifeLeft <= 0)
        return false;
    const hx_model* model = OwnerModel(tdp);
    const Sim* sim = OwnerSim(tdp);
    if (!model || !sim)
        return true;
    const bool reverse = e->speed < 0;
    float t = static_cast<float>(e->lifeLeft) / e->life;
    if (reverse)
        t = 1 - t;
    const hx_bounds3& b = model->bounds;
    const float X = std::fabs(b.min.x) + std::fabs(b.max.x);
    const float Y = std::fabs(b.min.y) + std::fabs(b.max.y);
    const float Z = std::fabs(b.min.z) + std::fabs(b.max.z);
    const float reach = Z * t;
    // An owner of no length has no cross-section to draw.
    if (!(Z > 0.0f) || !(reach > 0.0f)) {
        for (int i = 0; i < e->pointCount; ++i)
            e->points[i].life = 0;
        return true;
    }
    const Vector3 at = Translation(sim->matrix);
    const float size = sim->radius * 0.4f / 10000.0f;
    for (int i = 0; i < e->pointCount; ++i) {
        const float angle = static_cast<float>(CRand() % 3600) / 10.0f;
        const float z = i < e->pointCount / 3 ? reach : std::fmod(static_cast<float>(CRand()) * 150.0f, reach);
        const float u = z / Z - 0.5f;
        const float w = (0.5f - 2 * u * u) * 1.3f;
        const Vector3 local{TableCos(angle) * w * X, TableSin(angle) * w * Y, reverse ? -(z + b.min.z) : z + b.min.z};
        Vector3 turned;
        MatRotateVec(sim->matrix, local, turned);
        EmitterPoint& p = e->points[i];
        p.position = Add(at, turned);
        p.brightness = 32;
        p.size = size;
        p.colour = 7;
        p.life = 10000;
    }
    return true;
}

void UpdateOrbiters(TDP* tdp, ParticleEmitter* e)
{
    const Vector3 centre = OwnerPosition(tdp, e);
    const float seconds = FrameSeconds();
    const int groups = (e->pointCount + 3) / 4;
    for (int g = 0; g < groups; ++g) {
        const int lead = g * 4;
        if (lead >= e->capacity)
            break;
        EmitterPoint& p = e->points[lead];
        const Vector3 previous = p.offset;
        Vector3 o = p.offset;
        VecNormalise(o);
        Vector3 w;
        VecCross(p.velocity, o, w);
        VecNormalise(w);
        VecCross(o, w, p.velocity);
        p.offset = Scale(Add(o, Scale(p.velocity, seconds)), kOrbitRadius);
        p.position = Add(centre, p.offset);
        const Vector3 quarter = Scale({p.offset.x - previous.x, p.offset.y - previous.y, p.offset.z - previous.z},
                                      0.25f);
        for (int k = 1; k < 4 && lead + k < e->capacity; ++k) {
            EmitterPoint& f = e->points[lead + k];
            f.offset = Add(Scale(quarter, static_cast<float>(k)), previous);
            f.position = Add(centre, f.offset);
        }
    }
}

void UpdateEmitterTdp(TDP* tdp, const Matrix4* world)
{
    ParticleEmitter* e = tdp->emitter;
    if (!e)
        return;
    if (world)
        e->position = Translation(*world);
    if (e->flags & kEmitterTimed) {
        e->lifeLeft = static_cast<int16_t>(e->lifeLeft - Ticks());
        if (e->lifeLeft < 0)
            e->alive = 0;
    }
    if ((e->flags & kEmitterGeneral) && !UpdateEmitterPoints(tdp, e, world)) {
        RemoveParticleSystem(tdp);
        return;
    }
    if ((e->flags & kEmitterSweep) && !UpdateSweepPoints(tdp, e)) {
        RemoveParticleSystem(tdp);
        return;
    }
    if (e->flags & kEmitterOrbiters)
        UpdateOrbiters(tdp, e);
    if (e->flags & kEmitterMarkerLights)
        UpdateMarkerLights(tdp, e, world);
}
