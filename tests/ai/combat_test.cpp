// Hits and their resolution: the falloff and deflection of a shot, the
// damage a hit does, the hard points' choice of enemy, the turn of an
// impact, the energy shares and the two ratings; and a bolt fired through
// the real collisions until its target dies.
#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "ai/combat.h"
#include "ai/weapons.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "tests/support/collision_fixture.h"
#include "tests/support/world_fixture.h"
#include "tests/view/view_fixture.h"
#include "ui/hud.h"
#include "world/actions.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/tally.h"

using worldtest::MakeItem;
using worldtest::MakeShip;

namespace {

constexpr float kDeg = 180.0f / 3.14159265f;

// Every message due to the receiver now, in order, consumed.
std::vector<ItemMessage> Due(uint32_t receiver)
{
    std::vector<ItemMessage> all;
    ItemMessage m;
    while (FetchItemMessage(receiver, &m))
        all.push_back(m);
    return all;
}

const ItemMessage* OfKind(const std::vector<ItemMessage>& messages, uint16_t kind)
{
    for (const ItemMessage& m : messages)
        if (m.kind == kind)
            return &m;
    return nullptr;
}

template <typename T>
T Field(const ItemMessage& m, int offset)
{
    T v;
    std::memcpy(&v, m.body + offset, sizeof v);
    return v;
}

void PlaceAt(SceneItem* item, double x, double y, double z)
{
    item->sim->position = {x, y, z};
    item->sim->matrix.m[12] = static_cast<float>(x);
    item->sim->matrix.m[13] = static_cast<float>(y);
    item->sim->matrix.m[14] = static_cast<float>(z);
}

// The world with the view running, as shots are made in the game.
class CombatTest : public viewtest::ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        gPlayerItem = gControlledItem = nullptr;
        gHitIndicators = HitIndicators{};
        gControlledHitCounter = 0;
        shooter_ = Ship(0, 0, -100000);
        struck_ = Ship(0, 0, 0);
        struck_->sim->shipInfo->damage.maximumHull = 100000;
        mount_.flags = kWeaponBeam;
        mount_.damage = 160;
        mount_.penetration = 80;
        mount_.range = 300000;
    }
    void TearDown() override
    {
        gPlayerItem = gControlledItem = nullptr;
        ViewTest::TearDown();
    }
    static SceneItem* Ship(double x, double y, double z)
    {
        SceneItem* item = MakeItem(nullptr, nullptr, HandleItemMessages);
        MakeShip(item);
        item->sim->mass = 1000;
        item->sim->radius = 100;
        PlaceAt(item, x, y, z);
        return item;
    }
    // A projectile fired by the shooter from the mount, moving along +z.
    SceneItem* Projectile(const Weapon* mount, float speed = 0.0f)
    {
        SceneItem* p = MakeItem(nullptr, nullptr, HandleItemMessages);
        p->avatar->shooter = shooter_;
        p->avatar->weapon = const_cast<Weapon*>(mount);
        p->sim->mass = 7;
        p->sim->velocity = {0, 0, speed};
        PlaceAt(p, 0, 0, -50);
        return p;
    }
    // Strikes the struck ship at (0, 0, -50) and returns what it was sent.
    std::vector<ItemMessage> Strike(SceneItem* projectile, SceneItem* struck = nullptr)
    {
        struck = struck ? struck : struck_;
        int16_t handled = 0;
        const Vector3 contact{0, 0, -50};
        ProjectileHit(projectile, projectile->avatar->root, struck, struck->avatar->root, &handled, &contact);
        EXPECT_EQ(handled, 1);
        return Due(struck->receiver);
    }
    SceneItem* shooter_ = nullptr;
    SceneItem* struck_ = nullptr;
    Weapon mount_{};
};

// ---- ProjectileHit -----------------------------------------------------------------------

TEST_F(CombatTest, DamageAndPenetrationFallOffWithTheDistanceFlown)
{
    struct Case {
        const char* what;
        uint32_t mountFlags; // 0: no mount
        int32_t travel;
        int32_t ownHull, ownArmour; // a projectile with a ship record of its own
        int32_t damage, armour;
    };
    const Case cases[] = {
        {"a bolt within a third of its range: half damage, full penetration", kWeaponBeam, 0, 0, 0, 80, 80},
        {"at exactly a third", kWeaponBeam, 100000, 0, 0, 80, 80},
        {"at two thirds the falloff is 2", kWeaponBeam, 200000, 0, 0, 40, 66},
        {"at full range an eighth and five eighths", kWeaponBeam, 300000, 0, 0, 20, 50},
        {"a launcher's munition: whole damage, 5 / 4.5 penetration", kWeaponLauncher, 300000, 0, 0, 160, 88},
        {"no mount, a ship record: its hull and 1.2 x its armour", 0, 0, 500, 30, 500, 36},
        {"no mount at all: 40 and 60", 0, 0, 0, 0, 40, 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mount_.flags = c.mountFlags;
        SceneItem* p = Projectile(c.mountFlags ? &mount_ : nullptr);
        p->avatar->travel = c.travel;
        if (c.ownHull) {
            MakeShip(p)->damage.maximumHull = c.ownHull;
            p->sim->shipInfo->damage.armour = c.ownArmour;
        }
        const auto sent = Strike(p);
        const ItemMessage* impact = OfKind(sent, kMsgImpact);
        ASSERT_NE(impact, nullptr);
        EXPECT_EQ(Field<int32_t>(*impact, 28), c.damage);
        EXPECT_EQ(Field<int32_t>(*impact, 32), c.armour);
    }
}

TEST_F(CombatTest, TheHitRecordCarriesItsFieldsAtTheirOffsetsAndTheBoltIsRemoved)
{
    SceneItem* p = Projectile(&mount_, 250000);
    const auto sent = Strike(p);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].kind, kMsgImpactTorque);
    EXPECT_EQ(sent[0].BodyLength(), 36);
    EXPECT_FLOAT_EQ(Field<float>(sent[0], 24), 7.0f);   // the striker's mass
    EXPECT_FLOAT_EQ(Field<float>(sent[0], 28), 500.0f); // the flash of a hull hit
    const ItemMessage& hit = sent[1];
    EXPECT_EQ(hit.kind, kMsgImpact);
    EXPECT_EQ(hit.BodyLength(), 48);
    EXPECT_EQ(hit.sender, p->receiver);
    EXPECT_EQ(Field<int32_t>(hit, 0), 0);
    EXPECT_FLOAT_EQ(Field<float>(hit, 12), -50.0f); // the contact from the struck centre
    EXPECT_FLOAT_EQ(Field<float>(hit, 24), 250000.0f);
    EXPECT_EQ(Field<int32_t>(hit, 28), 80);
    EXPECT_EQ(Field<int32_t>(hit, 32), 80);
    EXPECT_FLOAT_EQ(Field<float>(hit, 40), 7.0f);
    EXPECT_EQ(Field<uint32_t>(hit, 44), ItemHandle(shooter_));
    EXPECT_EQ(OfKind(Due(p->receiver), kMsgDelete)->kind, kMsgDelete);
    EXPECT_FALSE(p->avatar->root->flags & kTdpCollides);
    // The struck ship now holds the shooter as its attacker, and the amount.
    EXPECT_EQ(struck_->avatar->lockedOn.Get(), shooter_);
    EXPECT_EQ(struck_->avatar->lockedAmount, 80);
    Strike(Projectile(&mount_));
    EXPECT_EQ(struck_->avatar->lockedAmount, 160);

    // A trail bolt lives on through its hit.
    SceneItem* trail = Projectile(&mount_);
    trail->sim->flags |= 0x4000;
    EXPECT_NE(OfKind(Strike(trail), kMsgImpact), nullptr);
    EXPECT_EQ(OfKind(Due(trail->receiver), kMsgDelete), nullptr);
}

TEST_F(CombatTest, AContactIsResolvedOnceThroughTheSharedWord)
{
    SceneItem* p = Projectile(&mount_);
    int16_t handled = 1;
    const Vector3 contact{};
    ProjectileHit(p, p->avatar->root, struck_, struck_->avatar->root, &handled, &contact);
    EXPECT_TRUE(Due(struck_->receiver).empty());
    EXPECT_TRUE(Due(p->receiver).empty());
}

TEST_F(CombatTest, ThePlayersHitsCountInTheTally)
{
    AddTallyItem(struck_);
    gPlayerItem = shooter_;
    Strike(Projectile(&mount_));
    const TallyEntry* row = FindTallyEntry(struck_->avatar->params[kParamTallySerial]);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->hits, 1);
}

TEST_F(CombatTest, HardPointsDeflectByHalfSlotParityAndChance)
{
    struct Case {
        const char* what;
        Vector3 shooterAt; // from the struck ship
        int slot;          // 0-based: odd guards the upper half
        int8_t condition;
        bool aimedAtShooter;
        float speed;
        bool deflected;
    };
    const Case cases[] = {
        {"an even slot guards the lower half", {0, -10000, 10000}, 0, 100, true, 0, true},
        {"...not the upper", {0, 10000, 10000}, 0, 100, true, 0, false},
        {"an odd slot guards the upper half", {0, 10000, 10000}, 1, 100, true, 0, true},
        {"...not the lower", {0, -10000, 10000}, 1, 100, true, 0, false},
        {"a level shot from ahead meets both halves", {0, 1000, 10000}, 1, 100, true, 0, true},
        {"a level shot from behind slips past", {0, 1000, -10000}, 0, 100, true, 0, false},
        {"a slot set on another enemy does not act", {0, -10000, 10000}, 0, 100, false, 0, false},
        {"a slot of no chance never does", {0, -10000, 10000}, 0, 0, true, 0, false},
        {"unless the closing speed lends it 100", {0, -10000, 10000}, 0, 0, true, 500000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CRandSeed(3); // 3 % 100 first: above a chance of 0
        ResetSimulation();
        shooter_ = Ship(c.shooterAt.x, c.shooterAt.y, c.shooterAt.z);
        struck_ = Ship(0, 0, 0);
        struck_->sim->shipInfo->damage.maximumHull = 1000;
        ShipInfo* info = struck_->sim->shipInfo;
        info->hardPointCount = 4;
        info->hardPoints[c.slot].condition = c.condition;
        if (c.aimedAtShooter)
            struck_->avatar->lockedOn = shooter_; // the last attacker draws every slot
        const auto sent = Strike(Projectile(&mount_, c.speed));
        EXPECT_EQ(info->hardPoints[c.slot].target.Get() == shooter_, c.aimedAtShooter);
        EXPECT_EQ(OfKind(sent, kMsgImpact) == nullptr, c.deflected);
        ASSERT_NE(OfKind(sent, kMsgImpactTorque), nullptr);
        EXPECT_FLOAT_EQ(Field<float>(*OfKind(sent, kMsgImpactTorque), 28), c.deflected ? 2000.0f : 500.0f);
    }
}

TEST_F(CombatTest, FlagsOverrideTheHardPoints)
{
    ShipInfo* info = struck_->sim->shipInfo;
    PlaceAt(shooter_, 0, -10000, 10000); // below ahead: slot 0's half
    info->hardPointCount = 1;
    info->hardPoints[0].condition = 100;
    struck_->avatar->lockedOn = shooter_;

    struck_->flags |= kItemNearSurface; // scene flag 0x100: never deflected
    EXPECT_NE(OfKind(Strike(Projectile(&mount_)), kMsgImpact), nullptr);
    struck_->flags &= ~kItemNearSurface;

    struck_->sim->flags |= kSimBraked; // Sim 0x2000000: no deflection test
    EXPECT_NE(OfKind(Strike(Projectile(&mount_)), kMsgImpact), nullptr);
    struck_->sim->flags &= ~kSimBraked;

    // Sim 0x4000: every shot is deflected, even without hard points...
    info->hardPointCount = 0;
    struck_->sim->flags |= kSimNoDamage;
    const auto sent = Strike(Projectile(&mount_));
    EXPECT_EQ(OfKind(sent, kMsgImpact), nullptr);
    EXPECT_NE(OfKind(sent, kMsgImpactTorque), nullptr);
    // ...and on the player's ship the shot only goes away.
    gPlayerItem = struck_;
    SceneItem* p = Projectile(&mount_);
    EXPECT_TRUE(Strike(p).empty());
    EXPECT_NE(OfKind(Due(p->receiver), kMsgDelete), nullptr);
    EXPECT_EQ(gHitIndicators.deflections[0] + gHitIndicators.deflections[1], 0);
}

TEST_F(CombatTest, AMunitionMeetsEveryHardPointOfThePlayersShipAndStandsForTheShooter)
{
    mount_.flags = kWeaponLauncher;
    ShipInfo* info = struck_->sim->shipInfo;
    PlaceAt(shooter_, 0, -10000, 10000);
    info->hardPointCount = 1;
    info->hardPoints[0].condition = 1;
    // Another ship: a munition on it meets only the slot set on it, which
    // the hard point is not (the munition is no enemy of it).
    SceneItem* munition = Projectile(&mount_);
    PlaceAt(munition, 0, -10000, 10000);
    EXPECT_NE(OfKind(Strike(munition), kMsgImpact), nullptr);
    EXPECT_EQ(struck_->avatar->lockedOn.Get(), munition); // the munition is the attacker

    gPlayerItem = gControlledItem = struck_;
    munition = Projectile(&mount_);
    PlaceAt(munition, 0, -10000, 10000);
    EXPECT_EQ(OfKind(Strike(munition), kMsgImpact), nullptr);
    EXPECT_EQ(gHitIndicators.deflections[1], 1); // the lower half
    EXPECT_EQ(gHitIndicators.deflections[0], 0);
    EXPECT_EQ(gHitIndicators.shieldFlash, 127);
}

TEST_F(CombatTest, AMissileOnAShipWithCountermeasuresSetsOffItsFlareOrLosesTheMark)
{
    mount_.flags = kWeaponLauncher;
    struck_->sim->shipInfo->flags |= kShipCountermeasures;
    SceneItem* missile = Projectile(&mount_);
    missile->avatar->classFlags |= kClassMissile;
    // No flare launcher: the ship no longer counts as carrying countermeasures.
    Strike(missile);
    EXPECT_FALSE(struck_->sim->shipInfo->flags & kShipCountermeasures);

    // A launcher fires at the missile.
    Weapon* flare = nullptr;
    for (const WeaponKindRow* row = WeaponKindTable; row->construct; ++row)
        if (std::strcmp(row->name, "MAG - ECM FLARE") == 0)
            flare = row->construct(struck_, 0, 0, 0, row->name, 1);
    ASSERT_NE(flare, nullptr);
    flare->kind = kGroupEcmFlare; // the kind's row, as the script's mount statement sets it
    flare->flags |= kWeaponReady;
    missile = Projectile(&mount_);
    missile->avatar->classFlags |= kClassMissile;
    Strike(missile);
    EXPECT_TRUE(struck_->sim->shipInfo->flags & kShipCountermeasures);
    int flares = 0;
    ForEachSceneItem([&](SceneItem* item) {
        flares += item->avatar->weapon == flare;
        return true;
    });
    EXPECT_EQ(flares, 1);
    EXPECT_EQ(flare->target.Get(), missile);
}

// ---- ApplyHitDamage ----------------------------------------------------------------------

// Delivers an impact of the amount and penetration from the attacker.
void Impact(SceneItem* item, SceneItem* attacker, int32_t amount, int32_t armour)
{
    HitPayload hit{};
    hit.amount = amount;
    hit.armour = armour;
    hit.attacker = ItemHandle(attacker);
    ItemMessage m{};
    m.kind = kMsgImpact;
    m.length = kMessageHeaderBytes + static_cast<int32_t>(sizeof hit);
    std::memcpy(m.body, &hit, sizeof hit);
    ApplyHitDamage(item, &m);
}

// The two draws of a hit from the seed: damage and penetration, 50-149 %.
void Draws(uint32_t seed, int32_t amount, int32_t armour, int32_t* damage, int32_t* penetration)
{
    CRandSeed(seed);
    *damage = (CRand() % 100 + 50) * amount / 100;
    *penetration = (CRand() % 100 + 50) * armour / 100;
    CRandSeed(seed);
}

TEST_F(CombatTest, ArmourBelowThePenetrationLeavesTheDamageWholeAndThreeTimesItDividesBy8)
{
    for (int multiple : {0, 1, 2, 3}) {
        SCOPED_TRACE(multiple);
        int32_t damage, penetration;
        Draws(11, 800, 100, &damage, &penetration);
        DamageBlock& block = struck_->sim->shipInfo->damage;
        block.hullDamage = 0;
        block.armour = multiple * penetration;
        Impact(struck_, shooter_, 800, 100);
        const int32_t expected = multiple == 0 ? damage : damage >> multiple;
        EXPECT_EQ(block.hullDamage, expected);
        EXPECT_EQ(struck_->sim->hull, 100 - expected * 100 / 100000);
    }
}

TEST_F(CombatTest, ALightShipOfSide5OnlyCountsForTheScript)
{
    shooter_->sim->shipInfo->side = 5;
    shooter_->sim->mass = 999;
    Impact(struck_, shooter_, 800, 1000);
    EXPECT_EQ(struck_->sim->shipInfo->damage.hullDamage, 0);
    shooter_->sim->mass = 1000; // as heavy: it hurts
    Impact(struck_, shooter_, 800, 1000);
    EXPECT_GT(struck_->sim->shipInfo->damage.hullDamage, 0);
}

TEST_F(CombatTest, AKillIsNotedAndTheHitFollowsAfter2OrAfter5ForThePlayer)
{
    for (bool player : {false, true}) {
        SCOPED_TRACE(player);
        ResetSimulation();
        SceneItem* ship = Ship(0, 0, 0);
        SceneItem* watcher = Ship(0, 0, 5000);
        watcher->sim->target = ship;
        gPlayerItem = player ? ship : nullptr;
        ship->sim->shipInfo->damage.maximumHull = 10;
        gFrameClock.gameClock = 1000;
        Impact(ship, watcher, 1000, 1000);
        EXPECT_EQ(watcher->sim->target.Get(), nullptr); // references dropped
        EXPECT_EQ(ship->sim->hull, 0);
        const int32_t delay = player ? 5 : 2;
        gFrameClock.gameClock = 1000 + delay - 1;
        EXPECT_EQ(OfKind(Due(ship->receiver), kMsgHit), nullptr);
        gFrameClock.gameClock = 1000 + delay;
        const ItemMessage* hit = nullptr;
        const auto due = Due(ship->receiver);
        hit = OfKind(due, kMsgHit);
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(Field<uint32_t>(*hit, 44), ItemHandle(watcher));
    }
}

TEST_F(CombatTest, ARemoteItemsHitSetsTheControlledHitCounterAndAHullOfNoPointsReadsZero)
{
    gPlayerItem = shooter_;
    gControlledItem = struck_;
    Impact(struck_, shooter_, 0, 0); // nothing to the hull, only the indicator
    EXPECT_EQ(gControlledHitCounter, 7);
    gControlledHitCounter = 0;
    Impact(shooter_, struck_, 0, 0); // the player's own ship: not the remote one
    EXPECT_EQ(gControlledHitCounter, 0);

    // A ship record made without its defaults has no hull points: 0 %.
    struck_->sim->shipInfo->damage.maximumHull = 0;
    struck_->sim->hull = 100;
    Impact(struck_, shooter_, 0, 0);
    EXPECT_EQ(struck_->sim->hull, 0);
}

// ---- Hard points -------------------------------------------------------------------------

TEST_F(CombatTest, AddHardPointFillsFourSlotsThenRefuses)
{
    ShipInfo* info = struck_->sim->shipInfo;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(AddHardPoint(struck_, 10 + i), 255);
        EXPECT_EQ(info->hardPointCount, i + 1);
        EXPECT_EQ(info->hardPoints[i].condition, 10 + i);
    }
    EXPECT_EQ(AddHardPoint(struck_, 50), 0);
    EXPECT_EQ(info->hardPointCount, 4);
    // A freed slot below the count is filled again; the count stays.
    info->hardPoints[1].condition = 0;
    EXPECT_EQ(AddHardPoint(struck_, 60), 255);
    EXPECT_EQ(info->hardPoints[1].condition, 60);
    EXPECT_EQ(info->hardPointCount, 4);
}

TEST_F(CombatTest, AHardPointTakesTheNearestEnemyByWeight)
{
    constexpr uint32_t kEnemy = 0x80;
    struct Candidate {
        Vector3 at;
        uint32_t flags;
        bool attacker;
    };
    struct Case {
        const char* what;
        int slot;
        std::vector<Candidate> candidates; // in list order
        int lowerSlotHolds;                // a candidate index lower slots hold, or -1
        int chosen;                        // index, or -1 for none
    };
    const Case cases[] = {
        {"the nearest enemy", 0, {{{0, 0, 2000}, kEnemy, false}, {{0, 0, 1000}, kEnemy, false}}, -1, 1},
        {"an excluded or unlisted class is no enemy", 0, {{{0, 0, 1000}, kEnemy | 0x100, false}, {{0, 0, 1100}, 0x2, false}, {{0, 0, 3000}, kEnemy, false}}, -1, 2},
        {"the half an even slot does not guard weighs 2.6", 0, {{{0, 1000, 0}, kEnemy, false}, {{0, -2000, 0}, kEnemy, false}}, -1, 1},
        {"an odd slot guards the upper half", 1, {{{0, 1000, 0}, kEnemy, false}, {{0, -2000, 0}, kEnemy, false}}, -1, 0},
        {"the last attacker weighs 1 / 2.6, enemy or not", 0, {{{0, 0, 2500}, 0, true}, {{0, 0, 1000}, kEnemy, false}}, -1, 0},
        {"class 0x40 weighs 4", 0, {{{0, 0, 1000}, kEnemy | 0x40, false}, {{0, 0, 3500}, kEnemy, false}}, -1, 1},
        {"one a lower slot holds weighs 2.6", 1, {{{0, 0, 1000}, kEnemy, false}, {{0, 0, 2000}, kEnemy, false}}, 0, 1},
        {"none within 1e8", 0, {{{0, 0, 2e8f}, kEnemy, false}}, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        SceneItem* ship = Ship(0, 0, 0);
        ShipInfo* info = ship->sim->shipInfo;
        info->hardPointCount = 2;
        std::vector<SceneItem*> items;
        for (const Candidate& k : c.candidates) {
            SceneItem* item = Ship(k.at.x, k.at.y, k.at.z);
            item->avatar->classFlags = k.flags;
            if (k.attacker)
                ship->avatar->lockedOn = item;
            items.push_back(item);
        }
        if (c.lowerSlotHolds >= 0)
            info->hardPoints[0].target = items[c.lowerSlotHolds];
        AssignHardPointTarget(ship, c.slot, kEnemy | 0x40, 0x100);
        EXPECT_EQ(info->hardPoints[c.slot].target.Get(), c.chosen >= 0 ? items[c.chosen] : nullptr);
    }
    // A slot at or past the count is left alone.
    SceneItem* ship = Ship(0, 0, 0);
    SceneItem* enemy = Ship(0, 0, 10);
    enemy->avatar->classFlags = kEnemy;
    ship->sim->shipInfo->hardPointCount = 1;
    AssignHardPointTarget(ship, 1, kEnemy, 0);
    EXPECT_EQ(ship->sim->shipInfo->hardPoints[1].target.Get(), nullptr);
}

// ---- Torque ------------------------------------------------------------------------------

TEST_F(CombatTest, AnImpactTurnsTheAxesItsSidesGiveCappedByAngleMassAndSpeed)
{
    struct Case {
        const char* what;
        Vector3 point, velocity;
        float otherMass, radius;
        Vector3 rates; // pitch (x), yaw (y), roll (z)
    };
    const Case cases[] = {
        // Speed 50,000: a step of 5 per unit of the velocity's cross components.
        {"a glancing blow on the right side from ahead", {100, 0, 0}, {0, 0, -50000}, 1000, 100, {-5, 5, 0}},
        {"from behind the yaw turns the other way", {100, 0, 0}, {0, 0, 50000}, 1000, 100, {-5, -5, 0}},
        {"a blow on the top from the left rolls", {0, 100, 0}, {50000, 0, 0}, 1000, 100, {0, -5, 5}},
        {"...from the right the other way", {0, 100, 0}, {-50000, 0, 0}, 1000, 100, {0, -5, -5}},
        {"head on", {0, 0, 100}, {0, 0, -50000}, 1000, 100, {-5, -5, 0}},
        {"half the mass, half the step", {100, 0, 0}, {0, 0, -50000}, 500, 100, {-2.5f, 2.5f, 0}},
        {"the mass counts at most 5 times and the speed 60: capped at 30", {100, 0, 0}, {0, 0, -900000}, 1e6f, 100, {-30, 30, 0}},
        {"a big hull turns at most speed / radius", {100, 0, 0}, {0, 0, -50000}, 1000, 5e6f, {-50000.0f / 5e6f * kDeg, 50000.0f / 5e6f * kDeg, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        struck_->sim->turnRates = {0, 0, 0};
        struck_->sim->radius = c.radius;
        ApplyImpactTorque(struck_, &c.point, &c.velocity, c.otherMass);
        EXPECT_NEAR(struck_->sim->turnRates.x, c.rates.x, 1e-3f);
        EXPECT_NEAR(struck_->sim->turnRates.y, c.rates.y, 1e-3f);
        EXPECT_NEAR(struck_->sim->turnRates.z, c.rates.z, 1e-3f);
    }
    // Blow after blow, the rate stops at the limit.
    struck_->sim->turnRates = {0, 0, 0};
    struck_->sim->radius = 100;
    const Vector3 p{100, 0, 0}, v{0, 0, -300000};
    for (int i = 0; i < 5; ++i)
        ApplyImpactTorque(struck_, &p, &v, 1000);
    EXPECT_FLOAT_EQ(struck_->sim->turnRates.y, 30.0f);
    EXPECT_FLOAT_EQ(struck_->sim->turnRates.x, -30.0f);
}

TEST_F(CombatTest, TheBlowIsTurnedIntoTheShipsAxesFirst)
{
    // The ship turned 90 degrees about y: its right side faces world -z.
    MatSetRotY(90, struck_->sim->matrix);
    Vector3 right{1, 0, 0};
    Vector3 world;
    MatRotateVec(struck_->sim->matrix, right, world);
    Vector3 forward{0, 0, 1};
    Vector3 ahead;
    MatRotateVec(struck_->sim->matrix, forward, ahead);
    const Vector3 point{world.x * 100, world.y * 100, world.z * 100};
    const Vector3 fromAhead{-ahead.x * 50000, -ahead.y * 50000, -ahead.z * 50000};
    ApplyImpactTorque(struck_, &point, &fromAhead, 1000);
    EXPECT_NEAR(struck_->sim->turnRates.y, 5.0f, 1e-3f); // as the glancing blow of the table
    EXPECT_NEAR(struck_->sim->turnRates.x, -5.0f, 1e-3f);
}

TEST_F(CombatTest, TheBounceTurnsTheStruckShipAwayFromTheContact)
{
    // Two ships side by side, a's right side against b; b drifts into it
    // from ahead of a. Turned about y, a's own axes are not the world's.
    for (float heading : {0.0f, 90.0f, 200.0f}) {
        SCOPED_TRACE(heading);
        ResetSimulation();
        SceneItem* a = Ship(0, 0, 0);
        MatSetRotY(heading, a->sim->matrix);
        PlaceAt(a, 0, 0, 0);
        Vector3 right, ahead;
        MatRotateVec(a->sim->matrix, Vector3{1, 0, 0}, right);
        MatRotateVec(a->sim->matrix, Vector3{0, 0, 1}, ahead);
        SceneItem* b = Ship(right.x * 150 + ahead.x * 20, 0, right.z * 150 + ahead.z * 20);
        b->sim->velocity = {-ahead.x * 50000, 0, -ahead.z * 50000};
        a->avatar->collision = CollideShips;
        b->avatar->collision = CollideShips;
        int16_t handled = 0;
        const Vector3 contact{};
        CollideShips(a, a->avatar->root, b, b->avatar->root, &handled, &contact);
        // As a direct blow at a's right side from ahead: the same turn.
        SceneItem* c = Ship(0, 0, 0);
        MatSetRotY(heading, c->sim->matrix);
        PlaceAt(c, 0, 0, 0);
        const Vector3 towardB{right.x * 150 + ahead.x * 20, 0, right.z * 150 + ahead.z * 20};
        const Vector3 rel{b->sim->velocity.x, 0, b->sim->velocity.z};
        ApplyImpactTorque(c, &towardB, &rel, 1000);
        EXPECT_NEAR(a->sim->turnRates.y, c->sim->turnRates.y, 1e-3f);
        EXPECT_GT(a->sim->turnRates.y, 0.0f);
        EXPECT_TRUE(a->sim->flags & kSimTurnOncePerFrame);
        // Turned by its rates as the physics does, the struck side gives way
        // along the blow.
        Matrix4 turned = a->sim->matrix;
        MatRotY(a->sim->turnRates.y * 0.1f, turned);
        const Vector3 blow{-ahead.x, 0, -ahead.z};
        const float before = right.x * blow.x + right.z * blow.z;
        const float after = turned.m[0] * blow.x + turned.m[2] * blow.z;
        EXPECT_GT(after, before);
    }
}

// ---- Energy ------------------------------------------------------------------------------

TEST_F(CombatTest, EnergySharesNormaliseShiftAndGiveTheirOutputs)
{
    float* s = gEnergyShares;
    ResetEnergyShares();
    for (float out : gEnergyOutputs)
        EXPECT_FLOAT_EQ(out, 100.0f);

    s[0] = s[1] = s[2] = 1.0f / 3.0f;
    NormaliseEnergyShares();
    EXPECT_EQ(s[0] + s[1] + s[2], 0.0f); // the common third is taken from all three
    ComputeEnergyOutputs();
    EXPECT_FLOAT_EQ(gEnergyOutputs[0], 100.0f);

    // Over 1 they are scaled down, then the common part goes.
    s[0] = 0.8f, s[1] = 0.6f, s[2] = 0.2f;
    NormaliseEnergyShares();
    EXPECT_FLOAT_EQ(s[0], 0.6f / 1.6f);
    EXPECT_FLOAT_EQ(s[1], 0.4f / 1.6f);
    EXPECT_FLOAT_EQ(s[2], 0.0f);

    // Shifting 0.5 into a share of 0.8 adds only 0.2; the larger other pays
    // 0.2 x 1.
    s[0] = 0.8f, s[1] = 0.0f, s[2] = 0.1f;
    ShiftEnergyShare(0.5f, &s[0], &s[1], &s[2]);
    EXPECT_FLOAT_EQ(s[0], 1.0f);
    EXPECT_FLOAT_EQ(s[2], 0.0f);
    EXPECT_FLOAT_EQ(s[1], 0.0f);
    const float base = 322.0f - 72.0f;
    EXPECT_FLOAT_EQ(gEnergyOutputs[0], base * 1.5f / 2.5f);
    EXPECT_FLOAT_EQ(gEnergyOutputs[1], base * 0.5f / 2.5f);

    // A small largest share keeps the base at 300.
    s[0] = 0.3f, s[1] = 0.0f, s[2] = 0.0f;
    ComputeEnergyOutputs();
    EXPECT_FLOAT_EQ(gEnergyOutputs[0], 300.0f * 0.8f / 1.8f);
}

TEST_F(CombatTest, RemoveCommonShareActsOnlyForTheLargest)
{
    struct Case {
        float x, y, z;
        float ex, ey, ez;
    };
    const Case cases[] = {
        {0.5f, 0.2f, 0.1f, 0.4f, 0.1f, 0.0f},
        {0.5f, 0.1f, 0.2f, 0.4f, 0.0f, 0.1f},
        {0.2f, 0.5f, 0.1f, 0.2f, 0.5f, 0.1f}, // x is not the largest
        {0.4f, 0.2f, 0.2f, 0.2f, 0.0f, 0.0f}, // a tie: both go
    };
    for (Case c : cases) {
        RemoveCommonShare(&c.x, &c.y, &c.z);
        EXPECT_FLOAT_EQ(c.x, c.ex);
        EXPECT_FLOAT_EQ(c.y, c.ey);
        EXPECT_FLOAT_EQ(c.z, c.ez);
    }
}

// ---- Ratings -----------------------------------------------------------------------------

TEST_F(CombatTest, HullConditionMultipliesTheDamagedCapabilitiesFactors)
{
    struct Case {
        int32_t maximum, taken, bits;
        float factor;
    };
    const Case cases[] = {
        {1000, 0, 0, 1.0f},
        {1000, 250, 0, 0.75f},
        {1000, 0, 0x1, 0.85f},
        {1000, 0, 0x200 | 0x80, 0.5f * 0.7f},
        {1000, 500, 0x400 | 0x8, 0.5f * 0.75f * 0.96f},
        {1000, 0, 0x800, 1.0f}, // a bit the table does not name
        {0, 0, 0, 0.0f},        // no hull points: no condition
        {-5, 3, 0x1, 0.0f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(HullConditionFactor(12345, c.maximum, c.taken, c.bits), c.factor);
}

TEST_F(CombatTest, ThreatRatingWeighsConditionClassAttackStanceAndDistance)
{
    struct Case {
        const char* what;
        int16_t side;      // of the rating ship
        int32_t taken;     // of the other's 1000
        uint32_t flags;    // the other's class flags
        bool attacker;     // the other is the rater's attacker with a positive amount
        bool player;       // the other is the player's ship
        uint32_t stance;   // the rater's Sim flags
        float otherRadius; // the rater's is 100
        double distance;
        float rating;
    };
    const Case cases[] = {
        {"an intact ship: 1", 0, 0, 0, false, false, 0, 100, 1000, 1.0f},
        {"a damaged one is rated higher", 0, 500, 0, false, false, 0, 100, 1000, 1.5f},
        {"by side 2 lower", 2, 500, 0, false, false, 0, 100, 1000, 0.5f},
        {"never below 0.25", 2, 1000, 0, false, false, 0, 100, 1000, 0.25f},
        {"class factors multiply", 0, 0, 0x8000 | 0x1, false, false, 0, 100, 1000, 0.2f},
        {"the wanted mask doubles", 0, 0, 0x80, false, false, 0, 100, 1000, 2.0f},
        {"class 0x8000000 halves", 0, 0, 0x8000000, false, false, 0, 100, 1000, 0.5f},
        {"the attacker triples", 0, 0, 0, true, true, 0, 100, 1000, 3.0f},
        {"the player's ship otherwise 0.85", 0, 0, 0, false, true, 0, 100, 1000, 0.85f},
        {"a stance weighs the size, at most 5", 0, 0, 0, false, false, 0x400, 1000, 1000, 5.0f},
        {"...at least 1", 0, 0, 0, false, false, 0x1000, 10, 1000, 1.0f},
        {"beyond 1e6 the distance divides", 0, 0, 0, false, false, 0, 100, 1e8, 1.0f / 3.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        gPlayerItem = nullptr;
        SceneItem* rater = Ship(0, 0, 0);
        SceneItem* other = Ship(0, 0, c.distance);
        rater->sim->shipInfo->side = c.side;
        rater->sim->flags |= c.stance;
        other->sim->shipInfo->damage.maximumHull = 1000;
        other->sim->shipInfo->damage.hullDamage = c.taken;
        other->avatar->classFlags = c.flags;
        other->sim->radius = c.otherRadius;
        if (c.attacker) {
            rater->avatar->lockedOn = other;
            rater->avatar->lockedAmount = 1;
        }
        if (c.player)
            gPlayerItem = other;
        EXPECT_NEAR(ThreatRating(rater, other, 0x80), c.rating, 1e-4f);
    }
    // No ship record: no threat. A ship of no hull points rates as wrecked.
    SceneItem* rater = Ship(0, 0, 0);
    SceneItem* rock = MakeItem();
    EXPECT_EQ(ThreatRating(rater, rock, 0), 0.0f);
    SceneItem* mine = Ship(0, 0, 1000);
    mine->sim->shipInfo->damage.maximumHull = 0;
    EXPECT_FLOAT_EQ(ThreatRating(rater, mine, 0), 2.0f);
}

// ---- Hit points, the green bolt ----------------------------------------------------------

TEST_F(CombatTest, ARandomHitPointLiesOnAFaceOfAVisiblePart)
{
    // No parts: a point in the unit cube.
    CRandSeed(5);
    const Vector3 free = RandomHitPointOnModel(struck_);
    EXPECT_TRUE(free.x >= 0 && free.x < 1 && free.y >= 0 && free.y < 1 && free.z >= 0 && free.z < 1);

    HullBounds* shape = collisiontest::Shape(struck_, 100);
    collisiontest::AddBox(shape, {-500, -500, -500}, {-400, -400, -400}, 0x10); // hidden
    collisiontest::AddBox(shape, {10, 20, 30}, {20, 40, 60}, 0);
    for (uint32_t seed = 0; seed < 50; ++seed) {
        CRandSeed(seed);
        const Vector3 p = RandomHitPointOnModel(struck_);
        EXPECT_TRUE(p.x >= 10 && p.x <= 20 && p.y >= 20 && p.y <= 40 && p.z >= 30 && p.z <= 60);
        const int onFace = (p.x == 10 || p.x == 20) + (p.y == 20 || p.y == 40) + (p.z == 30 || p.z == 60);
        EXPECT_GE(onFace, 1);
    }
}

TEST_F(CombatTest, AGreenBoltFliesAheadOfItsSourceAndHitsAsAProjectileWithoutMount)
{
    SceneItem* source = Ship(0, 0, 0);
    SpawnGreenProjectile(source, 2, shooter_);
    std::vector<SceneItem*> bolts;
    ForEachSceneItem([&](SceneItem* item) {
        if (item->avatar->collision == ProjectileHit)
            bolts.push_back(item);
        return true;
    });
    ASSERT_EQ(bolts.size(), 2u);
    EXPECT_STREQ(bolts[0]->avatar->root->materialName, "green");
    EXPECT_GT(bolts[0]->sim->position.z, source->sim->radius);
    EXPECT_GT(bolts[1]->sim->position.z, bolts[0]->sim->position.z);
    EXPECT_GT(bolts[0]->sim->velocity.z, 0.0f);
    EXPECT_EQ(bolts[0]->avatar->shooter.Get(), shooter_);
    const auto sent = Strike(bolts[0]);
    ASSERT_NE(OfKind(sent, kMsgImpact), nullptr);
    EXPECT_EQ(Field<int32_t>(*OfKind(sent, kMsgImpact), 28), 40);
}

// ---- Through the world -------------------------------------------------------------------

int32_t gSeedAtHit = 0;
// A hull-damage Action that seeds the generator: the hit's two draws
// follow from the seed.
void SeedOnHit(SceneItem*, const void*) { CRandSeed(static_cast<uint32_t>(gSeedAtHit)); }

TEST_F(CombatTest, ABoltFiredAtADroneHitsThroughTheCollisionsUntilTheDroneDies)
{
    ResetSimulation();
    gRebuild3D = 0; // the frames run their collisions
    SceneItem* player = Ship(0, 0, 0);
    player->sim->shipInfo->skill = 100;
    gPlayerItem = gControlledItem = player;
    SceneItem* drone = collisiontest::Body({0, 0, 100000}, 2000, kTdpCollides);
    collisiontest::AddBox(collisiontest::Shape(drone, 2000), {-1000, -1000, -1000}, {1000, 1000, 1000}, 0);
    drone->avatar->collision = nullptr;
    SetMessageFunction(drone, HandleItemMessages);
    MakeShip(drone)->damage.maximumHull = 300;
    drone->sim->mass = 1000;
    AddTallyItem(drone);
    const int16_t index = 0;
    ASSERT_TRUE(AddAction(drone, kEventHullDamage, kActionCallback, &index));
    for (Action* a = drone->sim->actions; a; a = a->next)
        a->callback = SeedOnHit;
    gSeedAtHit = 77;
    Weapon* pbc = NewWeaponPbc(player, 0, 0, 0, "PBC", 1);

    int32_t expectedTaken = 0;
    const TallyEntry* row = FindTallyEntry(drone->avatar->params[kParamTallySerial]);
    ASSERT_NE(row, nullptr);
    for (int shot = 0; shot < 10 && drone->flags & kItemInUse && row->destroyed == 0; ++shot) {
        pbc->reloadTimer = 0;
        pbc->flags |= kWeaponReady;
        ASSERT_EQ(FireWeapon(drone, 0, 0, 1, player, pbc), kFired);
        int32_t damage, penetration;
        ++gSeedAtHit;
        Draws(static_cast<uint32_t>(gSeedAtHit), 75, 55, &damage, &penetration); // half of 150, all of 55
        const int32_t before = drone->sim->shipInfo->damage.hullDamage;
        for (int frame = 0; frame < 8 && drone->sim->shipInfo->damage.hullDamage == before; ++frame)
            worldtest::RunFrame(5);
        expectedTaken = std::min(300, expectedTaken + damage);
        ASSERT_EQ(drone->sim->shipInfo->damage.hullDamage, expectedTaken) << shot;
        if (expectedTaken < 300) {
            EXPECT_EQ(drone->sim->hull, 100 - expectedTaken * 100 / 300);
        }
        for (int frame = 0; frame < 4; ++frame)
            worldtest::RunFrame(5);
    }
    EXPECT_EQ(row->destroyed, 255);
    EXPECT_GE(row->hits, 3);
}

} // namespace
