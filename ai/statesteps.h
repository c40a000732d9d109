// Small shared pieces of the state routines: filling the step record
// (stay, pop, push), reading an item from a state parameter, and the
// position and distance arithmetic the movement, escort and hunting states
// all use. Inline, so that each state reads as a short list of steps.
#pragma once

#include <cmath>
#include <cstdint>

#include "ai/aistate.h"
#include "world/pools.h"
#include "world/records.h"

namespace aistep {

// Stay in the state, resuming at `next`, with the given value.
inline AIStateResult* Stay(AIStateResult* result, int16_t next, float value = 1.0f)
{
    result->action = kAIStay;
    result->nextSubState = next;
    result->value = value;
    return result;
}

// Leave the state, handing `value` to the parent.
inline AIStateResult* Pop(AIStateResult* result, float value)
{
    result->action = kAIPop;
    result->value = value;
    return result;
}

// Put `state` on top with its three parameters; this frame resumes at `resume`.
inline AIStateResult* Push(AIStateResult* result, int32_t state, int32_t p1, int32_t p2, int32_t p3,
                           int16_t resume)
{
    result->action = kAIPush;
    result->pushState = state;
    result->parameter1 = p1;
    result->parameter2 = p2;
    result->parameter3 = p3;
    result->nextSubState = resume;
    return result;
}

// A sub-state the state does not know: value 0, stay, start again at 1.
inline AIStateResult* Unknown(AIStateResult* result) { return Stay(result, 1, 0.0f); }

// An item parameter is the item's handle; 0 or a stale one reads null.
inline SceneItem* ParamItem(int32_t parameter)
{
    return parameter ? ItemFromHandle(static_cast<SceneItemHandle>(parameter)) : nullptr;
}
inline int32_t ItemParam(const SceneItem* item)
{
    return item ? static_cast<int32_t>(ItemHandle(item)) : 0;
}

inline bool IsLiveItem(const SceneItem* item)
{
    return item && (item->flags & kItemInUse) && item->sim;
}

inline Vector3 Translation(const Sim* sim)
{
    return {sim->matrix.m[12], sim->matrix.m[13], sim->matrix.m[14]};
}
inline Vector3 AxisX(const Matrix4& m) { return {m.m[0], m.m[1], m.m[2]}; }
inline Vector3 AxisY(const Matrix4& m) { return {m.m[4], m.m[5], m.m[6]}; }
inline Vector3 AxisZ(const Matrix4& m) { return {m.m[8], m.m[9], m.m[10]}; }

inline Vector3 Add(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vector3 Sub(const Vector3& a, const Vector3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vector3 Scale(const Vector3& v, float s) { return {v.x * s, v.y * s, v.z * s}; }

// b's position minus a's, from the double positions.
inline Vector3 Offset(const WorldPosition& a, const WorldPosition& b)
{
    return {static_cast<float>(b.x - a.x), static_cast<float>(b.y - a.y),
            static_cast<float>(b.z - a.z)};
}
inline double Distance(const WorldPosition& a, const WorldPosition& b)
{
    const double dx = b.x - a.x, dy = b.y - a.y, dz = b.z - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}
inline double Distance(const SceneItem* a, const SceneItem* b)
{
    return Distance(a->sim->position, b->sim->position);
}

// A world vector turned into the frame's axes.
inline Vector3 IntoFrame(const Vector3& v, const Matrix4& m)
{
    return {v.x * m.m[0] + v.y * m.m[1] + v.z * m.m[2], v.x * m.m[4] + v.y * m.m[5] + v.z * m.m[6],
            v.x * m.m[8] + v.y * m.m[9] + v.z * m.m[10]};
}
// A vector in the frame's axes turned into world axes.
inline Vector3 OutOfFrame(const Vector3& v, const Matrix4& m)
{
    return {v.x * m.m[0] + v.y * m.m[4] + v.z * m.m[8], v.x * m.m[1] + v.y * m.m[5] + v.z * m.m[9],
            v.x * m.m[2] + v.y * m.m[6] + v.z * m.m[10]};
}

inline float Clamp(float v, float limit) { return v > limit ? limit : v < -limit ? -limit
                                                                                 : v; }

// A float cut to an integer, kept within 32 bits.
inline int32_t CutToInt(double v)
{
    if (!(v == v))
        return 0;
    return v >= 2147483647.0 ? INT32_MAX : v <= -2147483648.0 ? INT32_MIN
                                                              : static_cast<int32_t>(v);
}

} // namespace aistep
