// Message traffic with the 64 KB arena nearly full: posting, fetching and
// the frame-end purge, against the same traffic through a plain arena (the
// same record layout, one receiver's first record remembered, the purge
// sliding down what follows the first dead record).
#include <benchmark/benchmark.h>

#include <climits>
#include <cstring>

#include "bench/paired.h"
#include "system/frameclock.h"
#include "world/messages.h"

namespace {

constexpr int kBody = 40; // 64-byte records

// Fills the arena to `fill` bytes with messages that are not yet due.
uint32_t FillWithWaitingMessages(int fill)
{
    ClearMessageBuffer();
    gFrameClock.gameClock = 0;
    uint32_t waiting = AllocReceiver();
    uint8_t body[kBody] = {};
    while (GetMessageStats().bytesUsed + 64 <= fill)
        PostItemMessage(waiting, waiting, 1 << 30, 12, kBody, body);
    return waiting;
}

// One frame's traffic: 16 messages posted and fetched, then the purge.
void BM_MessageChurnNearFull(benchmark::State& state)
{
    FillWithWaitingMessages(static_cast<int>(state.range(0)));
    uint32_t r = AllocReceiver();
    uint8_t body[kBody] = {};
    ItemMessage m;
    for (auto _ : state) {
        for (int i = 0; i < 16; ++i)
            PostItemMessage(r, r, 0, 12, kBody, body);
        while (FetchItemMessage(r, &m))
            benchmark::DoNotOptimize(m.body[0]);
        PurgeStaleMessages();
    }
    state.SetItemsProcessed(state.iterations() * 16);
}
BENCHMARK(BM_MessageChurnNearFull)->Arg(32 * 1024)->Arg(60 * 1024);

// The plain arena: 24-byte headers and bodies back to back, a dead record
// marked by its receiver, per receiver the offset of its first record.
struct PlainArena {
    static constexpr uint32_t kDead = 0xFFFFFFFFu;
    struct Header {
        uint32_t receiver, sender, unused;
        int32_t due;
        uint16_t kind, unused2;
        int32_t length;
    };
    uint8_t bytes[kMessageBufferBytes];
    int end = 0;
    int firstDead = INT_MAX;
    int firstFor[2] = {-1, -1};
    int pending[2] = {};

    bool Post(uint32_t receiver, int32_t due, const void* body, int32_t n)
    {
        Header h{receiver, receiver, 0, due, 12, 0, n + kMessageHeaderBytes};
        if (end + h.length > kMessageBufferBytes)
            return false;
        if (firstFor[receiver] < 0)
            firstFor[receiver] = end;
        ++pending[receiver];
        std::memcpy(bytes + end, &h, sizeof h);
        std::memcpy(bytes + end + sizeof h, body, size_t(n));
        end += h.length;
        return true;
    }
    bool Fetch(uint32_t receiver, int32_t now, ItemMessage* out)
    {
        if (pending[receiver] == 0)
            return false;
        for (int at = firstFor[receiver]; at < end;) {
            Header h;
            std::memcpy(&h, bytes + at, sizeof h);
            if (h.receiver == receiver && h.due <= now) {
                uint32_t dead = kDead;
                std::memcpy(bytes + at, &dead, sizeof dead);
                firstDead = firstDead < at ? firstDead : at;
                firstFor[receiver] = --pending[receiver] ? at + h.length : -1;
                std::memcpy(out, &h, sizeof h);
                std::memcpy(out->body, bytes + at + sizeof h, size_t(h.length) - sizeof h);
                return true;
            }
            at += h.length;
        }
        return false;
    }
    void Purge()
    {
        int write = firstDead < end ? firstDead : end;
        for (int read = write; read < end;) {
            Header h;
            std::memcpy(&h, bytes + read, sizeof h);
            if (h.receiver != kDead) {
                std::memmove(bytes + write, bytes + read, size_t(h.length));
                write += h.length;
            }
            read += h.length;
        }
        end = write;
        firstDead = INT_MAX;
    }
};

void BM_PlainArenaChurnNearFull(benchmark::State& state)
{
    static PlainArena arena;
    arena = PlainArena{};
    uint8_t body[kBody] = {};
    while (arena.end + 64 <= state.range(0))
        arena.Post(0, 1 << 30, body, kBody);
    ItemMessage m;
    for (auto _ : state) {
        for (int i = 0; i < 16; ++i)
            arena.Post(1, 0, body, kBody);
        while (arena.Fetch(1, 0, &m))
            benchmark::DoNotOptimize(m.body[0]);
        arena.Purge();
    }
    state.SetItemsProcessed(state.iterations() * 16);
}
BENCHMARK(BM_PlainArenaChurnNearFull)->Arg(32 * 1024)->Arg(60 * 1024);
KV_BENCH_PAIR("BM_MessageChurnNearFull/32768", "BM_PlainArenaChurnNearFull/32768");
KV_BENCH_PAIR("BM_MessageChurnNearFull/61440", "BM_PlainArenaChurnNearFull/61440");

// The worst compaction: every other record of a full arena is dead. The
// arena is emptied and filled in the timed loop too (pausing the timer for
// it would cost more than the fill), and the same emptying and filling is
// timed alone beside it: the compaction is the difference.
void FillHalfDead()
{
    ClearMessageBuffer();
    uint32_t keep = AllocReceiver();
    uint8_t body[kBody] = {};
    for (int i = 0; i + 64 <= kMessageBufferBytes; i += 64)
        PostItemMessage(keep, (i / 64) % 2 ? kNoReceiver : keep, 0, 12, kBody, body);
}

void BM_FillHalfDeadBuffer(benchmark::State& state)
{
    for (auto _ : state) {
        FillHalfDead();
        benchmark::DoNotOptimize(GetMessageStats().bytesUsed);
    }
    state.SetBytesProcessed(state.iterations() * kMessageBufferBytes);
}
BENCHMARK(BM_FillHalfDeadBuffer);

void BM_FillAndCompactHalfDeadBuffer(benchmark::State& state)
{
    for (auto _ : state) {
        FillHalfDead();
        PurgeStaleMessages();
        benchmark::DoNotOptimize(GetMessageStats().bytesUsed);
    }
    state.SetBytesProcessed(state.iterations() * kMessageBufferBytes);
}
BENCHMARK(BM_FillAndCompactHalfDeadBuffer);

} // namespace

KV_BENCH_MAIN()
