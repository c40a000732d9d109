// Drives the default message handler with arbitrary traffic: any kind
// (also the unknown ones), bodies of any length and content, item handles
// of live, deleted, parked and reused items, Actions with any index, and
// whole simulation frames in between. No crash, no read or write out of
// bounds, and the scene list stays whole. Each input starts from the same
// world (fuzz_world.h) and tears it down after, so nothing leaks and nothing
// carries over; a stale handle is one of an item's earlier lives, never a
// later one, so that it stays stale however often its slot was used before.
//
// The one body that is not arbitrary is kind 2's: it carries code
// pointers, which only the game itself ever sends, so the input chooses
// among real response hooks.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_world.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "world/actions.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/simframe.h"

namespace {

void Quiet(const char*) {}

constexpr int kItems = 8;

// A ship, or an object without a ShipInfo, handled by the real handler.
SceneItem* Spawn(fuzz::InputReader& in)
{
    SceneItem* item = NewSceneItem();
    if (!item)
        return nullptr;
    InsertSceneItem(item, 0);
    Sim* sim = AttachSim(item, nullptr);
    AttachRootTDP(item);
    SetMessageFunction(item, HandleItemMessages);
    if (!sim)
        return item;
    sim->hull = in.Byte();
    sim->flags |= static_cast<uint32_t>(in.Byte()) << 16;
    item->avatar->classFlags = in.Byte() & 0x30;
    if (in.Byte() & 1) {
        if (ShipInfo* info = AllocShipInfo()) {
            sim->shipInfo = info;
            info->name = "Ship";
            info->side = static_cast<int16_t>(in.Byte() & 3);
            info->damage.maximumHull = in.Byte() * 10;
            info->damage.hullDamage = in.Byte();
            info->damage.capabilities = static_cast<int16_t>(in.Byte() << 2);
            info->skill = 50;
            sim->flightModel = &info->flightModel;
        }
    }
    return item;
}

const ResponseHooksBody kHooks[] = {
    {nullptr, nullptr},
    {DeleteSelfOnContact, BreakOffOnHit},
    {CrushOnContact, nullptr},
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SetFatalStopHook(Quiet);
    gSettings.sound = 0; // no sound files here: the sounds' placement still runs
    fuzz::StartWorld();
    gFrameClock.frameTicks = 5;
    gFrameClock.frameSeconds = 0.05f;
    static Resource film{};
    std::strcpy(film.name, "film.smk");

    fuzz::InputReader in{data, size};
    SceneItem* items[kItems] = {};
    for (SceneItem*& item : items)
        item = Spawn(in);
    gPlayerItem = gControlledItem = items[0];

    uint8_t body[96];
    while (in.More()) {
        const uint8_t op = in.Byte();
        SceneItem* item = items[(op >> 4) & (kItems - 1)];
        switch (op & 7) {
        case 0:
        case 1:
        case 2: { // a message to an item, maybe one that is gone
            const uint16_t kind = in.Byte() % 32;
            int32_t length = in.Byte() % sizeof body;
            for (int32_t i = 0; i < length; ++i)
                body[i] = in.Byte();
            // Some words become handles of the items, live or not.
            const uint8_t handles = in.Byte();
            for (int word = 0; word < 4; ++word)
                if (handles & (1 << word)) {
                    const uint32_t h = ItemHandle(items[(handles >> 4) & (kItems - 1)]) - (word == 3 ? 0x10000 : 0);
                    std::memcpy(body + 4 * word, &h, 4);
                }
            if (kind == kMsgSetResponses) {
                const ResponseHooksBody& hooks = kHooks[body[0] % 3];
                std::memcpy(body, &hooks, sizeof hooks);
                length = (handles & 0x80) ? sizeof hooks : length;
            }
            const int32_t delay = static_cast<int8_t>(in.Byte());
            if (item)
                PostItemMessage(item->receiver, item->receiver, delay, kind, length, body);
            break;
        }
        case 3: // the handler on its own, for an item in the scene
            if (item && (item->flags & kItemInUse) && IsInSceneList(item))
                HandleItemMessages(item);
            break;
        case 4: // a whole frame
            gFrameClock.frameTicks = in.Byte() % 21;
            gFrameClock.gameClock += static_cast<uint32_t>(gFrameClock.frameTicks);
            RunSimulationFrame();
            gLoopFlags.jumpArrivalRequest = 0;
            break;
        case 5: { // an Action
            if (!item || !(item->flags & kItemInUse))
                break;
            const int16_t index = static_cast<int16_t>(static_cast<int8_t>(in.Byte()));
            const uint32_t key = in.Byte() % 8;
            if (index == 100)
                AddAction(item, key, kActionFilm, &film);
            else
                AddAction(item, key, kActionCallback, &index);
            break;
        }
        case 6: // replace a deleted item (its slot may be reused)
            for (SceneItem*& each : items)
                if (!each || !(each->flags & kItemInUse)) {
                    each = Spawn(in);
                    break;
                }
            break;
        default: // destruction bookkeeping with a hit record of any content
            if (item && (item->flags & kItemInUse)) {
                HitPayload hit{};
                std::memcpy(&hit, data + (in.at < size ? in.at : 0), std::min(sizeof hit, size - std::min(in.at, size)));
                NoteItemDestroyed(item, &hit);
            }
            break;
        }
        if (!CheckSceneListIntegrity())
            std::abort();
    }
    fuzz::TearDownWorld();
    SetFatalStopHook(nullptr);
    return 0;
}
