// Weapon mounts and firing: every kind's settings against its table row,
// the arc test over direction codes, offsets and classes, FireWeapon's
// answers and reloads, the lead, the launch routines and automatic fire.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "ai/combat.h"
#include "ai/docking.h"
#include "ai/weapons.h"
#include "view/markerlights.h"
#include "screens/bridge.h"
#include "ui/contacts.h"
#include "ui/shiplog.h"
#include "world/playerinput.h"
#include "script/configstatements.h"
#include "script/interpreter.h"
#include "system/calltrace.h"
#include "system/crand.h"
#include "system/frameclock.h"
#include "tests/support/effects_probe.h"
#include "tests/support/world_fixture.h"
#include "tests/view/view_fixture.h"
#include "view/cameras.h"
#include "world/behaviours.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/physics.h"
#include "world/playerinput.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"
#include "world/shipsystems.h"

using worldtest::MakeItem;
using worldtest::MakeShip;

namespace {

constexpr uint32_t kBolt = 0x20;

// The view runs (over a memory frame) so that shots and launchers get their
// emitters and parts as in the game.
class WeaponsTest : public viewtest::ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        gPlayerInput = PlayerInput{};
        gScriptMission.cutScene = 0;
        gConstantFire = 0;
        CurrentStation = 0;
        gPlayerBoltMounts = 0;
        ship_ = MakeItem();
        MakeShip(ship_)->skill = 100;
    }
    void TearDown() override
    {
        gPlayerItem = gControlledItem = nullptr;
        gScriptMission.cutScene = 0;
        CurrentStation = 0;
        ViewTest::TearDown();
    }
    // An item at a place, at rest.
    static SceneItem* ItemAt(float x, float y, float z)
    {
        SceneItem* item = MakeItem();
        item->sim->position = {x, y, z};
        item->sim->matrix.m[12] = x;
        item->sim->matrix.m[13] = y;
        item->sim->matrix.m[14] = z;
        return item;
    }
    // The items that fired shots left in the scene (class bolt or missile).
    static std::vector<SceneItem*> Shots()
    {
        std::vector<SceneItem*> shots;
        ForEachSceneItem([&](SceneItem* item) {
            if (item->avatar->weapon)
                shots.push_back(item);
            return true;
        });
        return shots;
    }
    // Makes a mount of the kind named in the kinds table.
    Weapon* Mount(const char* kind, int16_t code = 1, SceneItem* item = nullptr)
    {
        for (const WeaponKindRow* row = WeaponKindTable; row->construct; ++row)
            if (std::strcmp(row->name, kind) == 0)
                return row->construct(item ? item : ship_, 0, 0, 0, row->name, code);
        ADD_FAILURE() << kind;
        return nullptr;
    }
    SceneItem* ship_ = nullptr;
};

// ---- Kinds ------------------------------------------------------------------

TEST_F(WeaponsTest, EveryBoltKindTakesTheSettingsOfItsRow)
{
    struct Row {
        const char* kind;
        int32_t damage, penetration;
        float reload, range, speed;
        int16_t life;
        int32_t colourVariant;
        uint32_t flags;
    };
    const Row rows[] = {
        {"PBC", 150, 55, 100, 200000, 600000, 400, 0, 0x30},
        {"PBC HEV", 270, 110, 125, 250000, 600000, 400, 1, 0x30},
        {"PBC LITE", 30, 25, 250, 300000, 600000, 400, 0, 0x30},
        {"PBC GTL", 180, 55, 50, 500000, 450000, 400, 3, 0x30},
        {"PBC FAR", 180, 55, 50, 500000, 750000, 800, 2, 0x30},
        {"PBC SLO", 315, 110, 1000, 250000, 900000, 400, 1, 0x30},
        {"PBC XL", 6470, 160, 125, 2750000, 900000, 400, 5, 0x5030},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.kind);
        Weapon* w = Mount(r.kind, 0x213);
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->name, r.kind);
        EXPECT_EQ(w->weaponClass, 0);
        EXPECT_EQ(w->flags, r.flags);
        EXPECT_EQ(w->damage, r.damage);
        EXPECT_EQ(w->penetration, r.penetration);
        EXPECT_EQ(w->control0, 0);
        EXPECT_EQ(w->control3, 3);
        EXPECT_EQ(w->reload, r.reload);
        EXPECT_EQ(w->range, r.range);
        EXPECT_EQ(w->speed, r.speed);
        EXPECT_EQ(w->life, r.life);
        EXPECT_EQ(w->colourVariant, r.colourVariant);
        EXPECT_EQ(w->directionCode, 0x213);
        EXPECT_EQ(w->arcWidth, 360.0f);
        EXPECT_EQ(w->aimReference, nullptr);
        EXPECT_EQ(w->reloadTimer, 0.0f);
        EXPECT_EQ(w->launch, nullptr);
        EXPECT_EQ(w->system, nullptr);
    }
}

TEST_F(WeaponsTest, EveryLauncherKindTakesTheSettingsOfItsRow)
{
    struct Row {
        const char* kind;
        int16_t weaponClass;
        uint32_t flags;
        float reload, speed, magazineReload;
        int16_t rounds, size, magazines;
        float acceleration, secondThrust, yaw, pitch, roll;
        int16_t life;
        int32_t damage, penetration;
    };
    const Row rows[] = {
        {"MAG - SEEKER", 3, 0x8d0, 300, 20000, 400, 4, 4, 3, 36000, 24000, 0, 120, 800, 2000, 180, 65},
        {"MAG - DISRUPTOR", 3, 0x8d0, 300, 20000, 400, 1, 2, 4, 24000, 10, 0, 120, 800, 2000, 180, 65},
        {"MAG - ECM FLARE", 3, 0xc8d0, 100, 25000, 900, 2, 2, 3, 12000, 12000, 120, 120, 120, 2000, 180, 65},
        {"MAG - LDSI", 4, 0x1c8d0, 100, 4000, 600, 3, 3, 1, 24000, 10, 0, 800, 800, 6000, 180, 65},
        {"MAG - PROBE", 5, 0x8d0, 100, 15000, 600, 2, 2, 1, 12000, 12000, 120, 120, 120, 0, 180, 65},
        {"MAG - REC PROBE", 5, 0x8d0, 100, 75000, 600, 2, 2, 1, 24000, 24000, 120, 120, 120, 0, 180, 65},
        {"MAG - REM MISSILE", 5, 0x8d0, 100, 75000, 600, 2, 2, 1, 24000, 24000, 120, 120, 120, 0, 180, 65},
        {"MAG - MINE", 5, 0x108d0, 100, 15000, 600, 3, 3, 1, 12000, 12000, 120, 120, 120, 0, 180, 65},
        {"AM RELEASE", 6, 0x850, 100, 17000, 600, 1, 4, 4, 12000, 12000, 120, 120, 120, 2000, 800000, 160},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.kind);
        Weapon* w = Mount(r.kind, 5);
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->name, r.kind);
        EXPECT_EQ(w->weaponClass, r.weaponClass);
        EXPECT_EQ(w->flags, r.flags);
        EXPECT_EQ(w->reload, r.reload);
        EXPECT_EQ(w->speed, r.speed);
        EXPECT_EQ(w->range, r.magazineReload);
        EXPECT_EQ(w->rounds, r.rounds);
        EXPECT_EQ(w->magazineSize, r.size);
        EXPECT_EQ(w->magazines, r.magazines);
        EXPECT_EQ(w->acceleration, r.acceleration);
        EXPECT_EQ(w->secondThrust, r.secondThrust);
        EXPECT_EQ(w->yawRate, r.yaw);
        EXPECT_EQ(w->pitchRate, r.pitch);
        EXPECT_EQ(w->rollRate, r.roll);
        EXPECT_EQ(w->life, r.life);
        EXPECT_EQ(w->damage, r.damage);
        EXPECT_EQ(w->penetration, r.penetration);
        EXPECT_EQ(w->directionCode, 5);
        EXPECT_EQ(w->launch == nullptr, std::strcmp(r.kind, "AM RELEASE") == 0);
    }
}

TEST_F(WeaponsTest, LaunchersTakeTheirMunitionsShapeLoadedOnce)
{
    const std::filesystem::path shapes = std::filesystem::path(KV_SOURCE_DIR) / "data/zqk/resource/shapes";
    std::filesystem::create_directories(scratch / "zqk/resource");
    std::filesystem::copy(shapes, scratch / "zqk/resource/shapes");
    const Weapon* seeker = Mount("MAG - SEEKER");
    const Weapon* flare = Mount("MAG - ECM FLARE");
    ASSERT_NE(seeker->shape, nullptr);
    EXPECT_EQ(flare->shape, seeker->shape); // the same missile shape
    for (const char* kind : {"MAG - LDSI", "MAG - PROBE", "MAG - MINE"}) {
        SCOPED_TRACE(kind);
        const Weapon* w = Mount(kind);
        ASSERT_NE(w->shape, nullptr);
        EXPECT_NE(w->shape, seeker->shape);
        EXPECT_GT(w->shape->nfaces, 0);
    }
}

TEST_F(WeaponsTest, MountsJoinTheListInOrderAndArmTheItem)
{
    gPlayerItem = ship_;
    Weapon* a = Mount("PBC");
    Weapon* b = Mount("MAG - SEEKER");
    Weapon* c = Mount("PBC HEV");
    EXPECT_EQ(ship_->sim->weapons, a);
    EXPECT_EQ(a->next, b);
    EXPECT_EQ(b->next, c);
    EXPECT_EQ(c->previous, b);
    EXPECT_EQ(gLastWeapon, c);
    EXPECT_NE(ship_->avatar->classFlags & 0x8000, 0u);
    EXPECT_EQ(gPlayerBoltMounts, 1); // "PBC" mounts of the player's ship only
}

TEST_F(WeaponsTest, AnIonCannonIsAPbcNamedPbcInAPlasmaCloud)
{
    Weapon* w = WeaponKindTable[9].construct(ship_, 1, 2, 3, "PBC ION", 1);
    ASSERT_NE(w, nullptr);
    EXPECT_STREQ(WeaponKindTable[9].name, "PBC ION");
    EXPECT_STREQ(w->name, "PBC");
    EXPECT_EQ(w->damage, 150);
    EXPECT_EQ(ship_->sim->radius, 9000.0f);
    int emitters = 0;
    for (TDP* t = ship_->avatar->root->firstChild; t; t = t->nextSibling)
        emitters += t->emitter != nullptr;
    EXPECT_EQ(emitters, 2);
}

TEST_F(WeaponsTest, AnEcmFlareLauncherMarksItsOwnerAsCarryingCountermeasures)
{
    EXPECT_EQ(ship_->sim->shipInfo->flags & 8u, 0u);
    Mount("MAG - ECM FLARE");
    EXPECT_NE(ship_->sim->shipInfo->flags & 8u, 0u);
}

TEST_F(WeaponsTest, AFullPoolAddsNoMount)
{
    Weapon* first = Mount("PBC");
    while (AllocWeapon()) {
    }
    worldtest::ClearFatalStops();
    EXPECT_EQ(Mount("PBC"), nullptr);
    EXPECT_EQ(Mount("MAG - SEEKER"), nullptr);
    EXPECT_EQ(ship_->sim->weapons, first);
    EXPECT_EQ(first->next, nullptr);
    EXPECT_EQ(gLastWeapon, first);
}

TEST_F(WeaponsTest, NthWeaponCountsFromOneAndStopsAtTheLast)
{
    EXPECT_EQ(NthWeapon(nullptr, 1), nullptr);
    Weapon* a = Mount("PBC");
    Weapon* b = Mount("PBC");
    Weapon* c = Mount("PBC");
    EXPECT_EQ(NthWeapon(a, 0), a);
    EXPECT_EQ(NthWeapon(a, 1), a);
    EXPECT_EQ(NthWeapon(a, 2), b);
    EXPECT_EQ(NthWeapon(a, 3), c);
    EXPECT_EQ(NthWeapon(a, 9), c);
}

TEST_F(WeaponsTest, FreeItemWeaponsGivesEveryMountBack)
{
    Weapon* a = Mount("PBC");
    Weapon* b = Mount("MAG - SEEKER");
    FreeItemWeapons(ship_);
    EXPECT_EQ(a->flags & kWeaponInUse, 0u);
    EXPECT_EQ(b->flags & kWeaponInUse, 0u);
}

// ---- Codes and arcs ---------------------------------------------------------

TEST_F(WeaponsTest, DirectionTablesAndInvalidCodesReadAsAhead)
{
    EXPECT_EQ(DirectionCodeVector(3).x, -1.0f);
    EXPECT_EQ(DirectionCodeVector(9).z, 0.0f);
    EXPECT_EQ(DirectionAngle(3), 85.0f);
    EXPECT_EQ(DirectionAngle(7), 275.0f);
    EXPECT_EQ(DirectionAngle(9), 0.0f);
    for (int16_t code : {11, 15, 0x40B}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(DirectionCodeVector(code).z, 1.0f);
        EXPECT_EQ(DirectionAngle(code), 0.0f);
        EXPECT_EQ(SectorDistance(code, 1), 1);
        EXPECT_TRUE(WeaponInFiringArc(ship_, 0, 0, 1000, code, nullptr));
        EXPECT_FALSE(WeaponInFiringArc(ship_, -1000, 0, 0, code, nullptr));
    }
}

TEST_F(WeaponsTest, EachDirectionCodeAcceptsOnlyItsOwnSideAndAllRoundAcceptsEverything)
{
    const float k = 707.0f;
    struct Offset {
        const char* name;
        float x, y, z;
    };
    const Offset offsets[] = {
        {"ahead", 0, 0, 1000},
        {"ahead left", -k, 0, k},
        {"left", -1000, 0, 0},
        {"behind left", -k, 0, -k},
        {"behind", 0, 0, -1000},
        {"behind right", k, 0, -k},
        {"right", 1000, 0, 0},
        {"ahead right", k, 0, k},
        {"up", 0, 1000, 0},
        {"down", 0, -1000, 0},
    };
    // Which offset each code accepts: code 0 and 1 ahead, 2..8 round to the
    // right, 9 every one.
    const int accepts[10] = {0, 0, 1, 2, 3, 4, 5, 6, 7, -1};
    for (int16_t code = 0; code <= 9; ++code) {
        for (int i = 0; i < 10; ++i) {
            SCOPED_TRACE(std::string("code ") + std::to_string(code) + ", " + offsets[i].name);
            const Offset& o = offsets[i];
            const bool expected = accepts[code] < 0 || accepts[code] == i;
            EXPECT_EQ(WeaponInFiringArc(ship_, o.x, o.y, o.z, code, nullptr), expected);
        }
    }
}

TEST_F(WeaponsTest, ArcClassesBoundTheSideAndVerticalSlopes)
{
    struct Case {
        const char* what;
        int16_t classes; // bits 4-11 of the code, direction ahead
        float x, y, z;
        bool accepted;
    };
    const Case cases[] = {
        {"20 degrees aside, 30-degree class", 0x000, 342, 0, 940, true},
        {"20 degrees aside, 15-degree class", 0x040, 342, 0, 940, false},
        {"20 degrees aside, 3-degree class", 0x030, 342, 0, 940, false},
        {"80 degrees aside, half-space class", 0x020, 985, 0, 174, true},
        {"80 degrees aside, 30-degree class", 0x000, 985, 0, 174, false},
        {"2 degrees aside, 3-degree class", 0x030, 35, 0, 1000, true},
        {"3-degree class, too steep", 0x030, 0, 100, 1000, false},
        {"slope 0.5, default vertical", 0x000, 0, 500, 1000, true},
        {"slope 0.5, 15-degree vertical", 0x400, 0, 500, 1000, false},
        {"slope -2, 75-degree vertical", 0x300, 0, -2000, 1000, true},
        {"slope -2, default vertical", 0x000, 0, -2000, 1000, false},
        {"up, upper half", 0x100, 0, 5000, 1, true},
        {"down, upper half", 0x100, 0, -1, 1000, false},
        {"down, lower half", 0x200, 0, -5000, 1, true},
        {"up, lower half", 0x200, 0, 1, 1000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WeaponInFiringArc(ship_, c.x, c.y, c.z, static_cast<int16_t>(c.classes | 1), nullptr), c.accepted);
    }
}

TEST_F(WeaponsTest, AnAiBoltRefusesTwiceItsRangeButThePlayerAndConstantFireHaveNoLimit)
{
    Weapon* gun = Mount("PBC"); // range 200,000
    EXPECT_FALSE(WeaponInFiringArc(ship_, 0, 0, 400000, 1, gun));
    EXPECT_TRUE(WeaponInFiringArc(ship_, 0, 0, 399990, 1, gun));
    EXPECT_TRUE(WeaponInFiringArc(ship_, 0, 0, 400000, 1, nullptr)); // no weapon, no limit
    gConstantFire = 255;
    EXPECT_TRUE(WeaponInFiringArc(ship_, 0, 0, 400000, 1, gun));
    gConstantFire = 0;
    gControlledItem = ship_;
    EXPECT_TRUE(WeaponInFiringArc(ship_, 0, 0, 1.0e7f, 1, gun));
}

TEST_F(WeaponsTest, TheControlledItemAtTheWeaponsStationAimsOverTheWholeForwardHalf)
{
    gControlledItem = ship_;
    EXPECT_FALSE(WeaponInFiringArc(ship_, 985, 0, 174, 1, nullptr));
    EXPECT_FALSE(WeaponInFiringArc(ship_, 0, 3000, 1000, 1, nullptr));
    CurrentStation = 3;
    EXPECT_TRUE(WeaponInFiringArc(ship_, 985, 0, 174, 1, nullptr));
    EXPECT_TRUE(WeaponInFiringArc(ship_, 0, 3000, 1000, 1, nullptr));
    EXPECT_FALSE(WeaponInFiringArc(ship_, 0, 0, -1000, 1, nullptr)); // still not behind
    SceneItem* other = ItemAt(0, 0, 0);
    EXPECT_FALSE(WeaponInFiringArc(other, 985, 0, 174, 1, nullptr)); // the AI keeps its arc
}

TEST_F(WeaponsTest, TheArcOutlineTurnsWithTheMount)
{
    FiringArc arc{};
    SetupFiringArc(&arc, 0x341); // ahead, 15 degrees each way, 75 up and down
    EXPECT_EQ(arc.limits[0], 69.0f);
    EXPECT_EQ(arc.limits[1], -69.0f);
    EXPECT_EQ(arc.limits[2], 14.0f);
    EXPECT_EQ(arc.limits[3], -14.0f);
    EXPECT_NEAR(arc.corners[0].x, -0.259f, 1e-6);
    EXPECT_NEAR(arc.corners[0].y, 0.98f, 1e-6);
    // 0.259 and 0.98 reach beyond the unit sphere: the corner lies at z 0,
    // never at the square root of a negative.
    EXPECT_EQ(arc.corners[3].z, 0.0f);
    SetupFiringArc(&arc, 1);
    EXPECT_NEAR(arc.corners[3].z, std::sqrt(0.5f), 1e-6);
    EXPECT_EQ(arc.corners[3].y, -0.5f);
    EXPECT_EQ(arc.centre.z, 1.0f);
    SetupFiringArc(&arc, 5); // astern
    EXPECT_NEAR(arc.centre.z, -1.0f, 1e-5);
    EXPECT_NEAR(arc.corners[0].x, 0.5f, 1e-3); // left and right swap sides
}

TEST_F(WeaponsTest, SpareGeometryTurnsByTheHeadingOfTheCode)
{
    float heading = 0, elevation = 0;
    DirectionToAngles(-1, 0, 0, &heading, &elevation);
    EXPECT_NEAR(heading, 90.0f, 1e-4);
    DirectionToAngles(0, 1, 1, &heading, &elevation);
    EXPECT_NEAR(heading, 0.0f, 1e-4);
    EXPECT_NEAR(elevation, 45.0f, 1e-4);
    const Vector3 left = RotateByDirectionCode({0, 0, 1}, 3);
    EXPECT_NEAR(left.x, -std::sin(85.0f * 3.14159265f / 180.0f), 1e-4);
    const Vector3 back = RotateByDirectionCode({0, 0, 1}, 5);
    EXPECT_NEAR(back.z, -1.0f, 1e-5);
}

TEST_F(WeaponsTest, SectorsAndTheirDistances)
{
    struct Case {
        float x, z;
        int32_t sector;
    };
    for (const Case& c : {Case{0, 1, 1}, Case{0, -1, 5}, Case{-1, 0, 3}, Case{1, 0, 7}, Case{-1, 1, 2},
                          Case{-1, -1, 4}, Case{1, -1, 6}, Case{1, 1, 8}, Case{0, 0, 7}, Case{-0.3f, 1, 1},
                          Case{-0.5f, 1, 2}}) {
        SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.z));
        EXPECT_EQ(DirectionSector(c.x, c.z), c.sector);
    }
    EXPECT_EQ(SectorDistance(1, 1), 0);
    EXPECT_EQ(SectorDistance(1, 5), 4);
    EXPECT_EQ(SectorDistance(1, 7), 2);
    EXPECT_EQ(SectorDistance(8, 1), 1);
    EXPECT_EQ(SectorDistance(0, 1), 1);
    EXPECT_EQ(SectorDistance(9, 1), 0);
    EXPECT_EQ(SectorDistance(0x31, 3), 2); // the arc classes play no part
}

TEST_F(WeaponsTest, TheMountNearestADirectionWinsAndTiesGoToTheReadierStrongerOne)
{
    Weapon* ahead = Mount("PBC", 1);
    Weapon* left = Mount("PBC", 3);
    Weapon* left2 = Mount("PBC HEV", 3);
    Weapon* ldsi = Mount("MAG - LDSI", 7);
    // Left: both left mounts lie at distance 0; the heavier one replaces the
    // first only with a smaller reload timer.
    left->reloadTimer = 10;
    left->flags |= kWeaponReady;
    left2->reloadTimer = 10;
    EXPECT_EQ(ChooseAnyMountForDirection(-1, 0, 0, ahead), left);
    left2->reloadTimer = 5;
    EXPECT_EQ(ChooseAnyMountForDirection(-1, 0, 0, ahead), left2);
    left2->flags &= ~kWeaponReady;
    EXPECT_EQ(ChooseAnyMountForDirection(-1, 0, 0, ahead), left); // not ready: skipped
    // Right: the LDSI launcher is never chosen; the first mount stays.
    EXPECT_EQ(ChooseAnyMountForDirection(1, 0, 0, ahead), ahead);
    EXPECT_NE(ldsi->flags & kWeaponReady, 0u);
    // Behind, nothing nearer: the first mount, ready or not.
    ahead->flags &= ~kWeaponReady;
    left->flags &= ~kWeaponReady;
    EXPECT_EQ(ChooseAnyMountForDirection(0, 0, -1, ahead), ahead);
}

TEST_F(WeaponsTest, AGroupsMountForADirectionMustBeUsableAndWithinTwoSteps)
{
    Weapon* ahead = Mount("PBC", 1);
    Weapon* left = Mount("PBC", 3);
    Weapon* other = Mount("PBC", 3);
    other->kind = 2;
    // Away from the weapons station every direction counts as ahead.
    EXPECT_EQ(ChooseMountForDirection(-1, 0, 0, ahead, 0), ahead);
    CurrentStation = 3;
    EXPECT_EQ(ChooseMountForDirection(-1, 0, 0, ahead, 0), left);
    EXPECT_EQ(ChooseMountForDirection(-1, 0, 0, ahead, 2), other);
    left->reloadTimer = 3;
    EXPECT_EQ(ChooseMountForDirection(-1, 0, 0, ahead, 0), ahead); // two steps: still usable
    ahead->flags |= kWeaponDisabled;
    EXPECT_EQ(ChooseMountForDirection(-1, 0, 0, ahead, 0), nullptr);
    ahead->flags &= ~kWeaponDisabled;
    EXPECT_EQ(ChooseMountForDirection(0, 0, -1, ahead, 0), nullptr); // astern is four steps away
}

TEST_F(WeaponsTest, AMountFrameIsOrthonormalAndTurnedToTheMount)
{
    for (int16_t code : {1, 5, 3}) {
        SCOPED_TRACE(code);
        Matrix4 frame;
        Vector3 forward{0, 0, 2}, up{0, 3, 0.5f}, right{};
        BuildMountFrame(code, &frame, &forward, &up, &right);
        EXPECT_NEAR(VecLength(forward), 1.0f, 1e-6);
        EXPECT_NEAR(VecDot(forward, up), 0.0f, 1e-6);
        EXPECT_NEAR(VecDot(forward, right), 0.0f, 1e-6);
        const Vector3 expected = RotateByDirectionCode({0, 0, 1}, code);
        EXPECT_NEAR(std::fabs(frame.m[8] * expected.x + frame.m[10] * expected.z), 1.0f, 1e-4);
        // A turn, not a mirror: X x Y is Z, so steering onto it does not
        // take a target dead ahead for one astern.
        const Vector3 x{frame.m[0], frame.m[1], frame.m[2]}, y{frame.m[4], frame.m[5], frame.m[6]};
        Vector3 z;
        VecCross(x, y, z);
        EXPECT_NEAR(z.x * frame.m[8] + z.y * frame.m[9] + z.z * frame.m[10], 1.0f, 1e-4);
    }
}

TEST_F(WeaponsTest, AimedAiShotsTakeTheMountNearestTheirAim)
{
    ship_->sim->position = {1000, 0, 0};
    Weapon* ahead = Mount("PBC", 1);
    Weapon* left = Mount("PBC", 3);
    SceneItem* target = ItemAt(-50000, 0, 0);
    FireAtWorldPoint(ship_, -50000, 0, 0, target); // no current mount: nothing
    EXPECT_TRUE(Shots().empty());
    ship_->sim->currentWeapon = ahead;
    FireAtWorldPoint(ship_, -50000, 0, 0, target);
    EXPECT_EQ(ship_->sim->currentWeapon, left);
    ASSERT_EQ(Shots().size(), 1u);
    EXPECT_EQ(Shots()[0]->avatar->weapon, left);
    // Out of range for the chosen cannon: it is chosen but holds fire.
    FireAlongDirection(ship_, 0, 0, 900000, target);
    EXPECT_EQ(ship_->sim->currentWeapon, ahead);
    EXPECT_EQ(Shots().size(), 1u);
}

TEST_F(WeaponsTest, TheLastReadyLdsiOrFlareLauncherFires)
{
    SceneItem* target = ItemAt(0, 0, 100000);
    EXPECT_EQ(FireLdsiMissile(ship_, target), nullptr);
    Weapon* a = Mount("MAG - LDSI");
    Weapon* b = Mount("MAG - LDSI");
    Mount("PBC");
    ResetShipLog();
    EXPECT_EQ(FireLdsiMissile(ship_, target), b);
    EXPECT_EQ(gShipLog.count, 1);                 // the launch is logged
    EXPECT_EQ(FireLdsiMissile(ship_, target), a); // b reloads
    EXPECT_EQ(Shots().size(), 2u);

    Weapon* flare = Mount("MAG - ECM FLARE");
    FireEcmFlare(ship_);
    ASSERT_EQ(Shots().size(), 3u);
    EXPECT_EQ(Shots()[2]->avatar->weapon, flare);
    EXPECT_EQ(flare->target.Get(), nullptr);
}

// ---- FireWeapon -------------------------------------------------------------

TEST_F(WeaponsTest, FireWeaponRefusesWithItsCodeAndChangesOnlyTheStoredTarget)
{
    SceneItem* ahead = ItemAt(0, 0, 100000);
    SceneItem* behind = ItemAt(0, 0, -100000);
    struct Case {
        const char* what;
        void (*prepare)(SceneItem* ship, Weapon* w);
        bool behindTarget;
        int16_t result;
    };
    const Case cases[] = {
        {"cut-scene", [](SceneItem*, Weapon*) { gScriptMission.cutScene = 1; }, false, kFireNotNow},
        {"disabled", [](SceneItem*, Weapon* w) { w->flags |= kWeaponDisabled; }, false, kFireDisabled},
        {"empty", [](SceneItem*, Weapon* w) { w->flags |= kWeaponEmpty; }, false, kFireNotNow},
        {"reloading", [](SceneItem*, Weapon* w) { w->reloadTimer = 0.5f; }, false, kFireReloading},
        {"AI, target out of the arc", [](SceneItem*, Weapon*) {}, true, kFireNoAim},
        {"LDS engaged", [](SceneItem* s, Weapon*) { s->sim->flags |= kSimLdsEngaged; }, false, kFireInLds},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Weapon* w = Mount("PBC");
        ship_->sim->currentWeapon = w;
        c.prepare(ship_, w);
        const uint32_t flags = w->flags;
        const float timer = w->reloadTimer;
        SceneItem* target = c.behindTarget ? behind : ahead;
        EXPECT_EQ(FireWeapon(target, 0, 0, 0, ship_, w), c.result);
        EXPECT_EQ(w->flags, flags);
        EXPECT_EQ(w->reloadTimer, timer);
        EXPECT_EQ(ship_->sim->flags & 0x10000u, 0u); // not marked as having fired
        EXPECT_TRUE(Shots().empty());
        // The stored target is set once the mount itself could fire.
        const bool stored = c.result == kFireNoAim || c.result == kFireInLds;
        EXPECT_EQ(w->target.Get(), stored ? target : nullptr);
        gScriptMission.cutScene = 0;
        ship_->sim->flags &= ~kSimLdsEngaged;
    }
}

TEST_F(WeaponsTest, ATargetOnlyMountWithoutTargetStaysReady)
{
    Weapon* w = Mount("MAG - MINE");
    EXPECT_EQ(FireWeapon(nullptr, 0, 0, 0, ship_, w), kFireNoAim);
    EXPECT_NE(w->flags & kWeaponReady, 0u);
    EXPECT_TRUE(Shots().empty());
}

TEST_F(WeaponsTest, ThePlayersShotOutsideTheArcGoesStraightAlongTheMount)
{
    SceneItem* behind = ItemAt(0, 0, -100000);
    gPlayerItem = gControlledItem = ship_;
    Weapon* w = Mount("PBC", 3);
    EXPECT_EQ(FireWeapon(behind, 0, 0, 0, ship_, w), kFired);
    ASSERT_EQ(Shots().size(), 1u);
    // Along the mount at the speed aimed with: the 100,000 to the target in
    // the shortest lead time, 0.2 s.
    const Vector3 v = Shots()[0]->sim->velocity;
    EXPECT_NEAR(v.x, -500000 * std::sin(85.0f * 3.14159265f / 180.0f), 5);
    EXPECT_NEAR(v.z, 500000 * std::cos(85.0f * 3.14159265f / 180.0f), 5);
    EXPECT_NE(ship_->sim->flags & 0x10000u, 0u);
}

// With component aiming on, the player's shot goes to the selected
// component (its centre in the target's frame, turned by the target's
// matrix), not to the target's centre.
TEST_F(WeaponsTest, ThePlayersComponentAimGoesToTheSelectedComponent)
{
    SceneItem* target = ItemAt(0, 0, 100000);
    float* m = target->sim->matrix.m; // turned a quarter round about z: its y axis is the world's -x
    m[0] = 0, m[1] = 1, m[4] = -1, m[5] = 0;
    gPlayerItem = gControlledItem = ship_;
    Weapon* w = Mount("PBC", 1);
    gContacts.aimPoint = {0.0f, 20000.0f, 0.0f};
    gPlayerInput.componentAiming = 255;
    EXPECT_EQ(FireWeapon(target, 0, 0, 0, ship_, w), kFired);
    gPlayerInput.componentAiming = 0;
    gContacts.aimPoint = {};
    ASSERT_EQ(Shots().size(), 1u);
    const Vector3 v = Shots()[0]->sim->velocity;
    EXPECT_NEAR(v.x / v.z, -0.2f, 1e-3f);
    EXPECT_NEAR(v.y, 0.0f, 1.0f);
}

TEST_F(WeaponsTest, AnLdsGroupMountFiresWhileTheDriveIsEngaged)
{
    SceneItem* ahead = ItemAt(0, 0, 100000);
    ship_->sim->flags |= kSimLdsEngaged;
    Weapon* w = Mount("PBC");
    EXPECT_EQ(FireWeapon(ahead, 0, 0, 0, ship_, w), kFireInLds);
    w->kind = kGroupLdsi;
    EXPECT_EQ(FireWeapon(ahead, 0, 0, 0, ship_, w), kFired);
}

TEST_F(WeaponsTest, ReloadsFollowPowerHandsAndMagazines)
{
    struct Case {
        const char* what;
        const char* kind;
        bool player, straight;
        float level; // of the power system; negative: none
        void (*prepare)(Weapon* w);
        float timer;
        bool empty;
    };
    const Case cases[] = {
        {"full power", "PBC", false, false, -1, nullptr, 100, false},
        {"half power", "PBC", false, false, 0.5f, nullptr, 200, false},
        {"power 0 counts as 1 %", "PBC", false, false, 0.0f, [](Weapon* w) { w->reload = 2; }, 200, false},
        {"capped at 300", "PBC SLO", false, false, -1, nullptr, 300, false},
        {"player, straight: a quarter", "PBC", true, true, -1, nullptr, 25, false},
        {"player, aimed: as the AI", "PBC", true, false, -1, nullptr, 100, false},
        {"last charge", "PBC", false, false, -1, [](Weapon* w) { w->flags |= kWeaponCharges; w->charges = 1; }, 100, true},
        {"charges left", "PBC", false, false, -1, [](Weapon* w) { w->flags |= kWeaponCharges; w->charges = 2; }, 100, false},
        {"AI launcher", "MAG - SEEKER", false, false, -1, nullptr, 300, false},
        {"player launcher: a third", "MAG - SEEKER", true, false, -1, nullptr, 100, false},
        {"magazine change", "MAG - SEEKER", false, false, -1, [](Weapon* w) { w->rounds = 1; w->range = 250; }, 250, false},
        {"last magazine spent", "MAG - SEEKER", false, false, -1, [](Weapon* w) { w->rounds = 1; w->magazines = 0; }, 0, true},
    };
    ShipSystem power{};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gControlledItem = c.player ? ship_ : nullptr;
        gPlayerInput.fireAhead = c.straight;
        Weapon* w = Mount(c.kind);
        w->system = c.level >= 0 ? &power : nullptr;
        power.level = c.level;
        if (c.prepare)
            c.prepare(w);
        const int16_t magazines = w->magazines;
        EXPECT_EQ(FireWeapon(nullptr, 0, 0, 0, ship_, w), kFired);
        EXPECT_FLOAT_EQ(w->reloadTimer, c.timer);
        EXPECT_EQ((w->flags & kWeaponEmpty) != 0, c.empty);
        EXPECT_EQ(w->flags & kWeaponReady, 0u);
        if (std::string(c.what) == "magazine change") {
            EXPECT_EQ(w->rounds, w->magazineSize);
            EXPECT_EQ(w->magazines, magazines - 1);
        }
    }
}

TEST_F(WeaponsTest, WithSkill100TheBoltFlysAtTheLeadPointWithoutError)
{
    SceneItem* target = ItemAt(0, 0, 60000);
    target->sim->velocity = {1000, 0, 0};
    // Distance 60,000 at 600,000 a second: 0.1 s, raised to 0.2; the aim
    // speed is then 300,000 at the point the target reaches in 0.2 s.
    const float length = std::sqrt(200.0f * 200.0f + 60000.0f * 60000.0f);
    for (int seed : {1, 77}) {
        SCOPED_TRACE(seed);
        CRandSeed(static_cast<uint32_t>(seed));
        Weapon* w = Mount("PBC");
        ASSERT_EQ(FireWeapon(target, 0, 0, 0, ship_, w), kFired);
        SceneItem* bolt = Shots().back();
        EXPECT_NEAR(bolt->sim->velocity.x, 300000.0f * 200.0f / length, 0.05);
        EXPECT_NEAR(bolt->sim->velocity.z, 300000.0f * 60000.0f / length, 0.5);
        EXPECT_EQ(bolt->sim->velocity.y, 0.0f);
        DeleteSceneItem(bolt);
    }
    // Without a ShipInfo the gunner is as good.
    SceneItem* drone = ItemAt(0, 0, 0);
    Weapon* w = Mount("PBC", 1, drone);
    ASSERT_EQ(FireWeapon(target, 0, 0, 0, drone, w), kFired);
    EXPECT_NEAR(Shots().back()->sim->velocity.x, 300000.0f * 200.0f / length, 0.05);
}

TEST_F(WeaponsTest, ABoltCarriesItsShooterAndEndsFortyHundredthsAfterFiring)
{
    ship_->sim->shipInfo->side = 2;
    ship_->avatar->classFlags = 0x100 | 0x4;
    ship_->sim->velocity = {0, 0, 5000};
    Weapon* w = NewWeaponPbc(ship_, 25, 0, 0, "PBC", 1);
    gFrameClock.gameClock = 1000;
    ASSERT_EQ(FireWeapon(nullptr, 0, 0, 0, ship_, w), kFired);
    SceneItem* bolt = Shots().at(0);
    EXPECT_EQ(bolt->avatar->classFlags, 0x100u | kBolt);
    EXPECT_EQ(bolt->avatar->shooter.Get(), ship_);
    EXPECT_EQ(bolt->avatar->linkItem.Get(), ship_); // never tested against its source
    EXPECT_EQ(bolt->avatar->weapon, w);
    EXPECT_EQ(bolt->avatar->mountPosition, &w->mountPosition);
    EXPECT_EQ(bolt->avatar->travel, 0);
    EXPECT_EQ(bolt->avatar->collision, ProjectileHit);
    EXPECT_STREQ(bolt->avatar->root->materialName, "laser_tex_indy");
    EXPECT_EQ(bolt->perFrame, BallisticStep);
    EXPECT_EQ(bolt->sim->radius, 600000.0f);
    EXPECT_EQ(bolt->sim->mass, 0.0f);
    EXPECT_EQ(bolt->sim->position.x, 25.0);
    EXPECT_EQ(bolt->sim->velocity.z, 605000.0f); // its own speed plus the ship's
    gFrameClock.gameClock = 1039;
    ItemMessage m;
    EXPECT_EQ(FetchItemMessage(bolt->receiver, &m), nullptr);
    gFrameClock.gameClock = 1040;
    ASSERT_NE(FetchItemMessage(bolt->receiver, &m), nullptr);
    EXPECT_EQ(m.kind, kMsgDelete);
}

TEST_F(WeaponsTest, AHeavyBoltTrailsParticlesAndABoltTakesItsCarriersMotion)
{
    Weapon* xl = Mount("PBC XL");
    ASSERT_EQ(FireWeapon(nullptr, 0, 0, 0, ship_, xl), kFired);
    SceneItem* bolt = Shots().at(0);
    EXPECT_NE(bolt->sim->flags & 0x4000u, 0u);
    int emitters = 0;
    for (TDP* t = bolt->avatar->root->firstChild; t; t = t->nextSibling)
        emitters += t->emitter != nullptr;
    EXPECT_EQ(emitters, 1);
    DeleteSceneItem(bolt);

    // Riding a carrier in LDS: the carrier's forward axis times its LDS speed.
    SceneItem* carrier = ItemAt(0, 0, 0);
    carrier->sim->flags |= kSimLdsEngaged;
    carrier->sim->thrust.z = 1.0e6f;
    ship_->sim->flags |= kSimTowed;
    ship_->sim->towLink = carrier;
    Weapon* gun = Mount("PBC");
    ASSERT_EQ(FireWeapon(nullptr, 0, 0, 0, ship_, gun), kFired);
    EXPECT_EQ(Shots().at(0)->sim->velocity.z, 1.6e6f);
    DeleteSceneItem(Shots().at(0));
    carrier->sim->flags &= ~kSimLdsEngaged;
    carrier->sim->velocity = {0, 300, 0};
    gun->reloadTimer = 0;
    ASSERT_EQ(FireWeapon(nullptr, 0, 0, 0, ship_, gun), kFired);
    EXPECT_EQ(Shots().at(0)->sim->velocity.y, 300.0f);
    ship_->sim->flags &= ~kSimTowed;
    ship_->sim->towLink = nullptr;
}

TEST_F(WeaponsTest, ABoltAlongTheCockpitViewLightsItUp)
{
    SceneItem* camera = ItemAt(0, 0, -1000);
    gPlayerCamera = camera;
    struct Case {
        const char* what;
        float cameraYaw; // the camera's forward axis turned about y, degrees
        bool player;
        size_t fields;
    };
    const Case cases[] = {
        {"along the view", 0, false, 1},
        {"across the view", 90, false, 0},
        {"the player's own shot, away from the weapons station", 90, true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MatIdentity(camera->sim->matrix);
        MatRotY(c.cameraYaw, camera->sim->matrix);
        gControlledItem = c.player ? ship_ : nullptr;
        const auto fields = [] {
            int n = 0;
            for (SceneItem* shot : Shots())
                n += effectsprobe::Count(shot, effectsprobe::kLightField);
            return n;
        };
        const int before = fields();
        ASSERT_EQ(FireWeapon(nullptr, 0, 0, 0, ship_, Mount("PBC")), kFired);
        EXPECT_EQ(fields() - before, static_cast<int>(c.fields));
    }
    EXPECT_NEAR(gBoltViewCosines[1], 0.0f, 1e-6);
    gPlayerCamera = nullptr;
}

TEST_F(WeaponsTest, AFullScenePoolMakesNoShotAndLeavesTheMountReady)
{
    Weapon* w = Mount("PBC");
    while (AllocSceneItem()) {
    }
    worldtest::ClearFatalStops();
    EXPECT_EQ(FireWeapon(nullptr, 0, 0, 0, ship_, w), kFireNotNow);
    EXPECT_NE(w->flags & kWeaponReady, 0u);
    EXPECT_EQ(w->reloadTimer, 0.0f);
}

// ---- Launches ---------------------------------------------------------------

TEST_F(WeaponsTest, AGuidedMunitionHomesWithTheMountsFlightValues)
{
    SceneItem* target = ItemAt(0, 0, 100000);
    ship_->sim->target = target;
    Weapon* w = Mount("MAG - SEEKER");
    w->mountPosition = {-3, 0, 0};
    ClearCallTrace();
    ASSERT_EQ(FireWeapon(target, 0, 0, 0, ship_, w), kFired);
    SceneItem* m = Shots().at(0);
    EXPECT_EQ(m->avatar->classFlags & 0x30, 0x10u);
    EXPECT_EQ(m->control, SteerHomingMissile);
    EXPECT_EQ(m->perFrame, SIM_MAIN);
    EXPECT_EQ(m->sim->hull, 70);
    EXPECT_EQ(m->sim->ldsSpool, 5000);
    EXPECT_EQ(m->sim->target.Get(), target);
    const FlightModel* f = m->sim->flightModel;
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->acceleration, 36000.0f);
    EXPECT_EQ(f->secondThrust, 24000.0f);
    EXPECT_EQ(f->yawRate, 0.0f);
    EXPECT_EQ(f->pitchRate, 120.0f);
    EXPECT_EQ(f->rollRate, 800.0f);
    EXPECT_EQ(f->topSpeed, 30000000.0f);
    EXPECT_NEAR(m->sim->velocity.x, -2500.0f, 1.0f); // pushed away from the centre line
    EXPECT_NEAR(m->sim->velocity.z, 20000.0f, 1.0f);
    EXPECT_NE(MarkerSetOf(m), nullptr); // its light
    // Its life: 2000 ms.
    gFrameClock.gameClock += 200;
    ItemMessage msg;
    ASSERT_NE(FetchItemMessage(m->receiver, &msg), nullptr);
    EXPECT_EQ(msg.kind, kMsgDelete);
}

TEST_F(WeaponsTest, LaunchRoutinesGiveEachMunitionItsBehaviour)
{
    struct Case {
        const char* kind;
        void (*check)(SceneItem* m);
    };
    const Case cases[] = {
        {"MAG - DISRUPTOR", [](SceneItem* m) { EXPECT_EQ(m->avatar->collision, DisruptOnContact); }},
        {"MAG - LDSI",
         [](SceneItem* m) {
             EXPECT_EQ(m->control, SteerLdsiMissile);
             EXPECT_EQ(m->sim->ldsSpool, 200);
             EXPECT_NE(m->sim->flags & kSimLdsEngaged, 0u);
             EXPECT_EQ(m->sim->flightModel->ldsGrowth, 210.0f);
             EXPECT_EQ(m->sim->flightModel->ldsTopSpeed, 32000000000.0f);
         }},
        {"MAG - ECM FLARE",
         [](SceneItem* m) {
             EXPECT_EQ(m->control, nullptr);
             EXPECT_EQ(m->perFrame, EcmFlareBehaviour);
             EXPECT_EQ(m->sim->ldsSpool, 200);
             EXPECT_EQ(m->avatar->collision, DestroyOnFlareContact);
             EXPECT_EQ(m->avatar->hitResponse, BurstFlareIntoDebris);
             EXPECT_EQ(m->avatar->responseOrder, 95);
             EXPECT_NE(m->avatar->root->flags & 0x8000u, 0u);
         }},
        {"MAG - PROBE",
         [](SceneItem* m) {
             const ShipInfo* info = m->sim->shipInfo;
             ASSERT_NE(info, nullptr);
             EXPECT_STREQ(info->name, "RECON PROBE");
             EXPECT_STREQ(info->shortName, "PROBE");
             EXPECT_EQ(info->kind, 12);
             EXPECT_EQ(m->avatar->collision, CollideShips);
             EXPECT_EQ(m->control, ApplyFlightAssist);
             EXPECT_NE(m->sim->flags & 0x10000000u, 0u);
             EXPECT_EQ(m->avatar->classFlags & 0x34, 0x4u);
             gFrameClock.gameClock += 50;
             ItemMessage msg;
             ASSERT_NE(FetchItemMessage(m->receiver, &msg), nullptr);
             EXPECT_EQ(msg.kind, kMsgUnlink);
         }},
        {"MAG - REC PROBE",
         [](SceneItem* m) {
             EXPECT_STREQ(m->sim->shipInfo->name, "RECON PROBE");
             EXPECT_EQ(m->avatar->collision, AttachProbeToHull);
             EXPECT_EQ(m->sim->flightModel->topSpeed, 400000.0f);
             EXPECT_EQ(m->avatar->linkItem.Get(), m->sim->target.Get());
             EXPECT_NE(m->sim->target.Get(), nullptr);
             EXPECT_EQ(m->sim->secondTarget.Get(), m->sim->target.Get()) << "its leader is the target";
         }},
        {"MAG - REM MISSILE",
         [](SceneItem* m) {
             EXPECT_STREQ(m->sim->shipInfo->name, "GUIDED MISSILE");
             EXPECT_STREQ(m->sim->shipInfo->shortName, "MISSILE");
             EXPECT_EQ(m->perFrame, GuidedMissileStep);
             EXPECT_EQ(m->control, ApplyFlightAssist);
             EXPECT_EQ(m->sim->ldsSpool, 15000);
             EXPECT_EQ(m->avatar->responseOrder, 40);
         }},
        {"MAG - MINE",
         [](SceneItem* m) {
             EXPECT_EQ(m->sim->shipInfo, nullptr); // its target has no dock point
             EXPECT_EQ(m->avatar->classFlags & 0x24, 0x4u);
             gFrameClock.gameClock += 45;
             ItemMessage msg;
             ASSERT_NE(FetchItemMessage(m->receiver, &msg), nullptr);
             EXPECT_EQ(msg.kind, kMsgBlast);
         }},
    };
    SceneItem* target = ItemAt(0, 0, 100000);
    MakeShip(target);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const uint32_t clock = gFrameClock.gameClock;
        Weapon* w = Mount(c.kind);
        ASSERT_EQ(FireWeapon(target, 0, 0, 0, ship_, w), kFired);
        SceneItem* m = Shots().back();
        c.check(m);
        DeleteSceneItem(m);
        gFrameClock.gameClock = clock;
    }
}

TEST_F(WeaponsTest, RemoteControlIsTakenOnlyWhenTheControlledItemLaunches)
{
    SceneItem* player = ItemAt(0, 0, 0);
    gPlayerItem = player;
    player->sim->thrust = {0, 0, 700};
    for (const char* kind : {"MAG - PROBE", "MAG - REM MISSILE"}) {
        SCOPED_TRACE(kind);
        CurrentStation = 0;
        Weapon* w = Mount(kind);
        ASSERT_EQ(FireWeapon(nullptr, 0, 0, 0, ship_, w), kFired); // an AI ship
        EXPECT_EQ(CurrentStation, 0) << "no remote link, so no move to the COM station";
        EXPECT_EQ(player->sim->thrust.z, 700.0f);

        gControlledItem = ship_;
        CurrentStation = 3;
        Weapon* mine = Mount(kind);
        ASSERT_EQ(FireWeapon(nullptr, 0, 0, 0, ship_, mine), kFired);
        EXPECT_EQ(CurrentStation, 1) << "the remote link is taken at the COM station";
        // The station was remembered: leaving the link comes back to it.
        RestoreStationScreen();
        EXPECT_EQ(CurrentStation, 3);
        EXPECT_EQ(player->sim->thrust.z, 0.0f);
        gControlledItem = nullptr;
        player->sim->thrust = {0, 0, 700};
    }
}

TEST_F(WeaponsTest, AMineLaidOnAShipWithDockPointsDocksAsAShipOfItsOwn)
{
    SceneItem* target = ItemAt(0, 0, 100000);
    ShipInfo* info = MakeShip(target);
    // The target's one dock point, taken: the mine frees it to dock there.
    alignas(16) static unsigned char dockPoint[sizeof(DockPoint)];
    info->dockPoints = reinterpret_cast<DockPoint*>(dockPoint);
    info->dockPoints->flags = 0;
    Weapon* w = Mount("MAG - MINE");
    ASSERT_EQ(FireWeapon(target, 0, 0, 0, ship_, w), kFired);
    SceneItem* mine = Shots().at(0);
    const ShipInfo* mineInfo = mine->sim->shipInfo;
    ASSERT_NE(mineInfo, nullptr);
    EXPECT_STREQ(mineInfo->name, "PROXIMITY MINE");
    EXPECT_STREQ(mineInfo->shortName, "MINE");
    EXPECT_EQ(mineInfo->kind, 11);
    EXPECT_EQ(mine->control, RunProximityMine);
    EXPECT_EQ(mine->avatar->collision, CollideShips);
    EXPECT_STREQ(mineInfo->orders[0].name, "NO PROGRAM");
    EXPECT_EQ(mineInfo->orders[0].stateId, 61);
    EXPECT_STREQ(mineInfo->orders[1].name, "Docking");
    EXPECT_EQ(mineInfo->orders[1].weight, 80);
    EXPECT_EQ(mineInfo->orders[1].stateId, 13);
    EXPECT_EQ(mineInfo->currentOrder, 1);
    EXPECT_EQ(mine->sim->secondTarget.Get(), target) << "its leader is the target";
    EXPECT_EQ(info->dockPoints->flags & kDockFree, kDockFree);
    EXPECT_EQ(mineInfo->flightModel.acceleration, 12000.0f);
    info->dockPoints = nullptr;
}

TEST_F(WeaponsTest, AMissileAimedAtThePlayersShipIsAnnounced)
{
    gPlayerItem = ItemAt(0, 0, 100000);
    gTextTable[21] = "Incoming missile";
    ship_->sim->target = gPlayerItem;
    Weapon* w = Mount("MAG - SEEKER");
    ResetMessageLine();
    ASSERT_EQ(FireWeapon(gPlayerItem, 0, 0, 0, ship_, w), kFired);
    EXPECT_STREQ(gMessageLine.shown, "Incoming missile");
    gTextTable[21] = nullptr;
}

// ---- Automatic fire ---------------------------------------------------------

TEST_F(WeaponsTest, AnAiShipsCannonsFireOneShotAFrameAtTheNearestObstacleInsideTheArc)
{
    SceneItem* rock = ItemAt(0, 0, 50000);
    rock->avatar->classFlags = 0x1;
    Weapon* disabled = Mount("PBC");
    disabled->flags = (disabled->flags & ~kWeaponReady) | kWeaponDisabled;
    Weapon* first = Mount("PBC");
    Weapon* second = Mount("PBC");
    ship_->avatar->obstacle = rock;
    UpdateWeaponMounts(ship_->sim->weapons, ship_);
    ASSERT_EQ(Shots().size(), 1u);
    EXPECT_EQ(Shots()[0]->avatar->weapon, first); // a disabled cannon passes its turn
    EXPECT_EQ(first->target.Get(), rock);
    EXPECT_EQ(second->reloadTimer, 0.0f);
    UpdateWeaponMounts(ship_->sim->weapons, ship_);
    EXPECT_EQ(Shots().size(), 2u);
    EXPECT_EQ(Shots()[1]->avatar->weapon, second);

    struct Case {
        const char* what;
        float z;
        uint32_t classFlags;
        bool controlled;
    };
    for (const Case& c : {Case{"behind", -50000, 0x1, false}, Case{"not a target class", 50000, 0x4, false},
                          Case{"out of range", 500000, 0x1, false}, Case{"the controlled item", 50000, 0x1, true}}) {
        SCOPED_TRACE(c.what);
        for (SceneItem* shot : Shots())
            DeleteSceneItem(shot);
        first->reloadTimer = second->reloadTimer = 0;
        rock->sim->position.z = c.z;
        rock->avatar->classFlags = c.classFlags;
        gControlledItem = c.controlled ? ship_ : nullptr;
        UpdateWeaponMounts(ship_->sim->weapons, ship_);
        EXPECT_TRUE(Shots().empty());
    }
}

TEST_F(WeaponsTest, ReloadsCountDownAndAMountIsReadyOnlyIfNeitherDisabledNorEmpty)
{
    Weapon* a = Mount("PBC");
    Weapon* b = Mount("PBC");
    Weapon* c = Mount("PBC");
    for (Weapon* w : {a, b, c}) {
        w->flags &= ~kWeaponReady;
        w->reloadTimer = 12;
    }
    b->flags |= kWeaponDisabled;
    c->flags |= kWeaponEmpty;
    gFrameClock.frameTicks = 5;
    TickWeaponReloads(a);
    EXPECT_EQ(a->reloadTimer, 7.0f);
    EXPECT_EQ(a->flags & kWeaponReady, 0u);
    gFrameClock.frameTicks = 6;
    TickWeaponReloads(a); // 1 left: ready below 1 only
    EXPECT_EQ(a->reloadTimer, 1.0f);
    TickWeaponReloads(a);
    for (Weapon* w : {a, b, c})
        EXPECT_EQ(w->reloadTimer, 0.0f);
    EXPECT_NE(a->flags & kWeaponReady, 0u);
    EXPECT_EQ(b->flags & kWeaponReady, 0u);
    EXPECT_EQ(c->flags & kWeaponReady, 0u);
}

} // namespace
