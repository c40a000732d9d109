// Messages between objects: RECEIVER ids and the shared message buffer.
//
// Scene items and UI windows post time-stamped messages to RECEIVER ids;
// each receiver's message function fetches those that are due. A RECEIVER
// id is its slot (0..1023) ORed with the current generation tag; messages to
// an id of another generation (0, -1, ...), or to a slot that is not
// allocated, are never counted and die at the end of the frame; a new owner
// of a slot never sees messages meant for the last one. The buffer is one
// flat 64 KB arena of variable-length records lying back to back,
// compacted in place, so delivery keeps posting order.
//
// A fetched message is copied into the caller's ItemMessage: handlers may
// post while they read it, which moves the records of the arena.
#pragma once

#include <cstdint>
#include <cstring>

struct SceneItem;

constexpr int kMaxReceivers = 1024;
constexpr uint32_t kNoReceiver = 0xFFFFFFFFu;
constexpr int kMessageBufferBytes = 65536;
constexpr int kMessageHeaderBytes = 24;
constexpr int kMaxMessageBody = 256;

// The generation tag of receiver ids (0x10000 for the whole run).
extern uint32_t gReceiverGeneration;

// A message as the reader gets it: the header fields, then the body.
struct ItemMessage {
    uint32_t receiver; // kNoReceiver once consumed or dead
    uint32_t sender;   // a RECEIVER id
    uint32_t unused;
    int32_t due; // game clock at posting + delay
    uint16_t kind;
    uint16_t unused2;
    int32_t length; // body length + 24
    uint8_t body[kMaxMessageBody];

    int32_t BodyLength() const { return length - kMessageHeaderBytes; }
};

// Reads a message body as its kind's body struct (zero-filled when short).
template <typename Body>
Body MessageBody(const ItemMessage& message)
{
    static_assert(sizeof(Body) <= kMaxMessageBody);
    Body body{};
    int32_t n = message.BodyLength();
    std::memcpy(&body, message.body, n < static_cast<int32_t>(sizeof(Body)) ? n : sizeof(Body));
    return body;
}

void InitMessageBuffer();
// The world's reset: frees every receiver but the kept ones, which keep
// their pending messages; everything else in the buffer goes.
void ClearMessageBuffer();

// True when the id carries the current generation tag and names a slot:
// the test of whether an id may still belong to a receiver of this run.
bool IsReceiverCurrent(uint32_t id);
uint32_t AllocReceiver(); // kNoReceiver after "Exceeded max RECEIVERs"
// A receiver that survives ClearMessageBuffer (the UI's windows live
// across world resets); freed by FreeReceiver like any other.
uint32_t AllocKeptReceiver();
void FreeReceiver(uint32_t id);
void PurgeReceiverMessages(uint32_t id);

// Posts a message; returns false when it was dropped ("Message Buffer
// Overflow", or a body longer than kMaxMessageBody).
bool PostItemMessage(uint32_t sender, uint32_t receiver, int32_t delay, uint16_t kind,
                     int32_t bodyLength, const void* body);
template <typename Body>
bool PostItemMessage(uint32_t sender, uint32_t receiver, int32_t delay, uint16_t kind,
                     const Body& body)
{
    return PostItemMessage(sender, receiver, delay, kind, sizeof(Body), &body);
}

// The first due message to exactly this id, in buffer order, consumed and
// copied into *out; null when none is due.
ItemMessage* FetchItemMessage(uint32_t receiver, ItemMessage* out);
int32_t CopyMessageBody(const ItemMessage* message, void* destination);

// Pushes the item's pending messages of this kind out to at least `delay`
// from now; returns how many are pending.
int16_t DelayItemMessages(const SceneItem* item, int32_t delay, uint16_t kind);

// Posts to every scene item that has a Sim with a ShipInfo, but the sender.
void BroadcastItemMessage(uint32_t sender, int32_t delay, uint16_t kind, int32_t bodyLength,
                          const void* body);

void CompactMessageBuffer();
void PurgeStaleMessages();

// Bookkeeping for tests and tools.
struct MessageStats {
    int receiversInUse;
    uint32_t messagesPosted;
    int bytesUsed;
};
MessageStats GetMessageStats();
int16_t ReceiverPendingCount(uint32_t id);
