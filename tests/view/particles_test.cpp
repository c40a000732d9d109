// Particle emitters on items of a fresh world with the view started: what each
// updater does to the points frame by frame, hostile arguments, and full
// pools.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "framework/scene.h"
#include "screens/bridge.h"
#include "system/gamemath.h"
#include "tests/support/world_fixture.h"
#include "tests/view/view_fixture.h"
#include "view/particles.h"
#include "view/renderpasses.h"
#include "world/pools.h"
#include "world/records.h"

namespace {

int LivePoints(const ParticleEmitter* e)
{
    int n = 0;
    for (int i = 0; i < e->capacity; ++i)
        n += e->points[i].life > 0;
    return n;
}

bool InUse(const TDP* tdp)
{
    return tdp->flags & kTdpInUse;
}

float Length(const Vector3& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

class Particles : public viewtest::ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        item = worldtest::MakeItem();
        item->sim->radius = 1000.0f;
        worldtest::SetFrameStep(10);
    }
    void TearDown() override
    {
        gFreezeView = 0;
        ViewTest::TearDown();
    }
    // One frame of the emitter's TDP routine at the item's place.
    void Frame(TDP* tdp) { UpdateEmitterTdp(tdp, &item->sim->matrix); }
    TDP* Attach(int32_t type, uint32_t flags, int32_t life, int32_t count, int32_t pointLife, float speed = 100.0f,
                int32_t rate = 0, float spread = 30.0f)
    {
        return AttachParticleEmitter(item, nullptr, type, flags, life, count, pointLife, speed, rate, spread);
    }
    SceneItem* item = nullptr;
};

TEST_F(Particles, ABurstEmitsItsCountAtAttachAndNoMore)
{
    TDP* tdp = Attach(2, kEmitterBurst | kEmitterGeneral, 1000, 200, 20);
    ASSERT_NE(tdp, nullptr);
    ParticleEmitter* e = tdp->emitter;
    EXPECT_EQ(LivePoints(e), 200);
    EXPECT_EQ(e->alive, 0);
    int before = LivePoints(e);
    for (int frame = 0; frame < 5 && InUse(tdp); ++frame) {
        Frame(tdp);
        EXPECT_LE(LivePoints(e), before); // freed points are never refilled
        before = LivePoints(e);
    }
    EXPECT_FALSE(InUse(tdp)); // removed once its last point died
}

TEST_F(Particles, BurstSparksFlyInTheirConeAtAroundTheirSpeed)
{
    struct Case {
        float spread;
    } cases[] = {{30.0f}, {90.0f}, {180.0f}, {350.0f}};
    for (const Case& c : cases) {
        TDP* tdp = Attach(2, kEmitterBurst | kEmitterNoInherit, 1000, 250, 100, 400.0f, 0, c.spread);
        ASSERT_NE(tdp, nullptr);
        for (int i = 0; i < 250; ++i) {
            const Vector3& v = tdp->emitter->points[i].velocity;
            const float speed = Length(v);
            EXPECT_GE(speed, 400.0f * 0.75f - 0.01f);
            EXPECT_LT(speed, 400.0f * 1.25f + 0.01f);
            // The angle from the -Z axis is at most half the spread.
            const float fromAxis = std::acos(std::clamp(-v.z / speed, -1.0f, 1.0f)) * 180.0f / 3.14159265f;
            EXPECT_LE(fromAxis, std::min(c.spread / 2, 180.0f) + 0.05f) << c.spread;
        }
        RemoveParticleSystem(tdp);
    }
}

TEST_F(Particles, SpikesLeaveInRunsSharingAStartAndADirection)
{
    TDP* tdp = Attach(4, kEmitterBurst | kEmitterNoInherit, 1000, 250, 50, 300.0f);
    ASSERT_NE(tdp, nullptr);
    const ParticleEmitter* e = tdp->emitter;
    EXPECT_EQ(LivePoints(e), 250); // 35 runs of 7 and one of 5
    for (int run = 0; run < 35; ++run) {
        const EmitterPoint& first = e->points[249 - run * 7];
        EXPECT_NEAR(Length(first.position), 20.0f, 1e-3f);
        for (int k = 1; k < 7; ++k) {
            const EmitterPoint& p = e->points[249 - run * 7 - k];
            EXPECT_EQ(p.colour, 71);
            EXPECT_EQ(p.life, 50);
            EXPECT_FLOAT_EQ(p.position.x, first.position.x);
            // Along the run's direction: the velocity is parallel to the start.
            Vector3 cross;
            VecCross(p.velocity, first.position, cross);
            EXPECT_NEAR(Length(cross), 0.0f, 1e-2f * (Length(p.velocity) + 1.0f));
        }
    }
}

TEST_F(Particles, JetHeadsTrailSparksBehindThem)
{
    TDP* tdp = Attach(2, kEmitterJet | kEmitterGeneral, 1000, 250, 10, 300.0f);
    ASSERT_NE(tdp, nullptr);
    const ParticleEmitter* e = tdp->emitter;
    std::vector<int> heads;
    for (int i = 249; i >= 0; --i)
        if (e->points[i].life > 0)
            heads.push_back(i);
    ASSERT_FALSE(heads.empty());
    EXPECT_EQ(heads.front(), 249);
    for (size_t h = 1; h < heads.size(); ++h) {
        EXPECT_GE(heads[h - 1] - heads[h], 10);
        EXPECT_LE(heads[h - 1] - heads[h], 15);
    }
    for (int head : heads)
        EXPECT_TRUE(e->points[head].colour == 11 || e->points[head].colour == 13);
    worldtest::SetFrameStep(1);
    Frame(tdp);
    int sparks = 0;
    for (int i = 0; i < 249; ++i)
        if (e->points[i].life > 0 && e->points[i].life <= 2 * e->pointLife) {
            ++sparks;
            EXPECT_TRUE(e->points[i].colour == 11 || e->points[i].colour == 13);
        }
    EXPECT_GT(sparks, 100); // most free points behind a head became sparks
}

TEST_F(Particles, SwirlPointsCircleOnTheOwnersSphere)
{
    TDP* tdp = Attach(2, kEmitterBurst | kEmitterSwirl | kEmitterNoInherit, 1000, 60, 100, 0.0f, 0, 120.0f);
    ASSERT_NE(tdp, nullptr);
    const ParticleEmitter* e = tdp->emitter;
    ASSERT_EQ(LivePoints(e), 60);
    for (int i = 0; i < 60; ++i) {
        const EmitterPoint& p = e->points[i];
        EXPECT_NEAR(Length(p.position), 1000.0f, 0.5f);
        const float along = p.position.x * p.velocity.x + p.position.y * p.velocity.y + p.position.z * p.velocity.z;
        EXPECT_NEAR(along / 1000.0f, 0.0f, 1.0f); // tangential
        EXPECT_EQ(p.velocity.z, 0.0f);
    }
}

TEST_F(Particles, TypeZeroRefillsEveryFreePointEachFrame)
{
    worldtest::SetFrameStep(1);
    TDP* plain = Attach(0, kEmitterGeneral, 1000, 30, 20);
    TDP* ramped = Attach(2, kEmitterGeneral, 1000, 30, 20); // rate 0: emits nothing
    ASSERT_TRUE(plain && ramped);
    EXPECT_EQ(LivePoints(plain->emitter), 0);
    Frame(plain);
    EXPECT_EQ(LivePoints(plain->emitter), 30);
    EXPECT_EQ(plain->emitter->owner.Get(), item);
    Frame(ramped);
    EXPECT_FALSE(InUse(ramped));
}

TEST_F(Particles, ATimedEmitterStopsAtHalfItsLifeAndGoesWithItsLastPoint)
{
    TDP* tdp = Attach(2, kEmitterTimed | kEmitterGeneral, 1120, 250, 100, 100.0f, 1000);
    ASSERT_NE(tdp, nullptr);
    ParticleEmitter* e = tdp->emitter;
    int ticks = 0, stoppedAt = -1;
    while (InUse(tdp) && ticks < 2000) {
        Frame(tdp);
        ticks += 10;
        if (stoppedAt < 0 && !e->alive)
            stoppedAt = ticks;
    }
    EXPECT_GE(stoppedAt, 550);
    EXPECT_LE(stoppedAt, 580);
    EXPECT_FALSE(InUse(tdp));
    EXPECT_LE(ticks, stoppedAt + 100); // the last points live under 100 ticks
}

TEST_F(Particles, FrozenNothingMovesAgesOrGoes)
{
    TDP* tdp = Attach(2, kEmitterBurst | kEmitterGeneral, 1000, 50, 20);
    ASSERT_NE(tdp, nullptr);
    const std::vector<EmitterPoint> before(tdp->emitter->points, tdp->emitter->points + 50);
    gFreezeView = 1;
    for (int frame = 0; frame < 10; ++frame)
        Frame(tdp);
    ASSERT_TRUE(InUse(tdp));
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(tdp->emitter->points[i].life, before[i].life);
        EXPECT_EQ(tdp->emitter->points[i].position.x, before[i].position.x);
    }
}

TEST_F(Particles, AStreamEmitsOnlyTowardATarget)
{
    TDP* tdp = Attach(2, kEmitterStream | kEmitterGeneral, 1000, 100, 100, 0.0f, 1000);
    ASSERT_NE(tdp, nullptr);
    ParticleEmitter* e = tdp->emitter;
    Frame(tdp);
    EXPECT_EQ(LivePoints(e), 0);
    EXPECT_FALSE(InUse(tdp));

    SceneItem* target = worldtest::MakeItem();
    target->sim->matrix.m[12] = 50000.0f;
    item->sim->target = target;
    tdp = Attach(2, kEmitterStream | kEmitterGeneral, 1000, 100, 100, 0.0f, 1000);
    ASSERT_NE(tdp, nullptr);
    Frame(tdp);
    EXPECT_EQ(LivePoints(tdp->emitter), 100);
    for (int i = 0; i < 100; ++i) // along the line, toward the other end
        EXPECT_NE(tdp->emitter->points[i].velocity.x, 0.0f);
}

TEST_F(Particles, FastMotionStepsFourAndAHalfTimesTheSecondsSquared)
{
    TDP* tdp = Attach(2, kEmitterBurst | kEmitterGeneral | kEmitterFastMotion, 1000, 10, 1000, 500.0f);
    ASSERT_NE(tdp, nullptr);
    const EmitterPoint p = tdp->emitter->points[9];
    Frame(tdp);
    const EmitterPoint& q = tdp->emitter->points[9];
    const float s = 4.5f * 0.1f * 0.1f;
    EXPECT_NEAR(q.position.x - p.position.x, p.velocity.x * s, 1e-3f);
    EXPECT_NEAR(q.position.z - p.position.z, p.velocity.z * s, 1e-3f);
    EXPECT_GT(Length(p.velocity), 300.0f);
}

TEST_F(Particles, ARingLaysTwoOutlinesPairedByAngle)
{
    TDP* tdp = Attach(2, kEmitterRing, 1000, 0, 10);
    ASSERT_NE(tdp, nullptr);
    const ParticleEmitter* e = tdp->emitter;
    ASSERT_EQ(e->pointCount, 201);
    EXPECT_EQ(e->points[0].life, 0);
    for (int i = 1; i <= 100; ++i) {
        const Vector3& in = e->points[i].offset;
        const Vector3& out = e->points[i + 100].offset;
        EXPECT_NEAR(Length(in), 1000.0f, 0.5f);
        EXPECT_NEAR(Length(out), 4000.0f, 0.5f);
        EXPECT_NEAR(std::atan2(in.z, in.x), std::atan2(out.z, out.x), 1e-4f) << i;
        EXPECT_EQ(e->points[i].life, 100);
    }
}

TEST_F(Particles, OrbitersCircleAtTheirDistanceWithoutPassingTheArray)
{
    TDP* tdp = Attach(2, kEmitterOrbiters, 1000, 250, 10);
    TDP* next = Attach(2, 0, 1000, 250, 10);
    ASSERT_TRUE(tdp && next);
    ParticleEmitter* e = tdp->emitter;
    ASSERT_EQ(next->emitter->points, e->points + 250); // the neighbour in memory
    next->emitter->points[0].offset = {1, 2, 3};
    for (int frame = 0; frame < 3; ++frame)
        UpdateOrbiters(tdp, e);
    EXPECT_NEAR(Length(e->points[248].offset), 7000.0f * std::sqrt(1.0f + 0.1f * 0.1f), 1.0f); // unit step, one frame
    EXPECT_NE(e->points[249].offset.x, 0.0f);
    EXPECT_EQ(next->emitter->points[0].offset.x, 1.0f);
    EXPECT_EQ(next->emitter->points[0].offset.z, 3.0f);
}

// A model of `n` vertices along z from -length/2 to +length/2, bounds to match.
struct Spine {
    explicit Spine(int n, float length)
    {
        vertices.resize(size_t(n));
        for (int i = 0; i < n; ++i)
            vertices[size_t(i)].p = {0.0f, 0.0f, -length / 2 + length * float(i) / float(n > 1 ? n - 1 : 1)};
        model.vertices = vertices.data();
        model.nvertices = uint16_t(n);
        model.bounds = {{-100.0f, -100.0f, -length / 2}, {100.0f, 100.0f, length / 2}};
    }
    std::vector<hx_vertex> vertices;
    hx_model model{};
};

TEST_F(Particles, ASweepEndsWithItsCountdown)
{
    Spine spine(2, 2000.0f);
    item->avatar->root->model = &spine.model;
    TDP* tdp = Attach(2, kEmitterSweep, 100, 30, 10);
    ASSERT_NE(tdp, nullptr);
    Frame(tdp);
    EXPECT_EQ(LivePoints(tdp->emitter), 30);
    int frames = 1;
    while (InUse(tdp) && frames < 50) {
        Frame(tdp);
        ++frames;
    }
    EXPECT_EQ(frames, 10);
}

TEST_F(Particles, ASweepOverAnOwnerOfNoLengthDrawsNothing)
{
    Spine flat(2, 0.0f);
    item->avatar->root->model = &flat.model;
    TDP* tdp = Attach(2, kEmitterSweep, 100, 30, 10);
    ASSERT_NE(tdp, nullptr);
    Frame(tdp);
    EXPECT_TRUE(InUse(tdp));
    EXPECT_EQ(LivePoints(tdp->emitter), 0);
}

TEST_F(Particles, TheVertexBandMovesFromBowToStern)
{
    Spine spine(201, 2000.0f); // z from -1000 to +1000, the owner's radius
    // In a model's order, not sorted by z: the band's search tries a few
    // dozen vertices in turn from a random one.
    for (int i = 0; i < 201; ++i)
        spine.vertices[size_t(i)].p.z = -1000.0f + 10.0f * float(i * 97 % 201);
    item->avatar->root->model = &spine.model;
    worldtest::SetFrameStep(1);
    TDP* tdp = Attach(2, kEmitterVertexBand | kEmitterTimed | kEmitterGeneral | kEmitterNoInherit, 100, 250, 4,
                      0.0f, 10000);
    ASSERT_NE(tdp, nullptr);
    auto meanZ = [&] {
        float sum = 0;
        int n = 0;
        for (int i = 0; i < 250; ++i)
            if (tdp->emitter->points[i].life > 0) {
                sum += tdp->emitter->points[i].position.z;
                ++n;
            }
        return n ? sum / float(n) : 0.0f;
    };
    Frame(tdp);
    Frame(tdp);
    const float early = meanZ();
    for (int frame = 0; frame < 33; ++frame)
        Frame(tdp);
    const float late = meanZ();
    EXPECT_GT(early, 750.0f);
    EXPECT_LT(late, -250.0f);
}

// Debris sparks start at the owner's vertices in turn, passing over those
// marked (the hull's torn-off parts).
TEST_F(Particles, SparksFromVerticesSkipTheMarkedOnes)
{
    Spine spine(3, 2000.0f); // z -1000, 0, +1000
    spine.vertices[1].gap[0] = 1;
    item->avatar->root->model = &spine.model;
    TDP* tdp = Attach(2, kEmitterBurst | kEmitterFromVertices | kEmitterGeneral | kEmitterNoInherit, 100, 6, 50, 0.0f);
    ASSERT_NE(tdp, nullptr);
    int bow = 0, stern = 0;
    for (int i = 0; i < tdp->emitter->pointCount; ++i) {
        const EmitterPoint& p = tdp->emitter->points[i];
        if (p.life <= 0)
            continue;
        EXPECT_NE(p.position.z, 0.0f) << "a spark at the marked vertex";
        bow += p.position.z == 1000.0f;
        stern += p.position.z == -1000.0f;
    }
    EXPECT_EQ(bow, 3);
    EXPECT_EQ(stern, 3);
}

TEST_F(Particles, HostileArgumentsNeitherDivideByZeroNorWritePastThePoints)
{
    struct Case {
        int32_t count, life, pointLife;
    } cases[] = {{0, 100, 10}, {10000, 100, 10}, {50, 0, 10}, {50, -5, 10}, {50, 100, 0}};
    const uint32_t kinds[] = {
        kEmitterBurst | kEmitterGeneral | kEmitterRateByLife | kEmitterGrowing | kEmitterFastMotion,
        kEmitterGeneral | kEmitterTimed | kEmitterRateByLife,
        kEmitterSweep,
    };
    Spine spine(3, 500.0f);
    item->avatar->root->model = &spine.model;
    for (const Case& c : cases) {
        for (uint32_t flags : kinds) {
            for (int32_t type : {0, 2}) {
                TDP* tdp = Attach(type, flags, c.life, c.count, c.pointLife, 100.0f, 5000);
                ASSERT_NE(tdp, nullptr);
                ParticleEmitter* e = tdp->emitter;
                EXPECT_LE(e->pointCount, e->capacity);
                EXPECT_GE(e->life, 1);
                EXPECT_GE(e->pointLife, 1);
                for (int frame = 0; frame < 3 && InUse(tdp); ++frame)
                    Frame(tdp);
                if (InUse(tdp))
                    RemoveParticleSystem(tdp);
            }
        }
    }
}

TEST_F(Particles, FullPoolsAnswerNullAndAddNoPart)
{
    std::vector<TDP*> made;
    for (int i = 0; i < kMaxParticleEmitters; ++i)
        made.push_back(Attach(2, 0, 1000, 10, 10));
    for (TDP* tdp : made)
        ASSERT_NE(tdp, nullptr);
    auto parts = [&] {
        int n = 0;
        for (const TDP* t = item->avatar->root->firstChild; t; t = t->nextSibling)
            ++n;
        return n;
    };
    const int before = parts();
    EXPECT_EQ(Attach(2, 0, 1000, 10, 10), nullptr);
    EXPECT_EQ(parts(), before);
    // Marker-light sets come from the small pool, still free.
    EXPECT_NE(Attach(2, kEmitterMarkerLights, 1000, 10, 10), nullptr);
}

} // namespace
