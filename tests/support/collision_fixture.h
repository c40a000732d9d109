// Helpers of the collision tests: bodies with a part and a radius,
// collision shapes made by hand, and a response that records every call.
#pragma once

#include <vector>

#include "world/records.h"

namespace collisiontest {

// One call of the recording response.
struct ContactCall {
    SceneItem* self;
    TDP* ownPart;
    SceneItem* other;
    TDP* otherPart;
    int16_t handledSeen; // the handled word as the response found it
    Vector3 contact;
};
const std::vector<ContactCall>& Contacts();
void ClearContacts();
// Records the call and sets the handled word.
void RecordContact(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                   int16_t* handled, const Vector3* contact);

// A part that takes part in collisions and touches on radii alone.
constexpr uint32_t kSolidPart = kTdpCollides | kTdpSolid;

// An item in the scene list at `at` with the Sim radius r and a root part of
// radius r whose collision flags are `partFlags`, responding through
// RecordContact.
SceneItem* Body(const Vector3d& at, float r, uint32_t partFlags = kSolidPart, int16_t itemFlags = 0);
// Gives the item's root part a HullBounds of the radius (no points, no
// boxes) and returns it.
HullBounds* Shape(SceneItem* item, float radius);
// Appends a box to the shape.
HullBox* AddBox(HullBounds* bounds, const Vector3& minimum, const Vector3& maximum, uint32_t flags);

} // namespace collisiontest
