// Ray and proximity queries. See rayqueries.h.
#include "world/rayqueries.h"

#include <cmath>

#include "ai/docking.h"
#include "view/viewstart.h"
#include "world/collisions.h"
#include "world/records.h"
#include "world/scenelist.h"

namespace {

constexpr float kSweepSeconds = 6.0f;  // a sixth of a second of travel
constexpr float kSweepWidth = 1.2f;    // times the part's radius
constexpr float kPickMinimum = 0.01f;  // a part at the point itself is not picked
constexpr float kNotEligible = -1e10f; // line-of-sight value of items that do not count
constexpr float kNoneInFront = 1e11f;
constexpr float kNoneBehind = -1e11f;

float Axis(const Vector3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y
                                                                            : v.z; }

void WalkParts(TDP* part, uint32_t include, uint32_t exclude, const Vector3& point, TDP*& best,
               float& bestDistance)
{
    for (; part; part = part->nextSibling) {
        WalkParts(part->firstChild, include, exclude, point, best, bestDistance);
        const uint16_t flags = static_cast<uint16_t>(part->flags);
        if (!(flags & include) || (flags & exclude))
            continue;
        const Vector3 d{part->worldCentre.x - point.x, part->worldCentre.y - point.y,
                        part->worldCentre.z - point.z};
        const float distance = VecLength(d);
        if (distance < bestDistance && distance > kPickMinimum) {
            best = part;
            bestDistance = distance;
        }
    }
}

} // namespace

TDP* SweptPointHitsTDP(SceneItem* moving, TDP* part, Vector3* contact)
{
    if ((part->flags & kTdpPlanetLayer) || !(part->flags & kTdpCollides) || !part->owner ||
        !part->owner->sim)
        return nullptr;
    const Sim* sim = moving->sim;
    const WorldPosition& p = sim->position;
    const Vector3 r{static_cast<float>(p.x - part->worldCentre.x),
                    static_cast<float>(p.y - part->worldCentre.y),
                    static_cast<float>(p.z - part->worldCentre.z)};
    Vector3 local;
    VecMulMat3T(local, r, sim->matrix);
    const float lateral = VecFastLength2(local.x, local.y);
    const float along = std::fabs(local.z);
    if (!(VecFastLength(sim->velocity) / kSweepSeconds > along && part->radius * kSweepWidth > lateral))
        return nullptr;
    const Matrix4& partFrame = part->owner->sim->matrix;
    Vector3 origin;
    VecMulMat3T(origin, r, partFrame);
    if (part->flags & kTdpSolid) {
        // Nothing to cross: the struck point is where the mover is.
        if (contact)
            *contact = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
        return part;
    }
    return RayHitsHullBounds(sim->matrix, partFrame, part, origin, contact) ? part : nullptr;
}

bool RayHitsHullBounds(const Matrix4& rayFrame, const Matrix4& partFrame, TDP* part,
                       const Vector3& origin, Vector3* point)
{
    const HullBounds* bounds = part->hullBounds;
    if (!bounds)
        return false;
    const Vector3 forward{rayFrame.m[8], rayFrame.m[9], rayFrame.m[10]};
    Vector3 dir;
    VecMulMat3T(dir, forward, partFrame);
    if (dir.x == 0.0f && dir.y == 0.0f && dir.z == 0.0f)
        return false;
    bool crossed = false;
    uint32_t bits = 0;
    float keptT = 0.0f;
    Vector3 kept{};
    for (const HullBox* box = bounds->boxes; box; box = box->next) {
        bool boxCrossed = false;
        for (int axis = 0; axis < 3; ++axis) {
            const float d = Axis(dir, axis);
            if (d == 0.0f)
                continue;
            const float face = d > 0.0f ? Axis(box->minimum, axis) : Axis(box->maximum, axis);
            const float t = (face - Axis(origin, axis)) / d;
            const Vector3 q{origin.x + dir.x * t, origin.y + dir.y * t, origin.z + dir.z * t};
            bool inside = true;
            for (int other = 0; other < 3 && inside; ++other) {
                if (other == axis)
                    continue;
                const float c = Axis(q, other);
                inside = c > Axis(box->minimum, other) && c < Axis(box->maximum, other);
            }
            if (!inside)
                continue;
            boxCrossed = true;
            // The first crossing found, or a later one further along the ray.
            if (!crossed || t > keptT) {
                keptT = t;
                kept = q;
            }
            crossed = true;
        }
        if (boxCrossed)
            bits |= box->flags;
    }
    if (!crossed)
        return false;
    if (SceneItem* owner = part->owner)
        owner->avatar->pendingHitEffects = bits & kBoxHitEffects;
    if (point) {
        Vector3 world;
        MatRotateVec(partFrame, kept, world);
        *point = {world.x + part->worldCentre.x, world.y + part->worldCentre.y,
                  world.z + part->worldCentre.z};
    }
    return true;
}

TDP* RayPickScene(uint32_t include, uint32_t exclude, const Vector3& point, float startDistance)
{
    TDP* best = nullptr;
    float bestDistance = startDistance;
    for (SceneItem* item = gSceneList.next; item != &gSceneList; item = item->next)
        WalkParts(item->avatar->root, include, exclude, point, best, bestDistance);
    return best;
}

SceneItem* FindNearestItemOnRay(SceneItem* item, TDP* part, uint32_t include, uint32_t exclude,
                                float* offset, SceneItem* excluded)
{
    const Sim* sim = item->sim;
    if (!sim)
        return nullptr;
    // The eye: the item's position, moved by the part's offset; the axes:
    // the part's turned into the item's, or the item's.
    Matrix4 frame = sim->matrix;
    if (part) {
        Matrix4 axes = part->local;
        axes.m[12] = axes.m[13] = axes.m[14] = 0.0f;
        MatMul(axes, sim->matrix);
        frame = axes;
    }
    Vector3 shift{0.0f, 0.0f, 0.0f};
    if (part)
        MatRotateVec(frame, part->offset, shift);
    const Vector3d eye{sim->position.x + shift.x, sim->position.y + shift.y, sim->position.z + shift.z};

    SceneItem* front = nullptr;
    float bestFront = kNoneInFront;
    float frontLateral = 0.0f;
    float bestBehind = kNoneBehind;
    for (SceneItem* other = gSceneList.next; other != &gSceneList; other = other->next) {
        if (other == item || other == excluded || !other->sim ||
            (other->avatar->flags & kAvatarNoContact) || FindDockedItem(item, other))
            continue;
        float value = kNotEligible;
        float lateral = 0.0f;
        const uint32_t classFlags = other->avatar->classFlags;
        if ((classFlags & include) && !(classFlags & exclude)) {
            const Vector3 rel{static_cast<float>(other->sim->position.x - eye.x),
                              static_cast<float>(other->sim->position.y - eye.y),
                              static_cast<float>(other->sim->position.z - eye.z)};
            Vector3 v;
            VecMulMat3T(v, rel, frame);
            lateral = std::fabs(v.x) + std::fabs(v.y);
            // An item level with the eye is neither in front nor behind.
            if (v.z == 0.0f)
                continue;
            value = lateral * gProjectionDistance / v.z;
        }
        if (value >= 0.0f) {
            if (value < bestFront) {
                bestFront = value;
                front = other;
                frontLateral = lateral;
            }
        } else if (value > bestBehind) {
            bestBehind = value;
        }
    }
    if (offset)
        *offset = front ? frontLateral : bestBehind;
    return front;
}
