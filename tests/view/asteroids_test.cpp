// Asteroid belts and fields: the belt table and the inside-a-belt flag, the
// belt rocks' size classes and masses, the single asteroid's mass, the dust
// cloud whose points are a field's slots, rocks kept in their field, the
// field mines' orders and a belt ship taken back to its field.
#include "tests/view/view_fixture.h"

#include <string>

#include "ai/orders.h"
#include "system/crand.h"
#include "system/errors.h"
#include "tools/lwob_writer.h"
#include "view/asteroids.h"
#include "world/behaviours.h"
#include "world/messages.h"
#include "world/pools.h"

namespace {

using viewtest::ViewTest;

std::vector<std::string> gBoxes;
void RecordBox(const char* text, const char* title) { gBoxes.push_back(std::string(title) + ": " + text); }

class Asteroids : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        gBoxes.clear();
        oldBox = SetMessageBoxHook(RecordBox);
        ResetAsteroidBelts();
        ForgetAsteroidModels();
        ClearBeltWatchList();
    }
    void TearDown() override
    {
        SetMessageBoxHook(oldBox);
        ResetAsteroidBelts();
        ForgetAsteroidModels();
        ViewTest::TearDown();
    }
    void WriteFixtures() override
    {
        for (const char* name : {"SmallAsteroidBumpy", "MediumAsteroidBumpy", "LargeAsteroid_RTO"}) {
            lwob::Object rock;
            int16_t s = rock.AddSurface({"Rock", {}});
            lwob::AddBox(rock, {-1, -1, -1}, {1, 1, 1}, s);
            const std::vector<uint8_t> bytes = lwob::Write(rock);
            scratch.Write(std::string("zqk/resource/shapes/") + name + ".lwo", std::string(bytes.begin(), bytes.end()));
        }
    }
    static SceneItem* At(float x, float y, float z)
    {
        SceneItem* item = worldtest::MakeItem();
        Place(item, x, y, z);
        return item;
    }
    // A seed whose first draw % 100 is the value.
    static uint32_t SeedGiving(int value)
    {
        for (uint32_t seed = 1;; ++seed) {
            CRandSeed(seed);
            if (CRand() % 100 == value)
                return seed;
        }
    }
    MessageBoxHook oldBox = nullptr;
};

TEST_F(Asteroids, BeltsHaveTheirWidthsAndANinthIsIgnored)
{
    SceneItem* sun = At(0, 0, 0);
    AddAsteroidBelt(1e10f, sun, 0);
    AddAsteroidBelt(6e8f, sun, 0);
    AddAsteroidBelt(6e8f, sun, 1);
    int count = 0;
    const AsteroidBelt* belts = AsteroidBelts(&count);
    ASSERT_EQ(count, 3);
    EXPECT_FLOAT_EQ(belts[0].halfWidth, 1e9f);
    EXPECT_FLOAT_EQ(belts[0].thickness, 1e8f);
    EXPECT_FLOAT_EQ(belts[1].halfWidth, 1e8f);
    EXPECT_FLOAT_EQ(belts[1].thickness, 1e7f);
    EXPECT_FLOAT_EQ(belts[2].halfWidth, 5e11f);
    EXPECT_FLOAT_EQ(belts[2].thickness, 5e11f);
    for (int i = 0; i < 6; ++i)
        AddAsteroidBelt(1e9f, sun, 0);
    AsteroidBelts(&count);
    EXPECT_EQ(count, 8);
}

TEST_F(Asteroids, ABeltOnlyAHairNearerDoesNotReplaceTheFirst)
{
    SceneItem* sun = At(0, 0, 0);
    SceneItem* ship = At(2e9f, 0, 0);
    AddAsteroidBelt(1.5e9f, sun, 0);        // 5e8 away
    AddAsteroidBelt(1.5e9f + 1e7f, sun, 0); // 1e7 nearer: not enough
    AddAsteroidBelt(1.5e9f + 3e7f, sun, 0); // 3e7 nearer: replaces
    uint8_t inside = 1;
    Vector3 delta{};
    EXPECT_EQ(FindNearestBelt(ship, &inside, &delta), 2);
    EXPECT_FLOAT_EQ(delta.x, -2e9f);
    ResetAsteroidBelts();
    AddAsteroidBelt(1.5e9f, sun, 0);
    AddAsteroidBelt(1.5e9f + 1e7f, sun, 0);
    EXPECT_EQ(FindNearestBelt(ship, &inside, &delta), 0);
    ResetAsteroidBelts();
    EXPECT_EQ(FindNearestBelt(ship, &inside, &delta), -1);
    EXPECT_EQ(inside, 0);
}

TEST_F(Asteroids, TheInsideFlagFollowsTheBeltsWidthAndThickness)
{
    SceneItem* sun = At(0, 0, 0);
    AddAsteroidBelt(6e9f, sun, 0); // half-width 1e9, thickness 1e8
    struct Case {
        float x, y;
        bool inside;
    };
    const Case cases[] = {{6e9f, 0, true}, {6.9e9f, 0, true}, {7.1e9f, 0, false}, {5.1e9f, 9e7f, true}, {6e9f, -1.1e8f, false}, {0, 0, false}};
    for (const Case& c : cases) {
        SceneItem* item = At(c.x, c.y, 0);
        item->flags |= 0x400;
        UpdateInBeltFlag(item);
        EXPECT_EQ((item->flags & 0x400) != 0, c.inside) << c.x << ", " << c.y;
    }
    // The watch list's empty slots stand for the player.
    gPlayerItem = At(6e9f, 0, 0);
    SceneItem* watched = At(6e9f, 0, 0);
    WatchBeltItem(watched);
    UpdateBeltMembership();
    EXPECT_TRUE(gPlayerItem->flags & 0x400);
    EXPECT_TRUE(watched->flags & 0x400);
}

TEST_F(Asteroids, TheDrawPicksTheSizeClassAndItsMass)
{
    gPlayerItem = At(0, 0, 0);
    gProjectionDistance = 500.0f;
    LoadAsteroidModels();
    int rows = 0;
    AsteroidModels(&rows);
    ASSERT_EQ(rows, 3);
    struct Case {
        int draw;
        float mass, radius;
        bool obstacle;
    };
    const Case cases[] = {{60, 500, 3000, false}, {61, 2000, 45000, true}, {91, 4500, 200000, true}};
    for (const Case& c : cases) {
        CRandSeed(SeedGiving(c.draw));
        SpawnBeltAsteroid(nullptr);
        SceneItem* rock = gTailGroup == &gSceneList ? nullptr : gSceneList.prev;
        ASSERT_NE(rock, nullptr);
        EXPECT_FLOAT_EQ(rock->sim->mass, c.mass) << c.draw;
        EXPECT_FLOAT_EQ(rock->avatar->root->radius, c.radius) << c.draw;
        EXPECT_EQ((rock->flags & 0x200) != 0, c.obstacle) << c.draw;
        EXPECT_EQ(rock->flags & 0x804, 0x804);
        EXPECT_EQ(rock->control, KeepNearAnchor);
        EXPECT_FLOAT_EQ(rock->avatar->range, std::min(c.radius * 500.0f / 5.0f, 5e6f));
    }
}

// A belt laid out before the first frame (no projection distance yet)
// spreads its rocks as the full screen's cockpit view would, not all at
// the 320-unit floor round the player.
TEST_F(Asteroids, ABeltBuiltBeforeAnyViewIsDrawnKeepsItsRocksAtTheirRanges)
{
    gPlayerItem = At(0, 0, 0);
    gProjectionDistance = 0.0f;
    LoadAsteroidModels();
    CRandSeed(SeedGiving(10));
    SpawnBeltAsteroid(nullptr);
    SceneItem* rock = gTailGroup == &gSceneList ? nullptr : gSceneList.prev;
    ASSERT_NE(rock, nullptr);
    EXPECT_NEAR(rock->avatar->range, 3000.0f * 579.41f / 5.0f, 1.0f) << "a small rock, 240 / tan 22.5 degrees";
}

TEST_F(Asteroids, BeltsWithoutAPlayerWarnAndStillRun)
{
    gPlayerItem = nullptr;
    GenerateAsteroidBelts(nullptr, 2);
    ASSERT_EQ(gBoxes.size(), 1u);
    EXPECT_EQ(gBoxes[0], "Solar System Generation: Warning - Asteroid belts may not function (PLAYER should be "
                         "declared before SYSTEM)");
    int rows = 0;
    AsteroidModels(&rows);
    EXPECT_EQ(rows, 3);
}

TEST_F(Asteroids, ASingleAsteroidsMassGrowsWithItsRadiusUpTo12000)
{
    struct Case {
        float edge, mass;
    };
    // Radius 10,000 would weigh 100^3 x 3.14159 x 5.5: capped.
    const Case cases[] = {{2 * 10000 / std::sqrt(3.0f), 12000}, {2 * 500 / std::sqrt(3.0f), 125 * 3.14159f * 5.5f}};
    for (const Case& c : cases) {
        SceneItem* rock = CreateAsteroid(0, Cube("rock", c.edge, nullptr));
        ASSERT_NE(rock, nullptr);
        EXPECT_NEAR(rock->sim->mass, c.mass, c.mass * 1e-4f);
        EXPECT_TRUE(rock->flags & 0x200);
    }
}

TEST_F(Asteroids, DustIsCutTo250AndABiasAboveOneGathersItInward)
{
    ParticleEmitter* even = FillDustCloud(0, 0, 0, 1000, 1000, 1000, 1.0f, 300, nullptr);
    ASSERT_NE(even, nullptr);
    EXPECT_EQ(even->pointCount, 250);
    ParticleEmitter* gathered = FillDustCloud(0, 0, 0, 1000, 1000, 1000, 4.0f, 250, nullptr);
    ParticleEmitter* rim = FillDustCloud(0, 0, 0, 1000, 1000, 1000, -4.0f, 250, nullptr);
    ASSERT_NE(gathered, nullptr);
    ASSERT_NE(rim, nullptr);
    auto meanRadius = [](const ParticleEmitter* e) {
        double sum = 0;
        for (int i = 0; i < e->pointCount; ++i) {
            const Vector3& p = e->points[i].position;
            sum += std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
            EXPECT_LE(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 1000.5f);
            EXPECT_EQ(e->points[i].life, kFreeFieldSlot);
        }
        return sum / e->pointCount;
    };
    const double mEven = meanRadius(even), mIn = meanRadius(gathered), mOut = meanRadius(rim);
    EXPECT_LT(mIn, mEven * 0.8);
    EXPECT_GT(mOut, mEven);
    EXPECT_EQ(even->ramp[31], 227);
}

TEST_F(Asteroids, FieldRocksStandOnFreeSlotsAndMoveWhenLeftBehind)
{
    gPlayerItem = At(0, 0, 0);
    SceneItem* field = CreateAsteroidField(1, 0, 0, 0, 1000, 1000, 1000, 1.0f, 4, 2);
    ASSERT_NE(field, nullptr);
    ParticleEmitter* dust = field->avatar->fieldDust;
    ASSERT_NE(dust, nullptr);
    ASSERT_NE(field->sim, nullptr);
    field->avatar->renderSync(field); // the field is drawn like any item
    int taken = 0;
    for (int i = 0; i < dust->pointCount; ++i)
        taken += dust->points[i].life == kTakenFieldSlot;
    EXPECT_EQ(taken, 2);
    SceneItem* rock = gSceneList.next;
    ASSERT_EQ(rock->avatar->fieldDust, dust);
    EXPECT_EQ(rock->control, KeepInField);
    const EmitterPoint& slot = dust->points[rock->avatar->fieldSlot];
    EXPECT_DOUBLE_EQ(rock->sim->position.x, slot.position.x);

    // Left beyond its range, it gives up its slot and takes the free one
    // nearest the player.
    Place(rock, 1e7f, 0, 0);
    rock->sim->velocity = {300.0f, 0.0f, 0.0f};
    KeepInField(rock);
    EXPECT_EQ(rock->sim->velocity.x, 0.0f) << "it stays on its new slot";
    ASSERT_GE(rock->avatar->fieldSlot, 0);
    const EmitterPoint& now = dust->points[rock->avatar->fieldSlot];
    EXPECT_EQ(now.life, kTakenFieldSlot);
    EXPECT_DOUBLE_EQ(rock->sim->position.x, now.position.x);
    taken = 0;
    for (int i = 0; i < dust->pointCount; ++i)
        taken += dust->points[i].life == kTakenFieldSlot;
    EXPECT_EQ(taken, 2);

    // With every slot taken it deletes itself; so it does when the free
    // slots all lie more than 1,000,000 from the player.
    for (int i = 0; i < dust->pointCount; ++i)
        dust->points[i].life = kTakenFieldSlot;
    rock->avatar->fieldSlot = -1;
    EXPECT_FALSE(MoveToFreeFieldSlot(rock));
    for (int i = 0; i < dust->pointCount; ++i)
        dust->points[i].life = kFreeFieldSlot;
    Place(gPlayerItem, 1.1e6f, 0, 0);
    EXPECT_FALSE(MoveToFreeFieldSlot(rock));
    Place(gPlayerItem, 0.9e6f, 0, 0);
    EXPECT_TRUE(MoveToFreeFieldSlot(rock));
}

TEST_F(Asteroids, FieldMinesCarryTheirTwoOrders)
{
    gPlayerItem = At(0, 0, 0);
    scratch.Write("zqk/resource/shapes/newmine2.lwo", [] {
        lwob::Object mine;
        int16_t s = mine.AddSurface({"Mine", {}});
        lwob::AddBox(mine, {-1, -1, -1}, {1, 1, 1}, s);
        const std::vector<uint8_t> b = lwob::Write(mine);
        return std::string(b.begin(), b.end());
    }());
    SceneItem* field = CreateAsteroidField(0, 0, 0, 0, 1000, 1000, 1000, 1.0f, 10, 1);
    ASSERT_NE(field, nullptr);
    SceneItem* mine = gSceneList.next;
    ShipInfo* info = mine->sim->shipInfo;
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->name, "Mine");
    EXPECT_STREQ(info->shortName, "MX-0");
    EXPECT_EQ(info->kind, 11);
    EXPECT_EQ(FindOrderSlotByName(info, "DismantleIntruders"), 1);
    EXPECT_EQ(FindOrderSlotByName(info, "SitOnYerHands"), 2);
    EXPECT_EQ(info->orders[1].evaluator, EvalPullOut);
    EXPECT_EQ(info->orders[2].evaluator, EvalDefault);
    EXPECT_NE(mine->avatar->root->model, nullptr);
}

TEST_F(Asteroids, ABeltShipIsTakenBackToItsFieldNotDeleted)
{
    gPlayerItem = At(0, 0, 0);
    SceneItem* field = CreateAsteroidField(1, 0, 0, 0, 1000, 1000, 1000, 1.0f, 5, 1);
    ASSERT_NE(field, nullptr);
    SceneItem* ship = gSceneList.next;
    ship->sim->shipInfo = AllocShipInfo();
    ship->sim->shipInfo->damage.hullDamage = 50;
    ship->sim->velocity = {10, 20, 30};
    Place(ship, 5e6f, 0, 0);
    RespawnBeltShip(ship);
    EXPECT_TRUE(ship->flags & kItemInUse);
    EXPECT_LT(std::fabs(ship->sim->position.x), 1001.0);
    EXPECT_EQ(ship->sim->velocity.x, 0.0f);
    EXPECT_EQ(ship->sim->shipInfo->damage.hullDamage, 0);
    EXPECT_TRUE(IsReceiverCurrent(ship->receiver));
}

} // namespace
