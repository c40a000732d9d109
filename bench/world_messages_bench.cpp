// Message traffic with the 64 KB arena nearly full: posting, fetching and
// the frame-end purge that compacts the arena.
#include <benchmark/benchmark.h>

#include "system/frameclock.h"
#include "world/messages.h"

namespace {

constexpr int kBody = 40; // 64-byte records

// Fills the arena to `fill` bytes with messages that are not yet due.
uint32_t FillWithWaitingMessages(int fill) {
    ClearMessageBuffer();
    gFrameClock.gameClock = 0;
    uint32_t waiting = AllocReceiver();
    uint8_t body[kBody] = {};
    while (GetMessageStats().bytesUsed + 64 <= fill)
        PostItemMessage(waiting, waiting, 1 << 30, 12, kBody, body);
    return waiting;
}

// One frame's traffic: 16 messages posted and fetched, then the purge.
void BM_MessageChurnNearFull(benchmark::State& state) {
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

// The worst compaction: every other record of a full arena is dead.
void BM_CompactHalfDeadBuffer(benchmark::State& state) {
    uint8_t body[kBody] = {};
    for (auto _ : state) {
        state.PauseTiming();
        ClearMessageBuffer();
        uint32_t keep = AllocReceiver();
        for (int i = 0; i + 64 <= kMessageBufferBytes; i += 64)
            PostItemMessage(keep, (i / 64) % 2 ? kNoReceiver : keep, 0, 12, kBody, body);
        state.ResumeTiming();
        PurgeStaleMessages();
        benchmark::DoNotOptimize(GetMessageStats().bytesUsed);
    }
    state.SetBytesProcessed(state.iterations() * kMessageBufferBytes);
}
BENCHMARK(BM_CompactHalfDeadBuffer);

} // namespace
