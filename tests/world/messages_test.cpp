// Messages and receivers: ids, delivery times and order, purges and the
// compaction of the arena, checked against a plain reference queue.
#include <deque>
#include <span>

#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::FatalStops;
using worldtest::WorldTest;

namespace {

bool Post(uint32_t to, int32_t delay, uint16_t kind, int32_t value)
{
    return PostItemMessage(0x10000, to, delay, kind, value);
}

int32_t ValueOf(const ItemMessage& m) { return MessageBody<int32_t>(m); }

// The plain model the randomised traffic is checked against: the pending
// messages in posting order.
struct Pending {
    uint32_t receiver;
    int32_t due;
    uint16_t kind;
    int32_t value;
};

// A fetch for `id` gives the first message to it that is due in the model,
// which is then gone from the model, or nothing when there is none.
void FetchAgreesWithTheModel(std::deque<Pending>& reference, uint32_t id, int32_t clock)
{
    ItemMessage m;
    ItemMessage* got = FetchItemMessage(id, &m);
    auto it = reference.begin();
    while (it != reference.end() && !(it->receiver == id && it->due <= clock))
        ++it;
    if (it == reference.end()) {
        ASSERT_EQ(got, nullptr);
    } else {
        ASSERT_NE(got, nullptr);
        ASSERT_EQ(ValueOf(m), it->value);
        ASSERT_EQ(m.kind, it->kind);
        reference.erase(it);
    }
}

void PendingCountsAgreeWithTheModel(const std::deque<Pending>& reference, std::span<const uint32_t> ids)
{
    for (uint32_t each : ids) {
        int16_t pending = 0;
        for (const Pending& p : reference)
            pending += p.receiver == each;
        ASSERT_EQ(ReceiverPendingCount(each), pending);
    }
}

} // namespace

TEST_F(WorldTest, ReceiverIdsCarryTheTagAndSlotsAreReused)
{
    for (int slot = 0; slot < kMaxReceivers; ++slot)
        ASSERT_EQ(AllocReceiver(), 0x10000u | slot);
    EXPECT_EQ(AllocReceiver(), kNoReceiver);
    EXPECT_EQ(FatalStops(), std::vector<std::string>{"Exceeded max RECEIVERs"});
    FreeReceiver(0x10005);
    EXPECT_EQ(AllocReceiver(), 0x10005u);
    // Ids of another generation are ignored.
    FreeReceiver(5);
    FreeReceiver(kNoReceiver);
    EXPECT_EQ(GetMessageStats().receiversInUse, kMaxReceivers);
}

TEST_F(WorldTest, DelayedMessagesWaitForTheGameClock)
{
    uint32_t r = AllocReceiver();
    ItemMessage m;
    gFrameClock.gameClock = 1000;
    Post(r, 300, 12, 7);
    EXPECT_EQ(FetchItemMessage(r, &m), nullptr);
    gFrameClock.gameClock = 1299;
    EXPECT_EQ(FetchItemMessage(r, &m), nullptr);
    gFrameClock.gameClock = 1300;
    ASSERT_EQ(FetchItemMessage(r, &m), &m);
    EXPECT_EQ(m.kind, 12);
    EXPECT_EQ(m.sender, 0x10000u);
    EXPECT_EQ(m.due, 1300);
    EXPECT_EQ(m.length, 24 + 4);
    EXPECT_EQ(ValueOf(m), 7);
    EXPECT_EQ(FetchItemMessage(r, &m), nullptr);
}

TEST_F(WorldTest, DueMessagesComeInPostingOrderThenNone)
{
    uint32_t r = AllocReceiver();
    uint32_t other = AllocReceiver();
    Post(r, 0, 12, 1);
    Post(other, 0, 12, 99);
    Post(r, 0, 12, 2);
    ItemMessage m;
    ASSERT_NE(FetchItemMessage(r, &m), nullptr);
    EXPECT_EQ(ValueOf(m), 1);
    // A post between fetches compacts the arena; the copy stays intact and
    // the order holds.
    PurgeStaleMessages();
    Post(other, 0, 12, 100);
    EXPECT_EQ(ValueOf(m), 1);
    ASSERT_NE(FetchItemMessage(r, &m), nullptr);
    EXPECT_EQ(ValueOf(m), 2);
    EXPECT_EQ(FetchItemMessage(r, &m), nullptr);
    EXPECT_EQ(ReceiverPendingCount(other), 2);
}

TEST_F(WorldTest, MessagesToOtherGenerationsAreNeverCountedAndDieAtTheFrameEnd)
{
    uint32_t r = AllocReceiver();
    Post(r & 0xFFFF, 0, 3, 0); // the id an item gets before it has a receiver
    Post(kNoReceiver, 0, 3, 0);
    Post(r, 0, 3, 0);
    EXPECT_EQ(ReceiverPendingCount(r), 1);
    PurgeStaleMessages();
    EXPECT_EQ(GetMessageStats().bytesUsed, 28); // only the live one is left
    ItemMessage m;
    ASSERT_NE(FetchItemMessage(r, &m), nullptr);
    PurgeStaleMessages(); // consumed records go too
    EXPECT_EQ(GetMessageStats().bytesUsed, 0);
}

TEST_F(WorldTest, FreeingAReceiverPurgesItsMessages)
{
    uint32_t r = AllocReceiver();
    Post(r, 100, 3, 0);
    Post(r, 0, 3, 0);
    FreeReceiver(r);
    EXPECT_EQ(ReceiverPendingCount(r), 0);
    uint32_t again = AllocReceiver();
    ASSERT_EQ(again, r);
    gFrameClock.gameClock += 200;
    ItemMessage m;
    EXPECT_EQ(FetchItemMessage(again, &m), nullptr);
}

TEST_F(WorldTest, KeptReceiversAndTheirMailSurviveTheWorldsReset)
{
    const uint32_t item = AllocReceiver();
    const uint32_t kept = AllocKeptReceiver();
    Post(item, 0, 3, 1);
    Post(kept, 50, 3, 2);
    Post(item, 0, 3, 3);
    Post(kept, 0, 3, 4);
    ClearMessageBuffer();
    EXPECT_EQ(GetMessageStats().receiversInUse, 1);
    EXPECT_EQ(ReceiverPendingCount(item), 0);
    EXPECT_EQ(ReceiverPendingCount(kept), 2);
    EXPECT_EQ(GetMessageStats().bytesUsed, 2 * (kMessageHeaderBytes + 4));
    // The item's slot goes to the next owner; the kept one stays taken.
    EXPECT_EQ(AllocReceiver(), item);
    EXPECT_NE(AllocReceiver(), kept);
    ItemMessage m;
    ASSERT_NE(FetchItemMessage(kept, &m), nullptr);
    EXPECT_EQ(ValueOf(m), 4);
    gFrameClock.gameClock += 50;
    ASSERT_NE(FetchItemMessage(kept, &m), nullptr);
    EXPECT_EQ(ValueOf(m), 2);
    // Freed, it is an ordinary slot again: the next reset frees it.
    FreeReceiver(kept);
    EXPECT_EQ(AllocReceiver(), kept);
    ClearMessageBuffer();
    EXPECT_EQ(GetMessageStats().receiversInUse, 0);
}

TEST_F(WorldTest, ANewOwnerOfASlotNeverGetsTheLastOwnersMail)
{
    uint32_t r = AllocReceiver();
    FreeReceiver(r);
    Post(r, 0, 3, 1); // a sender still holding the old id
    EXPECT_EQ(ReceiverPendingCount(r), 0);
    PurgeReceiverMessages(r); // counts nothing down: nothing was counted
    EXPECT_EQ(ReceiverPendingCount(r), 0);
    ASSERT_EQ(AllocReceiver(), r);
    Post(r, 0, 3, 2);
    ItemMessage m;
    ASSERT_NE(FetchItemMessage(r, &m), nullptr);
    EXPECT_EQ(ValueOf(m), 2);
    EXPECT_EQ(FetchItemMessage(r, &m), nullptr);
    FreeReceiver(r);
    Post(r, 0, 3, 3);
    PurgeStaleMessages();
    EXPECT_EQ(GetMessageStats().bytesUsed, 0);
}

// Due times count like the game clock, modulo 2^32, whatever the delay.
TEST_F(WorldTest, HugeDelaysWrapInsteadOfOverflowing)
{
    uint32_t r = AllocReceiver();
    gFrameClock.gameClock = 1000;
    const int32_t wrapped = static_cast<int32_t>(1000u + 0x7FFFFFFFu);
    ItemMessage m;
    Post(r, 100, 3, 1);
    EXPECT_EQ(FetchItemMessage(r, &m), nullptr);
    SceneItem probe{};
    probe.receiver = r;
    EXPECT_EQ(DelayItemMessages(&probe, 0x7FFFFFFF, 3), 1);
    ASSERT_NE(FetchItemMessage(r, &m), nullptr);
    EXPECT_EQ(m.due, wrapped);
    Post(r, 0x7FFFFFFF, 3, 2);
    ASSERT_NE(FetchItemMessage(r, &m), nullptr);
    EXPECT_EQ(m.due, wrapped);
    EXPECT_EQ(ValueOf(m), 2);
}

TEST_F(WorldTest, DelayItemMessagesOnlyPushesOut)
{
    SceneItem* item = worldtest::MakeItem(nullptr, nullptr, [](SceneItem*) {});
    gFrameClock.gameClock = 500;
    PostItemMessage(0x10000, item->receiver, 100, 19, 0, nullptr);
    PostItemMessage(0x10000, item->receiver, 800, 19, 0, nullptr);
    PostItemMessage(0x10000, item->receiver, 10, 18, 0, nullptr);
    EXPECT_EQ(DelayItemMessages(item, 300, 19), 2);
    ItemMessage m;
    gFrameClock.gameClock = 799;
    ASSERT_NE(FetchItemMessage(item->receiver, &m), nullptr);
    EXPECT_EQ(m.kind, 18);
    EXPECT_EQ(FetchItemMessage(item->receiver, &m), nullptr);
    gFrameClock.gameClock = 800;
    ASSERT_NE(FetchItemMessage(item->receiver, &m), nullptr);
    EXPECT_EQ(m.due, 800);
    gFrameClock.gameClock = 1299;
    EXPECT_EQ(FetchItemMessage(item->receiver, &m), nullptr);
    gFrameClock.gameClock = 1300;
    EXPECT_NE(FetchItemMessage(item->receiver, &m), nullptr);
}

TEST_F(WorldTest, BroadcastReachesEveryShipButTheSender)
{
    auto noop = [](SceneItem*) {};
    SceneItem* sender = worldtest::MakeItem(nullptr, nullptr, noop);
    SceneItem* ship = worldtest::MakeItem(nullptr, nullptr, noop);
    SceneItem* rock = worldtest::MakeItem(nullptr, nullptr, noop);
    worldtest::MakeShip(sender);
    worldtest::MakeShip(ship);
    ShipDiedBody body{42};
    BroadcastItemMessage(sender->receiver, 0, kMsgShipDied, sizeof body, &body);
    EXPECT_EQ(ReceiverPendingCount(ship->receiver), 1);
    EXPECT_EQ(ReceiverPendingCount(sender->receiver), 0);
    EXPECT_EQ(ReceiverPendingCount(rock->receiver), 0);
    ItemMessage m;
    ASSERT_NE(FetchItemMessage(ship->receiver, &m), nullptr);
    EXPECT_EQ(MessageBody<ShipDiedBody>(m).tallySerial, 42);
}

TEST_F(WorldTest, AFullBufferIsCompactedAndOverflowDropsTheMessage)
{
    uint32_t keep = AllocReceiver();
    uint32_t drop = AllocReceiver();
    int32_t n = 0;
    uint8_t body[40] = {};
    // 64-byte records: alternate kept and consumed ones until the arena is full.
    while (GetMessageStats().bytesUsed + 64 <= kMessageBufferBytes) {
        body[0] = static_cast<uint8_t>(n);
        ASSERT_TRUE(PostItemMessage(0x10000, n % 2 ? drop : keep, 0, 12, sizeof body, body));
        ++n;
    }
    ItemMessage m;
    while (FetchItemMessage(drop, &m)) {
    }
    ASSERT_TRUE(PostItemMessage(0x10000, keep, 0, 12, sizeof body, body)); // compacts
    EXPECT_EQ(GetMessageStats().bytesUsed, (n / 2 + n % 2 + 1) * 64);
    for (int i = 0; i < n; i += 2) {
        ASSERT_NE(FetchItemMessage(keep, &m), nullptr);
        ASSERT_EQ(m.body[0], static_cast<uint8_t>(i));
    }
    EXPECT_TRUE(FatalStops().empty());

    ClearMessageBuffer();
    keep = AllocReceiver();
    while (PostItemMessage(0x10000, keep, 0, 12, sizeof body, body)) {
    }
    EXPECT_EQ(FatalStops(), std::vector<std::string>{"Message Buffer Overflow"});
    EXPECT_EQ(ReceiverPendingCount(keep), kMessageBufferBytes / 64);
}

// Posting, delays, fetching, receiver purges and frame-end purges in a
// random mix, compared with a list of pending messages kept the plain way.
TEST_F(WorldTest, RandomisedTrafficAgreesWithAReferenceQueue)
{
    std::deque<Pending> reference;
    uint32_t ids[8];
    for (uint32_t& id : ids)
        id = AllocReceiver();
    SeedShiftRegisterRandom(99);
    auto draw = [](uint32_t n) { return (ShiftRegisterRandom() >> 1) % n; };
    int32_t serial = 0;
    for (int step = 0; step < 20000; ++step) {
        uint32_t id = ids[draw(8)];
        int32_t clock = static_cast<int32_t>(gFrameClock.gameClock);
        switch (draw(10)) {
        case 0:
        case 1:
        case 2:
        case 3: {
            int32_t delay = static_cast<int32_t>(draw(4)) == 0 ? 0 : static_cast<int32_t>(draw(50));
            uint16_t kind = static_cast<uint16_t>(draw(4));
            ASSERT_TRUE(Post(id, delay, kind, serial));
            reference.push_back({id, clock + delay, kind, serial++});
            break;
        }
        case 4:
        case 5:
            ASSERT_NO_FATAL_FAILURE(FetchAgreesWithTheModel(reference, id, clock)) << "step " << step;
            break;
        case 6: {
            uint16_t kind = static_cast<uint16_t>(draw(4));
            int32_t delay = static_cast<int32_t>(draw(40));
            SceneItem probe{};
            probe.receiver = id;
            int16_t expected = 0;
            for (Pending& p : reference) {
                if (p.receiver == id && p.kind == kind) {
                    ++expected;
                    if (p.due - clock < delay)
                        p.due = clock + delay;
                }
            }
            ASSERT_EQ(DelayItemMessages(&probe, delay, kind), expected);
            break;
        }
        case 7:
            if (draw(20) == 0) {
                PurgeReceiverMessages(id);
                std::erase_if(reference, [id](const Pending& p) { return p.receiver == id; });
            }
            break;
        default:
            gFrameClock.gameClock += draw(6);
            PurgeStaleMessages();
            break;
        }
        ASSERT_NO_FATAL_FAILURE(PendingCountsAgreeWithTheModel(reference, ids)) << "step " << step;
    }
    EXPECT_TRUE(FatalStops().empty());
}

// The purge works only above the first record that died. Receivers freed
// and taken again, messages to ids no one holds, and an arena kept near full
// (so posting compacts too) must still agree with the plain reference.
TEST_F(WorldTest, PurgesFromTheFirstDeadRecordAgreeWithAReferenceQueue)
{
    std::deque<Pending> reference;
    uint32_t ids[6];
    for (uint32_t& id : ids)
        id = AllocReceiver();
    SeedShiftRegisterRandom(7);
    auto draw = [](uint32_t n) { return (ShiftRegisterRandom() >> 1) % n; };
    uint8_t filler[200] = {};
    int32_t serial = 0;
    int compactedOnPost = 0;
    for (int step = 0; step < 20000; ++step) {
        uint32_t& id = ids[draw(6)];
        int32_t clock = static_cast<int32_t>(gFrameClock.gameClock);
        switch (draw(12)) {
        case 0:
        case 1:
        case 2:
        case 3: {
            int32_t delay = static_cast<int32_t>(draw(30));
            ASSERT_TRUE(Post(id, delay, 1, serial));
            reference.push_back({id, clock + delay, 1, serial++});
            break;
        }
        case 4: {
            // Large messages to no one: they die at once and fill the arena.
            int before = GetMessageStats().bytesUsed;
            ASSERT_TRUE(PostItemMessage(0x10000, draw(2) ? kNoReceiver : 0x20000u | draw(8), 0, 2,
                                        sizeof filler, filler));
            compactedOnPost += GetMessageStats().bytesUsed < before;
            break;
        }
        case 5:
        case 6:
        case 7:
            ASSERT_NO_FATAL_FAILURE(FetchAgreesWithTheModel(reference, id, clock)) << "step " << step;
            break;
        case 8:
            if (draw(10) == 0) {
                uint32_t old = id;
                FreeReceiver(old);
                std::erase_if(reference, [old](const Pending& p) { return p.receiver == old; });
                id = AllocReceiver();
            }
            break;
        default:
            gFrameClock.gameClock += draw(4);
            if (draw(300) == 0)
                PurgeStaleMessages();
            break;
        }
        ASSERT_NO_FATAL_FAILURE(PendingCountsAgreeWithTheModel(reference, ids)) << "step " << step;
    }
    EXPECT_GT(compactedOnPost, 0);
    EXPECT_TRUE(FatalStops().empty());
}
