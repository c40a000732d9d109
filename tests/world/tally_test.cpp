// The mission tally: registration, hits and kills, the score and its cap,
// the friendly-fire rule and the script's questions.
#include "screens/objectives.h"
#include "script/symbols.h"
#include "tests/support/world_fixture.h"
#include "world/messages.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/simframe.h"
#include "world/tally.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

constexpr int16_t kNavy = 1;
constexpr int16_t kBlack = 3;

class TallyTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        ClearTally();
        gMissionScore = 0;
        gMissionMaxScore = 10000;
        gScriptVars.score = 0;
        gScriptVars.missionClock = 0;
        gScriptVars.loyal = 1;
        player_ = MakeItem();
        MakeShip(player_)->side = kNavy;
        player_->avatar->classFlags = 0x80 | 0x10000000; // SN_NAVY and a faction
        gPlayerItem = gControlledItem = player_;
    }

    SceneItem* Ship(int16_t kind, int16_t side, int16_t group = 0)
    {
        SceneItem* item = MakeItem();
        ShipInfo* info = MakeShip(item);
        info->kind = kind;
        info->side = side;
        info->group = group;
        info->name = "Target";
        AddTallyItem(item);
        return item;
    }

    static int32_t Serial(const SceneItem* item) { return item->avatar->params[kAvatarTallySerial]; }

    SceneItem* player_ = nullptr;
};

TEST_F(TallyTest, ShipsAreRegisteredOnceWithASerialInTheirAvatar)
{
    SceneItem* a = Ship(3, kBlack);
    SceneItem* b = Ship(5, kBlack);
    EXPECT_EQ(Serial(a), 0x10001);
    EXPECT_EQ(Serial(b), 0x10002);
    AddTallyItem(a); // already holds a serial: keeps its first row
    EXPECT_EQ(TallyEntryCount(), 2);
    const TallyEntry* row = FindTallyEntry(0x10002);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->item, ItemHandle(b));
    EXPECT_EQ(row->category, 5);
    EXPECT_EQ(row->side, kBlack);
    EXPECT_EQ(row->marks[0], 255);
    EXPECT_EQ(FindTallyEntry(0x10003), nullptr);

    AddTallyItem(MakeItem()); // no ShipInfo
    AddTallyItem(nullptr);
    EXPECT_EQ(TallyEntryCount(), 2);
}

TEST_F(TallyTest, TheFourHundredAndFirstRegistrationIsIgnored)
{
    SceneItem* item = MakeItem();
    MakeShip(item);
    for (int i = 0; i < kMaxTallyEntries; ++i) {
        item->avatar->params[kAvatarTallySerial] = 0;
        AddTallyItem(item);
    }
    EXPECT_EQ(TallyEntryCount(), kMaxTallyEntries);
    item->avatar->params[kAvatarTallySerial] = 0;
    AddTallyItem(item);
    EXPECT_EQ(TallyEntryCount(), kMaxTallyEntries);
    EXPECT_EQ(item->avatar->params[kAvatarTallySerial], 0);
}

TEST_F(TallyTest, HitsAndKillsAnswerEachQueryMode)
{
    SceneItem* a = Ship(3, kBlack, 7);
    SceneItem* b = Ship(3, kBlack, 8);
    SceneItem* c = Ship(9, 4, 7);
    gScriptVars.missionClock = 1234;
    RecordTallyHit(Serial(a), 1);
    RecordTallyHit(Serial(a), 0);
    RecordTallyHit(Serial(c), 0);
    RecordTallyHit(0x10099, 1); // no such row
    EXPECT_EQ(FindTallyEntry(Serial(a))->hits, 2);
    EXPECT_EQ(FindTallyEntry(Serial(a))->time, 1234);
    EXPECT_EQ(gTallyCounters.flaggedHits, 1);
    EXPECT_EQ(gTallyCounters.otherHits, 2);
    RecordTallyKill(Serial(b));

    struct Case {
        int16_t mode;
        uint8_t killed;
        int32_t key;
        int32_t expected;
    };
    const Case cases[] = {
        {0, 0, static_cast<int32_t>(ItemHandle(a)), 1},
        {0, 1, static_cast<int32_t>(ItemHandle(a)), 0},
        {0, 1, static_cast<int32_t>(ItemHandle(b)), 1},
        {0, 0, static_cast<int32_t>(ItemHandle(b)), 0}, // destroyed but never hit
        {1, 0, 3, 1},
        {1, 1, 3, 1},
        {1, 0, 9, 1},
        {2, 0, kBlack, 1},
        {2, 0, 4, 1},
        {2, 1, 4, 0},
        {3, 0, 7, 2},
        {3, 1, 8, 1},
        {4, 0, 7, 0},
        {-1, 0, 7, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(QueryTally(c.mode, c.killed, c.key), c.expected)
            << "mode " << c.mode << " killed " << int{c.killed} << " key " << c.key;
}

TEST_F(TallyTest, AnEnemyKillScoresItsCategoryUpToTheMissionMaximum)
{
    SceneItem* frigate = Ship(5, kBlack);
    SceneItem* station = Ship(13, kBlack);
    gScriptVars.missionClock = 900;
    RecordTallyKill(Serial(frigate));
    EXPECT_EQ(gMissionScore, 500);
    EXPECT_EQ(gScriptVars.score, 500);
    EXPECT_EQ(gTallyCounters.enemyKills[5], 1);
    EXPECT_EQ(gTallyCounters.enemyScore[5], 500);
    EXPECT_EQ(FindTallyEntry(Serial(frigate))->destroyed, 255);
    EXPECT_EQ(FindTallyEntry(Serial(frigate))->time, 900);

    gMissionMaxScore = 1000; // 800 more would pass it: only 500 are added
    RecordTallyKill(Serial(station));
    EXPECT_EQ(gMissionScore, 1000);
    EXPECT_EQ(gScriptVars.score, 1000);
    // At the maximum it stays there, and SCORE grows by nothing.
    SceneItem* another = Ship(1, kBlack);
    RecordTallyKill(Serial(another));
    EXPECT_EQ(gMissionScore, 1000);
    EXPECT_EQ(gScriptVars.score, 1000);
    EXPECT_EQ(gTallyCounters.enemyKills[1], 1);
}

TEST_F(TallyTest, FriendlyKillsCostTheirScoreAndTooManyMakeThePlayerALeper)
{
    gMissionScore = gScriptVars.score = 300;
    SceneItem* small = Ship(3, kNavy); // score 5
    SceneItem* big = Ship(0, kNavy);   // score 200
    RecordTallyKill(Serial(small));
    EXPECT_EQ(gMissionScore, 295);
    EXPECT_EQ(gScriptVars.score, 295);
    EXPECT_EQ(gTallyCounters.friendlyKills[3], 1);
    EXPECT_EQ(gTallyCounters.friendlyPenalty[3], -5);
    EXPECT_EQ(gStockDialogueRequest, 255);
    EXPECT_GE(gStockDialogueNumber, 2);
    EXPECT_LE(gStockDialogueNumber, 4);
    EXPECT_EQ(player_->avatar->classFlags & kSenseLeper, 0u);
    EXPECT_EQ(gScriptVars.loyal, 1);

    RecordTallyKill(Serial(big));
    EXPECT_EQ(gTallyCounters.friendlyTotal, 205);
    EXPECT_EQ(gMissionScore, 95);
    EXPECT_EQ(player_->avatar->classFlags, kSenseLeper);
    EXPECT_EQ(gScriptVars.loyal, 0) << "the scripts see it too";
    // Hostile to all is not the same as a suspended mission script.
    EXPECT_EQ(player_->avatar->classFlags & kClassSuspendsScript, 0u);
}

TEST_F(TallyTest, NothingIsRecordedForThePlayerOrWhileTheWorldIsHeld)
{
    AddTallyItem(player_);
    RecordTallyKill(Serial(player_));
    EXPECT_EQ(FindTallyEntry(Serial(player_))->destroyed, 0);

    SceneItem* enemy = Ship(5, kBlack);
    gSimHold = 255;
    RecordTallyKill(Serial(enemy));
    EXPECT_EQ(QueryTally(1, 1, 5), 0);
    gSimHold = 0;
    RecordTallyKill(Serial(enemy));
    EXPECT_EQ(QueryTally(1, 1, 5), 1);
    EXPECT_EQ(gMissionScore, 500);
}

TEST_F(TallyTest, ADeletedShipStaysCountedAndItsKillStillScores)
{
    SceneItem* enemy = Ship(9, kBlack);
    const auto handle = static_cast<int32_t>(ItemHandle(enemy));
    const int32_t serial = Serial(enemy);
    RecordTallyHit(serial, 0);
    DeleteSceneItem(enemy);
    EXPECT_EQ(QueryTally(0, 0, handle), 1);
    RecordTallyKill(serial);
    EXPECT_EQ(QueryTally(0, 1, handle), 1);
    EXPECT_EQ(gMissionScore, 100);
    // A reused slot gives a new handle: the new item is not the old row.
    SceneItem* reused = MakeItem();
    EXPECT_NE(static_cast<int32_t>(ItemHandle(reused)), handle);
}

} // namespace

namespace {

// A new mission's accuracy starts from no shots, as its hits do.
TEST_F(TallyTest, ClearingTheTallyForgetsThePlayersShots)
{
    gPlayerInput.shotsFired = 12;
    gPlayerInput.missilesFired = 3;
    ClearTally();
    EXPECT_EQ(gPlayerInput.shotsFired, 0);
    EXPECT_EQ(gPlayerInput.missilesFired, 0);
}

} // namespace
