// Helpers of the collision tests.
#include "tests/support/collision_fixture.h"

#include "tests/support/world_fixture.h"
#include "world/pools.h"

namespace collisiontest {

namespace {
std::vector<ContactCall> gContacts;
} // namespace

const std::vector<ContactCall>& Contacts() { return gContacts; }
void ClearContacts() { gContacts.clear(); }

void RecordContact(SceneItem* self, TDP* ownPart, SceneItem* other, TDP* otherPart,
                   int16_t* handled, const Vector3* contact)
{
    gContacts.push_back({self, ownPart, other, otherPart, *handled, contact ? *contact : Vector3{}});
    *handled = 1;
}

SceneItem* Body(const Vector3d& at, float r, uint32_t partFlags, int16_t itemFlags)
{
    SceneItem* item = worldtest::MakeItem(nullptr, nullptr, nullptr, itemFlags);
    Sim* sim = item->sim;
    sim->position = {at.x, at.y, at.z};
    sim->matrix.m[12] = static_cast<float>(at.x);
    sim->matrix.m[13] = static_cast<float>(at.y);
    sim->matrix.m[14] = static_cast<float>(at.z);
    sim->radius = r;
    sim->mass = 100;
    TDP* root = item->avatar->root;
    root->radius = r;
    root->flags = (root->flags & ~kTdpCollides) | partFlags;
    item->avatar->collision = RecordContact;
    return item;
}

HullBounds* Shape(SceneItem* item, float radius)
{
    HullBounds* bounds = AllocHullBounds();
    bounds->radius = radius;
    item->avatar->root->hullBounds = bounds;
    return bounds;
}

HullBox* AddBox(HullBounds* bounds, const Vector3& minimum, const Vector3& maximum, uint32_t flags)
{
    auto* box = static_cast<HullBox*>(AllocMemory(sizeof(HullBox)));
    *box = {minimum, maximum, nullptr, flags};
    HullBox** slot = &bounds->boxes;
    while (*slot)
        slot = &(*slot)->next;
    *slot = box;
    return box;
}

} // namespace collisiontest
