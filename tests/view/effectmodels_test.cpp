// Effect models: the plasma beams and explosion card, the reduced (far)
// models, the sky sphere's shading, the plasma shimmer, the bolt streak and
// the script edits of winding and materials.
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "system/crand.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "tests/view/view_fixture.h"
#include "tools/lwob_writer.h"
#include "view/effectmodels.h"
#include "view/markerlights.h"
#include "view/particles.h"
#include "view/skyandlights.h"
#include "world/behaviours.h"
#include "world/scenelist.h"

using viewtest::ViewTest;

namespace {

std::vector<std::string> gBoxes;
void RecordBox(const char* text, const char* title) { gBoxes.push_back(std::string(title) + ": " + text); }

class EffectModels : public ViewTest {
protected:
    void SetUp() override
    {
        ViewTest::SetUp();
        gBoxes.clear();
        oldBox = SetMessageBoxHook(RecordBox);
        CRandSeed(11);
    }
    void TearDown() override
    {
        SetMessageBoxHook(oldBox);
        ViewTest::TearDown();
    }
    // A registered box model from (-1, -2, -3) to (1, 2, 3) whose twelve
    // faces take, in turn, the materials given (null: none).
    static hx_model* Ship(const char* name, std::vector<hx_material*> materials)
    {
        hx_model* m = Cube(name, 2, nullptr);
        for (int i = 0; i < m->nvertices; ++i) {
            m->vertices[i].p.y *= 2;
            m->vertices[i].p.z *= 3;
        }
        for (int f = 0; f < m->nfaces; ++f)
            m->faces[f].material = materials.empty() ? nullptr : materials[size_t(f) % materials.size()];
        HxModelUpdate(m, 0x7FFF);
        return m;
    }
    // A registered material with a 4 x 4 colour map of the map name (or none).
    static hx_material* Textured(const char* name, const char* mapName)
    {
        hx_material* m = HxMaterialAllocate(name);
        if (mapName)
            m->colour_map = Map(mapName);
        return HxMaterialAdd(m);
    }
    static hx_pixelmap* Map(const char* name)
    {
        hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
        pm->identifier = HxResStrDup(pm, name);
        return HxMapAdd(pm);
    }
    // A registered disc of 8 faces round a centre, its rim in the x-y plane
    // (the first and last rim points meet), texture coordinates spread
    // round it.
    static hx_model* Fan(const char* name, hx_material* material)
    {
        hx_model* fan = HxModelAllocate(name, 10, 8);
        for (int i = 0; i < 9; ++i) {
            const float a = float(i) * 0.785398f;
            fan->vertices[i].p = {std::cos(a), std::sin(a), 0};
            fan->vertices[i].map = {float(i) / 8, float(8 - i) / 8};
        }
        fan->vertices[9].p = {0, 0, 0};
        fan->vertices[9].map = {0.5f, 0.5f};
        for (int f = 0; f < 8; ++f) {
            fan->faces[f].vertices[0] = 9;
            fan->faces[f].vertices[1] = uint16_t(f);
            fan->faces[f].vertices[2] = uint16_t(f + 1);
            fan->faces[f].material = material;
        }
        fan->flags = HX_MODF_DONT_WELD | HX_MODF_KEEP_ORIGINAL;
        return HxModelAdd(fan);
    }
    MessageBoxHook oldBox = nullptr;
};

bool Near(float a, float b) { return std::fabs(a - b) < 1e-3f; }

} // namespace

TEST_F(EffectModels, APlasmaBeamLaysRowsOfCrossedCellsAlongItsLength)
{
    hx_model* beam = MakePlasmaBeam(3, 2, 1000);
    ASSERT_NE(beam, nullptr);
    EXPECT_STREQ(beam->identifier, "PlasmaBeam");
    ASSERT_EQ(beam->nvertices, 12 * 6);
    ASSERT_EQ(beam->nfaces, 6 * 6);
    EXPECT_EQ(HxModelFind("PlasmaBeam") != nullptr, true);
    for (int i = 0; i < beam->nvertices; ++i)
        EXPECT_EQ(beam->vertices[i].index, 251);
    // The first row: centred, full width, its cells s = 1/5 long with gaps of
    // s from z = -0.5 to 0.5; the second row's cells are shifted along z by
    // 0 to 0.99 s.
    const float s = 1.0f / 5;
    EXPECT_GE(beam->vertices[36].p.z, -0.5f - 1e-4f);
    EXPECT_LE(beam->vertices[36].p.z, -0.5f + 0.99f * s + 1e-4f);
    for (int cell = 0; cell < 3; ++cell) {
        const hx_vertex* v = beam->vertices + 12 * cell;
        EXPECT_TRUE(Near(v[0].p.x, -500)) << cell;
        EXPECT_TRUE(Near(v[1].p.x, 500)) << cell;
        EXPECT_TRUE(Near(v[4].p.y, 500)) << cell;
        EXPECT_TRUE(Near(v[0].p.z, -0.5f + 2 * s * float(cell))) << cell;
        EXPECT_TRUE(Near(v[2].p.z, -0.5f + 2 * s * float(cell) + s)) << cell;
    }
    EXPECT_TRUE(Near(beam->vertices[24].p.z + s, 0.5f)) << "the last cell of a row ends the beam";
    // Faces stay within their cell.
    for (int f = 0; f < beam->nfaces; ++f)
        for (uint16_t corner : beam->faces[f].vertices)
            EXPECT_EQ(corner / 12, f / 6);
    // The second row is 0.8 times as wide (its centre may be jittered).
    const hx_vertex* second = beam->vertices + 36;
    EXPECT_TRUE(Near(second[1].p.x - second[0].p.x, 800));
}

TEST_F(EffectModels, ASingleColumnBeamHasOneFullLengthCellPerRow)
{
    hx_model* beam = MakePlasmaBeam(1, 4, 1000);
    ASSERT_NE(beam, nullptr);
    float width = 1000;
    for (int row = 0; row < 4; ++row) {
        const hx_vertex* v = beam->vertices + 12 * row;
        SCOPED_TRACE(row);
        EXPECT_TRUE(Near(v[2].p.z - v[0].p.z, 1.0f)) << "the full length";
        if (row == 0) {
            EXPECT_TRUE(Near(v[0].p.z, -0.5f));
        }
        EXPECT_GE(v[0].p.z, -0.5f - 1e-4f);
        EXPECT_LE(v[0].p.z, -0.5f + 0.99f + 1e-4f);
        EXPECT_TRUE(Near(v[1].p.x - v[0].p.x, width));
        width *= 0.8f;
    }
}

TEST_F(EffectModels, TheStartUpMakesFourSetsOfSevenBeamsAndTheCard)
{
    const int cells[7] = {4, 6, 4, 12, 1, 5, 7};
    for (int set = 0; set < 4; ++set)
        for (int kind = 0; kind < 7; ++kind) {
            hx_model* m = BoltModel(kind, set);
            ASSERT_NE(m, nullptr);
            EXPECT_EQ(m->nvertices, 12 * cells[kind]);
        }
    EXPECT_NE(BoltModel(0, 0), BoltModel(0, 1)) << "each set has models of its own";
    EXPECT_EQ(BoltModel(7, 0), nullptr);
    EXPECT_EQ(BoltModel(0, 4), nullptr);

    hx_model* card = ExplosionCardModel();
    ASSERT_NE(card, nullptr);
    EXPECT_STREQ(card->identifier, "Explosion");
    ASSERT_EQ(card->nvertices, 4);
    EXPECT_EQ(card->vertices[0].p.x, -5000.0f);
    EXPECT_EQ(card->vertices[0].p.y, 5000.0f);
    EXPECT_EQ(card->vertices[2].p.x, 5000.0f);
    EXPECT_EQ(card->vertices[2].map.x, 1.0f);
    EXPECT_EQ(card->faces[1].vertices[0], 2);

    // The view's end lets them go with the framework.
    ShutdownP3D();
    EXPECT_EQ(BoltModel(0, 0), nullptr);
    EXPECT_EQ(ExplosionCardModel(), nullptr);
    InitializeP3D();
    EXPECT_NE(BoltModel(6, 3), nullptr);
}

TEST_F(EffectModels, ReducedModelsByName)
{
    // Pieces of a break-up never get one.
    for (const char* name : {"Shrapnel", "Shrapnel.7"}) {
        hx_model* piece = Ship(name, {});
        EXPECT_EQ(MakeReducedModel(piece), piece) << name;
    }
    // With neither map material and no companion it is its own.
    hx_model* plain = Ship("plain.lwo", {Flat("Hull", 20)});
    EXPECT_EQ(MakeReducedModel(plain), plain);

    // A "_LOW.lwo" companion is loaded (the name loses its last four
    // characters; a shorter name is taken whole).
    lwob::Object low;
    lwob::AddBox(low, {-1, -1, -1}, {1, 1, 1}, low.AddSurface({"Hull", {}}));
    const std::vector<uint8_t> bytes = lwob::Write(low);
    for (const char* file : {"ship_LOW.lwo", "ab_LOW.lwo"})
        scratch.Write(file, std::string(bytes.begin(), bytes.end()));
    hx_model* reduced = MakeReducedModel(Ship("ship.lwo", {}));
    ASSERT_NE(reduced, nullptr);
    EXPECT_STREQ(reduced->identifier, "ship_LOW.lwo");
    hx_model* shortName = MakeReducedModel(Ship("ab", {}));
    ASSERT_NE(shortName, nullptr);
    EXPECT_STREQ(shortName->identifier, "ab_LOW.lwo");
}

TEST_F(EffectModels, ReducedCardsCarryTheTopAndBottomMaterials)
{
    struct Card {
        float x, z, u, v;
    };
    const Card rectangle[4] = {{1, 3, 0, 0}, {1, -3, 0, 1}, {-1, -3, 1, 1}, {-1, 3, 1, 0}};
    const Card diamond[4] = {{1, 0, 1, 0.5f}, {0, -3, 0.5f, 0}, {-1, 0, 0, 0.5f}, {0, 3, 0.5f, 1}};
    Map("top_S.pix");
    Map("bot_S.pix");
    struct Case {
        const char* what;
        const char* topMap;    // null: no "INDEX_TOP" faces; "": one without a map
        const char* bottomMap; // likewise for "INDEX_BOT"
        const Card* corners;
        const char* topName; // the material on faces 0, 1 and on 2, 3
        const char* bottomName;
        const char* report;
    } cases[] = {
        {"both small maps: the rectangle", "top.pix", "bot.pix", rectangle, "SMALL_TOP", "SMALL_BOT", nullptr},
        {"only the bottom: a diamond all bottom", nullptr, "bot.pix", diamond, "SMALL_BOT", "SMALL_BOT", nullptr},
        {"only a bottom without small map", nullptr, "other.pix", diamond, "INDEX_BOT", "INDEX_BOT", nullptr},
        {"a top without small map: the diamond", "other.pix", "bot.pix", diamond, "INDEX_TOP", "SMALL_BOT", nullptr},
        {"a top without colour map is reported", "", nullptr, diamond, "INDEX_TOP", "INDEX_TOP",
         "Simple Object Error: Disaster - no colour_map for Top Map\n "},
        {"a bottom without colour map is reported", nullptr, "", diamond, "INDEX_BOT", "INDEX_BOT",
         "Simple Object Error: Disaster - no colour_map for Bot Map\n "},
    };
    int serial = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gBoxes.clear();
        std::vector<hx_material*> materials{Flat("Hull", 20)};
        if (c.topMap)
            materials.push_back(Textured("INDEX_TOP", *c.topMap ? c.topMap : nullptr));
        if (c.bottomMap)
            materials.push_back(Textured("INDEX_BOT", *c.bottomMap ? c.bottomMap : nullptr));
        const std::string name = "ship" + std::to_string(serial++) + ".lwo";
        hx_model* ship = Ship(name.c_str(), materials);
        hx_model* card = MakeReducedModel(ship);
        ASSERT_NE(card, ship);
        EXPECT_STREQ(card->identifier, "Simplest");
        ASSERT_EQ(card->nvertices, 4);
        ASSERT_EQ(card->nfaces, 4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_TRUE(Near(card->vertices[i].p.x, c.corners[i].x)) << i;
            EXPECT_EQ(card->vertices[i].p.y, 0.0f) << i;
            EXPECT_TRUE(Near(card->vertices[i].p.z, c.corners[i].z)) << i;
            EXPECT_EQ(card->vertices[i].map.x, c.corners[i].u) << i;
            EXPECT_EQ(card->vertices[i].map.y, c.corners[i].v) << i;
            EXPECT_EQ(card->vertices[i].index, 249);
        }
        for (int f = 0; f < 4; ++f) {
            ASSERT_NE(card->faces[f].material, nullptr);
            EXPECT_STREQ(card->faces[f].material->identifier, f < 2 ? c.topName : c.bottomName) << f;
        }
        EXPECT_EQ(card->faces[0].vertices[1], 3);
        EXPECT_EQ(card->faces[2].vertices[1], 2);
        if (c.report) {
            ASSERT_EQ(gBoxes.size(), 1u);
            EXPECT_EQ(gBoxes[0], c.report);
        } else {
            EXPECT_TRUE(gBoxes.empty());
        }
    }
}

TEST_F(EffectModels, TheSkySphereIsShadedUnlessItIsLarge)
{
    hx_material* sky = Flat("sky", 176);
    hx_model* large = HxModelAllocate("large sky", 2001, 1);
    large->faces[0].material = sky;
    ShadeSkySphere(large, 176, 207, nullptr, false);
    EXPECT_EQ(large->faces[0].material, sky) << "over 2000 vertices: untouched";
    EXPECT_EQ(large->vertices[0].index, 0);

    // A fan of 8 faces round a centre: the rim vertices are in fewer than
    // six faces and go black; the centre keeps its shade, within the range;
    // the faces lose their material.
    hx_model* fan = Fan("fan", sky);
    for (bool banded : {false, true}) {
        SCOPED_TRACE(banded);
        ShadeSkySphere(fan, 176, 207, nullptr, banded);
        EXPECT_EQ(fan->faces[3].material, nullptr);
        EXPECT_EQ(fan->vertices[2].index, 0);
        // The centre lies at height 0 (below the clamped top): a plain shade
        // from 179 up; banded, (limit - 0) / limit = 1 gives 191-207.
        EXPECT_GE(fan->vertices[9].index, banded ? 191 : 179);
        EXPECT_LE(fan->vertices[9].index, 207);
    }
    // A flat disc (top and bottom both 0) is shaded at full strength
    // rather than dividing by its zero limit.
    for (int i = 0; i < 10; ++i)
        fan->vertices[i].p.y = 0;
    ShadeSkySphere(fan, 176, 207, nullptr, true);
    EXPECT_GE(fan->vertices[9].index, 191);
}

TEST_F(EffectModels, ThePlasmaBallShimmersBetweenBaseAndTop)
{
    hx_material* ball = Flat("plasmaball", 40);
    hx_model* sphere = Fan("ball", nullptr);
    SceneItem* item = Show(sphere, 0, 0, 10000, 100);
    // Before any shimmer is set up a shimmering body keeps its colours.
    for (int i = 0; i < sphere->nvertices; ++i)
        sphere->vertices[i].index = 99;
    AnimatePlasmaShimmer(item, 0);
    EXPECT_EQ(sphere->vertices[9].index, 99);
    InitPlasmaShimmer(item, 16, 47, "plasmaball");
    for (int i = 0; i < sphere->nvertices; ++i)
        EXPECT_EQ(sphere->vertices[i].index, 16);
    EXPECT_EQ(sphere->faces[0].material, ball);
    EXPECT_EQ(sphere->flags & 0x14, 0x10);
    // A model over 2000 vertices is left as it was.
    hx_model* large = HxModelAllocate("large ball", 2001, 1);
    SceneItem* largeItem = Show(large, 0, 0, 20000, 100);
    InitPlasmaShimmer(largeItem, 16, 47, "plasmaball");
    EXPECT_EQ(large->vertices[0].index, 0);
    EXPECT_EQ(large->faces[0].material, nullptr);

    // Intensity 0 and 250 run at full strength: the same step from the same
    // generator state gives the same colours as intensity 1000; a weak one
    // stays nearer the top.
    auto step = [&](int32_t intensity) {
        InitPlasmaShimmer(item, 16, 47, "plasmaball");
        CRandSeed(5);
        AnimatePlasmaShimmer(item, intensity);
        std::vector<int> colours;
        for (int i = 0; i < sphere->nvertices; ++i)
            colours.push_back(sphere->vertices[i].index);
        return colours;
    };
    CRandSeed(1);
    const std::vector<int> full = step(1000);
    CRandSeed(1);
    EXPECT_EQ(step(0), full);
    CRandSeed(1);
    EXPECT_EQ(step(250), full);
    CRandSeed(1);
    const std::vector<int> weak = step(25);
    EXPECT_NE(weak, full);
    for (size_t i = 0; i < full.size(); ++i) {
        EXPECT_GE(full[i], 16);
        EXPECT_LE(full[i], 47);
        EXPECT_GE(weak[i], full[i]);
    }
    // The ball's own step animates it: the centre (height 0, no fade)
    // changes from frame to frame.
    std::set<int> centre;
    for (int frame = 0; frame < 8; ++frame) {
        PlasmaBallStep(item);
        centre.insert(sphere->vertices[9].index);
    }
    EXPECT_GT(centre.size(), 1u);
}

TEST_F(EffectModels, AZeroSpanDropsItsShimmerTerm)
{
    Flat("plasmaball", 40);
    hx_model* flat = HxModelAllocate("flat ball", 3, 1);
    flat->vertices[1].p = {1, 0, 0};
    flat->vertices[2].p = {0, 0, 1};
    flat->faces[0].vertices[1] = 1;
    flat->faces[0].vertices[2] = 2;
    flat->flags = HX_MODF_DONT_WELD | HX_MODF_KEEP_ORIGINAL;
    HxModelAdd(flat);
    SceneItem* item = Show(flat, 0, 0, 10000, 100);
    InitPlasmaShimmer(item, 16, 47, "plasmaball");
    AnimatePlasmaShimmer(item, 0);
    // No u span and no height: both waves and the fade drop out, so
    // (0 + 0 + 2) / 4 of the span 31 is taken off the top: 47 - 15.5, truncated.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(flat->vertices[i].index, 31) << i;
}

TEST_F(EffectModels, ABoltIsStretchedToAThirdOfItsSpeedAndCountsItsTravel)
{
    if (!gView.mainWorld)
        BuildMainWorld();
    hx_model* beam = BoltModel(0, 0);
    SceneItem* bolt = Show(beam, 0, 0, 0, 10);
    AttachTdpToScene(bolt->avatar->root, beam, 0);
    AddTdpToWorld(bolt->avatar->root);
    bolt->sim->velocity = {0, 0, 30000};
    gFrameClock.frameSeconds = 0.5f;
    bolt->avatar->travel = 0;
    UpdateBoltStreak(bolt);
    const float length = VecFastLength(bolt->sim->velocity) / 3;
    EXPECT_EQ(bolt->avatar->travel, int32_t(length * 0.5f));
    ASSERT_NE(bolt->avatar->root->actor, nullptr);
    const hx_matrix34& m = bolt->avatar->root->actor->t.t.mat;
    EXPECT_TRUE(std::fabs(m.m[2][2] - length) < 1.0f) << m.m[2][2];
    EXPECT_EQ(bolt->avatar->root->actor->model, beam);

    // A near target bounds it to twice the distance.
    SceneItem* target = worldtest::MakeItem();
    Place(target, 0, 0, 1000);
    bolt->sim->target = target;
    UpdateBoltStreak(bolt);
    EXPECT_TRUE(std::fabs(bolt->avatar->root->actor->t.t.mat.m[2][2] - 2 * VecFastLength({0, 0, 1000})) < 1.0f);

    // Its lights (the first child) sit on the bolt's centre; the bolt stays stretched.
    Place(bolt, 0, 500, 0);
    TDP* lights = AddChildTDP(bolt->avatar->root, nullptr, 0, 0, 300);
    UpdateBoltStreak(bolt);
    EXPECT_EQ(lights->local.m[14], 0.0f);
    EXPECT_EQ(lights->worldPosition.y, 500.0f);
    EXPECT_EQ(lights->worldPosition.z, 0.0f);
    EXPECT_GT(bolt->avatar->root->actor->t.t.mat.m[2][2], 100.0f);
    gFrameClock.frameSeconds = 0;
}

TEST_F(EffectModels, ANearBoltIsDrawnByItsLightsSpreadAlongHalfItsLength)
{
    if (!gView.mainWorld)
        BuildMainWorld();
    hx_model* beam = BoltModel(0, 0);
    SceneItem* bolt = Show(beam, 0, 0, 1000, 10); // no viewer: its depth is its z
    AttachTdpToScene(bolt->avatar->root, beam, 0);
    AddTdpToWorld(bolt->avatar->root);
    ASSERT_TRUE(AddRandomLightField(bolt, 3));
    ASSERT_EQ(MarkerSetOf(bolt), bolt->avatar->root->firstChild);
    ParticleEmitter* lights = bolt->avatar->root->firstChild->emitter;
    lights->flags |= kEmitterHidden;
    const int32_t n = lights->pointCount;
    ASSERT_EQ(n, 30);
    bolt->sim->velocity = {0, 0, 30000}; // a third: 10000, halved near: 5000
    hx_actor* actor = bolt->avatar->root->actor;
    ASSERT_NE(actor, nullptr);

    UpdateBoltStreak(bolt);
    EXPECT_FALSE(lights->flags & kEmitterHidden);
    for (int32_t i : {0, 6, 15, 29})
        EXPECT_FLOAT_EQ(lights->points[i].offset.z, (-0.5f + float(i) / float(n)) * 5000.0f) << i;
    EXPECT_EQ(actor->model, CreateParticleDummyModel());
    EXPECT_NEAR(actor->t.t.mat.m[2][2], 1.0f, 1e-4f) << "near, the bolt's own placement is not stretched";

    // From depth 200000 on it is the stretched beam again, its lights hidden.
    Place(bolt, 0, 0, 200000);
    UpdateBoltStreak(bolt);
    EXPECT_TRUE(lights->flags & kEmitterHidden);
    EXPECT_EQ(actor->model, beam);
    EXPECT_NEAR(actor->t.t.mat.m[2][2], 10000.0f, 1.0f);
}

TEST_F(EffectModels, ScriptEditsFlipTheWindingAndSetOrClearMaterials)
{
    hx_material* hull = Flat("Hull", 20);
    hx_model* ship = Ship("edited", {});
    const uint16_t before[3] = {ship->faces[4].vertices[0], ship->faces[4].vertices[1], ship->faces[4].vertices[2]};
    FlipModelFaces(ship);
    EXPECT_EQ(ship->faces[4].vertices[0], before[0]);
    EXPECT_EQ(ship->faces[4].vertices[1], before[2]);
    EXPECT_EQ(ship->faces[4].vertices[2], before[1]);

    SetModelMaterial(ship, "Hull");
    EXPECT_EQ(ship->faces[11].material, hull);
    EXPECT_EQ(ship->vertices[5].index, 128);
    ClearModelMaterials(ship);
    EXPECT_EQ(ship->faces[11].material, nullptr);

    EXPECT_EQ(SaveModelFile("edited.dat", ship), 1);
    EXPECT_EQ(SaveModelFile("no such folder/edited.dat", ship), 0);
}
