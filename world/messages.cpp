// RECEIVER slots and the message arena.
//
// Arena records: the 24-byte header (receiver, sender, unused, due, kind,
// unused, length) then the body, back to back with no padding; headers are
// read and written with memcpy, so no record needs alignment.
#include "world/messages.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>

#include "system/errors.h"
#include "system/frameclock.h"
#include "world/records.h"
#include "world/scenelist.h"

uint32_t gReceiverGeneration = 0x10000;

namespace {

uint8_t gBuffer[kMessageBufferBytes];
int gEnd; // next free byte
// No record before this offset has died: every record below it is to a live
// receiver, so a purge leaves that part of the arena as it is and works
// only on what lies above (kMessageBufferBytes: nothing has died).
int gDeadFrom = kMessageBufferBytes;
uint8_t gReceiverInUse[kMaxReceivers];
uint8_t gReceiverKept[kMaxReceivers]; // survives ClearMessageBuffer
int16_t gPending[kMaxReceivers];
int gReceiversInUse;
uint32_t gMessagesPosted;
template <typename T, T Value>
constexpr std::array<T, kMaxReceivers> Filled()
{
    std::array<T, kMaxReceivers> a{};
    a.fill(Value);
    return a;
}
// Per slot, an offset before which no live record to the slot lies (-1:
// none is live), so a fetch need not walk the whole arena.
std::array<int, kMaxReceivers> gFirstAt = Filled<int, -1>();
// Per slot, a time before which no live record to the slot is due, so
// polling a receiver whose messages all wait costs nothing.
std::array<int32_t, kMaxReceivers> gEarliestDue = Filled<int32_t, INT32_MAX>();

struct Header {
    uint32_t receiver;
    uint32_t sender;
    uint32_t unused;
    int32_t due;
    uint16_t kind;
    uint16_t unused2;
    int32_t length;
};
static_assert(sizeof(Header) == kMessageHeaderBytes);
// A fetch copies the header straight into the reader's ItemMessage.
static_assert(offsetof(ItemMessage, length) == offsetof(Header, length) &&
              offsetof(ItemMessage, body) == kMessageHeaderBytes);

Header ReadHeader(int at)
{
    Header h;
    std::memcpy(&h, gBuffer + at, sizeof h);
    return h;
}

void NoteDeath(int at) { gDeadFrom = std::min(gDeadFrom, at); }

// Consumed and dropped records carry kNoReceiver.
// Field by field: a header built on the stack and copied whole would be
// read back before its parts have left the store buffer.
void WriteHeader(int at, const Header& h)
{
    uint8_t* p = gBuffer + at;
    std::memcpy(p + offsetof(Header, receiver), &h.receiver, 4);
    std::memcpy(p + offsetof(Header, sender), &h.sender, 4);
    std::memcpy(p + offsetof(Header, unused), &h.unused, 4);
    std::memcpy(p + offsetof(Header, due), &h.due, 4);
    std::memcpy(p + offsetof(Header, kind), &h.kind, 2);
    std::memcpy(p + offsetof(Header, unused2), &h.unused2, 2);
    std::memcpy(p + offsetof(Header, length), &h.length, 4);
}

// Bodies are short: eight bytes at a time, then the rest, which costs less
// than the string move the compiler picks for a bounded copy.
void CopyBody(uint8_t* to, const uint8_t* from, int32_t n)
{
    int32_t i = 0;
    for (; i + 8 <= n; i += 8)
        std::memcpy(to + i, from + i, 8);
    for (; i < n; ++i)
        to[i] = from[i];
}

void WriteReceiver(int at, uint32_t id)
{
    std::memcpy(gBuffer + at, &id, sizeof id);
    NoteDeath(at);
}
void WriteDue(int at, int32_t due) { std::memcpy(gBuffer + at + 12, &due, sizeof due); }

bool IsCurrent(uint32_t id)
{
    return (id & 0xFFFF0000u) == gReceiverGeneration && (id & 0xFFFF) < kMaxReceivers;
}

// A receiver that can take messages: current tag, allocated slot.
bool IsLive(uint32_t id) { return IsCurrent(id) && gReceiverInUse[id & 0xFFFF]; }

// Marks dead every record addressed to the id (no counts change).
void KillRecordsTo(uint32_t id)
{
    for (int at = 0; at < gEnd;) {
        Header h = ReadHeader(at);
        if (h.receiver == id)
            WriteReceiver(at, kNoReceiver);
        at += h.length;
    }
}

// The fetch hints of a receiver hold: no record to it lies before its
// first-at offset or is due before its earliest due time.
bool FetchHintsHold(uint32_t receiver)
{
    const int slot = receiver & 0xFFFF;
    for (int at = 0; at < gEnd;) {
        Header h = ReadHeader(at);
        if (h.receiver == receiver &&
            (gFirstAt[slot] < 0 || at < gFirstAt[slot] || h.due < gEarliestDue[slot]))
            return false;
        at += h.length;
    }
    return true;
}

int32_t Clock() { return static_cast<int32_t>(gFrameClock.gameClock); }

// Due times wrap like the game clock they count from: a delay of any size
// never overflows.
int32_t ClockPlus(int32_t delay)
{
    return static_cast<int32_t>(gFrameClock.gameClock + static_cast<uint32_t>(delay));
}
int32_t TicksUntil(int32_t due, int32_t now)
{
    return static_cast<int32_t>(static_cast<uint32_t>(due) - static_cast<uint32_t>(now));
}

} // namespace

void InitMessageBuffer()
{
    std::memset(gBuffer, 0, sizeof gBuffer);
    gEnd = 0;
    gDeadFrom = kMessageBufferBytes;
    gReceiversInUse = 0;
    gMessagesPosted = 0;
    std::memset(gReceiverInUse, 0, sizeof gReceiverInUse);
    std::memset(gReceiverKept, 0, sizeof gReceiverKept);
    std::memset(gPending, 0, sizeof gPending);
    gFirstAt.fill(-1);
    gEarliestDue.fill(INT32_MAX);
}

void ClearMessageBuffer()
{
    // Without kept receivers the buffer simply starts again.
    if (std::find(std::begin(gReceiverKept), std::end(gReceiverKept), 255) == std::end(gReceiverKept)) {
        InitMessageBuffer();
        return;
    }
    for (int slot = 0; slot < kMaxReceivers; ++slot) {
        if (gReceiverInUse[slot] && !gReceiverKept[slot]) {
            gReceiverInUse[slot] = 0;
            --gReceiversInUse;
        }
        if (!gReceiverInUse[slot]) {
            gPending[slot] = 0;
            gFirstAt[slot] = -1;
            gEarliestDue[slot] = INT32_MAX;
        }
    }
    // Every record to a receiver that is gone dies in one pass over the
    // whole buffer; the kept receivers' records slide down in order.
    gDeadFrom = 0;
    PurgeStaleMessages();
    gMessagesPosted = 0;
}

uint32_t AllocReceiver()
{
    for (int slot = 0; slot < kMaxReceivers; ++slot) {
        if (!gReceiverInUse[slot]) {
            // Messages posted to the slot while it was free were meant for
            // its last owner.
            uint32_t id = static_cast<uint32_t>(slot) | gReceiverGeneration;
            KillRecordsTo(id);
            gFirstAt[slot] = -1;
            gEarliestDue[slot] = INT32_MAX;
            gReceiverInUse[slot] = 255;
            ++gReceiversInUse;
            return id;
        }
    }
    FatalError("Exceeded max RECEIVERs");
    return kNoReceiver;
}

uint32_t AllocKeptReceiver()
{
    const uint32_t id = AllocReceiver();
    if (IsCurrent(id))
        gReceiverKept[id & 0xFFFF] = 255;
    return id;
}

void FreeReceiver(uint32_t id)
{
    if (!IsCurrent(id))
        return;
    PurgeReceiverMessages(id);
    int slot = id & 0xFFFF;
    gPending[slot] = 0;
    gFirstAt[slot] = -1;
    gEarliestDue[slot] = INT32_MAX;
    gReceiverKept[slot] = 0;
    if (gReceiverInUse[slot]) {
        gReceiverInUse[slot] = 0;
        --gReceiversInUse;
    }
}

void PurgeReceiverMessages(uint32_t id)
{
    // Only messages posted while the slot was allocated were counted.
    bool counted = IsLive(id);
    for (int at = 0; at < gEnd;) {
        Header h = ReadHeader(at);
        if (h.receiver == id) {
            WriteReceiver(at, kNoReceiver);
            if (counted)
                --gPending[id & 0xFFFF];
        }
        at += h.length;
    }
    if (IsCurrent(id)) {
        gFirstAt[id & 0xFFFF] = -1;
        gEarliestDue[id & 0xFFFF] = INT32_MAX;
    }
}

bool PostItemMessage(uint32_t sender, uint32_t receiver, int32_t delay, uint16_t kind,
                     int32_t bodyLength, const void* body)
{
    if (bodyLength < 0 || bodyLength > kMaxMessageBody) {
        FatalError("Message Buffer Overflow");
        return false;
    }
    ++gMessagesPosted;
    Header h{receiver, sender, 0, ClockPlus(delay), kind, 0,
             bodyLength + kMessageHeaderBytes};
    if (gEnd + h.length > kMessageBufferBytes) {
        CompactMessageBuffer();
        if (gEnd + h.length > kMessageBufferBytes) {
            FatalError("Message Buffer Overflow");
            return false;
        }
    }
    // Counted only once it is sure to be stored, so the pending count never
    // names a message that is not there.
    if (IsLive(receiver)) {
        int slot = receiver & 0xFFFF;
        ++gPending[slot];
        if (gFirstAt[slot] < 0)
            gFirstAt[slot] = gEnd;
        gEarliestDue[slot] = std::min(gEarliestDue[slot], h.due);
    } else {
        NoteDeath(gEnd); // no one will fetch it: it goes at the next purge
    }
    WriteHeader(gEnd, h);
    CopyBody(gBuffer + gEnd + kMessageHeaderBytes, static_cast<const uint8_t*>(body), bodyLength);
    gEnd += h.length;
    return true;
}

ItemMessage* FetchItemMessage(uint32_t receiver, ItemMessage* out)
{
    if (!IsCurrent(receiver) || gPending[receiver & 0xFFFF] <= 0)
        return nullptr;
    KV_DEBUG_VERIFY(FetchHintsHold(receiver));
    int32_t now = Clock();
    int slot = receiver & 0xFFFF;
    if (now < gEarliestDue[slot])
        return nullptr;
    int32_t earliest = INT32_MAX;
    for (int at = gFirstAt[slot]; at >= 0 && at < gEnd;) {
        Header h = ReadHeader(at);
        if (h.receiver == receiver && h.due > now)
            earliest = std::min(earliest, h.due);
        if (h.receiver == receiver && h.due <= now) {
            WriteReceiver(at, kNoReceiver);
            --gPending[slot];
            if (gPending[slot] <= 0)
                gFirstAt[slot] = -1; // a hint is kept only while records are pending
            else if (gFirstAt[slot] == at)
                gFirstAt[slot] = at + h.length;
            std::memcpy(out, &h, sizeof h);
            std::memcpy(out->body, gBuffer + at + kMessageHeaderBytes,
                        h.length - kMessageHeaderBytes);
            return out;
        }
        at += h.length;
    }
    // Every live record to the slot was seen: none is due before this.
    gEarliestDue[slot] = earliest;
    return nullptr;
}

int32_t CopyMessageBody(const ItemMessage* message, void* destination)
{
    int32_t n = message->BodyLength();
    std::memcpy(destination, message->body, n);
    return n;
}

int16_t DelayItemMessages(const SceneItem* item, int32_t delay, uint16_t kind)
{
    int16_t count = 0;
    int32_t now = Clock();
    for (int at = 0; at < gEnd;) {
        Header h = ReadHeader(at);
        if (h.receiver == item->receiver && h.kind == kind) {
            ++count;
            if (TicksUntil(h.due, now) < delay) {
                int32_t due = ClockPlus(delay);
                WriteDue(at, due);
                // A due time that wraps past the clock's range comes out
                // earlier: the fetch hint must stay at or before it.
                if (IsCurrent(h.receiver))
                    gEarliestDue[h.receiver & 0xFFFF] =
                        std::min(gEarliestDue[h.receiver & 0xFFFF], due);
            }
        }
        at += h.length;
    }
    return count;
}

void BroadcastItemMessage(uint32_t sender, int32_t delay, uint16_t kind, int32_t bodyLength,
                          const void* body)
{
    for (SceneItem* item = gSceneList.next; item && item != &gSceneList; item = item->next) {
        if (item->sim && item->sim->shipInfo && item->receiver != sender)
            PostItemMessage(sender, item->receiver, delay, kind, bodyLength, body);
    }
}

namespace {

// The records that stay slide down over the others, in order. Below
// gDeadFrom nothing has died, so the pass starts there. The fetch hints of
// live receivers whose first record lay above it are set again on the way:
// a slot with pending records always has a hint at or before its first
// one, and a hint below gDeadFrom stays true because nothing there moves.
uint32_t gPass;
std::array<uint32_t, kMaxReceivers> gHintPass{};

template <typename Stays>
void Compact(Stays stays)
{
    const int from = std::min(gDeadFrom, gEnd);
    ++gPass;
    int write = from;
    int firstKeptDead = kMessageBufferBytes;
    for (int read = from; read < gEnd;) {
        Header h = ReadHeader(read);
        if (stays(h.receiver)) {
            if (write != read)
                std::memmove(gBuffer + write, gBuffer + read, h.length);
            if (IsLive(h.receiver)) {
                int slot = h.receiver & 0xFFFF;
                if (gFirstAt[slot] >= from && gHintPass[slot] != gPass) {
                    gFirstAt[slot] = write;
                    gHintPass[slot] = gPass;
                }
            } else {
                firstKeptDead = std::min(firstKeptDead, write);
            }
            write += h.length;
        }
        read += h.length;
    }
    std::memset(gBuffer + write, 0, gEnd - write);
    gEnd = write;
    gDeadFrom = firstKeptDead;
}

} // namespace

void CompactMessageBuffer()
{
    Compact([](uint32_t receiver) { return receiver != kNoReceiver; });
}

// Consumed records carry -1, which has no current tag either. Records to
// a freed slot go too: no one is there to fetch them.
void PurgeStaleMessages()
{
    Compact([](uint32_t receiver) { return IsLive(receiver); });
}

MessageStats GetMessageStats() { return {gReceiversInUse, gMessagesPosted, gEnd}; }

int16_t ReceiverPendingCount(uint32_t id) { return IsCurrent(id) ? gPending[id & 0xFFFF] : 0; }

bool IsReceiverCurrent(uint32_t id) { return IsCurrent(id); }
