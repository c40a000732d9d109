// The scene list: insertion and the tail group, moving, parking and
// restoring, TDP trees, and taking items out of the world.
#include "ai/docking.h"
#include "ai/weapons.h"
#include "framework/resource.h"
#include "framework/scene.h"
#include "framework/scene_state.h"
#include "screens/bridge.h"
#include "system/calltrace.h"
#include "system/frameclock.h"
#include "tests/framework/hx_fixture.h"
#include "tests/support/world_fixture.h"
#include "view/cameras.h"
#include "ui/dialogue.h"
#include "ui/contacts.h"
#include "ui/screens.h"
#include "ui/windows.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "world/simframe.h"

using worldtest::FatalStops;
using worldtest::MakeItem;
using worldtest::WorldTest;

namespace {

std::vector<SceneItem*> ListOrder(SceneItem* head = &gSceneList)
{
    std::vector<SceneItem*> order;
    for (SceneItem* s = head->next; s != head; s = s->next)
        order.push_back(s);
    return order;
}

SceneItem* Bare()
{ // an item not yet in the list
    SceneItem* item = NewSceneItem();
    AttachSim(item, nullptr);
    return item;
}

void NoMessages(SceneItem*) {}

} // namespace

TEST_F(WorldTest, OrdinaryItemsStandBeforeTheTailGroup)
{
    SceneItem* a = Bare();
    SceneItem* t1 = Bare();
    SceneItem* b = Bare();
    SceneItem* t2 = Bare();
    InsertSceneItem(a, 0);
    InsertSceneItem(t1, kItemTailGroup);
    EXPECT_EQ(gTailGroup, t1);
    InsertSceneItem(b, 0x20);
    InsertSceneItem(t2, kItemTailGroup);
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{a, b, t1, t2}));
    EXPECT_EQ(b->flags, 1 | 0x20);

    // Inserting again changes neither the place nor the flags.
    InsertSceneItem(a, kItemTailGroup);
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{a, b, t1, t2}));
    EXPECT_EQ(a->flags, 1);

    // Into a group with members: second place, behind the marker.
    MoveSceneItemToTailGroup(a);
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{b, t1, a, t2}));
    EXPECT_EQ(gTailGroup, t1);
    // Neither a tail-group item nor the first item moves to the front.
    MoveSceneItemToFront(t2);
    MoveSceneItemToFront(b);
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{b, t1, a, t2}));
    SceneItem* c = Bare();
    InsertSceneItem(c, 0);
    MoveSceneItemToFront(c);
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{c, b, t1, a, t2}));

    // Deleting the marker hands the marker to the next member.
    DeleteSceneItem(t1);
    EXPECT_EQ(gTailGroup, a);
    DeleteSceneItem(a);
    DeleteSceneItem(t2);
    EXPECT_EQ(gTailGroup, &gSceneList);
    SceneItem* d = Bare();
    InsertSceneItem(d, 0);
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{c, b, d}));
    EXPECT_TRUE(FatalStops().empty());
}

TEST_F(WorldTest, MovingTheOnlyTailItemKeepsItTheMarker)
{
    SceneItem* a = MakeItem();
    SceneItem* t = MakeItem(nullptr, nullptr, nullptr, kItemTailGroup);
    MoveSceneItemToTailGroup(t);
    EXPECT_EQ(gTailGroup, t);
    MoveSceneItemToTailGroup(a);
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{t, a}));
    // A parked item stays parked.
    ParkSceneItem(a, 0, 0, 0);
    MoveSceneItemToTailGroup(a);
    EXPECT_EQ(ListOrder(), std::vector<SceneItem*>{t});
    EXPECT_EQ(ListOrder(&gParkedList), std::vector<SceneItem*>{a});
    EXPECT_EQ(gParkedLast, a);
}

TEST_F(WorldTest, ABrokenListIsReported)
{
    SceneItem* a = MakeItem();
    MakeItem();
    EXPECT_TRUE(CheckSceneListIntegrity());
    SceneItem* saved = a->next;
    a->next = nullptr;
    EXPECT_FALSE(CheckSceneListIntegrity());
    a->next = a; // a loop that misses the head
    EXPECT_FALSE(CheckSceneListIntegrity());
    a->next = saved;
    EXPECT_EQ(FatalStops(), (std::vector<std::string>{"SceneList has lost its integrity",
                                                      "SceneList has lost its integrity"}));
}

TEST_F(WorldTest, AFrameWalksTheWholeListOnce)
{
    SceneItem* a = MakeItem();
    MakeItem();
    SceneItem* saved = a->next;
    a->next = nullptr; // a break that no insert sees
    gFreezeView = 255; // the walk comes first, before anything else reads the list
    RunSimulationFrame();
    a->next = saved;
    EXPECT_EQ(FatalStops(), std::vector<std::string>{"SceneList has lost its integrity"});
}

TEST_F(WorldTest, AResetListHoldsNoItemAnyMore)
{
    SceneItem* a = MakeItem();
    SceneItem* b = MakeItem();
    ParkSceneItem(b, 0, 0, 0);
    ResetSceneList();
    EXPECT_FALSE(IsInSceneList(a));
    // Both records are still live: each goes back in as a new member.
    InsertSceneItem(b, 0);
    InsertSceneItem(a, 0);
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{b, a}));
    EXPECT_EQ(ListOrder(&gParkedList), std::vector<SceneItem*>{});
    EXPECT_TRUE(FatalStops().empty());
}

TEST_F(WorldTest, AnInnerWalkThatTakesOutTheOuterWalksNextItemMovesBothOn)
{
    SceneItem* a = MakeItem();
    SceneItem* b = MakeItem();
    SceneItem* c = MakeItem();
    std::vector<SceneItem*> outer, inner;
    ForEachSceneItem([&](SceneItem* item) {
        outer.push_back(item);
        if (item == a)
            ForEachSceneItem([&](SceneItem* visited) {
                inner.push_back(visited);
                if (visited == b)
                    DeleteSceneItem(b);
                return true;
            });
        return true;
    });
    EXPECT_EQ(inner, (std::vector<SceneItem*>{a, b, c}));
    EXPECT_EQ(outer, (std::vector<SceneItem*>{a, c}));
    // A visit that answers false ends its walk.
    outer.clear();
    ForEachSceneItem([&](SceneItem* item) {
        outer.push_back(item);
        return false;
    });
    EXPECT_EQ(outer, std::vector<SceneItem*>{a});
}

TEST_F(WorldTest, ParkedItemsKeepTheirOrderAndComeBackShifted)
{
    SceneItem* a = MakeItem();
    SceneItem* b = MakeItem(nullptr, nullptr, nullptr, kItemTailGroup);
    SceneItem* c = MakeItem();
    a->sim->position = {100, 200, 300};
    ParkSceneItem(a, 10, 20, 30);
    ParkSceneItem(b, 0, 0, 0);
    EXPECT_EQ(gTailGroup, &gSceneList);
    EXPECT_EQ(ListOrder(), std::vector<SceneItem*>{c});
    EXPECT_EQ(ListOrder(&gParkedList), (std::vector<SceneItem*>{a, b}));
    EXPECT_EQ(gParkedLast, b);
    EXPECT_EQ(a->sim->position.x, 90);

    ShiftSceneItem(b, 1, 1, 1);
    EXPECT_EQ(gParkedLast, a);
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{c, b}));
    EXPECT_EQ(gTailGroup, b); // back with its own flags
    ShiftSceneItem(a, 1000, 0, 0);
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{c, a, b}));
    EXPECT_EQ(ListOrder(&gParkedList), std::vector<SceneItem*>{});
    EXPECT_EQ(a->sim->position.x, 1090);
    EXPECT_EQ(a->sim->matrix.m[12], 1090.0f);
    EXPECT_EQ(a->sim->matrix.m[14], 270.0f);
}

TEST_F(WorldTest, MakersBuildCompleteRecords)
{
    gFrameClock.gameClock = 777;
    SceneItem* item = MakeItem(nullptr, nullptr, NoMessages);
    EXPECT_EQ(item->avatar->flags, 1);
    EXPECT_EQ(item->sim->startTime, 777u);
    EXPECT_EQ(item->sim->matrix.m[0], 1.0f);
    EXPECT_EQ(item->sim->matrix.m[15], 1.0f);
    EXPECT_EQ(item->receiver & 0xFFFF0000u, 0x10000u);
    uint32_t receiver = item->receiver;
    SetMessageFunction(item, NoMessages); // keeps the receiver it has
    EXPECT_EQ(item->receiver, receiver);

    TDP* root = item->avatar->root;
    EXPECT_EQ(root->owner, item);
    EXPECT_EQ(root->flags, kTdpInUse | kTdpNew);
    EXPECT_EQ(root->colour[1], 255);
    TDP* c1 = AddChildTDP(root, nullptr, 1, 2, 3);
    TDP* c2 = AddChildTDP(root, nullptr, 0, 0, 0);
    TDP* g1 = AppendChildTDP(c1, nullptr, 0, 0, 0);
    TDP* s1 = AddSiblingTDP(c2, nullptr, 0, 0, 0);
    EXPECT_EQ(c1->local.m[13], 2.0f);
    EXPECT_EQ(c1->offset.z, 3.0f);
    EXPECT_EQ(g1->owner, item);
    TDP** link = nullptr;
    EXPECT_EQ(FindTDPLink(item, root, &link), nullptr);
    EXPECT_EQ(link, nullptr);
    EXPECT_EQ(FindTDPLink(item, c1, &link), root);
    EXPECT_EQ(link, &root->firstChild);
    EXPECT_EQ(FindTDPLink(item, g1, &link), c1);
    EXPECT_EQ(FindTDPLink(item, s1, &link), c2);
    EXPECT_EQ(link, &c2->nextSibling);
    EXPECT_EQ(CountTDPInTree(root, s1), 1);
    EXPECT_EQ(CountTDPInTree(c1, root), 0);

    AddTDPAttribute(c1, 3, 2);
    AddTDPAttribute(c1, 4, 9);
    ASSERT_NE(c1->attributes, nullptr);
    EXPECT_EQ(c1->attributes->next->valueNumber, 9);

    SceneItem* other = MakeItem();
    other->sim->matrix.m[12] = 3;
    other->sim->matrix.m[13] = 4;
    Vector3 d;
    EXPECT_FLOAT_EQ(GetItemSeparation(other, item, &d), 5.0f);
    EXPECT_EQ(d.x, 3.0f);

    // The view is set up from an item in use only: its TDP syncs then run.
    static int syncs;
    syncs = 0;
    item->avatar->tdpSync = [](SceneItem*) { ++syncs; };
    other->avatar->tdpSync = item->avatar->tdpSync;
    ViewRect view{0, 0, 640, 480};
    SetViewFromSceneItem(item, &view);
    EXPECT_EQ(syncs, 2);

    DeleteSceneItem(item); // the tree and its attributes go with it
    EXPECT_EQ(c1->flags & kTdpInUse, 0u);
    EXPECT_EQ(s1->flags & kTdpInUse, 0u);
    EXPECT_EQ(c1->attributes, nullptr);
    SetViewFromSceneItem(item, &view);
    EXPECT_EQ(syncs, 2);
}

TEST_F(WorldTest, AMakerWithAnEmptyPoolReportsAndGivesNothing)
{
    for (int i = 0; i < kMaxAvatars; ++i)
        AllocAvatar();
    EXPECT_EQ(NewSceneItem(), nullptr);
    EXPECT_EQ(FatalStops(), (std::vector<std::string>{"Exceeded max Avatars", "No more Avatars left"}));
    // The SceneItem went back to the pool.
    int inUse = 0;
    for (int i = 0; i < kMaxSceneItems; ++i)
        inUse += SceneItemPool()[i].flags & 1;
    EXPECT_EQ(inUse, 0);
}

TEST_F(WorldTest, DeletingTwiceIsReportedAndHarmless)
{
    SceneItem* a = MakeItem(nullptr, nullptr, NoMessages);
    SceneItem* t = MakeItem(nullptr, nullptr, nullptr, kItemTailGroup);
    EXPECT_EQ(DeleteSceneItem(t), t);
    EXPECT_EQ(DeleteSceneItem(t), nullptr);
    EXPECT_EQ(FatalStops(), std::vector<std::string>{"Can't delete non-current SceneItem"});
    EXPECT_EQ(gTailGroup, &gSceneList);
    EXPECT_EQ(ListOrder(), std::vector<SceneItem*>{a});
    EXPECT_EQ(GetMessageStats().receiversInUse, 1);
    EXPECT_EQ(DeleteSceneItem(a), a);
    EXPECT_EQ(GetMessageStats().receiversInUse, 0);
    EXPECT_EQ(ListOrder(), std::vector<SceneItem*>{});
}

TEST_F(WorldTest, DeletingClearsLocksAndTellsTheShipsWhenALeaderDies)
{
    SceneItem* leader = MakeItem(nullptr, nullptr, NoMessages);
    SceneItem* wing = MakeItem(nullptr, nullptr, NoMessages);
    SceneItem* rock = MakeItem(nullptr, nullptr, NoMessages);
    MarkCounted(rock);
    MarkCounted(rock);
    EXPECT_EQ(gCountedItems, 1);
    ShipInfo* info = worldtest::MakeShip(leader);
    info->flags |= kShipGroupLeader;
    worldtest::MakeShip(wing);
    leader->avatar->params[10] = 1234;
    wing->avatar->lockedOn = leader;
    wing->avatar->lockedAmount = 9;
    Action* hook = AllocAction();
    leader->sim->actions = hook;
    Weapon* mount = AllocWeapon();
    leader->sim->weapons = mount;
    ResetContactList();
    gContacts.rows[0].item = leader;
    gContacts.rows[0].rowFlags = kContactUsed;
    AddDockPoint(leader, kDockFree, 1, 0, 0, 0, 0, 0, 0, 50);
    AddDockPoint(wing, kDockFree, 1, 0, 0, 0, 0, 0, 0, 10);
    ASSERT_EQ(CoupleAtDockPoints(leader, wing, NthDockPoint(leader, 0, nullptr), NthDockPoint(wing, 0, nullptr), 0), 1);

    ASSERT_NE(ParseConversation("<A=Lead>(A: Holding.)", nullptr, nullptr, leader), nullptr);
    DeleteSceneItem(leader);
    EXPECT_EQ(gDialogue.active, nullptr) << "the leader's conversation ended with it";
    EXPECT_EQ(wing->avatar->lockedOn, nullptr);
    EXPECT_EQ(wing->avatar->lockedAmount, 0);
    EXPECT_EQ(info->flags & kShipInUse, 0u);
    EXPECT_EQ(hook->flags & kActionInUse, 0u);
    ItemMessage m;
    ASSERT_NE(FetchItemMessage(wing->receiver, &m), nullptr);
    EXPECT_EQ(m.kind, kMsgShipDied);
    EXPECT_EQ(MessageBody<ShipDiedBody>(m).tallySerial, 1234);
    EXPECT_EQ(FetchItemMessage(rock->receiver, &m), nullptr);
    EXPECT_EQ(FindDockedItem(wing, nullptr), nullptr) << "its dock points went with it";
    EXPECT_EQ(wing->perFrame, nullptr);
    EXPECT_EQ(mount->flags & kWeaponInUse, 0u);
    EXPECT_EQ(gContacts.rows[0].rowFlags, 0); // its contact row went with it

    DeleteSceneItem(rock);
    EXPECT_EQ(gCountedItems, 0);
    // A flag set past the count never takes it below 0.
    SceneItem* stray = MakeItem(nullptr, nullptr, NoMessages, kItemCounted);
    DeleteSceneItem(stray);
    EXPECT_EQ(gCountedItems, 0);
}

TEST_F(WorldTest, ABeltShipOfThePlayersSystemIsRespawnedNotDeleted)
{
    SceneItem* player = MakeItem();
    gPlayerItem = player;
    SceneItem* ship = MakeItem(nullptr, nullptr, nullptr, kItemBeltShip);
    worldtest::MakeShip(ship);
    ship->sim->velocity = {5, 6, 7};
    EXPECT_EQ(DeleteSceneItem(ship), nullptr);
    EXPECT_EQ(ship->sim->velocity.x, 0.0f); // respawned: its motion stopped
    EXPECT_EQ(ListOrder(), (std::vector<SceneItem*>{player, ship}));
    EXPECT_TRUE(ship->flags & kItemInUse);
    // Of another system it goes.
    ship->sceneGeneration = 4;
    EXPECT_EQ(DeleteSceneItem(ship), ship);
}

// A screen whose set-up binds nothing.
void NoScreenSetup() {}

TEST_F(WorldTest, DeletingThePlayersShipLeavesADriftingBody)
{
    SceneItem* player = MakeItem();
    worldtest::MakeShip(player);
    gPlayerItem = gControlledItem = player;
    Matrix4& m = player->sim->matrix;
    m.m[8] = 0;
    m.m[9] = 0.6f;
    m.m[10] = 0.8f;
    player->sim->velocity = {10, 0, 0};
    player->sim->position = {5, 6, 7};
    guiResetWindowPool();
    guiRegisterScreen("NAV", NoScreenSetup, nullptr);

    DeleteSceneItem(player);
    SceneItem* body = gPlayerItem;
    ASSERT_NE(body, player);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(gControlledItem, body);
    EXPECT_EQ(ListOrder(), std::vector<SceneItem*>{body});
    EXPECT_FLOAT_EQ(body->sim->velocity.y, 1200.0f);
    EXPECT_FLOAT_EQ(body->sim->velocity.z, 1600.0f);
    EXPECT_EQ(body->sim->position.z, 7.0);
    EXPECT_EQ(body->sim->mass, 50.0f);
    EXPECT_GE(body->pitchDemand, -25.0f);
    EXPECT_LE(body->pitchDemand, 24.0f);
    ASSERT_NE(body->sim->shipInfo, nullptr);
    EXPECT_EQ(body->sim->shipInfo->kind, 4);
    EXPECT_STREQ(body->sim->shipInfo->shortName, "CNV-301");
    EXPECT_NE(body->receiver & 0xFFFF0000u, 0u);
    EXPECT_TRUE(body->avatar->root->flags & kTdpInScene);
    EXPECT_TRUE(gPlayerShipLost);
    EXPECT_EQ(gDirectorOn, 255); // the director films the body
    EXPECT_EQ(gCameras.director.subject.Get(), body);
    EXPECT_EQ(gCameras.director.event, kShotPlayerShip);
    EXPECT_EQ(gScreens.current, guiFindScreen("NAV")) << "the player sees the body from the navigation screen";
    guiResetWindowPool();
}

namespace {

// The scene layer runs: TDPs carry real framework actors.
class SceneActors : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        HxDiagLog::Clear();
        HxDiagHandlerSet(HxDiagLog::Handler());
        ASSERT_EQ(HxBegin(), HX_OK);
        scene = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    }
    void TearDown() override
    {
        ResetSimulation();
        HxActorFree(scene);
        HxEnd();
        HxDiagHandlerSet(nullptr);
        WorldTest::TearDown();
    }
    // Gives a node an actor under `parent` and marks it in the scene.
    static hx_actor* Show(TDP* node, hx_actor* parent, hx_model* model)
    {
        node->actor = HxActorAdd(parent, HxActorAllocate(HX_ACTOR_MODEL, nullptr));
        node->actor->model = model;
        node->model = model;
        node->flags |= kTdpInScene;
        return node->actor;
    }
    // Whether the block is still among the framework's live blocks (a freed
    // one is only compared, never read).
    static bool Live(void* block)
    {
        return HxResChildEnum(
                   v1db.res, [](void* child, void* wanted) { return child == wanted ? 1 : 0; }, block) != 0;
    }

    hx_actor* scene = nullptr;
};

TEST_F(SceneActors, ParkingFreesTheTreesActorsAndShiftingKeepsTheirPlaceInTheScene)
{
    hx_model* shared = HxModelAllocate("hull", 3, 1);
    SceneItem* item = MakeItem();
    TDP* root = AttachRootTDP(item);
    TDP* child = AddChildTDP(root, shared, 1, 0, 0);
    hx_actor* rootActor = Show(root, scene, shared);
    hx_actor* childActor = Show(child, rootActor, shared);

    ParkSceneItem(item, 0, 0, 0);
    EXPECT_EQ(root->actor, nullptr);
    EXPECT_EQ(child->actor, nullptr);
    EXPECT_FALSE(Live(rootActor));
    EXPECT_FALSE(Live(childActor));
    EXPECT_EQ(scene->children, nullptr);
    // The nodes stay marked, so that the item comes back whole, and the
    // model they show is not the actors' to free.
    EXPECT_TRUE(root->flags & kTdpInScene);
    EXPECT_TRUE(child->flags & kTdpInScene);
    EXPECT_TRUE(Live(shared));

    // Back in the scene, both nodes are attached again by their models (the
    // actors come when the view's worlds exist: tests/view).
    ShiftSceneItem(item, 0, 0, 0);
    EXPECT_TRUE(IsInSceneList(item));
    EXPECT_EQ(root->model, shared);
    EXPECT_EQ(child->model, shared);
    EXPECT_TRUE(root->flags & kTdpInScene);
    EXPECT_TRUE(child->flags & kTdpInScene);
    HxModelFree(shared);
}

TEST_F(SceneActors, DeletingAnItemFreesItsActorsAndTheModelsItOwns)
{
    hx_model* shared = HxModelAllocate("hull", 3, 1);
    hx_model* own = HxModelAllocate("piece", 3, 1);
    SceneItem* item = MakeItem();
    TDP* root = AttachRootTDP(item);
    TDP* child = AddChildTDP(root, own, 1, 0, 0);
    hx_actor* rootActor = Show(root, scene, shared);
    hx_actor* childActor = Show(child, rootActor, own);
    child->flags |= kTdpOwnsModels;
    // An emitter's node: its actor goes too.
    TDP* spray = AddSiblingTDP(child, nullptr, 0, 0, 0);
    spray->flags |= kTdpEmitter;
    spray->actor = HxActorAdd(rootActor, HxActorAllocate(HX_ACTOR_NONE, nullptr));
    hx_actor* sprayActor = spray->actor;

    DeleteSceneItem(item);
    EXPECT_FALSE(Live(rootActor));
    EXPECT_FALSE(Live(childActor));
    EXPECT_FALSE(Live(sprayActor));
    EXPECT_EQ(scene->children, nullptr);
    EXPECT_FALSE(Live(own));
    EXPECT_TRUE(Live(shared));
    EXPECT_EQ(child->actor, nullptr);
    EXPECT_FALSE(child->flags & kTdpInScene);
    HxModelFree(shared);

    // Taking a lone node out of the renderer frees its actor and clears its mark.
    TDP* node = NewTDP();
    hx_actor* lone = Show(node, scene, nullptr);
    RemoveTDPFromRenderer(node);
    EXPECT_FALSE(Live(lone));
    EXPECT_EQ(node->actor, nullptr);
    EXPECT_FALSE(node->flags & kTdpInScene);
}

} // namespace
