// Actions: attachment order and the count of a firing, the pool running
// out, checked indices, each built-in callback and a film Action on the
// events that fire them, and the Actions of a destroyed item going back to
// their pool.
#include <cstring>
#include <fstream>

#include "ai/docking.h"
#include "screens/bridge.h"
#include "system/calltrace.h"
#include "system/datalocation.h"
#include "system/film.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "tests/support/effects_probe.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/sound_fixture.h"
#include "tests/support/world_fixture.h"
#include "tools/film_fixtures.h"
#include "ui/hud.h"
#include "world/actions.h"
#include "world/behaviours.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/responses.h"
#include "world/scenelist.h"

using worldtest::FatalStops;
using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

bool AddBuiltIn(SceneItem* item, uint32_t key, int16_t index)
{
    return AddAction(item, key, kActionCallback, &index);
}

int CountActions(const SceneItem* item)
{
    int n = 0;
    for (const Action* a = item->sim->actions; a; a = a->next)
        ++n;
    return n;
}

int ActionsInUse()
{
    // The pool hands out records until it is full: count what is left.
    int free = 0;
    std::vector<Action*> taken;
    while (Action* a = AllocAction()) {
        taken.push_back(a);
        ++free;
    }
    for (Action* a : taken)
        a->flags = 0;
    worldtest::ClearFatalStops();
    return kMaxActions - free;
}

HitPayload HitAt(float x, float y, float z)
{
    HitPayload hit{};
    hit.point[0] = x;
    hit.point[1] = y;
    hit.point[2] = z;
    return hit;
}

void SetZAxis(SceneItem* item, float x, float y, float z)
{
    item->sim->matrix.m[8] = x;
    item->sim->matrix.m[9] = y;
    item->sim->matrix.m[10] = z;
}

class ActionsTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        player_ = MakeItem(nullptr, nullptr, HandleItemMessages);
        MakeShip(player_);
        gPlayerItem = gControlledItem = player_;
        ship_ = MakeItem(nullptr, nullptr, HandleItemMessages);
        MakeShip(ship_);
        gDockingAligned = 0;
        gScreenFlash = 0;
    }

    SceneItem* player_ = nullptr;
    SceneItem* ship_ = nullptr;
};

} // namespace

TEST_F(ActionsTest, ActionsOfAKeyFireInTheOrderAddedAndAreCounted)
{
    // Colour cycles: two on key 7 step the colour twice (9, then 10); the
    // one on key 8 stays quiet.
    ASSERT_TRUE(AddBuiltIn(ship_, 7, kActionColourCycle));
    ASSERT_TRUE(AddBuiltIn(ship_, 8, kActionColourCycle));
    ASSERT_TRUE(AddBuiltIn(ship_, 7, kActionColourCycle));
    EXPECT_EQ(CountActions(ship_), 3);
    EXPECT_EQ(ship_->sim->actions->key, 7u);
    EXPECT_EQ(ship_->sim->actions->next->key, 8u);
    EXPECT_EQ(FireActions(ship_, 7, nullptr), 2);
    EXPECT_EQ(ship_->avatar->colour, 10);
    EXPECT_EQ(FireActions(ship_, 99, nullptr), 0);
    EXPECT_EQ(ship_->avatar->colour, 10);
    EXPECT_EQ(FireActions(player_, 7, nullptr), 0);
}

TEST_F(ActionsTest, AnEmptyPoolOrABadIndexAttachesNothing)
{
    for (int16_t bad : {int16_t{-1}, int16_t{kBuiltInActionCount}, int16_t{0x7FFF}})
        EXPECT_FALSE(AddBuiltIn(ship_, 0, bad)) << bad;
    EXPECT_FALSE(AddAction(ship_, 0, kActionCallback, nullptr));
    EXPECT_EQ(ship_->sim->actions, nullptr);
    EXPECT_EQ(ActionsInUse(), 0);

    for (int i = 0; i < kMaxActions; ++i)
        ASSERT_TRUE(AddBuiltIn(ship_, 1, kActionColourCycle));
    EXPECT_FALSE(AddBuiltIn(player_, 1, kActionColourCycle));
    EXPECT_EQ(FatalStops(), std::vector<std::string>{"Exceeded max Actions"});
    EXPECT_EQ(player_->sim->actions, nullptr);
    EXPECT_EQ(CountActions(ship_), kMaxActions);
}

TEST_F(ActionsTest, ADestroyedItemsActionsGoBackToThePool)
{
    for (int i = 0; i < kMaxActions; ++i)
        ASSERT_TRUE(AddBuiltIn(ship_, 1, kActionColourCycle));
    PostItemMessage(ship_->receiver, ship_->receiver, 0, kMsgDelete, 0, nullptr);
    HandleItemMessages(ship_);
    ASSERT_FALSE(ship_->flags & kItemInUse);
    EXPECT_EQ(ActionsInUse(), 0);
    EXPECT_TRUE(AddBuiltIn(player_, 1, kActionColourCycle));
}

TEST_F(ActionsTest, AHullRuptureOpensAtTheHitPointOnAHit)
{
    ASSERT_TRUE(AddBuiltIn(ship_, kEventHit, kActionHullRupture));
    ship_->avatar->hitResponse = [](SceneItem*, const void*) {};
    const HitPayload hit = HitAt(1, 2, 3);
    PostItemMessage(ship_->receiver, ship_->receiver, 0, kMsgHit, hit);
    HandleItemMessages(ship_);
    EXPECT_EQ(effectsprobe::Count(ship_, effectsprobe::kHullRupture), 1);
    // Fired without a hit record there is no point: nothing.
    EXPECT_EQ(FireActions(ship_, kEventHit, nullptr), 1);
    EXPECT_EQ(effectsprobe::Count(ship_, effectsprobe::kHullRupture), 1);
}

TEST_F(ActionsTest, APlasmaBallGrowsAtTheItemThatFiredIt)
{
    struct Case {
        int16_t index;
        int32_t growth;
    };
    CapturedSound sound;
    sound.LoadSlots({38});
    for (const Case c : {Case{kActionPlasmaBall, 120000}, Case{kActionLongPlasmaBall, 1800000}}) {
        SCOPED_TRACE(c.index);
        SceneItem* source = MakeItem(nullptr, nullptr, HandleItemMessages);
        source->sim->matrix.m[12] = 500.0f;
        source->sim->position = {500.0, 0.0, 0.0};
        ASSERT_TRUE(AddBuiltIn(source, 2, c.index));
        gFrameClock.gameClock = 1000;
        EXPECT_EQ(FireActions(source, 2, nullptr), 1);

        EXPECT_EQ(source->avatar->collision, DeleteSelfOnContact);
        EXPECT_EQ(source->avatar->root->radius, 100000.0f);
        EXPECT_EQ(gScreenFlash, 175);
        EXPECT_TRUE(CapturedSound::TakePlay(38));
        SceneItem* ball = nullptr;
        for (SceneItem* s = gSceneList.next; s != &gSceneList; s = s->next)
            if (s->perFrame == PlasmaBallStep)
                ball = s;
        ASSERT_NE(ball, nullptr);
        EXPECT_EQ(ball->message, HandleItemMessages);
        EXPECT_EQ(ball->avatar->collision, CrushOnContact);
        EXPECT_EQ(ball->avatar->params[kParamName], c.growth);
        EXPECT_EQ(ball->sim->mass, 1850.0f);
        EXPECT_EQ(ball->sim->radius, 30.0f);
        EXPECT_EQ(ball->sim->hull, 2000000000);
        EXPECT_EQ(ball->sim->countdown, 550);
        EXPECT_EQ(ball->sim->matrix.m[12], 500.0f);
        EXPECT_EQ(ball->avatar->position.x, 500.0);
        EXPECT_TRUE(ball->avatar->root->flags & 0x8014);
        // Its life: a delete after 550.
        gFrameClock.gameClock = 1549;
        HandleItemMessages(ball);
        EXPECT_TRUE(ball->flags & kItemInUse);
        gFrameClock.gameClock = 1550;
        HandleItemMessages(ball);
        EXPECT_FALSE(ball->flags & kItemInUse);
        gScreenFlash = 0;
    }
}

TEST_F(ActionsTest, DockingAlignmentCouplesOnlyThePlayersShipWhenNearlyParallel)
{
    ASSERT_TRUE(AddBuiltIn(ship_, kEventDocked, kActionDockingAlignment));
    SceneItem* other = MakeItem(nullptr, nullptr, HandleItemMessages);
    MakeShip(other);
    for (SceneItem* item : {ship_, player_, other})
        AddDockPoint(item, 0, 1, 0, 0, 0, 0, 0, 0, 50);
    struct Case {
        SceneItem* who;
        Vector3 axis; // of the other item; the ship's z axis is (0, 0, 1)
        bool docks;
    };
    const Case cases[] = {
        {player_, {0.0f, 0.0f, 1.0f}, true},
        {player_, {0.0f, 0.43f, 0.9f}, true},
        {player_, {0.0f, 0.0f, -1.0f}, true},
        {player_, {0.0f, 0.6f, -0.8f}, false},
        {player_, {0.0f, 0.6f, 0.8f}, false},
        {other, {0.0f, 0.0f, 1.0f}, false},
    };
    for (const Case& c : cases) {
        ClearCallTrace();
        gDockingAligned = 0;
        SetZAxis(c.who, c.axis.x, c.axis.y, c.axis.z);
        EXPECT_EQ(FireActions(ship_, kEventDocked, c.who), 1);
        EXPECT_EQ(FindDockedItem(ship_, c.who), c.docks ? c.who : nullptr) << c.axis.y << " " << c.axis.z;
        EXPECT_EQ(gDockingAligned, c.docks ? 255 : 0);
        UnlinkDockPoints(NthDockPoint(ship_, 0, nullptr));
    }
}

TEST_F(ActionsTest, TheColourCycleStepsTheMarkerAndTheRootsEmitter)
{
    ASSERT_TRUE(AddBuiltIn(ship_, 3, kActionColourCycle));
    // Without an emitter only the marker colour steps.
    const uint8_t steps[] = {9, 10, 12, 9};
    for (uint8_t expected : steps) {
        FireActions(ship_, 3, nullptr);
        EXPECT_EQ(ship_->avatar->colour, expected);
    }
    ParticleEmitter* emitter = AllocSmallParticleEmitter();
    ASSERT_NE(emitter, nullptr);
    emitter->pointCount = 3;
    ship_->avatar->root->emitter = emitter;
    FireActions(ship_, 3, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(emitter->points[i].colour, 10);
        EXPECT_EQ(emitter->points[i].brightness, 64);
    }
    EXPECT_EQ(emitter->points[3].brightness, 0);
}

TEST_F(ActionsTest, AFilmActionPlaysItsFilmWhenItsEventFires)
{
    // The film in a video folder of the test's own, written by our Smacker writer.
    ScratchFolder video{"actions_video"};
    const std::vector<uint8_t> bytes = smk::Write(smk::MakeFixtureFilm({64, 32, 2}));
    std::ofstream(video / "dock.smk", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    const std::string savedFolder = gVideoFolder;
    gVideoFolder = video.Path().string();

    Resource film{};
    std::strcpy(film.name, "zqk\\resource\\video\\dock.smk");
    ASSERT_TRUE(AddAction(ship_, kEventDocked, kActionFilm, &film));
    EXPECT_EQ(ship_->sim->actions->scriptRecord, &film);
    PostItemMessage(ship_->receiver, ship_->receiver, 0, kMsgDock, ItemBody{ItemHandle(player_)});
    HandleItemMessages(ship_);
    EXPECT_TRUE(FullScreenFilmOpen());
    EXPECT_EQ(gLoopFlags.filmMode, 255);
    StopFilm();
    EXPECT_EQ(gLoopFlags.filmMode, 0);

    // A film that is not there starts nothing: film mode stays off.
    std::strcpy(film.name, "zqk\\resource\\video\\gone.smk");
    gLoopFlags.filmMode = 255;
    PostItemMessage(ship_->receiver, ship_->receiver, 0, kMsgDock, ItemBody{ItemHandle(player_)});
    HandleItemMessages(ship_);
    EXPECT_FALSE(FullScreenFilmOpen());
    EXPECT_EQ(gLoopFlags.filmMode, 0);
    gVideoFolder = savedFolder;
}
