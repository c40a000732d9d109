// The gun platform's state on a view-backed world (its shots are real
// bolts): it takes the nearest item of its masks and fires at it.
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "ai/aistate.h"
#include "ai/weapons.h"
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
    static SceneItem* ShipAt(float z, uint32_t classFlags)
    {
        SceneItem* item = MakeItem();
        MakeShip(item)->skill = 100;
        item->sim->position = {0.0, 0.0, z};
        item->sim->matrix.m[14] = z;
        item->avatar->classFlags = classFlags;
        return item;
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

TEST_F(GuardStatesTest, ANavyGunPlatformFiresAtAnIndieShipComingAtIt)
{
    SceneItem* platform = ShipAt(0.0f, 0x4);
    const WeaponKindRow* row = WeaponKindTable;
    while (row->construct && std::strcmp(row->name, "PBC") != 0)
        ++row;
    ASSERT_NE(row->construct, nullptr);
    Weapon* mount = row->construct(platform, 0, 0, 0, row->name, 1);
    ASSERT_NE(mount, nullptr);
    SceneItem* indie = ShipAt(60000.0f, 0x4);
    SceneItem* navy = ShipAt(-60000.0f, 0x4 | 0x400); // excluded by the navy's mask

    ShipInfo* info = platform->sim->shipInfo;
    ResetStateStack(info);
    info->stateStack[0].stateId = 22; // "NavyGunPlatform": include 4, exclude 1216
    info->stateStack[0].parameter1 = 4;
    info->stateStack[0].parameter2 = 1216;
    info->stateStack[0].subState = 1;
    info->stateStack[0].timerSlot = 5;
    int frames = 0;
    while (Shots() == 0 && frames++ < 200) {
        platform->sim->flags &= ~kSimTurnOncePerFrame;
        RunAIStateStack(platform, info);
        UpdateWeaponMounts(platform->sim->weapons, platform);
    }
    EXPECT_EQ(mount->target.Get(), indie);
    EXPECT_NE(mount->target.Get(), navy);
    EXPECT_GE(Shots(), 1);
}
