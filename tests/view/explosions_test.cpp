// The named effects and the marker lights, checked on the emitter records
// they leave on an item (a headless world: no framework, no drawing).
#include "tests/support/effects_probe.h"
#include "tests/support/world_fixture.h"

#include "system/crand.h"
#include "system/frameclock.h"
#include "view/cameras.h"
#include "view/colourtables.h"
#include "view/explosions.h"
#include "view/markerlights.h"
#include "view/particles.h"
#include "world/itemmessages.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace worldtest;

namespace {

class EffectsTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        SetFrameStep(5);
        CRandSeed(7);
        // A lookup giving each colour the low byte of its index.
        for (size_t i = 0; i < lookup.size(); ++i)
            lookup[i] = static_cast<uint8_t>(i);
        gRampLookup = lookup.data();
        item = MakeItem();
        item->sim->radius = 20000.0f;
    }
    void TearDown() override
    {
        gRampLookup = nullptr;
        WorldTest::TearDown();
    }
    // The only emitter on the item with these flags.
    const ParticleEmitter* Only(uint32_t flags) const
    {
        const ParticleEmitter* found = nullptr;
        for (const ParticleEmitter* e : effectsprobe::Emitters(item))
            if ((e->flags & ~effectsprobe::kInUse) == flags) {
                EXPECT_EQ(found, nullptr) << "two emitters with flags " << flags;
                found = e;
            }
        return found;
    }
    std::vector<uint8_t> lookup = std::vector<uint8_t>(65536);
    SceneItem* item = nullptr;
};

TEST_F(EffectsTest, EachEffectHasItsSettings)
{
    struct Row {
        const char* name;
        void (*make)(SceneItem*);
        int16_t type;
        uint32_t flags;
        int16_t life;
        float speed;
        int32_t rate;
        float spread;
    };
    static const Vector3 hit{100, 0, 0}; // static: the rows' lambdas capture nothing
    // clang-format off
    const Row rows[] = {
        {"minor", [](SceneItem* i) { AddMinorExplosion(i, 0xE, 0x4, &hit); }, 2, 0x12, 100, 2000, 900, 180},
        {"thermal", [](SceneItem* i) { AddThermalExplosion(i, &hit); }, 2, 0x12, 100, 2000, 900, 180},
        {"sparks", [](SceneItem* i) { AddDebrisSparks(i, 0); }, 2, 0x8812, 32767, 10000, 180, 5},
        {"coloured", [](SceneItem* i) { AddColouredExplosion(i, 255, 0, 0, 15, 0, 0); }, 2, 0x12, 250, 15000, 600, 360},
        {"arrival", [](SceneItem* i) { AddArrivalFlash(i); }, 0, 0x4000, 150, 15000, 600, 360},
        {"departure", [](SceneItem* i) { AddDepartureFlash(i); }, 0, 0x4000, 75, -15000, 600, 360},
        {"lds", [](SceneItem* i) { AddLdsEffect(i); }, 2, 0xA12, 250, -32000, 150, 45},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        item = MakeItem();
        item->sim->radius = 20000.0f;
        r.make(item);
        const ParticleEmitter* e = Only(r.flags);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->type, r.type);
        EXPECT_EQ(e->life, r.life);
        EXPECT_EQ(e->speed, r.speed);
        EXPECT_EQ(e->rate, r.rate);
        EXPECT_EQ(e->spread, r.spread);
    }
}

TEST_F(EffectsTest, ColourBitsMakeTheMinorExplosionsRamp)
{
    const Vector3 hit{0, 0, 100};
    AddMinorExplosion(item, 0xE, 0x1, &hit);
    const ParticleEmitter* e = Only(0x12);
    ASSERT_NE(e, nullptr);
    uint8_t expected[32];
    // 0xE: full red and green; 0x1: half blue.
    BuildColourRamp(lookup.data(), expected, 255, 255, 0, 0, 0, 128);
    EXPECT_EQ(std::memcmp(e->ramp, expected, sizeof expected), 0);
}

TEST_F(EffectsTest, AHullRuptureVentsWithinItsSpeedsAndLightsUp)
{
    for (int i = 0; i < 20; ++i) {
        item = MakeItem();
        item->sim->radius = 20000.0f; // 0.4 x radius = 8000
        const Vector3 hit{0, 0, 50};
        AddHullRupture(item, 1, 0, &hit, 0);
        const ParticleEmitter* e = Only(0x812);
        ASSERT_NE(e, nullptr);
        EXPECT_GE(e->speed, 8000.0f * 0.5f - 1.0f);
        EXPECT_LE(e->speed, 8000.0f * 1.1f);
        EXPECT_EQ(e->life, 32767); // a life of 0 lasts
        // A light at the rupture that goes after its time (mode 1).
        ASSERT_NE(MarkerSetOf(item), nullptr);
        EXPECT_EQ(MarkerSetOf(item)->emitter->pointCount, 2); // the anchor and the light
    }
}

TEST_F(EffectsTest, AMissingHitPointIsAFatalStopThatDoesNothingElse)
{
    AddMinorExplosion(item, 1, 1, nullptr);
    AddThermalExplosion(item, nullptr);
    AddHullRupture(item, 1, 0, nullptr, 0);
    EXPECT_EQ(FatalStops(), (std::vector<std::string>{"AddMinorExplosion", "AddThermalExplosion", "AddHullRupture"}));
    EXPECT_TRUE(effectsprobe::Emitters(item).empty());
}

TEST_F(EffectsTest, AFarDestructionHasFifteenPointsAndTheWreckExplodesPartByPart)
{
    item->receiver = AllocReceiver();
    // Three parts under the root: the chain takes them one by one.
    for (int i = 0; i < 3; ++i)
        AddChildTDP(item->avatar->root, nullptr, 0, 0, 0);
    // Seen from beyond 0.75 of its range: 250 x 0.25^2 points.
    SceneItem* camera = MakeItem();
    camera->sim->position = {0, 0, 1e9};
    gPlayerCamera = camera;
    HitPayload hit{};
    hit.point[0] = 1;
    AddShipDestructionExplosion(item, &hit, item);
    gPlayerCamera = nullptr;
    EXPECT_EQ(item->control, ChainExplosionStep);
    const ParticleEmitter* burst = Only(0x180012);
    ASSERT_NE(burst, nullptr);
    EXPECT_EQ(burst->pointCount, 15);

    // A step happens when rand % 250 is below the ticks: at 250 ticks always.
    SetFrameStep(250);
    int steps = 0;
    while (item->avatar->chainCursor && steps < 10) {
        ChainExplosionStep(item);
        ++steps;
    }
    EXPECT_EQ(steps, 3);
    ItemMessage m;
    gFrameClock.gameClock += 500;
    ASSERT_NE(FetchItemMessage(item->receiver, &m), nullptr);
    EXPECT_EQ(m.kind, kMsgDelete);
    EXPECT_EQ(effectsprobe::Count(item, 0x212), 3); // a burst for each part
}

TEST_F(EffectsTest, MarkerLightsBlinkByTheirTimes)
{
    // A set of two blinking points: on 10 of every 20 ticks, and on with no
    // off time (always lit).
    const Vector3 at{0, 0, 1};
    ASSERT_EQ(AddMarkerLight(item, &at, 1.0f, 4, 10, 10, 0), 2);
    ASSERT_EQ(AddMarkerLight(item, &at, 1.0f, 4, 10, 0, 0), 3);
    TDP* tdp = MarkerSetOf(item);
    ASSERT_NE(tdp, nullptr);
    ParticleEmitter* set = tdp->emitter;
    Matrix4 world;
    MatIdentity(world);
    SetFrameStep(1);
    const int16_t start = static_cast<int16_t>(set->spareWord);
    int lit = 0;
    for (int t = 0; t < 200; ++t) {
        UpdateMarkerLights(tdp, set, &world);
        lit += set->points[1].life;
        EXPECT_EQ(set->points[2].life, 1) << "a steady point stays lit";
    }
    EXPECT_NEAR(lit, 100, 2) << "on half of the ticks, whatever the start phase " << start;
}

TEST_F(EffectsTest, ASetTakesTwentyNinePointsAndACountingPointGoes)
{
    const Vector3 at{0, 0, 0};
    int32_t n = 0;
    for (int i = 0; i < 28; ++i)
        n = AddMarkerLight(item, &at, 1.0f, 2, 10, 10, 0);
    EXPECT_EQ(n, 29);                                             // the anchor and 28 lights
    EXPECT_EQ(AddMarkerLight(item, &at, 1.0f, 2, 10, 10, 0), 30); // full: count + 1, nothing added
    TDP* tdp = MarkerSetOf(item);
    EXPECT_EQ(tdp->emitter->pointCount, 29);

    // A counting point (on time 0, mode 1) goes when its period runs out,
    // and the points after it move down.
    SceneItem* other = MakeItem();
    ASSERT_EQ(AddMarkerLight(other, &at, 0.25f, 6, 0, 30, 1), 2);
    const Vector3 after{0, 0, 5};
    ASSERT_EQ(AddMarkerLight(other, &after, 0.5f, 3, 10, 10, 0), 3);
    TDP* set = MarkerSetOf(other);
    Matrix4 world;
    MatIdentity(world);
    SetFrameStep(10);
    UpdateMarkerLights(set, set->emitter, &world);
    UpdateMarkerLights(set, set->emitter, &world);
    EXPECT_EQ(set->emitter->pointCount, 3);
    UpdateMarkerLights(set, set->emitter, &world);
    ASSERT_EQ(set->emitter->pointCount, 2);
    EXPECT_EQ(set->emitter->points[1].offset.z, 500.0f); // the later point moved down
}

TEST_F(EffectsTest, LayoutsLayTheirPoints)
{
    struct Case {
        int32_t layout;
        int16_t points;
    } cases[] = {{2, 6}, {10, 1}, {11, 4}, {0, 12}, {7, 12}};
    for (const Case& c : cases) {
        SceneItem* ship = MakeItem();
        ASSERT_TRUE(AddMarkerLightSet(ship, c.layout));
        EXPECT_EQ(MarkerSetOf(ship)->emitter->pointCount, c.points) << c.layout;
    }
    SceneItem* mine = MakeItem();
    AddMarkerLightSet(mine, 11);
    // The mine's second light: (0, 0, -32) x 100, blinking 80 on and 0 off.
    const EmitterPoint& p = MarkerSetOf(mine)->emitter->points[1];
    EXPECT_EQ(p.offset.z, -3200.0f);
    EXPECT_FLOAT_EQ(p.size, 0.3f);
}

TEST_F(EffectsTest, TheFlashPointMovesTheAnchorAndSetsTheCountdown)
{
    const Vector3 at{0, 0, 1};
    AddMarkerLight(item, &at, 1.0f, 4, 10, 10, 0);
    const Vector3 offset{3, 4, 5};
    SetFlashPoint(item, 2, 999, &offset);
    const EmitterPoint& anchor = MarkerSetOf(item)->emitter->points[0];
    EXPECT_EQ(anchor.offset.x, 3.0f); // unscaled, the identity frame
    EXPECT_EQ(anchor.colour, 2);
    EXPECT_EQ(anchor.size, 1.5f);
    EXPECT_EQ(item->avatar->params[kParamEngineCountdown], 50);
    SetFlashPoint(item, 7, 999, &offset);
    EXPECT_EQ(item->avatar->params[kParamEngineCountdown], 999);
}

} // namespace
