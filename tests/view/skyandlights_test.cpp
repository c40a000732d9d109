// The sky and the software passes over a 640 x 480 memory frame buffer: the
// star field's points and trails, the background star catalogue, the
// particle pass (spots, streaks, triangles, the ring band), the sun flare's
// ghosts, the sky palette, the scene lights, the celestial sphere and the
// star gate's textures.
#include "tests/view/view_fixture.h"

#include <array>
#include <cmath>
#include <vector>

#include "../script/script_test_support.h"
#include "framework/scene_state.h"
#include "script/symbols.h"
#include "system/calltrace.h"
#include "system/canvas.h"
#include "system/crand.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "view/skyandlights.h"
#include "view/vectoricons.h"
#include "world/simframe.h"
#include "world/universe.h"

namespace {

using viewtest::kHeight;
using viewtest::kWidth;
using viewtest::ViewTest;

constexpr uint8_t kSky = 176;
constexpr int kCentreX = kWidth / 2, kCentreY = kHeight / 2;
constexpr float kDistance = 500.0f; // the tests' projection distance
constexpr uint8_t kBlended = 200;   // what every blend of the test tables gives

class Sky : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        viewer = worldtest::MakeItem();
        Place(viewer, 0, 0, 0);
        // The view's targets over the whole screen, as the render passes
        // leave them for the software passes.
        WindowHandle* view = ViewWindow(viewer);
        ASSERT_TRUE(AllocViewPixelmaps(view));
        ViewWindowRecord* record = FindViewWindowRecord(view);
        gView.window = record;
        gView.colourTarget = record->colour;
        gView.depthTarget = record->depth;
        gView.overlayTarget = record->overlay;
        gView.viewer = viewer;
        gView.hudViewport = {-kCentreX, -kCentreY, kCentreX - 1, kCentreY - 1};
        HxPixelmapFill(gView.depthTarget, 0xFFFF);
        std::fill(frame.begin(), frame.end(), kSky);
        gProjectionDistance = kDistance;
        savedTables = gGlowTables;
        blend.fill(kBlended);
        glow.fill(1);
        gGlowTables.blend = blend.data();
        gGlowTables.glowMaps[0] = gGlowTables.glowMaps[1] = glow.data();
        gBackgroundStarCount = 0;
        gStarFieldReset = 0;
    }
    void TearDown() override
    {
        gGlowTables = savedTables;
        FreeViewPixelmaps(&window);
        gView.window = nullptr;
        gView.colourTarget = gView.depthTarget = gView.overlayTarget = nullptr;
        gBackgroundStarCount = 0;
        gNebulaOn = 0;
        ViewTest::TearDown();
    }

    // A background star straight ahead of the viewer but for the screen
    // offset (pixels at the tests' projection distance).
    static void AddStar(float dx, float dy, uint8_t brightness)
    {
        BackgroundStar& s = gBackgroundStars[gBackgroundStarCount++];
        s = {};
        s.direction = {dx / kDistance * 1e10f, dy / kDistance * 1e10f, 1e10f};
        s.visible = s.lastVisible = kStarHidden;
        s.brightness = brightness;
        s.rampBase = 16;
    }
    // The viewer turned about its up axis by the angle (radians).
    void Turn(float radians)
    {
        Matrix4& m = viewer->sim->matrix;
        MatIdentity(m);
        m.m[0] = std::cos(radians);
        m.m[2] = -std::sin(radians);
        m.m[8] = std::sin(radians);
        m.m[10] = std::cos(radians);
    }
    // A star pass as the n-th of the frame's n views.
    void StarPass(int16_t countdown)
    {
        gStarTrailCountdown = countdown;
        DrawStarField();
    }
    int CountNot(uint8_t colour) const
    {
        int n = 0;
        for (uint8_t p : frame)
            n += p != colour;
        return n;
    }
    void SetDepth(int x, int y, uint16_t value)
    {
        HxPixelmapPixelSet(gView.depthTarget, x - kCentreX, y - kCentreY, value);
    }

    SceneItem* viewer = nullptr;
    GlowTables savedTables;
    std::array<uint8_t, kBlendTablesSize> blend{};
    std::array<uint8_t, kGlowMapSize * kGlowMapSize> glow{};
};

// ---- the star field -------------------------------------------------------------------------

TEST_F(Sky, StarsArePixelsOfTheirBrightnessAtTheirProjectedPlaces)
{
    AddStar(0, 0, 20);        // on the view axis
    AddStar(100, -50, 40);    // brighter than the ramp: its top
    AddStar(400, 0, 20);      // beyond the half width
    AddStar(kCentreX, 0, 20); // at the half width: within the rule, but past the last column
    StarPass(2);              // not the last view: points
    EXPECT_EQ(At(kCentreX, kCentreY), 16u + 20u);
    EXPECT_EQ(At(kCentreX + 100, kCentreY - 50), 16u + 31u);
    EXPECT_EQ(CountNot(kSky), 2);
    EXPECT_EQ(gStarTrailCountdown, 1);
}

TEST_F(Sky, OnlyTheLastOfSeveralViewsDrawsTrails)
{
    AddStar(0, 0, 200);
    StarPass(1); // the trail pass takes the first last places
    Turn(0.04f); // about 20 pixels to the left
    std::fill(frame.begin(), frame.end(), kSky);
    gStarTrailCountdown = 2;
    DrawStarField(); // the first view: a point
    EXPECT_EQ(CountNot(kSky), 1);
    std::fill(frame.begin(), frame.end(), kSky);
    DrawStarField(); // the last view: the trail
    EXPECT_GT(CountNot(kSky), 15);
}

// The countdown is the number of star passes the last frame drew: with
// two views drawing stars the second draws the trails, and a frame whose
// one view draws stars (whatever other windows it has) trails in it.
TEST_F(Sky, TheFramesStarPassesSetTheNextFramesCountdown)
{
    AddStar(0, 0, 200);
    for (int passes : {2, 1}) {
        Turn(0.0f);
        StarPass(1); // the trail pass takes the last places
        gStarPassesDrawn = 0;
        for (int i = 0; i < passes; ++i) // a frame of `passes` star passes
            StarPass(5);
        BeginStarPasses();
        EXPECT_EQ(gStarTrailCountdown, passes);
        EXPECT_EQ(gStarPassesDrawn, 0);
        Turn(0.04f); // about 20 pixels to the left
        for (int i = 0; i < passes; ++i) {
            std::fill(frame.begin(), frame.end(), kSky);
            DrawStarField();
        }
        EXPECT_EQ(gStarTrailCountdown, 0) << passes << " passes: the last one trails";
        EXPECT_GT(CountNot(kSky), 15) << passes;
    }
}

TEST_F(Sky, TheTrailPassDrawsByTheLevelRule)
{
    // {pixels moved, brightness, colour under the star, level (-1: none),
    // pixels drawn}
    struct Case {
        int moved;
        uint8_t brightness;
        uint8_t under;
        int level;
        int pixels;
    } const cases[] = {
        {0, 10, kSky, 10, 1},    // still: one pixel at full brightness
        {0, 2, kSky, -1, 0},     // too faint to draw
        {0, 10, 36, 18, 1},      // over something at ramp place 20: + 20 x 13 / 32
        {0, 40, kSky, 31, 1},    // at most the ramp's top
        {1, 20, kSky, 20, 2},    // two pixels: 20 / (1 / 2 + 1)...
        {2, 20, kSky, 10, 2},    // ...and 20 / (2 / 2 + 1), the last and the new place
        {20, 200, kSky, 18, 21}, // a line: 200 / (20 / 2 + 1)
        {20, 20, kSky, -1, 0},   // a faint line is not drawn
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moved);
        SCOPED_TRACE(int(c.brightness));
        gBackgroundStarCount = 0;
        AddStar(0, 0, c.brightness);
        Turn(0.0f);
        StarPass(1);
        std::fill(frame.begin(), frame.end(), kSky);
        Turn(std::atan((float(c.moved) + 0.4f) / kDistance));
        const int x = kCentreX - c.moved;
        frame[size_t(kCentreY) * kWidth + size_t(x)] = c.under;
        StarPass(1);
        if (c.level < 0) {
            EXPECT_EQ(CountNot(kSky), c.under == kSky ? 0 : 1);
            continue;
        }
        const uint8_t colour = uint8_t(16 + c.level);
        EXPECT_EQ(At(x, kCentreY), colour);        // the new place...
        EXPECT_EQ(At(kCentreX, kCentreY), colour); // ...and the last one
        for (int between = x; c.pixels > 2 && between <= kCentreX; ++between)
            EXPECT_EQ(At(between, kCentreY), colour) << between;
        EXPECT_EQ(CountNot(kSky), c.pixels);
    }
}

TEST_F(Sky, AStarOffScreenAtTheLastTrailIsNotDrawnAndACutDrawsNoTrail)
{
    AddStar(-100, 0, 200);
    Turn(0.9f); // the star lies off the screen
    StarPass(1);
    Turn(0.0f);
    StarPass(1);
    EXPECT_EQ(CountNot(kSky), 0);
    StarPass(1); // now it was on the screen last time too: a still star
    EXPECT_EQ(At(kCentreX - 100, kCentreY), 16u + 31u);
    EXPECT_EQ(CountNot(kSky), 1);

    // A camera cut: the next pass starts its trails afresh.
    std::fill(frame.begin(), frame.end(), kSky);
    Turn(0.04f);
    gStarFieldReset = 255;
    StarPass(1);
    EXPECT_EQ(CountNot(kSky), 1);
    EXPECT_EQ(gStarFieldReset, 0);
}

TEST_F(Sky, CatalogueStarsTakeTheirBrightnessFromTheirMagnitude)
{
    const uint8_t created = gUniverseCreated;
    const int loaded = gStarsLoaded;
    // {magnitude, brightness}; record 0 is never taken, nor a star without
    // the sky flag.
    struct Case {
        float magnitude;
        int32_t flags;
        int brightness;
    } const cases[] = {{12.0f, kStarFaint, 8}, {21.0f, kStarFaint, 32}, {16.0f, 0, -1}, {5.0f, kStarFaint, 0}, // brighter than the rule's range: clamped, not wrapped
                       {30.0f, kStarFaint, 32}};
    gStars[0] = {};
    gStars[0].position = {1, 0, 0};
    gStars[0].flags = kStarFaint;
    int n = 1;
    for (const Case& c : cases) {
        gStars[n] = {};
        gStars[n].position = {0, 0, float(n) * 1e5f};
        gStars[n].magnitude = c.magnitude;
        gStars[n].flags = c.flags;
        ++n;
    }
    gStars[n] = {}; // at the origin: no direction
    gStars[n].flags = kStarFaint;
    ++n;
    gUniverseCreated = 255;
    gStarsLoaded = n;
    BuildStarCatalogue();
    ASSERT_EQ(gBackgroundStarCount, 4);
    int star = 0;
    for (const Case& c : cases) {
        if (c.brightness < 0)
            continue;
        EXPECT_EQ(gBackgroundStars[star].brightness, c.brightness) << c.magnitude;
        EXPECT_FLOAT_EQ(gBackgroundStars[star].direction.z, 1e10f);
        ++star;
    }
    for (int i = 0; i < n; ++i)
        gStars[i] = {};
    gUniverseCreated = created;
    gStarsLoaded = loaded;
}

TEST_F(Sky, WithoutAUniverseTheStarsAreRandomAndRepeatWithTheSeed)
{
    CRandSeed(7);
    BuildStarCatalogue();
    ASSERT_EQ(gBackgroundStarCount, kBackgroundStars);
    std::vector<BackgroundStar> first(gBackgroundStars, gBackgroundStars + kBackgroundStars);
    auto same = [&first] {
        for (int i = 0; i < kBackgroundStars; ++i) {
            const BackgroundStar& a = first[size_t(i)];
            const BackgroundStar& b = gBackgroundStars[i];
            if (a.direction.x != b.direction.x || a.direction.y != b.direction.y || a.direction.z != b.direction.z ||
                a.brightness != b.brightness)
                return false;
        }
        return true;
    };
    for (const BackgroundStar& s : first) {
        const Vector3& d = s.direction;
        EXPECT_NEAR(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), 1e10, 1e4);
        EXPECT_GE(s.brightness, 8);
        EXPECT_LE(s.brightness, 36);
    }
    CRandSeed(7);
    BuildStarCatalogue();
    EXPECT_TRUE(same());
    CRandSeed(8);
    BuildStarCatalogue();
    EXPECT_FALSE(same());
}

// ---- the particle pass -----------------------------------------------------------------------

class SkyParticles : public Sky {
protected:
    void SetUp() override
    {
        Sky::SetUp();
        owner = worldtest::MakeItem();
    }
    // An emitter with points that the render left projected at the places.
    TDP* Emitter(int16_t type, uint32_t flags, std::initializer_list<Vector3> screens)
    {
        TDP* tdp = AttachParticleEmitter(owner, nullptr, type, flags, 100, int32_t(screens.size()), 100, 0, 0, 0);
        if (!tdp)
            return nullptr;
        ParticleEmitter* e = tdp->emitter;
        e->alive = 0;
        int i = 0;
        for (const Vector3& s : screens) {
            EmitterPoint& p = e->points[i++];
            p = EmitterPoint{};
            p.screen = s;
            p.life = 50;
            p.brightness = 32;
            p.size = 0.0001f; // a one-pixel spot
            p.colour = 1;     // ramp 1: its pixel colour is 136
        }
        return tdp;
    }
    SceneItem* owner = nullptr;
};

TEST_F(SkyParticles, ASpotIsHiddenBehindANearerDepthPixel)
{
    TDP* tdp = Emitter(0, 0, {{100, 100, 5000}, {200, 100, 5000}, {300, 100, 5000}});
    ASSERT_NE(tdp, nullptr);
    SetDepth(100, 100, 5000 + 32766);     // just in front: hidden
    SetDepth(200, 100, 5000 + 32766 + 1); // just behind: drawn
    DrawParticleEmitter(tdp);
    EXPECT_EQ(At(99, 99), kSky);
    EXPECT_EQ(At(199, 99), 136u);
    EXPECT_EQ(At(299, 99), 136u);
    EXPECT_EQ(CountNot(kSky), 2);
}

TEST_F(SkyParticles, ASpotGrowsAsItsPointComesNearer)
{
    BuildMainWorld(); // the main camera: hither 1000, yon 1e7
    // The screen depth of a point 12,500 along the view axis: the spot is
    // 1,250,000 / 12,500 = 100 times the point's size across.
    const double h = 1000, y = 1e7, d = 12500;
    const float z = float(32768 * ((h + y) - 2 * h * y / d) / (y - h));
    TDP* tdp = Emitter(0, kEmitterLightField, {{300, 200, z}});
    ASSERT_NE(tdp, nullptr);
    tdp->emitter->points[0].size = 0.3f;
    DrawParticleEmitter(tdp);
    EXPECT_EQ(At(300 - 15, 200), kBlended);
    EXPECT_EQ(At(300 + 14, 200), kBlended);
    EXPECT_EQ(At(300 - 16, 200), kSky);
    EXPECT_EQ(At(300 + 15, 200), kSky);
}

TEST_F(SkyParticles, NearOnlyPointsGoWhileTheOwnerShowsItsOnePointModel)
{
    TDP* tdp = Emitter(0, 0, {{100, 100, 5000}, {200, 100, 5000}});
    ASSERT_NE(tdp, nullptr);
    tdp->emitter->points[1].spare = kPointNearOnly;
    hx_actor* body = HxActorAllocate(HX_ACTOR_MODEL, nullptr);
    owner->avatar->root->actor = body;
    body->model = GetOnePointModel();
    DrawParticleEmitter(tdp);
    EXPECT_EQ(At(99, 99), 136u);
    EXPECT_EQ(At(199, 99), kSky);
    body->model = Cube("hull", 100, Flat("grey", 40));
    DrawParticleEmitter(tdp);
    EXPECT_EQ(At(199, 99), 136u);
    owner->avatar->root->actor = nullptr;
    HxActorFree(body);
}

TEST_F(SkyParticles, StreaksShadeByLevelAndLengthOnceTheyMove)
{
    // A point at half its emitter's life: level 27, shade 21.6, in the band
    // 48-79 of the ramp's colour.
    struct Case {
        uint32_t flags;
        int moved;
        uint8_t colour;
    } const cases[] = {
        {0, 4, 48 + 21},               // short: the full shade
        {0, 8, 48 + 10},               // divided by length / 4
        {0, 40, 48 + 2},               //
        {kEmitterStream, 8, 48 + 21},  // streams: full up to 16
        {kEmitterStream, 40, 48 + 8},  // x 16 / length
        {kEmitterStream, 200, 48 + 8}, // at least 8
        {kEmitterOwnColour, 4, 75},    // the point's own colour and place in its band
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moved);
        SCOPED_TRACE(c.flags);
        std::fill(frame.begin(), frame.end(), kSky);
        TDP* tdp = Emitter(2, c.flags, {{200, 150, 5000}});
        ASSERT_NE(tdp, nullptr);
        ParticleEmitter* e = tdp->emitter;
        e->ramp[27] = 70;
        e->points[0].colour = 75;
        DrawParticleEmitter(tdp); // seen for the first time: only noted
        EXPECT_EQ(CountNot(kSky), 0);
        DrawParticleEmitter(tdp); // not moved: nothing
        EXPECT_EQ(CountNot(kSky), 0);
        e->points[0].screen.x = float(200 + c.moved);
        DrawParticleEmitter(tdp);
        for (int x = 200; x <= 200 + c.moved; ++x)
            EXPECT_EQ(At(x, 150), c.colour) << x;
        EXPECT_EQ(CountNot(kSky), c.moved + 1);
        // Emitted again elsewhere (a longer life): no streak from its last life.
        std::fill(frame.begin(), frame.end(), kSky);
        e->points[0].life = 60;
        e->points[0].screen.y = 300;
        DrawParticleEmitter(tdp);
        EXPECT_EQ(CountNot(kSky), 0);
        RemoveParticleSystem(tdp);
    }
}

TEST_F(SkyParticles, TrianglesTakeTheVisiblePointsThreeAtATime)
{
    // Walked from the last point: (8, 7, 6) and (5, 4, 3) are drawn, the
    // hidden point 2 is passed over and (1, 0) is a point short.
    TDP* tdp = Emitter(4, 0,
                       {{600, 400, 5000}, {620, 420, 5000}, {610, 420, 0}, {100, 100, 5000}, {140, 100, 5000}, {120, 140, 5000}, {300, 100, 5000}, {340, 100, 5000}, {320, 140, 5000}});
    ASSERT_NE(tdp, nullptr);
    DrawParticleEmitter(tdp);
    EXPECT_EQ(At(120, 110), kBlended);
    EXPECT_EQ(At(320, 110), kBlended);
    EXPECT_EQ(At(610, 412), kSky);
    EXPECT_EQ(At(220, 110), kSky);
}

TEST_F(SkyParticles, TheHiddenFlagHidesAllButRings)
{
    TDP* spots = Emitter(0, kEmitterHidden, {{100, 100, 5000}});
    ASSERT_NE(spots, nullptr);
    DrawParticleEmitter(spots);
    EXPECT_EQ(CountNot(kSky), 0);
    TDP* ring = AttachParticleEmitter(owner, nullptr, 0, kEmitterRing | kEmitterHidden, 100, 0, 100, 0, 0, 0);
    ASSERT_NE(ring, nullptr);
    EmitterPoint* p = ring->emitter->points;
    for (int i = 1; i <= 200; ++i)
        p[i].screen = {0, 0, 0};
    p[1].screen = {100, 100, 1};
    p[2].screen = {100, 104, 1};
    p[101].screen = {50, 100, 1};
    DrawParticleEmitter(ring);
    EXPECT_GT(CountNot(kSky), 0);
}

TEST_F(SkyParticles, TheRingBandFillsSpansBetweenItsOutlines)
{
    struct Row {
        int y, left, right;
        uint8_t colour;
    };
    struct Case {
        const char* name;
        std::vector<std::pair<int, Vector3>> points; // the rest hidden
        std::vector<Row> rows;                       // every row drawn
    } const cases[] = {
        // The inner edge runs down; the outer edge is found above the line.
        {"down",
         {{1, {100, 100, 1}}, {2, {100, 104, 1}}, {101, {50, 100, 1}}, {102, {40, 90, 1}}},
         {{100, 50, 100, 63}, {101, 49, 100, 161}, {102, 48, 100, 161}, {103, 47, 100, 161}}},
        // The inner edge runs up; the outer edge is found below the line.
        {"up",
         {{1, {100, 100, 1}}, {2, {100, 96, 1}}, {101, {50, 100, 1}}, {102, {40, 110, 1}}},
         {{101, 48, 100, 133}, {100, 47, 100, 133}, {99, 46, 100, 133}, {98, 45, 100, 133}, {97, 44, 100, 133}}},
        // No outer point on the needed side: a whole turn without an edge.
        {"lost",
         {{1, {100, 100, 1}}, {2, {100, 104, 1}}, {101, {50, 100, 1}}},
         {{100, 50, 100, 63}, {101, 50, 100, 95}, {102, 50, 100, 95}, {103, 50, 100, 95}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::fill(frame.begin(), frame.end(), kSky);
        TDP* ring = AttachParticleEmitter(owner, nullptr, 0, kEmitterRing, 100, 0, 100, 0, 0, 0);
        ASSERT_NE(ring, nullptr);
        EmitterPoint* p = ring->emitter->points;
        for (int i = 0; i <= 200; ++i)
            p[i].screen = {0, 0, 0};
        for (const auto& [index, screen] : c.points)
            p[index].screen = screen;
        FillRingBand(ring);
        int drawn = 0;
        for (const Row& r : c.rows) {
            for (int x = r.left; x <= r.right; ++x)
                EXPECT_EQ(At(x, r.y), r.colour) << x << "," << r.y;
            EXPECT_EQ(At(r.left - 1, r.y), kSky) << r.y;
            EXPECT_EQ(At(r.right + 1, r.y), kSky) << r.y;
            drawn += r.right - r.left + 1;
        }
        EXPECT_EQ(CountNot(kSky), drawn);
        RemoveParticleSystem(ring);
    }
}

TEST_F(SkyParticles, ARingWithNoInnerPointInViewDrawsNothing)
{
    TDP* ring = AttachParticleEmitter(owner, nullptr, 0, kEmitterRing, 100, 0, 100, 0, 0, 0);
    ASSERT_NE(ring, nullptr);
    for (int i = 0; i <= 200; ++i)
        ring->emitter->points[i].screen = {float(i), 10, i > 100 ? 1.0f : 0.0f};
    FillRingBand(ring);
    EXPECT_EQ(CountNot(kSky), 0);
}

// ---- the sun flare ------------------------------------------------------------------------------

TEST_F(Sky, FlareGhostsLieTowardTheCentreOverAnUncoveredSun)
{
    const int x = kCentreX + 100, y = kCentreY + 50;
    ASSERT_TRUE(RecordSunFlare(x, y, 20));
    DrawSunFlare();
    // {along, size}: the ghost centres at centre - (flare - centre) x along.
    for (float along : {0.5f, 0.7f, 0.9f, 1.6f}) {
        const int gx = int(kCentreX - 100 * along), gy = int(kCentreY - 50 * along);
        EXPECT_EQ(At(gx, gy), kBlended) << along;
    }
    EXPECT_EQ(At(200, 180), kSky); // between the last two
    EXPECT_EQ(At(x, y), kSky);
    std::fill(frame.begin(), frame.end(), kSky);
    DrawSunFlare(); // the records were cleared
    EXPECT_EQ(CountNot(kSky), 0);
}

TEST_F(Sky, AShipDrawnOverTheSunStopsItsGhosts)
{
    ASSERT_TRUE(RecordSunFlare(kCentreX + 100, kCentreY, 20));
    frame[size_t(kCentreY) * kWidth + kCentreX + 100] = 60; // the ship
    DrawSunFlare();
    EXPECT_EQ(CountNot(kSky), 1);
}

TEST_F(Sky, AtMostThreeFlaresAFrame)
{
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(RecordSunFlare(100 + i, 100, 40));
    EXPECT_FALSE(RecordSunFlare(110, 100, 40));
    DrawSunFlare();                            // and the records are free again
    EXPECT_FALSE(RecordSunFlare(-5, 100, 40)); // off the target
    EXPECT_FALSE(RecordSunFlare(100, kHeight, 40));
    EXPECT_TRUE(RecordSunFlare(100, 100, 40));
    DrawSunFlare();
}

// A sun and a flare in a drawn view: the dummy models' render routines.
class SkyView : public Sky {
protected:
    void SetUp() override
    {
        Sky::SetUp();
        FreeViewPixelmaps(&window); // the view draws its own
        worldtest::SetFrameStep(10);
    }
    void Draw()
    {
        std::fill(frame.begin(), frame.end(), uint8_t(3));
        RenderViewWindow(&window);
    }
    // The screen column of a point at (x, z) ahead of the viewer.
    static int Column(float x, float z) { return kCentreX + int(x * float(viewtest::kP45) / z); }
};

TEST_F(SkyView, ASunGlowsAndItsFlareGhostsUnlessAShipCoversIt)
{
    // The sun lies on the planet layer, drawn before the ships.
    CreateCelestialSphere();
    CreateStarDummyModel();
    Show(gView.starDummy, 20000, 0, 1e5f, 20000, kTdpPlanetLayer); // size 90: a flare of 54
    const int sunX = Column(20000, 1e5f);
    Draw();
    EXPECT_EQ(At(sunX, kCentreY), kBlended);
    const int ghostX = int(float(kCentreX) - float(sunX - kCentreX) * 1.6f); // the farthest ghost
    EXPECT_EQ(At(ghostX, kCentreY), kBlended);
    const int nextGhostX = int(float(kCentreX) - float(sunX - kCentreX) * 0.9f);
    EXPECT_EQ(At((ghostX + nextGhostX) / 2, kCentreY), kSky); // between the two

    // A ship between the viewer and the sun, drawn after it.
    Show(Cube("ship", 4000, Flat("hull", 60)), 10000, 0, 50000, 3000);
    Draw();
    EXPECT_EQ(At(sunX, kCentreY), 60u);
    EXPECT_EQ(At(ghostX, kCentreY), kSky);
}

TEST_F(SkyView, AFlareBlinksByItsOwnersCounter)
{
    SceneItem* beacon = Show(CreateFlareDummyModel(), -20000, 0, 1e5f, 10000);
    int32_t& word = beacon->avatar->params[0];
    word = (1 << 16) | 100; // ramp 1, counting 100 ticks
    Draw();
    EXPECT_EQ(word, (1 << 16) | 90);
    EXPECT_EQ(At(Column(-20000, 1e5f), kCentreY), kBlended);
    word = (1 << 16) | 5;
    Draw();
    EXPECT_EQ(word, 1 << 16); // run out; from now on it flickers
}

// ---- the sky palette --------------------------------------------------------------------------

class SkyPalette : public Sky {
protected:
    void SetUp() override
    {
        Sky::SetUp();
        gNebulaOn = 255;
        gView.flashMode = 0;
    }
    static std::array<int, 3> Entry(int i)
    {
        const PaletteEntry& e = DisplayLastPalette()[i];
        return {e.red, e.green, e.blue};
    }
    // Entry first + i of a ramp of count from start to end.
    static std::array<int, 3> Ramp(std::array<int, 3> start, std::array<int, 3> end, int i, int count)
    {
        std::array<int, 3> c{};
        for (int k = 0; k < 3; ++k)
            c[k] = int(std::trunc(float(start[k]) + float(end[k] - start[k]) * (float(i) / float(count))));
        return c;
    }
};

TEST_F(SkyPalette, EachSystemTypeHasItsSkyRow)
{
    using C = std::array<int, 3>;
    struct Case {
        int32_t type;
        C colour1;
        bool two;
        C colour2;
    } const cases[] = {
        {1, {79, 100, 108}, true, {15, 28, 51}}, // row 19
        {7, {146, 10, 0}, true, {65, 0, 0}},     // row 0
        {23, {0, 0, 198}, false, {}},            // row 2
        {12, {79, 0, 113}, false, {}},           // not in the table: row 3
        {99, {79, 0, 113}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        SetSkyPaletteForSystem(c.type);
        for (int i : {0, 5, 15}) {
            if (c.two) {
                EXPECT_EQ(Entry(176 + i), Ramp({0, 0, 0}, c.colour2, i, 16)) << i;
                EXPECT_EQ(Entry(192 + i), Ramp(c.colour2, c.colour1, i, 16)) << i;
            } else {
                EXPECT_EQ(Entry(176 + i), Ramp({0, 0, 0}, c.colour1, i, 32)) << i;
                EXPECT_EQ(Entry(192 + i), Ramp({0, 0, 0}, c.colour1, 16 + i, 32)) << i;
            }
        }
    }
}

TEST_F(SkyPalette, TheFlashSystemAndTheFixedSkies)
{
    BuildMainWorld();
    SetSkyPaletteForSystem(26);
    EXPECT_NE(gView.flashMode, 0);
    EXPECT_EQ(Entry(176 + 8), Ramp({0, 0, 0}, {48, 36, 14}, 8, 16));
    EXPECT_EQ(Entry(192 + 8), Ramp({48, 36, 12}, {52, 64, 76}, 8, 16));
    // In flash mode every row is the blue sky.
    SetSkyPaletteRow(5);
    EXPECT_EQ(Entry(176 + 8), Ramp({0, 0, 0}, {0, 40, 80}, 8, 16));
    EXPECT_EQ(Entry(192 + 8), Ramp({0, 40, 80}, {30, 60, 120}, 8, 16));
    // Leaving the flash system: light 1 is a hard direct light again.
    SetFlashLightSoft();
    SetSkyPaletteForSystem(5);
    EXPECT_EQ(gView.flashMode, 0);
    const auto* light = static_cast<const hx_light*>(gView.lights[0]->type_data);
    EXPECT_EQ(light->type, HX_LIGHT_DIRECT);
    EXPECT_FLOAT_EQ(light->attenuation_c, 1.0f);
    EXPECT_EQ(Entry(207), Ramp({0, 0, 0}, {148, 115, 115}, 31, 32)); // row 4

    SetSkyPaletteRow(-1);
    EXPECT_EQ(Entry(176 + 20), Ramp({30, 0, 0}, {140, 0, 24}, 20, 32));
    SetSkyPaletteRow(-2);
    EXPECT_EQ(Entry(192), Ramp({0, 40, 80}, {30, 60, 120}, 0, 16));
    SetSkyPaletteRow(11);
    EXPECT_EQ(Entry(192 + 4), Ramp({0, 64, 0}, {161, 161, 0}, 4, 16));
    const auto before = Entry(200);
    SetSkyPaletteRow(24); // past the table: nothing
    SetSkyPaletteRow(-3);
    EXPECT_EQ(Entry(200), before);
    gNebulaOn = 0; // without the nebula nothing changes
    SetSkyPaletteRow(-1);
    SetSkyPaletteForSystem(1);
    EXPECT_EQ(Entry(200), before);
}

// The generated shade table follows each new sky: into the sky's band, or
// darkening into the special colours for type 15, the flash system and the
// fixed red and blue skies.
TEST_F(SkyPalette, EachNewSkyRebuildsTheGeneratedShadeTable)
{
    BuildMainWorld();
    const auto generated = [] {
        const hx_pixelmap* table = FindGeneratedShadeTable();
        const auto* pixels = table ? static_cast<const uint8_t*>(table->pixels) : nullptr;
        return pixels ? std::vector<uint8_t>(pixels, pixels + table->row_bytes * table->height) : std::vector<uint8_t>();
    };
    const auto built = [&](int16_t band, int16_t brightness) {
        BuildShadeTable(band, brightness);
        return generated();
    };
    const std::vector<uint8_t> sky = built(176, 31), dark = built(-1, 8), plain = built(0, 20);
    ASSERT_FALSE(sky.empty());
    ASSERT_NE(sky, dark);
    struct Case {
        const char* what;
        void (*set)();
        const std::vector<uint8_t>& expected;
    } const cases[] = {
        {"a system's sky", [] { SetSkyPaletteForSystem(1); }, sky},
        {"type 15", [] { SetSkyPaletteForSystem(15); }, dark},
        {"the flash system", [] { SetSkyPaletteForSystem(26); }, dark},
        {"the red sky", [] { SetSkyPaletteRow(-1); }, dark},
        {"the blue sky", [] { SetSkyPaletteRow(-2); }, dark},
        {"a row", [] { gView.flashMode = 0; SetSkyPaletteRow(11); }, sky},
    };
    for (const Case& c : cases) {
        BuildShadeTable(0, 20);
        c.set();
        EXPECT_EQ(generated(), c.expected) << c.what;
    }
    gNebulaOn = 0;
    BuildShadeTable(0, 20);
    SetSkyPaletteForSystem(1);
    EXPECT_EQ(generated(), plain) << "without the nebula, left as it was";
}

// ---- lights --------------------------------------------------------------------------------

class SkyLights : public Sky {
protected:
    void SetUp() override
    {
        Sky::SetUp();
        BuildMainWorld();
        gPlayerItem = viewer;
    }
    void TearDown() override
    {
        gPlayerItem = nullptr;
        for (LightSource& s : gLightSources)
            s = {};
        Sky::TearDown();
    }
    static const hx_light* Light(int i) { return static_cast<const hx_light*>(gView.lights[i]->type_data); }
    static bool Enabled(const hx_actor* light)
    {
        const hx_enable_table& t = v1db.enabled_lights;
        for (int i = 0; i < t.capacity && t.slots; ++i)
            if (t.slots[i] == light)
                return true;
        return false;
    }
    void Frame(int32_t ticks)
    {
        worldtest::SetFrameStep(ticks);
        UpdateSceneLights();
    }
};

TEST_F(SkyLights, TheFlashLightReturnsToTheFirstLightSourceWhenItsTimeIsOut)
{
    SceneItem* sun = worldtest::MakeItem();
    Place(sun, 0, 0, 1e6f);
    gLightSources[0] = {{}, gView.lights[0]};
    gLightSources[0].item = sun;
    worldtest::SetFrameStep(1);
    RunSimulationFrame(); // the simulation frame places the lights
    const hx_matrix34& m = gView.lights[0]->t.t.mat;
    EXPECT_FLOAT_EQ(m.m[3][2], 1e6f);
    EXPECT_NEAR(m.m[2][2], 1.0f, 1e-5f); // looking toward the player, turned about

    SceneItem* ship = worldtest::MakeItem();
    Place(ship, 5, 6, 7);
    SetFlashLight(ship, 10, -1);
    EXPECT_EQ(Light(0)->type, HX_LIGHT_POINT);
    Frame(5);
    EXPECT_EQ(Light(0)->type, HX_LIGHT_POINT);
    Frame(5); // at 0: not yet
    EXPECT_EQ(Light(0)->type, HX_LIGHT_POINT);
    Frame(1);
    EXPECT_EQ(Light(0)->type, HX_LIGHT_DIRECT);
    EXPECT_FLOAT_EQ(m.m[3][2], 1e6f);
}

TEST_F(SkyLights, ABurstFadesByItsDecayAndGoesOut)
{
    // {ticks, decay a frame}: a burst shorter than 10 ticks decays as one of 10.
    struct Case {
        int32_t ticks;
        double decay;
    } const cases[] = {{5, 110.0}, {0, 110.0}, {10, 110.0}, {19, 110.0}, {20, std::sqrt(110.0)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ticks);
        const Vector3 at{1, 2, 3};
        StartExplosionLight(&at, c.ticks);
        EXPECT_TRUE(Enabled(gView.lights[1]));
        EXPECT_FLOAT_EQ(Light(1)->attenuation_c, 0.18f);
        EXPECT_FLOAT_EQ(Light(1)->attenuation_l, 2e-5f);
        EXPECT_FLOAT_EQ(gView.lights[1]->t.t.mat.m[3][1], 2.0f);
        if (c.ticks > 1) {
            Frame(1);
            EXPECT_NEAR(Light(1)->attenuation_c, 0.18 * c.decay, 1e-3 * c.decay);
        }
        Frame(c.ticks + 1);
        EXPECT_FALSE(Enabled(gView.lights[1]));
    }
    gExplosionLights = 0; // the option off: no burst
    const Vector3 at{0, 0, 0};
    StartExplosionLight(&at, 50);
    EXPECT_FALSE(Enabled(gView.lights[1]));
    gExplosionLights = 255;
}

// ---- celestial sphere, gate and models ----------------------------------------------------------

class SkySphere : public Sky {
protected:
    void SetUp() override
    {
        Sky::SetUp();
        BeginScriptTest();
        EnableCallTrace(true);
        ClearCallTrace();
        sphere = Cube("nebula sphere", 10, Flat("sky", 176));
        record = Resource{};
        record.data = sphere;
        ScriptSymbol* symbol = AddScriptSymbol("SphMd", nullptr, 0);
        symbol->value = &record;
        symbol->type = kSymbolResource;
    }
    void TearDown() override
    {
        gSettings.noNebula = 0;
        EnableCallTrace(false);
        EndScriptTest();
        Sky::TearDown();
    }
    hx_model* sphere = nullptr;
    Resource record{};
};

TEST_F(SkySphere, TheCelestialSphereIsMadeOnceAtItsFullSize)
{
    gNebulaOn = 255;
    CreateCelestialSphere();
    ASSERT_NE(gView.celestialSphere, nullptr);
    EXPECT_EQ(gView.celestialSphere->model, sphere);
    EXPECT_EQ(gView.celestialSphere->parent, gView.nebulaWorld);
    EXPECT_EQ(gView.celestialSphere->material, HxMaterialFind("nebula_purple"));
    EXPECT_EQ(static_cast<hx_camera*>(gView.nebulaCamera->type_data)->yon_z, 1e11f);
    EXPECT_EQ(static_cast<hx_camera*>(gView.planetCamera->type_data)->yon_z, 1e14f);
    EXPECT_NE(gView.farPlanetWorld, nullptr);
    EXPECT_NE(HxModelFind("celestial_sph"), nullptr);
    const hx_vector3 corner = sphere->vertices[0].p; // sized: its corners at the sphere's radius
    EXPECT_NEAR(std::sqrt(corner.x * corner.x + corner.y * corner.y + corner.z * corner.z) / 1e10, 1.0, 1e-5);
    EXPECT_EQ(sphere->faces[0].material, nullptr); // shaded as sky: its faces lose their material
    hx_actor* first = gView.celestialSphere;
    CreateCelestialSphere(); // once
    EXPECT_EQ(gView.celestialSphere, first);
    EXPECT_EQ(sphere->vertices[0].p.x, corner.x);

    // A model already the sphere's size is neither shaded nor sized again.
    FreeP3DWorlds();
    sphere->vertices[0].p.x = 5.0f;
    sphere->radius = 1e10f;
    hx_material* sky = HxMaterialFind("sky");
    sphere->faces[0].material = sky;
    CreateCelestialSphere();
    ASSERT_NE(gView.celestialSphere, nullptr);
    EXPECT_EQ(sphere->vertices[0].p.x, 5.0f);
    EXPECT_EQ(sphere->faces[0].material, sky); // not shaded again
}

TEST_F(SkySphere, NoSphereWithNoNebula)
{
    gNebulaOn = 255;
    gSettings.noNebula = 1;
    CreateCelestialSphere();
    EXPECT_NE(gView.planetWorld, nullptr); // the background worlds still
    EXPECT_EQ(gView.celestialSphere, nullptr);
    FreeP3DWorlds();
    gSettings.noNebula = 0;
    gNebulaOn = 0;
    CreateCelestialSphere();
    EXPECT_EQ(gView.celestialSphere, nullptr);
}

TEST_F(Sky, TheStarGateShowsTheTextureOfItsSetting)
{
    hx_material* gate = HxMaterialAdd(HxMaterialAllocate("StarGate"));
    for (const char* name : {"GateEdge1", "GateEdge2", "GateEdge3", "GateEdge4"}) {
        hx_pixelmap* map = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
        map->identifier = HxResStrDup(map, name);
        HxMapAdd(map);
    }
    struct Case {
        int32_t setting;
        const char* texture;
    } const cases[] = {{9, "GateEdge2"}, {10, "GateEdge1"}, {12, "GateEdge3"}, {13, "GateEdge4"}, {0, "GateEdge4"}};
    for (const Case& c : cases) {
        SetStarGateTexture(nullptr, c.setting);
        ASSERT_NE(gate->colour_map, nullptr);
        EXPECT_STREQ(gate->colour_map->identifier, c.texture) << c.setting;
    }
}

TEST_F(Sky, DummyModelsAreMadeOnceAndNeverCulled)
{
    hx_model* particles = CreateParticleDummyModel();
    ASSERT_NE(particles, nullptr);
    EXPECT_EQ(CreateParticleDummyModel(), particles);
    EXPECT_STREQ(particles->identifier, "particledummy");
    EXPECT_TRUE(particles->flags & HX_MODF_CUSTOM);
    EXPECT_EQ(particles->bounds.max.x, 1e32f);
    hx_model* flare = CreateFlareDummyModel();
    ASSERT_NE(flare, nullptr);
    EXPECT_EQ(flare->bounds.min.z, -1e30f);
    hx_model* star = CreateStarDummyModel();
    ASSERT_NE(star, nullptr);
    EXPECT_EQ(HxModelFind("stardummy"), star);
}

} // namespace
