// Drives the message buffer with arbitrary operations and ids (garbage ids,
// -1, slots out of range, long bodies, a full arena): no read or write out
// of bounds, a fetched message is always the receiver's own and due, and
// pending counts never go below zero.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "world/messages.h"
#include "world/records.h"

namespace {

void Quiet(const char*) {}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SetFatalStopHook(Quiet);
    gFrameClock.gameClock = 0;
    ClearMessageBuffer();
    uint32_t ids[4];
    for (uint32_t& id : ids)
        id = AllocReceiver();
    static uint8_t body[512];
    fuzz::InputReader in{data, size};
    while (in.More()) {
        uint8_t op = in.Byte();
        // Low ids are ours; others are whatever the input says.
        uint32_t id = (op & 0x80) ? in.Word() : ids[op & 3];
        switch ((op >> 2) & 7) {
        case 0:
        case 1: {
            int32_t delay = static_cast<int8_t>(in.Byte());
            int32_t length = in.Byte() * 2;
            std::memset(body, static_cast<int>(length), sizeof body);
            PostItemMessage(ids[0], id, delay, in.Byte(), length, body);
            break;
        }
        case 2: {
            ItemMessage m;
            if (ItemMessage* got = FetchItemMessage(id, &m)) {
                if (got->receiver != id ||
                    got->due > static_cast<int32_t>(gFrameClock.gameClock) ||
                    got->length < kMessageHeaderBytes ||
                    got->length > kMessageHeaderBytes + kMaxMessageBody)
                    std::abort();
            }
            break;
        }
        case 3: {
            SceneItem item{};
            item.receiver = id;
            DelayItemMessages(&item, static_cast<int8_t>(in.Byte()), in.Byte());
            break;
        }
        case 4:
            PurgeReceiverMessages(id);
            break;
        case 5:
            FreeReceiver(id);
            AllocReceiver();
            break;
        case 6:
            gFrameClock.gameClock += in.Byte();
            PurgeStaleMessages();
            break;
        default:
            CompactMessageBuffer();
            break;
        }
        for (uint32_t each : ids)
            if (ReceiverPendingCount(each) < 0)
                std::abort();
        if (GetMessageStats().bytesUsed > kMessageBufferBytes)
            std::abort();
    }
    ClearMessageBuffer();
    SetFatalStopHook(nullptr);
    return 0;
}
