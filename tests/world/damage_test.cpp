// Damage and repair: what a hit does to the hull and the capabilities, the
// random damage behind the gate (reproducible from a seed), the player's
// systems, the repair chain of other ships and the script's degrade and
// restore.
#include <cstring>

#include "system/calltrace.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "tests/support/effects_probe.h"
#include "tests/support/corpse_fixture.h"
#include "tests/support/sound_fixture.h"
#include "tests/support/world_fixture.h"
#include "ui/hud.h"
#include "world/damage.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

void NoMessages(SceneItem*) {}

constexpr Vector3 kCentre{0.0f, 0.0f, 0.0f};

class DamageTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        CRandSeed(7);
        InitShipSystems();
        player_ = MakeItem(nullptr, nullptr, NoMessages);
        MakeShip(player_)->damage.maximumHull = 1000;
        gPlayerItem = gControlledItem = player_;
        ship_ = NewShip();
    }

    // A ship of 1000 hull points, radius 100, two mounts, hard points at 90.
    static SceneItem* NewShip()
    {
        SceneItem* item = MakeItem(nullptr, nullptr, NoMessages);
        ShipInfo* info = MakeShip(item);
        info->damage.maximumHull = 1000;
        info->damage.level = 1;
        info->flightModel.ldsTopSpeed = info->baseFlightModel.ldsTopSpeed = 1e6f;
        CapsuleRating(info->flightModel) = CapsuleRating(info->baseFlightModel) = 100.0f;
        info->hardPointCount = 2;
        info->hardPoints[0].condition = info->hardPoints[1].condition = 90;
        item->sim->radius = 100.0f;
        Weapon* front = AllocWeapon();
        front->mountPosition = {0.0f, 0.0f, 10.0f};
        front->flags |= kWeaponReady;
        Weapon* back = AllocWeapon();
        back->mountPosition = {0.0f, 0.0f, -60.0f};
        back->flags |= kWeaponReady;
        front->next = back;
        item->sim->weapons = front;
        return item;
    }

    ShipInfo& Info(SceneItem* item = nullptr) { return *(item ? item : ship_)->sim->shipInfo; }
    uint16_t Bits(SceneItem* item = nullptr) { return static_cast<uint16_t>(Info(item).damage.capabilities); }

    int32_t Hit(SceneItem* item, int32_t amount, Vector3 point = kCentre)
    {
        return ApplyHullDamage(item, &item->sim->shipInfo->damage, amount, &point);
    }

    SceneItem* player_ = nullptr;
    SceneItem* ship_ = nullptr;
};

TEST_F(DamageTest, NoAmountOrNoDamageFlagChangesNothing)
{
    EXPECT_EQ(Hit(ship_, 0), 0);
    ship_->sim->flags |= kSimNoDamage;
    EXPECT_EQ(Hit(ship_, 500), 0);
    EXPECT_EQ(Info().damage.hullDamage, 0);
    EXPECT_EQ(effectsprobe::Count(ship_, effectsprobe::kHitBurst), 0);
}

TEST_F(DamageTest, DamageOnTheMaximumSurvivesAndOneMorePointDestroys)
{
    EXPECT_NE(Hit(ship_, 1000), -1);
    EXPECT_EQ(Info().damage.hullDamage, 1000);
    const int bursts = effectsprobe::Count(ship_, effectsprobe::kHitBurst);
    EXPECT_EQ(Hit(ship_, 1), -1);
    EXPECT_EQ(Info().damage.hullDamage, 1000);
    EXPECT_EQ(effectsprobe::Count(ship_, effectsprobe::kHitBurst), bursts); // nothing else happens
}

TEST_F(DamageTest, APlainHitThatLosesTheGateMakesOneThermalExplosion)
{
    // An amount of 1 never passes the gate (rand % 1 is 0).
    EXPECT_EQ(Hit(ship_, 1), 0);
    EXPECT_EQ(Info().damage.hullDamage, 1);
    EXPECT_EQ(effectsprobe::Count(ship_, effectsprobe::kHitBurst), 1);
    EXPECT_EQ(effectsprobe::Count(ship_, effectsprobe::kHullRupture), 0);
    EXPECT_EQ(Bits(), 0);
    EXPECT_EQ(ReceiverPendingCount(ship_->receiver), 0);
}

TEST_F(DamageTest, HitsOnThePlayerAndOnARemoteShipSetTheHitIndicators)
{
    Hit(player_, 40);
    EXPECT_EQ(gScreenShake[0], 65);
    EXPECT_EQ(gScreenShake[1], 65);
    EXPECT_EQ(gLastHitAmount, 40);
    gControlledItem = ship_;
    gControlledHitCounter = 0;
    Hit(ship_, 1);
    EXPECT_EQ(gControlledHitCounter, 15);
}

// Each hit effect on a ship already near every threshold: the effect amount
// is 0 (an amount of 1 on 1000 points), so only the thresholds count.
TEST_F(DamageTest, EachHitEffectSetsItsCapabilityAndMarksTheHit)
{
    struct Case {
        uint32_t effect;
        uint16_t bits;
        bool crippled;
    };
    const Case cases[] = {
        {kEffectHardPoints, kCapHardPoint1, false},
        {kEffectTurnThrusters, kCapTurnThrusters, true},
        {kEffectMainThrust, kCapMainThrust, true},
        {kEffectLdsDrive, kCapLdsDrive, false},
        {kEffectCapsuleDrive, kCapCapsuleDrive, false},
        {kEffectCrewCasualty, kCapCrew, true},
        {kEffectMarkStructure, kCapStructure, false},
    };
    for (const Case& c : cases) {
        SceneItem* item = NewShip();
        ShipInfo& info = Info(item);
        FlightModel& f = info.flightModel;
        f.rollRate = f.pitchRate = f.yawRate = 10.0f;
        f.ldsTopSpeed = 1e5f;
        CapsuleRating(f) = 10.0f;
        info.hardPoints[0].condition = info.hardPoints[1].condition = 10;
        item->avatar->pendingHitEffects = kHitEffectsPresent | c.effect << kHitEffectShift;
        ClearCallTrace();
        EXPECT_EQ(Hit(item, 1), 0);
        EXPECT_EQ(Bits(item) & c.bits, c.bits) << c.effect;
        EXPECT_EQ(Bits(item) & ~(c.bits | kCapHardPoint0), 0) << c.effect;
        EXPECT_EQ((item->avatar->classFlags & kSenseCrippled) != 0, c.crippled) << c.effect;
        EXPECT_EQ(item->avatar->pendingHitEffects, 0u);
        // The mark: a rupture, one explosion, and the repair chain started.
        EXPECT_EQ(effectsprobe::Count(item, effectsprobe::kHullRupture), 1) << c.effect;
        EXPECT_EQ(effectsprobe::Count(item, effectsprobe::kHitBurst), 1) << c.effect;
        EXPECT_EQ(ReceiverPendingCount(item->receiver), 1) << c.effect;
        EXPECT_NE(info.flags & kShipRepairPending, 0u);
    }
}

TEST_F(DamageTest, AWeaponNearTheHitIsDisabledInShipAxes)
{
    // Turned a quarter about y: the ship's forward axis points along world x.
    float* m = ship_->sim->matrix.m;
    m[0] = 0, m[1] = 0, m[2] = -1;
    m[8] = 1, m[9] = 0, m[10] = 0;
    ship_->avatar->pendingHitEffects = kHitEffectsPresent | kEffectWeaponNearHit << kHitEffectShift;
    Hit(ship_, 1, {12.0f, 0.0f, 0.0f});
    Weapon* front = ship_->sim->weapons;
    EXPECT_NE(front->flags & kWeaponDisabled, 0u);
    EXPECT_EQ(front->next->flags & kWeaponDisabled, 0u);
    EXPECT_EQ(Bits(), kCapWeapons);

    // Far from every working mount: nothing, and no mark.
    const int ruptures = effectsprobe::Count(ship_, effectsprobe::kHullRupture);
    ship_->avatar->pendingHitEffects = kHitEffectsPresent | kEffectWeaponNearHit << kHitEffectShift;
    Hit(ship_, 1, {-90.0f, 0.0f, 0.0f});
    EXPECT_EQ(front->next->flags & kWeaponDisabled, 0u);
    EXPECT_EQ(effectsprobe::Count(ship_, effectsprobe::kHullRupture), ruptures);
}

TEST_F(DamageTest, StructuralDamageStopsAtTheMaximumAndASecondCasualtyOnlySpawnsACorpse)
{
    Info().damage.hullDamage = 700;
    ship_->avatar->pendingHitEffects = kHitEffectsPresent | kEffectAddStructure << kHitEffectShift;
    EXPECT_NE(Hit(ship_, 1), -1);
    EXPECT_EQ(Info().damage.hullDamage, 1000);

    InitializeScriptSystem();
    const hx_model* corpse = corpsetest::GiveCorpseModel();
    SceneItem* other = NewShip();
    for (int i = 0; i < 2; ++i) {
        other->avatar->pendingHitEffects = kHitEffectsPresent | kEffectCrewCasualty << kHitEffectShift;
        ClearCallTrace();
        Hit(other, 1);
        EXPECT_EQ(corpsetest::CountCorpses(corpse), i + 1);
        EXPECT_EQ(effectsprobe::Count(other, effectsprobe::kHullRupture), 1); // the first casualty's
    }
    ResShutdown();
}

TEST_F(DamageTest, RandomDamageIsReproducibleFromTheSeed)
{
    auto run = [this](uint32_t seed) {
        SceneItem* item = NewShip();
        CRandSeed(seed);
        for (int i = 0; i < 12; ++i)
            if (Hit(item, 60) == -1)
                break;
        const ShipInfo& info = Info(item);
        std::vector<float> state = {static_cast<float>(info.damage.capabilities),
                                    static_cast<float>(info.damage.level),
                                    static_cast<float>(info.damage.hullDamage),
                                    info.flightModel.acceleration,
                                    info.flightModel.rollRate,
                                    info.flightModel.pitchRate,
                                    info.flightModel.yawRate,
                                    info.flightModel.ldsTopSpeed,
                                    static_cast<float>(info.hardPoints[0].condition),
                                    static_cast<float>(info.hardPoints[1].condition)};
        for (const Weapon* w = item->sim->weapons; w; w = w->next)
            state.push_back(static_cast<float>(w->damageCounter));
        // Its effects go with it, so the next run finds the same free records.
        DeleteSceneItem(item);
        return state;
    };
    const auto first = run(1234);
    EXPECT_EQ(run(1234), first);
    EXPECT_NE(first[0], 0.0f); // something was damaged
    EXPECT_GT(first[1], 1.0f); // and the level rose
    EXPECT_LE(first[1], 5.0f);
    EXPECT_NE(run(99), first);
}

TEST_F(DamageTest, ThePlayersHullIsItsHullStructAndRandomDamageHitsItsSystems)
{
    ResetShipSystems(player_);
    Info(player_).damage.maximumHull = 1000;
    ShipSystem* hull = FindShipSystem("HULL STRUCT");
    ShipSystem* armour = FindShipSystem("HULL ARMOUR");
    int random = 0;
    for (int i = 0; i < 8; ++i) {
        const float before = hull->health;
        const bool armoured = armour->health != 0.0f;
        random += Hit(player_, 50) == 1;
        EXPECT_FLOAT_EQ(hull->health, before - (armoured ? 0.025f : 0.05f)) << i;
        EXPECT_EQ(Info(player_).damage.hullDamage, static_cast<int32_t>((1.0f - hull->health) * 1000));
    }
    EXPECT_GT(random, 0);
    int damaged = 0;
    for (const ShipSystem* s = player_->sim->systems; s; s = s->next) {
        damaged += s->health < 1.0f && s != hull;
        if (s->health < 0.25f && s->damageBit) {
            EXPECT_NE(Bits(player_) & s->damageBit, 0u) << s->names[0];
        }
    }
    EXPECT_GT(damaged, 0);
    EXPECT_LE(Info(player_).damage.level, 7);
}

// Blows and hulls at the edges of the int32 range: a blow past the top
// destroys rather than wrapping round to spare the ship, a healing blow
// past the bottom holds there, and the marks and shakes they make stay in
// their ranges.
TEST_F(DamageTest, BlowsAtTheEdgesOfTheIntRangeNeitherWrapNorSpareTheShip)
{
    DamageBlock& plain = Info().damage;
    plain.maximumHull = INT32_MAX;
    plain.hullDamage = INT32_MAX - 5;
    EXPECT_EQ(Hit(ship_, INT32_MAX), -1);
    EXPECT_EQ(plain.hullDamage, INT32_MAX);

    SceneItem* healed = NewShip();
    Info(healed).damage.maximumHull = INT32_MAX;
    Info(healed).damage.hullDamage = INT32_MIN + 5;
    EXPECT_EQ(Hit(healed, -10), 0);
    EXPECT_EQ(Info(healed).damage.hullDamage, INT32_MIN);

    // Far below intact, a hit that marks the ship still makes its rupture.
    SceneItem* marked = NewShip();
    Info(marked).damage.hullDamage = -2'000'000'000;
    marked->avatar->pendingHitEffects = kHitEffectsPresent | kEffectMarkStructure << kHitEffectShift;
    Hit(marked, 1);
    EXPECT_EQ(effectsprobe::Count(marked, effectsprobe::kHullRupture), 1);

    // The player's hull is its structure's health: a second blow of the
    // largest amount takes the health so far down that its hull points
    // pass the int32 range, and still destroys.
    ResetShipSystems(player_);
    Info(player_).damage.maximumHull = 1000;
    for (int blow = 0; blow < 2; ++blow) {
        EXPECT_EQ(Hit(player_, INT32_MAX), -1) << blow;
        EXPECT_EQ(Info(player_).damage.hullDamage, 1000) << blow;
        EXPECT_EQ(gScreenShake[0], 32767) << blow;
    }
}

TEST_F(DamageTest, RandomDamageToThePlayerReleasesTheUnfixedRepairTeams)
{
    ResetShipSystems(player_);
    Info(player_).damage.maximumHull = 1000;
    FindShipSystem("RING")->health = 0.5f;
    FindShipSystem("REACTOR")->health = 0.5f;
    UpdateShipSystems(player_);
    gShipSystems.teamFixed[0] = 255;
    ShipSystem* kept = gShipSystems.teams[0].system;
    ASSERT_NE(gShipSystems.teams[1].system, nullptr);
    int result = 0;
    for (int i = 0; i < 40 && result != 1; ++i)
        result = Hit(player_, 30);
    ASSERT_EQ(result, 1);
    EXPECT_EQ(gShipSystems.teams[0].system, kept);
    EXPECT_EQ(gShipSystems.teams[1].system, nullptr);
}

TEST_F(DamageTest, SystemHealthNotesLossesAndFullRepairs)
{
    ResetShipSystems(player_);
    ShipSystem* dock = FindShipSystem("DOCK PORTS");
    Info(player_).damage.capabilities = kCapDockPorts;
    struct Case {
        float before, after;
        size_t sounds;
        uint16_t bitsAfter;
    };
    const Case cases[] = {
        {0.5f, 0.0f, 1, kCapDockPorts}, // knocked out
        {0.2f, 0.0f, 0, kCapDockPorts}, // was already below a quarter
        {0.5f, 0.9f, 0, kCapDockPorts},
        {0.9f, 1.0f, 1, 0}, // fully repaired
    };
    CapturedSound sound;
    sound.LoadSlots({15, 18});
    for (const Case& c : cases) {
        NotifySystemHealth(c.before, c.after, dock);
        const int32_t lostVolume = gSoundSlots[15].volume;
        const size_t sounds = CapturedSound::TakePlay(15) + CapturedSound::TakePlay(18);
        EXPECT_EQ(sounds, c.sounds) << c.before << " " << c.after;
        if (c.after == 0.0f && c.sounds) {
            EXPECT_EQ(lostVolume, -6000);
        }
        EXPECT_EQ(Bits(player_), c.bitsAfter) << c.before << " " << c.after;
    }
}

TEST_F(DamageTest, TheRepairChainMendsTheHullAndCapabilitiesOverTime)
{
    ShipInfo& info = Info();
    info.damage.hullDamage = 500;
    info.damage.capabilities = kCapMainThrust;
    info.flightModel.acceleration = 3.0f;
    ship_->avatar->classFlags |= kSenseCrippled;
    RunRepairTick(ship_);
    // The 1-point step, then the hull step above a quarter: 49 % -> 41 %,
    // unless the walk found the main thrust (then no hull step).
    const int32_t damage = info.damage.hullDamage;
    EXPECT_TRUE(damage == 410 || damage == 490) << damage;
    EXPECT_EQ(ship_->sim->hull, 100 - damage / 10);
    EXPECT_NE(info.flags & kShipRepairPending, 0u);
    // It posted itself again, due after (damage / max + 1) x 600 - 2 x skill.
    const auto delay = static_cast<int32_t>((damage / 1000.0f + 1.0f) * 600.0f - 100.0f);
    ItemMessage message;
    gFrameClock.gameClock = static_cast<uint32_t>(delay - 1);
    EXPECT_EQ(FetchItemMessage(ship_->receiver, &message), nullptr);
    gFrameClock.gameClock = static_cast<uint32_t>(delay);
    ASSERT_NE(FetchItemMessage(ship_->receiver, &message), nullptr);
    EXPECT_EQ(message.kind, kMsgRepair);

    for (int tick = 0; tick < 200 && (info.flags & kShipRepairPending); ++tick)
        RunRepairTick(ship_);
    EXPECT_EQ(info.flags & kShipRepairPending, 0u);
    EXPECT_EQ(Bits(), 0);
    EXPECT_EQ(info.flightModel.acceleration, info.baseFlightModel.acceleration);
    EXPECT_EQ(ship_->avatar->classFlags & kSenseCrippled, 0u);
    EXPECT_LE(info.damage.hullDamage, 20);
    EXPECT_GE(ship_->sim->hull, 98);
}

TEST_F(DamageTest, TheHullStepLeavesAQuarterAloneButThePointStepGoesOn)
{
    struct Case {
        int32_t before, after;
    };
    const Case cases[] = {{240, 230}, {250, 240}, {500, 410}, {20, 10}, {10, 10}};
    for (const Case& c : cases) {
        Info().damage.hullDamage = c.before;
        Info().damage.capabilities = 0;
        RunRepairTick(ship_);
        EXPECT_EQ(Info().damage.hullDamage, c.after) << c.before;
    }
    // At 1 % and nothing else to mend, the chain ends.
    EXPECT_EQ(Info().flags & kShipRepairPending, 0u);
    // Crew casualties keep it running: only the script clears them.
    Info().damage.capabilities = kCapCrew;
    RunRepairTick(ship_);
    EXPECT_NE(Info().flags & kShipRepairPending, 0u);
    EXPECT_EQ(Bits(), kCapCrew);
}

TEST_F(DamageTest, ARepairTickMendsOneCapabilityAndIgnoresThePlayer)
{
    ShipInfo& info = Info();
    info.damage.capabilities = kCapTurnThrusters | kCapMainThrust;
    info.flightModel.rollRate = info.flightModel.acceleration = 0.0f;
    RunRepairTick(ship_);
    const uint16_t left = Bits();
    EXPECT_TRUE(left == kCapTurnThrusters || left == kCapMainThrust) << left;

    // Hard point 1 alone is mended too (the walk takes it on an even draw).
    info.damage.capabilities = kCapHardPoint1;
    info.hardPoints[1].condition = 5;
    for (int tick = 0; tick < 20 && Bits(); ++tick)
        RunRepairTick(ship_);
    EXPECT_EQ(Bits(), 0);
    EXPECT_EQ(info.hardPoints[1].condition, 40);

    Info(player_).damage.capabilities = kCapMainThrust;
    RunRepairTick(player_);
    EXPECT_EQ(Bits(player_), kCapMainThrust);
    EXPECT_EQ(ReceiverPendingCount(player_->receiver), 0);
}

TEST_F(DamageTest, TheScriptDegradesAndRestoresEachCapability)
{
    ShipInfo& info = Info();
    FlightModel& f = info.flightModel;
    SetShipSystemDamage(ship_, 0, 0.5f);
    EXPECT_EQ(f.rollRate, 15.0f);
    EXPECT_EQ(Bits(), kCapTurnThrusters);
    SetShipSystemDamage(ship_, 0, 0.0f);
    EXPECT_EQ(f.rollRate, 30.0f);
    SetShipSystemDamage(ship_, 1, 0.75f);
    EXPECT_EQ(f.acceleration, 25.0f);
    SetShipSystemDamage(ship_, 1, 0.0f);
    EXPECT_EQ(f.acceleration, 100.0f);
    EXPECT_EQ(Bits(), 0);

    SetShipSystemDamage(ship_, 2, 1.0f);
    for (const Weapon* w = ship_->sim->weapons; w; w = w->next)
        EXPECT_EQ(w->flags & (kWeaponDisabled | kWeaponReady), kWeaponDisabled);
    SetShipSystemDamage(ship_, 2, 0.0f);
    for (const Weapon* w = ship_->sim->weapons; w; w = w->next)
        EXPECT_EQ(w->flags & (kWeaponDisabled | kWeaponReady), kWeaponReady);

    SetShipSystemDamage(ship_, 3, 0.5f);
    EXPECT_EQ(info.hardPoints[0].condition, 45);
    EXPECT_EQ(info.hardPoints[2].condition, 0);
    EXPECT_EQ(Bits(), kCapHardPoint0 | kCapHardPoint1);
    SetShipSystemDamage(ship_, 3, 0.0f);
    EXPECT_EQ(info.hardPoints[1].condition, 90);

    // The drives: a restore clears the bit but leaves the value damaged.
    SetShipSystemDamage(ship_, 4, 1.0f);
    SetShipSystemDamage(ship_, 5, 1.0f);
    EXPECT_EQ(f.ldsTopSpeed, 0.0f);
    EXPECT_EQ(CapsuleRating(f), 0.0f);
    EXPECT_EQ(Bits(), kCapLdsDrive | kCapCapsuleDrive);
    SetShipSystemDamage(ship_, 4, 0.0f);
    SetShipSystemDamage(ship_, 5, 0.0f);
    EXPECT_EQ(Bits(), 0);
    EXPECT_EQ(f.ldsTopSpeed, 0.0f);

    for (int16_t type : {6, 7, 8}) {
        SetShipSystemDamage(ship_, type, 1.0f);
        EXPECT_NE(Bits(), 0) << type;
        SetShipSystemDamage(ship_, type, 0.0f);
        EXPECT_EQ(Bits(), 0) << type;
    }
    SetShipSystemDamage(ship_, 9, 1.0f);
    EXPECT_EQ(Bits(), 0);
}

TEST_F(DamageTest, ShipSysKillSetsTheHullForANegativeType)
{
    ShipSystemKill(ship_, -1.0f, 25.0f);
    EXPECT_EQ(Info().damage.hullDamage, 250);
    EXPECT_EQ(ship_->sim->hull, 75);
    ShipSystemKill(ship_, 1.0f, 0.0f); // no percent: the whole capability
    EXPECT_EQ(Info().flightModel.acceleration, 0.0f);
    ShipSystemKill(ship_, 1.0f, -5.0f); // negative: restore
    EXPECT_EQ(Info().flightModel.acceleration, 100.0f);
    EXPECT_EQ(Bits(), 0);
}

TEST_F(DamageTest, PlayerDamageLowersANamedSystemAndNeverRaisesIt)
{
    ResetShipSystems(player_);
    ShipSystem* ring = FindShipSystem("RING");
    DamagePlayerSystem("RING", 20.0f, 1);
    EXPECT_EQ(ring->health, 0.2f);
    EXPECT_EQ(ring->noRepair, 255);
    EXPECT_EQ(Bits(player_), kCapRing);
    DamagePlayerSystem("RING", 60.0f, 0);
    EXPECT_EQ(ring->health, 0.2f);
    EXPECT_EQ(ring->noRepair, 0);
    DamagePlayerSystem("NO SUCH SYSTEM", 10.0f, -1);
    Info(player_).damage.capabilities = 0;
    DamagePlayerSystem("LDS DRIVE", 70.0f, -1); // 70 % is not below 50: no bit
    EXPECT_EQ(Bits(player_), 0);
    EXPECT_EQ(FindShipSystem("LDS DRIVE")->health, 0.7f);
}

TEST(HalveDamageBySteps, HalvesOncePerWholeStep)
{
    struct Case {
        int32_t value, step, damage, expected;
    };
    // clang-format off
    const Case cases[] = {
        {5, 10, 100, 100}, {10, 10, 100, 50}, {25, 10, 100, 25}, {9, 0, 100, 0},
        {-1, 0, 100, 100}, {310, 10, 100, 0}, {300, 10, 1 << 30, 1},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(HalveDamageBySteps(c.value, c.step, c.damage), c.expected)
            << c.value << " " << c.step << " " << c.damage;
}

} // namespace
