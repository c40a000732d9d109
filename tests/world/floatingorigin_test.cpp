// The floating origin, render sync, the TDP attribute step, the face picker
// and the weapon-view flag.
#include <cmath>

#include "screens/bridge.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "ui/hud.h"
#include "world/floatingorigin.h"
#include "world/physics.h"
#include "world/pools.h"
#include "world/scenelist.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

void Place(SceneItem* item, double x, double y, double z)
{
    item->sim->position = {x, y, z};
    item->sim->matrix.m[12] = static_cast<float>(x);
    item->sim->matrix.m[13] = static_cast<float>(y);
    item->sim->matrix.m[14] = static_cast<float>(z);
}

} // namespace

TEST_F(WorldTest, TheOriginFollowsThePlayerByWholeModuli)
{
    struct Case {
        double playerX;
        bool lds;
        double shift; // fmod(p, M) - p
        // clang-format off
    } const cases[] = {
        {250e6, false, -200e6}, {-150e6, false, 100e6}, {99e6, false, 0},
        {250e6, true, 0},       {2.5e9, true, -2e9},     {-1e8, false, 1e8},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.playerX);
        ResetSimulation();
        gWorldOriginOffset = {1, 2, 3};
        SceneItem* player = MakeItem();
        SceneItem* other = MakeItem();
        gPlayerItem = player;
        Place(player, c.playerX, 0, -7);
        Place(other, 1000, 5, 6);
        if (c.lds)
            player->sim->flags |= kSimLdsEngaged;
        // A trail's points lie in the world and move with it; a cube's
        // follow their subject and are left alone.
        HUD* trail = InitTrailHud(AllocHUD(), nullptr, 0);
        HUD* cube = InitCubeHud(AllocHUD(), "C", other, 0);
        trail->pointCount = 1;
        trail->points[0].world = {10, 0, 0};
        cube->flags &= ~kHudWorldAnchored;
        RegisterHud(trail);
        RegisterHud(cube);
        UpdateFloatingOrigin();
        EXPECT_EQ(player->sim->position.x, c.playerX + c.shift);
        EXPECT_EQ(player->sim->position.z, -7.0);
        EXPECT_EQ(other->sim->position.x, 1000 + c.shift);
        EXPECT_FLOAT_EQ(other->sim->matrix.m[12], static_cast<float>(1000 + c.shift));
        EXPECT_EQ(other->sim->matrix.m[13], 5.0f);
        EXPECT_EQ(gWorldOriginOffset.x, 1 - c.shift);
        EXPECT_EQ(gWorldOriginOffset.y, 2.0);
        EXPECT_FLOAT_EQ(trail->points[0].world.x, static_cast<float>(10 + c.shift));
        EXPECT_EQ(cube->points[0].world.x, -5000.0f);
    }
    gWorldOriginOffset = {};
}

TEST_F(WorldTest, WithoutAPlayerTheOriginStays)
{
    SceneItem* item = MakeItem();
    Place(item, 5e8, 0, 0);
    UpdateFloatingOrigin();
    EXPECT_EQ(item->sim->position.x, 5e8);
    EXPECT_EQ(gWorldOriginOffset.x, 0.0);
}

TEST_F(WorldTest, PositionsStayExactAcrossManyShifts)
{
    // The player crosses 1e9 units in steps of 1e6 under SIM_MAIN, the
    // origin following once a frame; an item 10^7 away keeps its absolute
    // position (position + offset) to the last bit, and the player's float
    // copy stays within float precision of a position below 1e8.
    gWorldOriginOffset = {};
    gFrameClock.frameTicks = 25;
    gFrameClock.frameSeconds = 0.25f;
    SceneItem* player = MakeItem(SIM_MAIN);
    SceneItem* still = MakeItem(SIM_MAIN);
    gPlayerItem = player;
    player->sim->velocity = {4e6f, -2e6f, 0};
    const WorldPosition absolute{1e7 + 0.125, -1e7 - 0.375, 1e7 + 0.0625};
    Place(still, absolute.x, absolute.y, absolute.z);
    int shifts = 0;
    for (int frame = 0; frame < 1000; ++frame) {
        SIM_MAIN(player);
        SIM_MAIN(still);
        const double before = gWorldOriginOffset.x;
        UpdateFloatingOrigin();
        shifts += gWorldOriginOffset.x != before;
        ASSERT_LT(std::fabs(player->sim->position.x), 1e8);
        ASSERT_LE(std::fabs(player->sim->matrix.m[12] - player->sim->position.x), 4.0);
    }
    EXPECT_EQ(shifts, 10);
    EXPECT_EQ(still->sim->position.x + gWorldOriginOffset.x, absolute.x);
    EXPECT_EQ(still->sim->position.y + gWorldOriginOffset.y, absolute.y);
    EXPECT_EQ(still->sim->position.z + gWorldOriginOffset.z, absolute.z);
    EXPECT_EQ(player->sim->position.x + gWorldOriginOffset.x, 1e9);
    EXPECT_EQ(player->sim->position.y + gWorldOriginOffset.y, -5e8);
    gWorldOriginOffset = {};
}

TEST_F(WorldTest, RenderSyncCopiesMotionIntoTheAvatar)
{
    SceneItem* item = MakeItem();
    item->sim->velocity = {1, 2, 3};
    MatRotY(30, item->sim->matrix);
    Place(item, 1e9 + 0.5, -4, 8);
    CopySimToAvatar(item);
    EXPECT_EQ(item->avatar->position.x, 1e9 + 0.5);
    EXPECT_EQ(item->avatar->velocity.z, 3.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(item->avatar->matrix.m[i], item->sim->matrix.m[i]);
}

TEST_F(WorldTest, TdpAttributesRebuildTheLocalMatrixEveryFrame)
{
    struct Case {
        const char* what;
        uint8_t type;
        int32_t value;
        bool negated;
        int element; // element of the local matrix to check
        float expected;
        // clang-format off
    } const cases[] = {
        {"move x", 3, 40, false, 12, 40},   {"move y", 4, 40, false, 13, 40},
        {"move z", 5, 40, true, 14, -40},   {"scale", 6, 250, false, 10, 2.5f},
        {"scale x", 7, 50, false, 0, 0.5f}, {"scale y", 8, 50, false, 5, 0.5f},
        {"scale z", 9, 300, false, 10, 3},  {"scale z keeps x", 9, 300, false, 0, 1},
        {"turn y", 11, 90, false, 8, 1},    {"turn x", 12, 90, false, 9, -1},
        {"turn z", 13, 90, false, 1, -1},    {"unknown", 99, 7, false, 12, 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetSimulation();
        SceneItem* item = MakeItem();
        TDP* node = item->avatar->root;
        node->local.m[12] = 1000; // whatever it held is rebuilt
        if (c.negated)
            node->flags |= kTdpNegatedAttributes;
        AddTDPAttribute(node, c.type, 4);
        item->avatar->params[4] = c.value;
        for (int frame = 0; frame < 2; ++frame) {
            AnimateTDPTree(item->avatar->params, node);
            EXPECT_NEAR(node->local.m[c.element], c.expected, 1e-5);
        }
    }
}

TEST_F(WorldTest, TheRestoreAttributeKeepsTheMatrixFromFrameToFrame)
{
    SceneItem* item = MakeItem();
    TDP* node = item->avatar->root;
    AddTDPAttribute(node, 10, 0);
    AddTDPAttribute(node, 3, 1);
    item->avatar->params[1] = 5;
    AnimateTDPTree(item->avatar->params, node);
    AnimateTDPTree(item->avatar->params, node);
    EXPECT_FLOAT_EQ(node->local.m[12], 10); // accumulates through the restore
}

TEST_F(WorldTest, TheVisibleAttributeAndAValueNumberOutOfRange)
{
    SceneItem* item = MakeItem();
    TDP* node = item->avatar->root;
    AddTDPAttribute(node, 14, 10);
    AddTDPAttribute(node, 3, 200); // past the eleven parameters: ignored
    item->avatar->params[10] = 1;
    AnimateTDPTree(item->avatar->params, node);
    EXPECT_TRUE(node->flags & kTdpVisibleToggle);
    EXPECT_EQ(node->local.m[12], 0.0f);
    item->avatar->params[10] = 0;
    AnimateTDPTree(item->avatar->params, node);
    EXPECT_FALSE(node->flags & kTdpVisibleToggle);
}

TEST_F(WorldTest, OffsetVelocityMovesOnlyNodesWithAttributes)
{
    gFrameClock.frameSeconds = 0.5f;
    SceneItem* item = MakeItem();
    TDP* root = item->avatar->root;
    TDP* child = AddChildTDP(root, nullptr, 1, 2, 3);
    TDP* sibling = AddSiblingTDP(child, nullptr, 0, 0, 0);
    for (TDP* n : {root, child, sibling})
        n->offsetVelocity = {10, 0, 0};
    AddTDPAttribute(child, 4, 0);
    AddTDPAttribute(sibling, 4, 0);
    item->avatar->params[0] = 7;
    AnimateTDPTree(item->avatar->params, root);
    EXPECT_EQ(root->offset.x, 0.0f); // no attributes: nothing at all
    EXPECT_EQ(child->offset.x, 6.0f);
    EXPECT_EQ(child->local.m[12], 5.0f);
    EXPECT_EQ(child->local.m[13], 7.0f);
    EXPECT_EQ(sibling->offset.x, 5.0f);
    EXPECT_EQ(sibling->local.m[13], 7.0f);
}

namespace {

// A small mesh: faces 0 and 1 real, face 2 without area, face 3 naming a
// vertex that does not exist.
const Vector3 kVertices[] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}, {20, 0, 0}};
const uint16_t kFaces[][3] = {{0, 1, 2}, {0, 1, 3}, {0, 1, 4}, {0, 1, 9}};
int gMeshTag;

bool ReadTestMesh(const hx_model* model, MeshView* mesh)
{
    if (model != reinterpret_cast<const hx_model*>(&gMeshTag))
        return false;
    *mesh = {kVertices, 5, kFaces, 4};
    return true;
}

} // namespace

TEST_F(WorldTest, FindHitFacePicksTheNearestRealFace)
{
    SceneItem* item = MakeItem();
    Vector3 centre{-1, -1, -1}, normal{-1, -1, -1};
    EXPECT_EQ(FindHitFace(item, Vector3{1, 1, 1}, &centre, &normal), 0); // no model
    EXPECT_EQ(centre.x, -1.0f);
    EXPECT_EQ(normal.x, -1.0f);

    SetModelMeshReader(ReadTestMesh);
    item->avatar->root->model = reinterpret_cast<hx_model*>(&gMeshTag);
    struct Case {
        Vector3 point;
        Vector3 centre, normal;
    } const cases[] = {
        // (A - C) x (A - B) of face 0: (0,-10,0) x (-10,0,0) = (0,0,-100).
        {{3, 3, 1}, {10.0f / 3, 10.0f / 3, 0}, {0, 0, -1}},
        {{3, 0, 4}, {10.0f / 3, 0, 10.0f / 3}, {0, 1, 0}},
        // Nearest to the flat face 2's centre, which is never chosen.
        {{7, 0, 0.1f}, {10.0f / 3, 0, 10.0f / 3}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(FindHitFace(item, c.point, &centre, &normal), 255);
        EXPECT_NEAR(centre.x, c.centre.x, 1e-5);
        EXPECT_NEAR(centre.y, c.centre.y, 1e-5);
        EXPECT_NEAR(centre.z, c.centre.z, 1e-5);
        EXPECT_NEAR(normal.x, c.normal.x, 1e-6);
        EXPECT_NEAR(normal.y, c.normal.y, 1e-6);
        EXPECT_NEAR(normal.z, c.normal.z, 1e-6);
    }
    // A zero point takes a random face, never a degenerate one.
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(FindHitFace(item, Vector3{0, 0, 0}, &centre, &normal), 255);
        EXPECT_NEAR(VecLength(normal), 1.0f, 1e-6);
        EXPECT_EQ(centre.y == 0 ? 1 : 0, normal.y == 1 ? 1 : 0);
    }
    // The full level of detail wins over the model.
    item->avatar->root->lod[0] = reinterpret_cast<hx_model*>(&gMeshTag + 1);
    EXPECT_EQ(FindHitFace(item, Vector3{1, 1, 1}, &centre, &normal), 0);
    SetModelMeshReader(nullptr);
}

TEST_F(WorldTest, TheWeaponViewFlagNeedsTheWepStationAndAWeaponViewMount)
{
    SceneItem* ship = MakeItem();
    gControlledItem = ship;
    Weapon weapon{};
    weapon.flags = 0x200;
    ship->sim->currentWeapon = &weapon;
    CurrentStation = 3;
    UpdateViewModeFlag();
    EXPECT_EQ(gWeaponViewFlag, 1);
    CurrentStation = 2;
    UpdateViewModeFlag();
    EXPECT_EQ(gWeaponViewFlag, 0);
    CurrentStation = 3;
    weapon.flags = 0x40;
    UpdateViewModeFlag();
    EXPECT_EQ(gWeaponViewFlag, 0);
    ToggleViewModeFlag();
    EXPECT_EQ(gWeaponViewFlag, 1);
    ToggleViewModeFlag();
    EXPECT_EQ(gWeaponViewFlag, 0);
    ship->sim->currentWeapon = nullptr;
    CurrentStation = 0;
}
