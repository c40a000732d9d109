// The contact list and targeting: detection, classes, the sorted visible
// list and its 7-line window, stepping, the threat list, the class-change
// blink, the hostile searches, targeting along the aim ray and the
// component steps.
#include <cmath>
#include <vector>

#include "ai/orders.h"
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "ui/contacts.h"
#include "ui/hud.h"
#include "ui/hudframe.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/simframe.h"
#include "world/pools.h"
#include "world/scenelist.h"

namespace {

using worldtest::MakeItem;
using worldtest::MakeShip;

constexpr uint32_t kShipClass = 0x4; // a ship: contact class 0

class ContactsTest : public worldtest::WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        gFrameClock.gameClock = 1000;
        gFrameClock.frameTicks = 0;
        ResetContactList();
        gContacts.classFilterIndex = 0;
        gContacts.showAll = 0;
        gContacts.reselect = 0;
        gContacts.playerTarget = nullptr;
        gContacts.navTarget = nullptr;
        player_ = MakeItem();
        MakeShip(player_);
        gPlayerItem = gControlledItem = player_;
    }
    void TearDown() override
    {
        ResetContactList();
        WorldTest::TearDown();
    }

    static void Place(SceneItem* item, float x, float y, float z)
    {
        item->sim->matrix.m[12] = x;
        item->sim->matrix.m[13] = y;
        item->sim->matrix.m[14] = z;
        item->sim->position = {x, y, z};
    }
    // An object of the class flags at distance z straight ahead of the player.
    static SceneItem* Object(uint32_t classFlags, float z, float radius = 1, float signature = 0,
                             ItemFunction message = nullptr)
    {
        SceneItem* item = MakeItem(nullptr, nullptr, message);
        item->avatar->classFlags = classFlags;
        item->sim->radius = radius;
        item->sim->signature = signature;
        Place(item, 0, 0, z);
        return item;
    }
    static SceneItem* Ship(uint32_t classFlags, float z)
    {
        SceneItem* s = Object(classFlags, z);
        MakeShip(s);
        return s;
    }
    // One refresh now; the clock then moves on by the ticks.
    static void Refresh(int32_t ticks = 0)
    {
        gFrameClock.frameTicks = ticks;
        gContacts.nextRefresh = gFrameClock.gameClock;
        UpdateContactList();
        gFrameClock.gameClock += uint32_t(ticks);
    }
    static std::vector<SceneItem*> Listed()
    {
        std::vector<SceneItem*> items;
        for (int i = 0; i < gContacts.visibleCount; ++i)
            items.push_back(gContacts.visible[i]->item);
        return items;
    }
    // The bits that the player's enemy mask counts, or 0 while that mask is
    // not yet built.
    uint32_t EnemyBit() const
    {
        const uint32_t mask = EnemyClassMask(player_) & ~uint32_t(4) & ~uint32_t(0x70);
        return mask & (~mask + 1);
    }

    SceneItem* player_ = nullptr;
};

TEST_F(ContactsTest, DetectionUsesTheRangeFloorAndDropsFaintObjectsBeyondRange)
{
    struct Case {
        const char* what;
        float radius, signature, distance;
        bool listed;
    } const cases[] = {
        {"a small object within the 1e7 floor", 1, 0, 9e6f, true},
        {"a small silent object beyond the floor", 1, 0, 1.1e7f, false},
        // signature x 1.429e12 / d^2 = 0.5 and 10 at 2e7.
        {"a faint object beyond range", 1, 0.5f * 4e14f / 1.429e12f, 2e7f, false},
        {"a loud object beyond range", 1, 10 * 4e14f / 1.429e12f, 2e7f, true},
        {"a large object within its own range", 1e5f, 0, 9e7f, true},
        {"an object at the player's position", 1, 1, 0, true},
    };
    for (const Case& c : cases) {
        SceneItem* item = Object(kShipClass, c.distance, c.radius, c.signature);
        Refresh();
        EXPECT_EQ(IsContact(item) != 0, c.listed) << c.what;
        DeleteSceneItem(item);
    }
    SceneItem* close = Object(kShipClass, 0, 1, 1);
    Refresh();
    EXPECT_GT(FindContactRow(close)->signal, 30.0f); // distance 0 is the strongest signal
    EXPECT_EQ(IsContact(player_), 0);                // the player is never listed
}

TEST_F(ContactsTest, ClassesComeFromTheClassFlagsAndThreeFiveAndSixNeverOccur)
{
    struct Case {
        uint32_t flags;
        int32_t contactClass;
    } const cases[] = {{0x4, 0}, {0x10, 1}, {0x8, 0}, {0x1, 2}, {0x400000, 7}, {0x1000000, 4}, {0x14, 0}, {0x11, 1}, {0x400001, 2}, {0x40, -1}, {0, -1}};
    SceneItem* item = Object(0, 1000);
    for (const Case& c : cases) {
        item->avatar->classFlags = c.flags;
        EXPECT_EQ(ContactClassOf(item), c.contactClass) << std::hex << c.flags;
    }
    for (int bit = 0; bit < 32; ++bit) {
        item->avatar->classFlags = 1u << bit;
        const int32_t k = ContactClassOf(item);
        EXPECT_TRUE(k != 3 && k != 5 && k != 6) << bit;
    }
    item->avatar->classFlags = 0x4;
    item->flags = 0; // a SceneItem flags word of 0 has no class
    EXPECT_EQ(ContactClassOf(item), -1);
    item->flags = kItemInUse;
}

TEST_F(ContactsTest, TheVisibleListSortsByDistanceOrStrengthAndBodiesAlwaysByDistance)
{
    SceneItem* far = Ship(kShipClass, 3e6f);
    SceneItem* near = Ship(kShipClass, 1e6f);
    SceneItem* mid = Ship(kShipClass, 2e6f);
    Refresh();
    EXPECT_EQ(Listed(), (std::vector<SceneItem*>{near, mid, far}));

    // By strength: the kind's weight decides when no ship holds the whole
    // strength share; a zero strength sum gives no share.
    far->sim->shipInfo->kind = 2;  // weight 6
    near->sim->shipInfo->kind = 0; // weight 1
    mid->sim->shipInfo->kind = 9;  // beyond the table: 0
    gContacts.sortMode = 2;
    Refresh();
    EXPECT_EQ(Listed(), (std::vector<SceneItem*>{far, near, mid}));

    const float distances[] = {5e6f, 1e6f, 3e6f};
    std::vector<SceneItem*> bodies;
    for (float d : distances)
        bodies.push_back(Object(kClassNamedBody, d));
    gContacts.filterClass = 7;
    Refresh();
    EXPECT_EQ(Listed(), (std::vector<SceneItem*>{bodies[1], bodies[2], bodies[0]}));
}

TEST_F(ContactsTest, SteppingWrapsAndTheWindowMovesByTheLeastAmount)
{
    std::vector<SceneItem*> ships;
    for (int i = 0; i < 10; ++i)
        ships.push_back(Ship(kShipClass, 1e6f * float(i + 1)));
    Refresh();
    ASSERT_EQ(gContacts.visibleCount, 10);
    EXPECT_EQ(CurrentContactItem(), ships[0]); // the first listed becomes current

    SelectPreviousContact(); // from the first line to the last
    EXPECT_EQ(CurrentContactItem(), ships[9]);
    EXPECT_EQ(gContacts.windowTop, 3);
    SelectNextContact(); // from the last back to the first
    EXPECT_EQ(CurrentContactItem(), ships[0]);
    EXPECT_EQ(gContacts.windowTop, 0);

    struct Step {
        bool next;
        int index, top;
    } const steps[] = {{true, 1, 0}, {true, 2, 0}, {true, 3, 0}, {true, 4, 0}, {true, 5, 0}, {true, 6, 0}, {true, 7, 1}, {true, 8, 2}, {false, 7, 2}, {false, 3, 2}, {false, 2, 2}, {false, 1, 1}};
    int at = 0;
    for (const Step& s : steps) {
        while (at != s.index) {
            s.next ? SelectNextContact() : SelectPreviousContact();
            at += s.next ? 1 : -1;
        }
        EXPECT_EQ(CurrentContactItem(), ships[s.index]);
        EXPECT_EQ(gContacts.windowTop, s.top) << "at " << s.index;
        EXPECT_EQ(gContacts.nextRefresh, gFrameClock.gameClock); // a step refreshes at once
    }

    // A refresh keeps the current contact within the window too.
    Refresh();
    EXPECT_EQ(CurrentContactItem(), ships[1]);
    EXPECT_EQ(gContacts.windowTop, 1);
}

TEST_F(ContactsTest, SteppingWithoutAListedCurrentContactChangesNothing)
{
    Ship(kShipClass, 1e6f);
    SelectNextContact();
    SelectPreviousContact();
    SelectNextOtherSideContact();
    EXPECT_EQ(CurrentContactItem(), nullptr);
    EXPECT_EQ(gContacts.playerTarget, nullptr);
}

TEST_F(ContactsTest, SteppingToAnotherSideSkipsOwnSideContactsAndTargetsTheStep)
{
    player_->avatar->classFlags = 0x80;
    // All near enough (1.5e6) for their sides to be known.
    SceneItem* ownA = Ship(kShipClass | 0x80, 1e6f);
    Ship(kShipClass | 0x80, 1.2e6f);
    SceneItem* other = Ship(kShipClass | 0x100, 1.4e6f);
    Refresh();
    ASSERT_EQ(CurrentContactItem(), ownA);
    SelectNextOtherSideContact();
    EXPECT_EQ(CurrentContactItem(), other);
    EXPECT_EQ(gContacts.playerTarget, other);
    EXPECT_EQ(player_->sim->target, other);

    other->avatar->classFlags = kShipClass | 0x80; // all of the player's side now
    Refresh();
    SelectNextOtherSideContact(); // round the whole list back to the start
    EXPECT_EQ(CurrentContactItem(), other);
    EXPECT_EQ(gContacts.playerTarget, other);
}

TEST_F(ContactsTest, SelectingAnItemTakesItsClassAndMakesItCurrent)
{
    SceneItem* ship = Ship(kShipClass, 1e6f);
    SceneItem* body = Object(kClassNamedBody, 2e6f);
    SceneItem* missile = Object(0x10, 3e6f);
    struct Case {
        SceneItem* item;
        int32_t filterClass;
    } const cases[] = {{body, 7}, {missile, 1}, {ship, 0}};
    for (const Case& c : cases) {
        gHud.contactFlash = 0;
        SelectContact(c.item);
        EXPECT_EQ(gContacts.filterClass, c.filterClass);
        EXPECT_EQ(CurrentContactItem(), c.item);
        EXPECT_EQ(gHud.contactFlash, 1); // the HUD's bracket slides in
    }
    SceneItem* other = Object(0x8, 4e6f); // brings no class of its own
    SelectContact(other);
    EXPECT_EQ(gContacts.filterClass, 0);
    EXPECT_EQ(CurrentContactItem(), other);
}

TEST_F(ContactsTest, AFifthAttackerReplacesTheFirstFartherOneNotTheFarthest)
{
    SceneItem* items[6];
    for (SceneItem*& item : items)
        item = Object(0, 1000);
    const float distances[] = {10, 30, 40, 20};
    for (int i = 0; i < 4; ++i)
        AddThreat(items[i], distances[i]);
    AddThreat(items[4], 25);
    EXPECT_EQ(gContacts.threats[1], items[4]);
    EXPECT_EQ(gContacts.threats[2], items[2]); // the farthest stays
    AddThreat(items[5], 50);                   // farther than all: nothing changes
    for (SceneItem* held : gContacts.threats)
        EXPECT_NE(held, items[5]);

    // The refresh offers the missiles aimed at the player, nearest wins.
    SceneItem* missile = Object(0x10, 5e6f);
    missile->sim->target = player_;
    Object(0x10, 4e6f); // aimed at no one
    Refresh();
    EXPECT_EQ(gContacts.threatCount, 1);
    EXPECT_EQ(gContacts.threats[0], missile);
    EXPECT_FLOAT_EQ(gContacts.threatDistances[0], FindContactRow(missile)->distance);
}

TEST_F(ContactsTest, ANearVesselBlinksOnlyWhenItsSidesChange)
{
    SceneItem* ship = Ship(kShipClass | 0x80 | kClassArmed, 1e6f); // near: under 0.15 x 1e7
    Refresh(20);
    Contact* row = FindContactRow(ship);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->highlight, kContactHighlightTicks); // new: 1024 differs from its sides
    EXPECT_EQ(row->classFlags, 0x80u);                 // only the sides and factions are kept
    Refresh(20);
    Refresh(20);
    EXPECT_EQ(row->highlight, 110); // counting down, not re-flagged
    ship->avatar->classFlags = kShipClass | 0x100;
    Refresh(20);
    EXPECT_EQ(row->highlight, kContactHighlightTicks);
    EXPECT_EQ(row->classFlags, 0x100u);

    // A hit flags a change the same way.
    Refresh(50);
    FlagContactClassChange(ship);
    EXPECT_EQ(row->highlight, 100);
    ship->avatar->classFlags = kShipClass | 0x200;
    FlagContactClassChange(ship);
    EXPECT_EQ(row->highlight, kContactHighlightTicks);
    EXPECT_EQ(row->classFlags, 0x200u);
}

TEST_F(ContactsTest, RemovingACountedItemPostsItsDeleteMessage)
{
    SceneItem* counted = Object(kShipClass, 1e6f, 1, 0, HandleItemMessages);
    SceneItem* plain = Object(kShipClass, 2e6f, 1, 0, HandleItemMessages);
    counted->flags |= kItemCounted;
    plain->flags |= kItemCounted;
    Refresh();
    ASSERT_EQ(CurrentContactItem(), counted);
    gFrameClock.gameClock += 7;
    RemoveContact(counted);
    EXPECT_EQ(IsContact(counted), 0);
    EXPECT_EQ(CurrentContactItem(), nullptr);
    EXPECT_EQ(counted->sim->contact, nullptr);
    EXPECT_EQ(ReceiverPendingCount(counted->receiver), 1);
    EXPECT_EQ(gContacts.nextRefresh, gFrameClock.gameClock);
    RemoveContact(counted); // no row went: no message
    EXPECT_EQ(ReceiverPendingCount(counted->receiver), 1);
    plain->flags &= ~kItemCounted;
    AddThreat(plain, 10);
    RemoveContact(plain);
    EXPECT_EQ(ReceiverPendingCount(plain->receiver), 0);
    EXPECT_EQ(gContacts.threats[0], nullptr); // nor does it stay among the attackers
}

TEST_F(ContactsTest, TheHostileSearchesFindTheNearestAndTheNextEnemy)
{
    const uint32_t enemy = EnemyBit();
    ASSERT_NE(enemy, 0u);
    SceneItem* farEnemy = Ship(kShipClass | enemy, 3e6f);
    SceneItem* nearEnemy = Ship(kShipClass | enemy, 2e6f);
    Ship(kShipClass, 1e6f); // not an enemy
    Refresh();
    EXPECT_EQ(FindNearestHostileContact(player_), nearEnemy);
    SelectContact(nearEnemy);
    EXPECT_EQ(FindNextHostileContact(player_), farEnemy);
    DeleteSceneItem(farEnemy);
    Refresh();
    SelectContact(nearEnemy);
    EXPECT_EQ(FindNextHostileContact(player_), nullptr); // the only match
}

TEST_F(ContactsTest, TargetingAheadPicksAListedObjectAndSetsBothTargets)
{
    player_->avatar->classFlags = 0x80;
    SceneItem* other = Ship(kShipClass | 0x100, 1e6f); // another side, straight ahead
    Refresh();
    gContacts.componentSelected = 1;
    EXPECT_EQ(SelectTargetAhead(nullptr, 0), other);
    EXPECT_EQ(gContacts.playerTarget, other);
    EXPECT_EQ(player_->sim->target, other);
    EXPECT_EQ(player_->sim->navTarget, other);
    EXPECT_EQ(gContacts.navTarget, other);
    EXPECT_EQ(CurrentContactItem(), other);
    EXPECT_EQ(gContacts.componentSelected, 0);

    // Under the autopilot the navigation target stays.
    SelectTargetAhead(nullptr, 0);
    player_->sim->flags |= kSimAiControl;
    player_->sim->navTarget = nullptr;
    SelectTargetAhead(nullptr, 0);
    EXPECT_EQ(player_->sim->navTarget, nullptr);
}

TEST_F(ContactsTest, AnOwnSidePickIsReplacedByTheNearestHostile)
{
    Ship(kShipClass, 1e6f); // no sides, like the player: own side
    Refresh();
    const uint32_t enemy = EnemyBit();
    ASSERT_NE(enemy, 0u);
    SceneItem* hostile = Ship(kShipClass | enemy, 5e6f);
    Place(hostile, 4e6f, 0, 5e6f); // well off the aim ray
    Refresh();
    EXPECT_EQ(SelectTargetAhead(nullptr, 0), hostile);
    EXPECT_EQ(player_->sim->target, hostile);
}

TEST_F(ContactsTest, ComponentsStepWithWrapRoundAndGiveTheirKind)
{
    SceneItem* target = Object(kShipClass, 1e6f);
    HullBox boxes[3]{};
    boxes[0] = {{0, 0, 0}, {2, 4, 6}, &boxes[1], 0x1200}; // kind 0x12
    boxes[1] = {{0, 0, 0}, {1, 1, 1}, &boxes[2], 0x4};    // no kind: skipped
    boxes[2] = {{-2, -2, -2}, {0, 0, 0}, nullptr, 0x30500};
    HullBounds hull{};
    hull.boxes = boxes;
    target->avatar->root->hullBounds = &hull;

    const int32_t kinds[] = {0x12, 0x105, 0x12, 0x105};
    for (int32_t kind : kinds)
        EXPECT_EQ(SelectNextTargetComponent(target), kind);
    EXPECT_EQ(gContacts.selectedComponent, &boxes[2]);
    EXPECT_EQ(gContacts.componentSelected, 1);
    EXPECT_FLOAT_EQ(gContacts.aimPoint.x, -1.0f);
    SelectNextTargetComponent(target);
    EXPECT_FLOAT_EQ(gContacts.aimPoint.z, 3.0f); // the middle of the first box

    boxes[2].flags = 0; // one component with a kind: stepping stays on it
    EXPECT_EQ(SelectNextTargetComponent(target), 0x12);
    EXPECT_EQ(SelectNextTargetComponent(target), 0x12);
    boxes[0].flags = 0;
    EXPECT_EQ(SelectNextTargetComponent(target), 0);
    EXPECT_EQ(SelectNextTargetComponent(nullptr), 0);
    target->avatar->root->hullBounds = nullptr;
}

TEST_F(ContactsTest, ResettingEmptiesTheListAndTheHudFramesMissiles)
{
    SceneItem* ship = Ship(kShipClass, 1e6f);
    Refresh();
    RegisterIncomingMissile(ship, 1000);
    gContacts.sortMode = 2;
    gContacts.filterClass = 7;
    ResetContactList();
    EXPECT_EQ(IsContact(ship), 0);
    EXPECT_EQ(CurrentContactItem(), nullptr);
    EXPECT_EQ(gContacts.sortMode, 1);
    EXPECT_EQ(gContacts.filterClass, 0);
    EXPECT_EQ(gProximityThreats[0].item, nullptr); // emptied
}

} // namespace
