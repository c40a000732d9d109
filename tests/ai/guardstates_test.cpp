// The gun platform's state on a view-backed world (its shots are real
// bolts): it takes the nearest item of its masks and fires at it.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "ai/aistate.h"
#include "ai/statesteps.h"
#include "ai/weapons.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "tests/script/script_test_support.h"
#include "ui/hud.h"
#include "system/crand.h"
#include "tests/support/world_fixture.h"
#include "tests/view/view_fixture.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;

namespace {

class GuardStatesTest : public viewtest::ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        LoadAIStateTable();
        CRandSeed(3);
    }
    static SceneItem* ShipAt(float x, float z, uint32_t classFlags)
    {
        SceneItem* item = MakeItem();
        MakeShip(item)->skill = 100;
        item->sim->position = {x, 0.0, z};
        item->sim->matrix.m[12] = x;
        item->sim->matrix.m[14] = z;
        item->avatar->classFlags = classFlags;
        return item;
    }
    // Turns the item a quarter round about y: its nose points along +x.
    static void FaceAlongX(SceneItem* item)
    {
        float* m = item->sim->matrix.m;
        m[0] = 0, m[1] = 0, m[2] = -1; // x axis
        m[8] = 1, m[9] = 0, m[10] = 0; // z axis (the nose)
    }
    // A forward PBC on the item, made its current mount as the script's
    // WEAPON statement does.
    static Weapon* ForwardGun(SceneItem* item)
    {
        const WeaponKindRow* row = WeaponKindTable;
        while (row->construct && std::strcmp(row->name, "PBC") != 0)
            ++row;
        Weapon* mount = row->construct ? row->construct(item, 0, 0, 0, row->name, 1) : nullptr;
        item->sim->currentWeapon = item->sim->weapons;
        return mount;
    }
    // Starts the state on the item's stack with the parameters.
    static void StartState(SceneItem* item, int16_t id, int32_t p1, int32_t p2)
    {
        ShipInfo* info = item->sim->shipInfo;
        ResetStateStack(info);
        info->stateStack[0].stateId = id;
        info->stateStack[0].parameter1 = p1;
        info->stateStack[0].parameter2 = p2;
        info->stateStack[0].subState = 1;
        info->stateStack[0].timerSlot = 5;
    }
    // Runs the item's state stack and mounts for up to `frames` frames, until
    // a shot is out; answers the shots.
    static int RunUntilAShot(SceneItem* item, int frames)
    {
        while (Shots() == 0 && frames-- > 0) {
            item->sim->flags &= ~kSimTurnOncePerFrame;
            RunAIStateStack(item, item->sim->shipInfo);
            UpdateWeaponMounts(item->sim->weapons, item);
        }
        return Shots();
    }
    static int Shots()
    {
        int shots = 0;
        ForEachSceneItem([&](SceneItem* item) {
            shots += item->avatar->weapon != nullptr;
            return true;
        });
        return shots;
    }
};

} // namespace

// The platform stands away from the world's origin and faces along +x, so
// that its own frame and the world's differ: its forward gun bears on the
// indie ship ahead of it, not on the navy ship behind it.
TEST_F(GuardStatesTest, ANavyGunPlatformFiresAtAnIndieShipComingAtIt)
{
    constexpr float kX = 300000.0f, kZ = 50000.0f;
    SceneItem* platform = ShipAt(kX, kZ, 0x4);
    FaceAlongX(platform);
    Weapon* mount = ForwardGun(platform);
    ASSERT_NE(mount, nullptr);
    SceneItem* indie = ShipAt(kX + 60000.0f, kZ, 0x4);
    SceneItem* navy = ShipAt(kX - 60000.0f, kZ, 0x4 | 0x400); // excluded by the navy's mask

    StartState(platform, 22, 4, 1216); // "NavyGunPlatform": include 4, exclude 1216
    EXPECT_GE(RunUntilAShot(platform, 200), 1);
    EXPECT_EQ(mount->target.Get(), indie);
    EXPECT_NE(mount->target.Get(), navy);
}

// A wingman told to follow (state 43, the commander in parameter 1) keeps
// the order, and fires at whoever attacks the commander when that attacker
// lies ahead of it in its own frame, which differs from the world's.
TEST_F(GuardStatesTest, AFollowerKeepsItsCommanderAndFiresAtItsAttackerAhead)
{
    constexpr float kX = -200000.0f, kZ = 400000.0f;
    SceneItem* follower = ShipAt(kX, kZ, 0x4);
    FaceAlongX(follower);
    ASSERT_NE(ForwardGun(follower), nullptr);
    SceneItem* commander = ShipAt(kX - 40000.0f, kZ, 0x4);
    SceneItem* enemy = ShipAt(kX + 60000.0f, kZ, 0x4 | 0x400);
    commander->avatar->lockedOn = enemy;
    commander->avatar->lockedAmount = 1000;

    StartState(follower, 43, aistep::ItemParam(commander), 0);
    EXPECT_GE(RunUntilAShot(follower, 100), 1);
    const ShipInfo* info = follower->sim->shipInfo;
    EXPECT_EQ(info->stateStack[info->currentFrame].stateId, 43) << "the order stands: it has its commander";
}

// A combat follower (state 42) forming on the ship named in parameter 1
// fires at that ship's attacker ahead of it.
TEST_F(GuardStatesTest, ACombatFollowerFormsOnTheShipItIsGivenAndFiresAhead)
{
    constexpr float kX = 700000.0f, kZ = -300000.0f;
    SceneItem* follower = ShipAt(kX, kZ, 0x4);
    FaceAlongX(follower);
    ASSERT_NE(ForwardGun(follower), nullptr);
    SceneItem* leader = ShipAt(kX - 40000.0f, kZ, 0x4);
    SceneItem* enemy = ShipAt(kX + 60000.0f, kZ, 0x4 | 0x400);
    leader->avatar->lockedOn = enemy;
    leader->avatar->lockedAmount = 1000;

    StartState(follower, 42, aistep::ItemParam(leader), 0);
    EXPECT_GE(RunUntilAShot(follower, 100), 1);
    const ShipInfo* info = follower->sim->shipInfo;
    EXPECT_EQ(info->stateStack[info->currentFrame].stateId, 42);
}

// A defence-net gun, as its order starts, marks the base the mission names
// as "INDIEBase" on the HUD, once; without that base it marks nothing.
TEST_F(GuardStatesTest, ADefenceNetGunMarksTheIndieBaseOnTheHudAsItStarts)
{
    BeginScriptTest();
    ClearHudList();
    SceneItem* gun = ShipAt(50000, 0, 0x104);
    StartState(gun, 23, 132, 0);
    gun->sim->shipInfo->stateStack[0].subState = 0;
    RunAIStateStack(gun, gun->sim->shipInfo);
    EXPECT_EQ(gHud.count, 0) << "no base named";

    SceneItem* base = ShipAt(0, 300000, 0x104);
    ScriptSymbol* symbol = AddScriptSymbol("INDIEBase", nullptr, 0);
    ASSERT_NE(symbol, nullptr);
    symbol->type = kSymbolSceneItem;
    SetSymbolObject(symbol, base);
    StartState(gun, 23, 132, 0);
    gun->sim->shipInfo->stateStack[0].subState = 0;
    for (int frame = 0; frame < 3; ++frame)
        RunAIStateStack(gun, gun->sim->shipInfo);
    ASSERT_EQ(gHud.count, 1);
    EXPECT_EQ(gHud.list[0]->subject, base);
    EXPECT_EQ(gHud.list[0]->segmentCount, 9) << "the position marker's nine lines";
    ClearHudList();
    EndScriptTest();
}
