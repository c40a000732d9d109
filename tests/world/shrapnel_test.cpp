// Break-up into shrapnel: boxes of known faces cut into pieces, checked by
// the faces and areas that come out, the inner skin, the motion the pieces
// get, reproducibility from the seed, and the piece models' lifetime.
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "framework/scene.h"
#include "system/crand.h"
#include "tools/gridbox.h"
#include "tests/framework/hx_fixture.h"
#include "tests/support/world_fixture.h"
#include "world/behaviours.h"
#include "world/itemmessages.h"
#include "world/messagehandler.h"
#include "world/messages.h"
#include "world/pools.h"
#include "world/scenelist.h"
#include "view/skyandlights.h"
#include "world/shrapnel.h"
#include "world/floatingorigin.h"

using worldtest::MakeItem;
using worldtest::MakeShip;
using worldtest::WorldTest;

namespace {

float FaceArea(const hx_model* m, const hx_face& face)
{
    const hx_vector3& a = m->vertices[face.vertices[0]].p;
    const hx_vector3& b = m->vertices[face.vertices[1]].p;
    const hx_vector3& c = m->vertices[face.vertices[2]].p;
    Vector3 ab{b.x - a.x, b.y - a.y, b.z - a.z}, ac{c.x - a.x, c.y - a.y, c.z - a.z}, n;
    VecCross(ab, ac, n);
    return 0.5f * VecLength(n);
}

float OuterArea(const hx_model* m, int faces)
{
    float area = 0;
    for (int i = 0; i < faces; ++i)
        area += FaceArea(m, m->faces[i]);
    return area;
}

// The pieces hanging under a debris holder, in order.
std::vector<TDP*> Pieces(const SceneItem* holder)
{
    std::vector<TDP*> out;
    for (TDP* t = holder->avatar->root->firstChild; t; t = t->nextSibling)
        out.push_back(t);
    return out;
}

std::vector<SceneItem*> ShrapnelItems()
{
    std::vector<SceneItem*> out;
    for (SceneItem* s = gSceneList.next; s != &gSceneList; s = s->next)
        if (s->flags & 0x200)
            out.push_back(s);
    return out;
}

std::vector<int> Kinds(const SceneItem* item)
{
    std::vector<int> kinds;
    ItemMessage m;
    while (FetchItemMessage(item->receiver, &m))
        kinds.push_back(m.kind);
    return kinds;
}

// Every piece model: a first half that is a copy of some of the source's
// faces and a second half that is the inner skin, the same faces wound the
// other way on their own vertices, in "carbon".
void ExpectInnerSkin(const hx_model* piece, int outerFaces, const hx_material* carbon)
{
    const int nv = piece->nvertices / 2;
    for (int i = 0; i < outerFaces; ++i) {
        const hx_face& outer = piece->faces[i];
        const hx_face& inner = piece->faces[outerFaces + i];
        EXPECT_EQ(inner.vertices[0], outer.vertices[2] + nv);
        EXPECT_EQ(inner.vertices[1], outer.vertices[1] + nv);
        EXPECT_EQ(inner.vertices[2], outer.vertices[0] + nv);
        EXPECT_EQ(inner.material, carbon);
        EXPECT_EQ(inner.smoothing, outer.smoothing * 2);
        for (int c = 0; c < 3; ++c) {
            const hx_vertex& a = piece->vertices[outer.vertices[c]];
            const hx_vertex& b = piece->vertices[inner.vertices[2 - c]];
            EXPECT_EQ(a.p.x, b.p.x);
            EXPECT_EQ(a.p.y, b.p.y);
            EXPECT_EQ(a.p.z, b.p.z);
            EXPECT_LT(b.index, 191);
            EXPECT_GE(b.map.x, 0.0f);
            EXPECT_LE(b.map.x, 1.0f);
        }
    }
}

class Shrapnel : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        HxDiagLog::Clear();
        HxDiagHandlerSet(HxDiagLog::Handler());
        ASSERT_EQ(HxBegin(), HX_OK);
        carbon = HxMaterialAdd(HxMaterialAllocate("carbon"));
        CRandSeed(1234);
    }
    void TearDown() override
    {
        // The world goes first: it gives back the models its parts own.
        ResetSimulation();
        EXPECT_EQ(HxModelCount("Shrapnel*"), 0);
        HxEnd();
        HxDiagHandlerSet(nullptr);
        WorldTest::TearDown();
    }
    // A ship item whose root part draws the model.
    SceneItem* Ship(hx_model* model)
    {
        SceneItem* item = MakeItem(nullptr, nullptr, HandleItemMessages);
        MakeShip(item);
        item->avatar->root->model = model;
        item->avatar->root->materialName = "hull";
        item->sim->radius = 20;
        item->sim->mass = 1000;
        item->sim->velocity = {1, 2, 3};
        item->sim->position = {5000, 0, 0};
        return item;
    }
    hx_material* carbon = nullptr;
};

TEST_F(Shrapnel, NearestSeedsSendEveryVertexToItsNearestSeedAndEveryFaceToOnePiece)
{
    hx_model* box = GridBox("box", 2);
    const Vector3 seeds[2] = {{5, 0, 0}, {-5, 0, 0}};
    ShrapnelAssignment a;
    AssignFacesToNearestSeeds(box, 2, seeds, &a);
    ASSERT_EQ(a.faces, box->nfaces);
    for (int v = 0; v < box->nvertices; ++v) {
        float x = box->vertices[v].p.x;
        EXPECT_EQ(a.vertexPiece[v], x >= 0 ? 0 : 1) << v; // the tie at x = 0 goes to the first seed
    }
    for (const ShrapnelFace& row : a.rows) {
        const hx_face& f = box->faces[row.face];
        int on0 = 0;
        for (uint16_t c : f.vertices)
            on0 += a.vertexPiece[c] == 0;
        ASSERT_LT(row.piece, 2);
        EXPECT_EQ(row.border, on0 == 0 || on0 == 3 ? 0 : 255);
        if (on0 == 0 || on0 == 3) {
            EXPECT_EQ(row.piece, on0 ? 0 : 1);
        }
    }
    HxModelFree(box);
}

TEST_F(Shrapnel, ThePlaneSplitsAboveFromBelow)
{
    hx_model* box = GridBox("box", 1);
    ShrapnelAssignment a;
    AssignFacesToPlane(box, {0, 0, 1}, 0, &a);
    EXPECT_EQ(a.pieces, 2);
    for (int v = 0; v < box->nvertices; ++v)
        EXPECT_EQ(a.vertexPiece[v], box->vertices[v].p.z > 0 ? 0 : 1);
    HxModelFree(box);
}

TEST_F(Shrapnel, BreakNearestHangsEveryFaceOfTheModelInExactlyOnePieceWithItsInnerSkin)
{
    hx_model* box = HxModelAdd(GridBox("ship", 3));
    const float sourceArea = OuterArea(box, box->nfaces);
    SceneItem* ship = Ship(box);
    SceneItem* holder = kqzBreakNearest(ship, ship->avatar->root, 9, 0, 0, 0, 3.0f);
    ASSERT_NE(holder, nullptr);

    std::vector<TDP*> pieces = Pieces(holder);
    ASSERT_GE(pieces.size(), 2u);
    ASSERT_LE(pieces.size(), 9u);
    EXPECT_EQ(HxModelCount("Shrapnel*"), static_cast<int>(pieces.size()));
    int faces = 0;
    float area = 0;
    for (TDP* t : pieces) {
        const hx_model* m = t->model;
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->nfaces % 2, 0);
        EXPECT_EQ(m->nvertices % 2, 0);
        const int outer = m->nfaces / 2;
        faces += outer;
        area += OuterArea(m, outer);
        ExpectInnerSkin(m, outer, carbon);
        EXPECT_TRUE(t->flags & kTdpOwnsModels);
        EXPECT_TRUE(t->flags & kTdpInScene);
        EXPECT_FALSE(t->flags & kTdpNew);
        EXPECT_STREQ(t->materialName, "hull");
        EXPECT_EQ(m->flags & (HX_MODF_KEEP_ORIGINAL | HX_MODF_GENERATE_TAGS),
                  HX_MODF_KEEP_ORIGINAL | HX_MODF_GENERATE_TAGS);
        // Centred on its own mean, hung at its old place, flying outward.
        double mx = 0;
        for (int v = 0; v < m->nvertices; ++v)
            mx += m->vertices[v].p.x;
        EXPECT_NEAR(mx / m->nvertices, 0.0, 1e-3);
        const Vector3& o = t->offset;
        const Vector3& vel = t->offsetVelocity;
        EXPECT_GT(o.x * vel.x + o.y * vel.y + o.z * vel.z, 0.0f);
        EXPECT_NEAR(VecLength(vel), 2e8f / 35000.0f, 1.0f); // the radius 20 counts as 35,000
    }
    EXPECT_EQ(faces, box->nfaces);
    EXPECT_NEAR(area, sourceArea, sourceArea * 1e-5f);

    // The holder takes the ship's place and motion; the ship ends itself.
    EXPECT_EQ(holder->sim->position.x, 5000.0);
    EXPECT_EQ(holder->sim->velocity.z, 3.0f);
    EXPECT_EQ(holder->perFrame, DriftStep);
    EXPECT_EQ(holder->avatar->debrisFaceCount, box->nfaces);
    // The holder's two turn words make its pieces tumble: their attributes
    // read parameter values 3 and 4.
    const int32_t turnA = holder->avatar->params[kParamDebrisTurnA];
    const int32_t turnB = holder->avatar->params[kParamDebrisTurnB];
    EXPECT_TRUE(turnA >= -3 && turnA <= 2 && turnB >= -3 && turnB <= 2) << turnA << " " << turnB;
    ASSERT_TRUE(turnA != 0 || turnB != 0) << "this seed should turn the pieces";
    const Matrix4 before = pieces[0]->local;
    AnimateTDPTree(holder->avatar->params, holder->avatar->root);
    EXPECT_NE(std::memcmp(before.m, pieces[0]->local.m, 9 * sizeof(float)), 0) << "the piece did not turn";
    EXPECT_EQ(ship->perFrame, nullptr);
    EXPECT_EQ(Kinds(ship), std::vector<int>{kMsgDelete});

    DeleteSceneItem(holder);
    EXPECT_EQ(HxModelCount("Shrapnel*"), 0);
    EXPECT_EQ(HxModelFind("ship"), box); // the broken model is not the pieces'
}

TEST_F(Shrapnel, TheSameSeedGivesTheSamePieces)
{
    hx_model* box = HxModelAdd(GridBox("ship", 3));
    auto shape = [&] {
        CRandSeed(77);
        SceneItem* holder = kqzBreakNearest(Ship(box), nullptr, 9, 0, 0, 0, 3.0f);
        EXPECT_EQ(holder, nullptr); // no TDP: nothing breaks
        SceneItem* ship = Ship(box);
        holder = kqzBreakNearest(ship, ship->avatar->root, 9, 1, 2, 3, 3.0f);
        std::vector<float> out;
        for (TDP* t : Pieces(holder)) {
            out.push_back(t->model->nfaces);
            out.push_back(t->offset.x);
            out.push_back(t->offset.z);
            out.push_back(static_cast<float>(t->flags & kTdpNegatedAttributes));
        }
        DeleteSceneItem(holder);
        return out;
    };
    std::vector<float> first = shape();
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(shape(), first);
}

TEST_F(Shrapnel, AModelWithFewerFacesThanSeedsGivesOnlyPiecesWithFacesAndDegenerateFacesAreSkipped)
{
    // Two good triangles and three bad ones: a repeated corner, a corner
    // out of range, and three corners on one line.
    hx_model* m = HxModelAllocate("scrap", 6, 5);
    const hx_vector3 p[6] = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}, {20, 0, 0}, {30, 0, 0}};
    const uint16_t f[5][3] = {{0, 1, 2}, {0, 2, 3}, {1, 1, 2}, {0, 1, 9}, {0, 4, 5}};
    for (int i = 0; i < 6; ++i)
        m->vertices[i].p = p[i];
    for (int i = 0; i < 5; ++i)
        for (int c = 0; c < 3; ++c)
            m->faces[i].vertices[c] = f[i][c];
    SceneItem* ship = Ship(m);
    SceneItem* holder = kqzBreakNearest(ship, ship->avatar->root, 9, 0, 0, 0, 3.0f);
    ASSERT_NE(holder, nullptr);
    int faces = 0;
    for (TDP* t : Pieces(holder)) {
        ASSERT_GT(t->model->nfaces, 0);
        faces += t->model->nfaces / 2;
    }
    EXPECT_EQ(faces, 2);

    // One face, five seeds: one piece item.
    m->nfaces = 1;
    ShrapnelBreak request{Ship(m), nullptr, 5, 0, 0, 0, 3.0f, 0, 0};
    request.tdp = request.item->avatar->root;
    EXPECT_EQ(kqzBreakNearestIntoSceneItems(&request), 1);
    EXPECT_EQ(ShrapnelItems().size(), 1u);
    HxModelFree(m);
}

TEST_F(Shrapnel, AMissingItemOrAPartOutsideItsTreeBreaksNothing)
{
    hx_model* box = HxModelAdd(GridBox("ship", 1));
    SceneItem* ship = Ship(box);
    SceneItem* other = Ship(box);
    EXPECT_EQ(kqzBreakNearest(ship, other->avatar->root, 3, 0, 0, 0, 3.0f), nullptr);
    ShrapnelBreak request{ship, other->avatar->root, 5, 0, 0, 0, 3.0f, 0, 0};
    EXPECT_EQ(kqzBreakNearestIntoSceneItems(&request), 0);
    EXPECT_TRUE(Kinds(ship).empty());
    EXPECT_EQ(kqzBreakNearest(nullptr, nullptr, 3, 0, 0, 0, 3.0f), nullptr);
    request.item = nullptr;
    EXPECT_EQ(kqzBreakNearestIntoSceneItems(&request), 0);
    EXPECT_EQ(worldtest::FatalStops(),
              (std::vector<std::string>{"kqzBreakNearest", "kqzBreakNearestIntoSceneItems"}));
    EXPECT_EQ(HxModelCount("Shrapnel*"), 0);
}

TEST_F(Shrapnel, PieceCountsAreCutBackToTheLimit)
{
    hx_model* box = HxModelAdd(GridBox("ship", 6)); // 432 faces
    SceneItem* ship = Ship(box);
    SceneItem* holder = kqzBreakNearest(ship, ship->avatar->root, 500, 0, 0, 0, 1.0f);
    ASSERT_NE(holder, nullptr);
    EXPECT_LE(Pieces(holder).size(), static_cast<size_t>(kMaxShrapnelPieces));
}

TEST_F(Shrapnel, AFractionalExponentStillSpreadsTheSeedsOfPieceItems)
{
    hx_model* box = HxModelAdd(GridBox("ship", 4));
    SceneItem* ship = Ship(box);
    ShrapnelBreak request{ship, ship->avatar->root, 5, -5, -5, -5, 2.5f, 0, 0};
    EXPECT_GE(kqzBreakNearestIntoSceneItems(&request), 2);
}

TEST_F(Shrapnel, PiecesAsSceneItemsFlyFromTheShipsPlaceAsShipsOfTheirOwn)
{
    hx_model* box = HxModelAdd(GridBox("ship", 3));
    SceneItem* ship = Ship(box);
    ship->avatar->breakDepth = 2;
    ship->pitchDemand = 7;
    ship->yawDemand = -4;
    // Orders and a running stack: the pieces keep the orders alone.
    ShipInfo* own = ship->sim->shipInfo;
    ASSERT_NE(own, nullptr);
    own->orders[2].stateId = 33;
    own->currentOrder = 2;
    own->stateStack[0].stateId = 33;
    own->stateStack[1].stateId = 32;
    own->currentFrame = 1;
    DockPoint* const dockList = reinterpret_cast<DockPoint*>(own); // any non-null list head
    own->dockPoints = dockList;
    CouplingLink couplings{};
    own->couplings = &couplings;
    own->flags |= kShipGroupLeader | kShipRepairPending;
    ShrapnelBreak request{ship, ship->avatar->root, 5, 0, 0, 0, 3.0f, 0, 1};
    const int made = kqzBreakNearestIntoSceneItems(&request);
    std::vector<SceneItem*> items = ShrapnelItems();
    ASSERT_EQ(made, static_cast<int>(items.size()));
    ASSERT_GE(made, 2);
    int faces = 0;
    for (SceneItem* s : items) {
        const hx_model* m = s->avatar->root->model;
        faces += m->nfaces / 2;
        ExpectInnerSkin(m, m->nfaces / 2, carbon);
        EXPECT_EQ(s->perFrame, BallisticStep);
        EXPECT_TRUE(s->flags & kItemTailGroup);
        EXPECT_EQ(s->sim->mass, 500.0f);
        EXPECT_EQ(s->avatar->breakDepth, 1);
        ASSERT_NE(s->sim->shipInfo, nullptr);
        EXPECT_EQ(s->sim->shipInfo->damage.capabilities, -1);
        EXPECT_EQ(s->sim->shipInfo->damage.maximumHull, 10);
        EXPECT_EQ(s->sim->shipInfo->orders[2].stateId, 33);
        EXPECT_EQ(s->sim->shipInfo->currentOrder, 2);
        EXPECT_EQ(s->sim->shipInfo->stateStack[0].stateId, 0);
        EXPECT_EQ(s->sim->shipInfo->stateStack[1].stateId, 0);
        EXPECT_EQ(s->sim->shipInfo->currentFrame, 0);
        EXPECT_EQ(s->sim->shipInfo->dockPoints, nullptr);
        EXPECT_EQ(s->sim->shipInfo->couplings, nullptr) << "two pieces must not share a list";
        EXPECT_EQ(s->sim->shipInfo->flags & (kShipGroupLeader | kShipRepairPending), 0u);
        EXPECT_EQ(s->sim->hull, 0) << "the hull value of a light body";
        EXPECT_GE(s->pitchDemand, 0.0f);
        EXPECT_LE(s->pitchDemand, 7.0f);
        EXPECT_GE(s->yawDemand, 0.0f);
        EXPECT_LE(s->yawDemand, 4.0f);
        // Pushed out no further than twice the ship's radius.
        EXPECT_LE(std::fabs(s->sim->position.x - 5000.0), 40.0 + 1e-3);
        EXPECT_EQ(DelayItemMessages(s, 0, kMsgHit), 1); // the delayed hit, not due yet
        // Flying apart: the velocity relative to the ship points away from it.
        const double dx = s->sim->position.x - 5000.0, dy = s->sim->position.y, dz = s->sim->position.z;
        EXPECT_GT(dx * (s->sim->velocity.x - 1) + dy * (s->sim->velocity.y - 2) + dz * (s->sim->velocity.z - 3), 0.0);
    }
    EXPECT_EQ(faces, box->nfaces);
    EXPECT_EQ(Kinds(ship), std::vector<int>{kMsgDelete});
    for (SceneItem* s : items)
        DeleteSceneItem(s);
    own->dockPoints = nullptr;
    own->couplings = nullptr;
    EXPECT_EQ(HxModelCount("Shrapnel*"), 0);
}

TEST_F(Shrapnel, ASplitGivesTwoHalvesWithClosedCutsThatPointAtEachOther)
{
    hx_model* box = HxModelAdd(GridBox("ship", 2));
    SceneItem* ship = Ship(box);
    ShrapnelBreak request{ship, ship->avatar->root, 5, 0, 0, 10, 3.0f, 1, 0};
    ASSERT_EQ(kqzBreakNearestIntoSceneItems(&request), 2);
    std::vector<SceneItem*> halves = ShrapnelItems();
    ASSERT_EQ(halves.size(), 2u);
    EXPECT_EQ(halves[0]->avatar->otherHalf, halves[1]);
    EXPECT_EQ(halves[1]->avatar->otherHalf, halves[0]);
    int outer = 0;
    for (SceneItem* s : halves) {
        const hx_model* m = s->avatar->root->model;
        EXPECT_EQ(m->nvertices % 2, 1); // the cap's centre
        EXPECT_EQ(m->vertices[m->nvertices - 1].index, 191);
        // Outer faces, inner skin and at least one cap face.
        int caps = 0;
        for (int i = 0; i < m->nfaces; ++i)
            caps += m->faces[i].vertices[2] == m->nvertices - 1;
        EXPECT_GT(caps, 0);
        outer += (m->nfaces - caps) / 2;
        // The split spins by the break depth: |demand| <= 2 x 3.
        EXPECT_LE(std::fabs(s->pitchDemand), 6.0f);
    }
    EXPECT_EQ(outer, box->nfaces);
    // The plane contains the y axis and the centre's direction (z): the
    // halves lie either side of x = 0.
    EXPECT_LT((halves[0]->sim->position.x - 5000.0) * (halves[1]->sim->position.x - 5000.0), 0.0);
}

TEST_F(Shrapnel, ColourJitterLeavesShrapnelAloneAndMovesOthersByMinusThreeToFour)
{
    hx_model* box = HxModelAdd(GridBox("ship", 2));
    for (int v = 0; v < box->nvertices; ++v)
        box->vertices[v].index = 100;
    JitterModelColours(box);
    std::map<int, int> seen;
    for (int v = 0; v < box->nvertices; ++v)
        ++seen[box->vertices[v].index - 100];
    EXPECT_GE(seen.begin()->first, -3);
    EXPECT_LE(seen.rbegin()->first, 4);
    EXPECT_GT(seen.size(), 4u);

    SceneItem* ship = Ship(box);
    SceneItem* holder = kqzBreakNearest(ship, ship->avatar->root, 3, 0, 0, 0, 3.0f);
    hx_model* piece = Pieces(holder)[0]->model;
    std::vector<uint8_t> before;
    for (int v = 0; v < piece->nvertices; ++v)
        before.push_back(piece->vertices[v].index);
    JitterModelColours(piece);
    for (int v = 0; v < piece->nvertices; ++v)
        EXPECT_EQ(piece->vertices[v].index, before[v]);
}

TEST_F(Shrapnel, FiftyShipsBrokenOverAMissionLeaveNoModelsBehind)
{
    hx_model* box = HxModelAdd(GridBox("ship", 2));
    CreateParticleDummyModel(); // made once a framework run, for the sparks' emitters
    const int models = HxModelCount("*");
    for (int round = 0; round < 50; ++round) {
        SceneItem* ship = Ship(box);
        if (round % 2) {
            SceneItem* holder = kqzBreakNearest(ship, ship->avatar->root, 9, 0, 0, 0, 3.0f);
            ASSERT_NE(holder, nullptr);
            worldtest::RunFrame(5); // the ship's own deletion message ends it
            EXPECT_FALSE(ship->flags & kItemInUse);
            DeleteSceneItem(holder);
        } else {
            ShrapnelBreak request{ship, ship->avatar->root, 5, 0, 0, 0, 3.0f, round % 4 == 0, 0};
            ASSERT_GT(kqzBreakNearestIntoSceneItems(&request), 0);
            worldtest::RunFrame(5);
            EXPECT_FALSE(ship->flags & kItemInUse);
            for (SceneItem* s : ShrapnelItems())
                DeleteSceneItem(s);
        }
        ASSERT_EQ(HxModelCount("*"), models) << round;
    }
}

} // namespace

TEST_F(Shrapnel, DeletingAPieceFreesItsReducedModelToo)
{
    const int models = HxModelCount("*");
    hx_model* piece = HxModelAdd(GridBox("Shrapnel.7", 1));
    hx_model* reduced = HxModelAdd(GridBox("Simplest", 1));
    SceneItem* item = MakeItem();
    TDP* root = item->avatar->root;
    root->model = root->lod[0] = piece;
    root->lod[1] = reduced;
    root->flags |= kTdpOwnsModels;
    ASSERT_EQ(HxModelCount("*"), models + 2);
    DeleteSceneItem(item);
    EXPECT_EQ(HxModelCount("*"), models);
    EXPECT_EQ(root->lod[1], nullptr);

    // A piece that is its own reduced model is freed once.
    hx_model* alone = HxModelAdd(GridBox("Shrapnel.8", 1));
    SceneItem* other = MakeItem();
    other->avatar->root->model = alone;
    for (hx_model*& lod : other->avatar->root->lod)
        lod = alone;
    other->avatar->root->flags |= kTdpOwnsModels;
    DeleteSceneItem(other);
    EXPECT_EQ(HxModelCount("*"), models);
}
