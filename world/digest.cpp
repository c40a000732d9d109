// The world-state digest: FNV-1a over the state, field by field.
#include "world/digest.h"

#include <cstring>

#include "system/frameclock.h"
#include "world/floatingorigin.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"

namespace {

class Digest {
public:
    template <typename T>
    void Add(const T& value)
    {
        unsigned char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        for (unsigned char b : bytes)
            hash_ = (hash_ ^ b) * 0x100000001B3ull;
    }
    uint64_t Value() const { return hash_; }

private:
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

void AddItem(Digest& d, const SceneItem* item)
{
    d.Add(static_cast<int32_t>(item - SceneItemPool()));
    d.Add(item->flags);
    d.Add(item->sceneGeneration);
    d.Add(item->receiver);
    d.Add(item->pitchDemand);
    d.Add(item->yawDemand);
    d.Add(item->rollDemand);
    if (const Sim* sim = item->sim) {
        d.Add(sim->position.x);
        d.Add(sim->position.y);
        d.Add(sim->position.z);
        d.Add(sim->velocity.x);
        d.Add(sim->velocity.y);
        d.Add(sim->velocity.z);
        d.Add(sim->thrust.x);
        d.Add(sim->thrust.y);
        d.Add(sim->thrust.z);
        for (float m : sim->matrix.m)
            d.Add(m);
        d.Add(sim->hull);
        d.Add(sim->flags);
        d.Add(sim->countdown);
        d.Add(sim->mass);
        d.Add(sim->radius);
    }
    if (const Avatar* avatar = item->avatar) {
        // The collision pass's note of the nearest obstacle.
        d.Add(avatar->obstacle ? static_cast<int32_t>(avatar->obstacle - SceneItemPool()) : -1);
        d.Add(avatar->obstacleCloseness);
        for (int32_t p : avatar->params)
            d.Add(p);
        d.Add(avatar->classFlags);
    }
}

} // namespace

uint64_t WorldStateDigest()
{
    Digest d;
    for (const SceneItem* s = gSceneList.next; s && s != &gSceneList; s = s->next)
        AddItem(d, s);
    d.Add(-1);
    for (const SceneItem* s = gParkedList.next; s && s != &gParkedList; s = s->next)
        AddItem(d, s);
    d.Add(ShiftRegisterRandomState());
    MessageStats stats = GetMessageStats();
    d.Add(stats.receiversInUse);
    d.Add(stats.messagesPosted);
    d.Add(stats.bytesUsed);
    d.Add(gFrameClock.gameClock);
    d.Add(gWorldOriginOffset.x);
    d.Add(gWorldOriginOffset.y);
    d.Add(gWorldOriginOffset.z);
    return d.Value();
}
