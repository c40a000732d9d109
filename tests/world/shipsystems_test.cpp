// The ship-systems model: its table in three languages, the repair order,
// the update rules with their heat and warnings, the repair teams, and what
// the outputs do to the player's flight model and weapons.
#include <cmath>
#include <cstring>
#include <string>

#include "screens/bridge.h"
#include "system/calltrace.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "system/settings.h"
#include "tests/support/sound_fixture.h"
#include "tests/support/world_fixture.h"
#include "ui/shiplog.h"
#include "world/damage.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"
#include "world/simframe.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

void NoMessages(SceneItem*) {}

class ShipSystemsTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        gSettings.language = 0;
        InitShipSystems();
        ship_ = MakeItem(nullptr, nullptr, NoMessages);
        info_ = MakeShip(ship_);
        info_->name = "Kelva";
        info_->damage.maximumHull = 1000;
        info_->flightModel.ldsTopSpeed = 1e6f;
        CapsuleRating(info_->flightModel) = 100.0f;
        gPlayerItem = gControlledItem = ship_;
        ResetShipSystems(ship_);
    }

    void TearDown() override
    {
        gSettings.language = 0;
        WorldTest::TearDown();
    }

    static ShipSystem* S(const char* name)
    {
        ShipSystem* s = FindShipSystem(name);
        EXPECT_NE(s, nullptr) << name;
        return s;
    }

    void Frames(int n)
    {
        for (int i = 0; i < n; ++i)
            UpdateShipSystems(ship_);
    }

    SceneItem* ship_ = nullptr;
    ShipInfo* info_ = nullptr;
};

TEST_F(ShipSystemsTest, TheTableRegistersThirtyFiveSystemsWithThreeNames)
{
    EXPECT_EQ(ship_->sim->systemCount, kShipSystemCount);
    int listed = 0;
    for (const ShipSystem* s = ship_->sim->systems; s; s = s->next)
        ++listed;
    EXPECT_EQ(listed, kShipSystemCount);
    EXPECT_EQ(ship_->sim->systems, S("HULL ARMOUR"));

    struct Names {
        const char* english;
        const char* french;
        const char* german;
    };
    // clang-format off
    const Names table[] = {
        {"HULL STRUCT", "HULL STRUCT", "H\xFC" "LLENSTRUKTUR"},
        {"TRANS THRS", "PROP TRANSFERT", "\xDC" "BERS ANTR"},
        {"W HEAT ARRAY", "DISPOSITIF DISSIPATION CHALEUR", "W\xC4" "RMEABFUHR SYS"},
        {"POWER GRID 4", "GRILLE ENERGIE", "NETZWERK 4"},
        {"EMERG ACC", "EMERG ACC", "SCHIFFSHULLEN SCHILD"},
    };
    // clang-format on
    for (const Names& n : table) {
        const ShipSystem* s = S(n.english);
        ASSERT_NE(s, nullptr);
        EXPECT_STREQ(s->names[1], n.french);
        EXPECT_STREQ(s->names[2], n.german);
    }
    EXPECT_EQ(FindShipSystem("hull struct"), nullptr); // case-sensitive
    EXPECT_EQ(FindShipSystem("DUMMY"), nullptr);
    EXPECT_EQ(S("RING")->repairTime, 60);
    EXPECT_EQ(S("HULL STRUCT")->repairTime, 575);
    EXPECT_EQ(S("COOLANT TANK")->output, 4000.0f);
    EXPECT_EQ(S("AM INJECTOR")->switchedOn, 0);
    EXPECT_EQ(S("REACTOR")->switchedOn, 0);
    EXPECT_NE(S("RING")->switchedOn, 0);
}

TEST_F(ShipSystemsTest, TheRepairOrderSortsByClassAndPriorityKeepingEqualKeysInOrder)
{
    Frames(1);
    auto key = [](const ShipSystem* s) { return s->repairClass * 100 + s->priority; };
    for (int i = 1; i < kShipSystemCount; ++i)
        EXPECT_LE(key(gShipSystems.order[i - 1]), key(gShipSystems.order[i])) << i;
    EXPECT_EQ(gShipSystems.order[0], S("AM SUPPLY"));
    // ACCUMULATORS and EMERG ACC share class 2, priority 6.
    int accumulators = -1, emergency = -1;
    for (int i = 0; i < kShipSystemCount; ++i) {
        accumulators = gShipSystems.order[i] == S("ACCUMULATORS") ? i : accumulators;
        emergency = gShipSystems.order[i] == S("EMERG ACC") ? i : emergency;
    }
    EXPECT_EQ(emergency, accumulators + 1);
}

TEST_F(ShipSystemsTest, WithoutPowerGridsTheSupplyDiesButSomeSystemsStillWork)
{
    for (int n = 0; n < 6; ++n) {
        ShipSystem* grid = S(("POWER GRID " + std::to_string(n)).c_str());
        grid->switchedOn = 0;
        grid->output = 0.0f;
    }
    Frames(2);
    EXPECT_EQ(ShipSystemsSupply()->output, 0.0f);
    for (const char* name : {"PORT MAG", "CAPSULE DRV", "DOCK PORTS", "LDS DRIVE"})
        EXPECT_EQ(S(name)->output, 0.0f) << name;
    for (const char* name : {"STBD MAG", "YAW THRS"})
        EXPECT_EQ(S(name)->output, 1.0f) << name;
    const float ring = S("RING")->level;
    const float injector = S("INJECTOR")->level;
    Frames(1);
    EXPECT_LT(S("RING")->level, ring);
    EXPECT_LT(S("INJECTOR")->level, injector);

    S("YAW THRS")->health = 0.05f;
    Frames(1);
    EXPECT_EQ(S("YAW THRS")->output, 0.0f);
    EXPECT_EQ(info_->flightModel.yawRate, 0.0f);
}

TEST_F(ShipSystemsTest, TheRingFirstRunsOnTheFuelInjectorAlone)
{
    gFrameClock.frameSeconds = 0.5f;
    Frames(200);
    EXPECT_EQ(S("AM INJECTOR")->output, 0.0f);
    EXPECT_EQ(S("AM SUPPLY")->output, 500.0f);
    EXPECT_NEAR(S("RING")->output, 1.0f, 0.01f);
    // Switched on, the antimatter injector lifts the ring toward 2.8 and
    // burns the supply.
    S("AM INJECTOR")->switchedOn = 255;
    Frames(100);
    EXPECT_GT(S("RING")->output, 2.5f);
    EXPECT_LT(S("AM SUPPLY")->output, 500.0f);
}

TEST_F(ShipSystemsTest, TemperatureWarningsShowTheHighestCrossingInTheLanguage)
{
    ShipSystem* coolant = S("COOLANT SYS");
    coolant->switchedOn = 0;
    coolant->level = 0.0f; // no cooling: the reactor's heat alone counts
    coolant->temperature = 1999.0f;
    S("REACTOR")->output = 250.0f; // x 2.5625 at 0.05 s
    CapturedSound sound;
    sound.LoadSlots({16});
    ResetMessageLine();
    Frames(1);
    EXPECT_STREQ(ShipSystemsMessage(), "ENG: COOLANT SYS TEMP URGENT WARNING 5122K");
    EXPECT_STREQ(gMessageLine.shown, "ENG: COOLANT SYS TEMP URGENT WARNING 5122K");
    EXPECT_FALSE(CapturedSound::TakePlay(16));

    gSettings.language = 2;
    coolant->temperature = 4000.0f;
    S("REACTOR")->output = 400.0f; // x 3.5: past 5000 and 10000
    ClearCallTrace();
    Frames(1);
    EXPECT_STREQ(ShipSystemsMessage(), "ENG: K\xDC"
                                       "HL SYS TEMP CRITICAL WARNING 14000K");
    EXPECT_TRUE(CapturedSound::TakePlay(16)); // the critical warning's sound
}

TEST_F(ShipSystemsTest, AMeltdownHitsTheShipEveryFrameAndIsLoggedOnce)
{
    ShipSystem* coolant = S("COOLANT SYS");
    coolant->switchedOn = 0;
    coolant->level = 0.0f;
    coolant->temperature = 14000.0f;
    ResetShipLog();
    for (int i = 0; i < 3; ++i) {
        S("REACTOR")->output = 100.0f;
        Frames(1);
    }
    EXPECT_GT(coolant->temperature, 15000.0f);
    ASSERT_EQ(gShipLog.count, 1);
    EXPECT_EQ(gShipLog.entries[0].kind, 3); // exploded
    EXPECT_EQ(ReceiverPendingCount(ship_->receiver), 3);
}

TEST_F(ShipSystemsTest, AnOverheatedPbcLosesOutputEveryFrameUntilItCools)
{
    ShipSystem* pbc = S("FWD PBC");
    Frames(1);
    const float cool = pbc->output;
    EXPECT_GT(cool, 0.0f);
    pbc->temperature = 19000.0f;
    float last = cool;
    int hotFrames = 0;
    for (;;) {
        // Every hot frame shows the warning again; the cooled one does not.
        ResetMessageLine();
        Frames(1);
        if (pbc->temperature <= 12500.0f) {
            EXPECT_STREQ(gMessageLine.shown, kIdleMessageText);
            break;
        }
        EXPECT_STREQ(gMessageLine.shown, "ENG: FWD PBC OVERHEAT");
        EXPECT_LT(pbc->output, last);
        last = pbc->output;
        ++hotFrames;
    }
    EXPECT_GT(hotFrames, 5);
    EXPECT_STREQ(ShipSystemsMessage(), "ENG: FWD PBC OVERHEAT");
    // Cooled, it runs on the ring again.
    EXPECT_NEAR(pbc->output, S("RING")->output, 1e-3f);

    // Ten shots in a 0.05 s frame at full slider heat it ninefold.
    pbc->temperature = 273.0f;
    pbc->shots = 10;
    Frames(1);
    EXPECT_NEAR(pbc->temperature, 273.0f * 9 + (273.0f - 273.0f * 9) * 0.045f, 0.5f);
    EXPECT_EQ(pbc->shots, 0);
    // With the slider at 0 there is no heat base: shots heat nothing.
    gShipSystems.pbcSlider = 0.0f;
    pbc->temperature = 273.0f;
    pbc->shots = 10;
    Frames(1);
    EXPECT_EQ(pbc->temperature, 273.0f);
    EXPECT_EQ(pbc->output, 0.0f);
}

TEST_F(ShipSystemsTest, ALightlyDamagedLdaWorksAsIfAtThreeQuarters)
{
    ShipSystem* lda = S("UPPER LDA");
    lda->health = 0.75f;
    Frames(1);
    const float atThreeQuarters = lda->output;
    lda->health = 0.3f;
    Frames(1);
    EXPECT_EQ(lda->output, atThreeQuarters);
    EXPECT_EQ(info_->hardPoints[0].condition, static_cast<int8_t>(lda->output * 90.0f));
    lda->health = 0.0f;
    Frames(1);
    EXPECT_LT(lda->output, atThreeQuarters);
}

TEST_F(ShipSystemsTest, DisplayColoursFollowHealth)
{
    struct Case {
        const char* name;
        float health;
        int16_t colour;
    };
    const Case cases[] = {
        {"RING", 0.2f, 54},
        {"REACTOR", 0.5f, 64},
        {"TARGET", 0.99f, 160},
        {"HULL ARMOUR", 1.0f, 36},
    };
    int16_t colours[4] = {};
    for (int i = 0; i < 4; ++i) {
        ShipSystem* s = S(cases[i].name);
        s->displayColour = &colours[i];
        s->health = cases[i].health;
        s->noRepair = 1;
    }
    Frames(1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(colours[i], cases[i].colour) << cases[i].health;
    // A fresh model for a new player keeps the page's bindings.
    ResetShipSystems(ship_);
    EXPECT_EQ(S("RING")->displayColour, &colours[0]);
    EXPECT_EQ(S("RING")->health, 1.0f);
}

TEST_F(ShipSystemsTest, TheEmergencyAccumulatorsHoldUpAStarvingThrusterUntilTheyAreEmpty)
{
    Frames(1);
    EXPECT_EQ(gShipSystems.emergencyPower, 0);
    ShipSystem* accumulators = S("EMERG ACC");
    EXPECT_EQ(accumulators->output, 1.0f);
    gShipSystems.repairsEnabled = 0;
    S("MAIN THRS")->health = 0.0f;
    gFrameClock.frameSeconds = 1.0f;
    Frames(2);
    EXPECT_EQ(S("MAIN THRS")->output, 0.499f);
    EXPECT_EQ(gShipSystems.emergencyPower, 255);
    EXPECT_NEAR(accumulators->level, 1.0f - 2.0f / 30.0f, 1e-5f);
    Frames(40);
    EXPECT_EQ(accumulators->output, 0.0f);
    EXPECT_EQ(S("MAIN THRS")->output, 0.0f);
}

TEST_F(ShipSystemsTest, OutputsScaleTheFlightModel)
{
    const FlightModel base = gShipSystems.classModel;
    S("MAIN THRS")->health = 0.6f;
    S("ROLL THRS")->health = 0.75f;
    S("CAPSULE DRV")->health = 0.05f;
    S("LDS DRIVE")->health = 0.5f;
    gShipSystems.repairsEnabled = 0;
    Frames(1);
    const FlightModel& f = info_->flightModel;
    EXPECT_FLOAT_EQ(f.acceleration, base.acceleration * S("MAIN THRS")->output);
    EXPECT_FLOAT_EQ(S("MAIN THRS")->output, 0.6f * S("PLASMA GRID")->output);
    EXPECT_FLOAT_EQ(f.rollRate, base.rollRate * 0.75f * S("PLASMA GRID")->output);
    EXPECT_EQ(f.yawRate, base.yawRate);
    EXPECT_EQ(CapsuleRating(f), 0.0f);
    EXPECT_FLOAT_EQ(f.ldsTopSpeed, std::pow(10.0f, 5.5f));

    // Below the emergency floor the accumulators hold a thruster at 0.499.
    S("MAIN THRS")->health = 0.1f;
    Frames(1);
    EXPECT_FLOAT_EQ(S("MAIN THRS")->output, 0.499f);

    // A class without an LDS drive keeps none, whatever the drive's output.
    gShipSystems.classModel.ldsTopSpeed = 0.0f;
    Frames(1);
    EXPECT_EQ(f.ldsTopSpeed, 0.0f);
}

TEST_F(ShipSystemsTest, WeaponsFollowTheirSystemsOnACorvette)
{
    info_->kind = 0;
    Weapon* gun = AllocWeapon();
    gun->flags |= kWeaponBeam;
    gun->system = S("FWD PBC");
    Weapon* own = AllocWeapon();
    own->flags |= kWeaponBeam | kWeaponOwnPower;
    own->system = S("FWD PBC");
    own->next = gun;
    ship_->sim->weapons = own;
    gShipSystems.repairsEnabled = 0;
    Frames(1);
    const float output = S("FWD PBC")->output;
    EXPECT_EQ(gun->charge, static_cast<int32_t>(output * 150.0f));
    EXPECT_FLOAT_EQ(gun->power, output * 200000.0f);
    EXPECT_EQ(gun->flags & (kWeaponReady | kWeaponDisabled), kWeaponReady);
    EXPECT_EQ(own->charge, 0);

    S("FWD PBC")->health = 0.1f;
    Frames(1);
    EXPECT_EQ(gun->flags & (kWeaponReady | kWeaponDisabled), kWeaponDisabled);

    info_->kind = 1; // only corvettes' weapons follow the model
    S("FWD PBC")->health = 1.0f;
    Frames(1);
    EXPECT_EQ(gun->flags & (kWeaponReady | kWeaponDisabled), kWeaponDisabled);
}

TEST_F(ShipSystemsTest, RepairTeamsMendOverTheRepairTimeAndClearTheBit)
{
    ShipSystem* ring = S("RING"); // 60 s
    ring->health = 0.5f;
    info_->damage.capabilities = kCapRing;
    gFrameClock.frameSeconds = 0.1f;
    CapturedSound sound;
    sound.LoadSlots({18});
    ClearCallTrace();
    Frames(1);
    int repairedSounds = CapturedSound::TakePlay(18);
    // One team takes it, a second doubles up on it in the same frame.
    EXPECT_EQ(gShipSystems.teams[0].system, ring);
    EXPECT_EQ(gShipSystems.teams[1].system, ring);
    EXPECT_EQ(ring->repairStrength, 2);
    EXPECT_NEAR(ring->health, 0.5f + 2 * 0.1f / 60.0f, 1e-6f);
    EXPECT_EQ(ring->estimatedRepairTime, static_cast<int16_t>((1.0f - ring->health) * 60 / 2));
    int frames = 1;
    while (ring->health < 1.0f && frames < 2000) {
        Frames(1);
        repairedSounds += CapturedSound::TakePlay(18);
        ++frames;
    }
    // Four teams at most: about 60 x 0.5 / 4 seconds.
    EXPECT_GT(frames, 70);
    EXPECT_LT(frames, 90);
    EXPECT_EQ(info_->damage.capabilities, 0);
    EXPECT_EQ(repairedSounds, 1); // the repaired system's sound, once
    Frames(1);
    for (const RepairTeam& team : gShipSystems.teams)
        EXPECT_EQ(team.system, nullptr);
}

TEST_F(ShipSystemsTest, RepairsOffAndNoRepairSystemsStayDamaged)
{
    ShipSystem* ring = S("RING");
    ShipSystem* tank = S("FUEL TANKS");
    ring->health = 0.5f;
    tank->health = 0.5f;
    tank->noRepair = 255;
    gShipSystems.repairsEnabled = 0;
    Frames(10);
    EXPECT_EQ(ring->health, 0.5f);
    gShipSystems.repairsEnabled = 255;
    Frames(1);
    EXPECT_GT(ring->health, 0.5f);
    EXPECT_EQ(tank->health, 0.5f);
    EXPECT_EQ(tank->repairTeam, nullptr);
}

TEST_F(ShipSystemsTest, AHitReleasesTheTeamsThePlayerHasNotFixed)
{
    S("RING")->health = 0.5f;
    S("REACTOR")->health = 0.5f;
    Frames(1);
    ASSERT_NE(gShipSystems.teams[0].system, nullptr);
    ASSERT_NE(gShipSystems.teams[1].system, nullptr);
    gShipSystems.teamFixed[1] = 255;
    ShipSystem* fixedOn = gShipSystems.teams[1].system;
    ReleaseRepairTeams();
    EXPECT_EQ(gShipSystems.teams[0].system, nullptr);
    EXPECT_EQ(gShipSystems.teams[1].system, fixedOn);
}

TEST_F(ShipSystemsTest, TheSimulationFrameRunsTheModelAndSamplesItsRecordersByPeriod)
{
    ShipSystem* ring = S("RING");
    ASSERT_NE(ring->recorder, nullptr);
    gFrameClock.gameClock = 100;
    RunSimulationFrame();
    EXPECT_EQ(ring->recorder->writePosition, 1);
    EXPECT_EQ(ring->recorder->samples[0], ring->output);
    gFrameClock.gameClock = 110; // within the period of 20
    RunSimulationFrame();
    EXPECT_EQ(ring->recorder->writePosition, 1);
    gFrameClock.gameClock = 120;
    RunSimulationFrame();
    EXPECT_EQ(ring->recorder->writePosition, 2);
    // The frame keeps the ship's hull as its HULL STRUCT system.
    S("HULL STRUCT")->health = 0.5f;
    RunSimulationFrame();
    EXPECT_EQ(ship_->sim->hull, 50);
}

TEST_F(ShipSystemsTest, TheTestCommandDamagesEverySystemByAtMostAQuarter)
{
    CRandSeed(1);
    DamageShipSystemsRandomly();
    int damaged = 0;
    for (const ShipSystem* s = ship_->sim->systems; s; s = s->next) {
        EXPECT_GE(s->health, 0.75f);
        EXPECT_LE(s->health, 1.0f);
        damaged += s->health < 1.0f;
    }
    EXPECT_GT(damaged, 25);
}

} // namespace
