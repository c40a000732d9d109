// Model preparation: grouping, sharing, smoothing, creases, edge numbers,
// the prepared block's layout, quick updates, and the texture mappings.
#include <cmath>

#include "framework/resource.h"
#include "framework/scene_state.h"
#include "tests/scene/scene_fixture.h"

namespace {

constexpr float kCube[8][3] = {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}, {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};
constexpr uint16_t kCubeFaces[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1}, {1, 5, 6}, {1, 6, 2}, {2, 6, 7}, {2, 7, 3}, {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};

// The cube; each side in its own smoothing group or all in one.
hx_model* Cube(bool sidesApart, uint8_t diagonalFlags = 1)
{
    hx_model* m = HxModelAllocate("cube", 8, 12);
    m->flags = HX_MODF_UPDATEABLE;
    for (int i = 0; i < 8; ++i)
        m->vertices[i].p = {kCube[i][0], kCube[i][1], kCube[i][2]};
    for (int f = 0; f < 12; ++f) {
        for (int c = 0; c < 3; ++c)
            m->faces[f].vertices[c] = kCubeFaces[f][c];
        m->faces[f].smoothing = sidesApart ? uint16_t(1u << (f / 2)) : 1;
        // The shared diagonal of each side: edge 2-0 of the first
        // triangle, 0-1 of the second.
        m->faces[f].flags = diagonalFlags ? (f % 2 ? 1 : 4) : 0;
    }
    return m;
}

void SetFace(hx_face* f, uint16_t a, uint16_t b, uint16_t c, uint16_t smoothing, hx_material* material = nullptr)
{
    *f = {};
    f->vertices[0] = a;
    f->vertices[1] = b;
    f->vertices[2] = c;
    f->smoothing = smoothing;
    f->material = material;
}

float Length(const hx_vector3& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

uint32_t Round32(uint32_t x)
{
    return (x + 31) & ~31u;
}

} // namespace

TEST_F(HxScene, ACubeInOneSmoothingGroupSharesItsEightCornersWithAveragedNormals)
{
    hx_model* m = Cube(false);
    HxModelUpdate(m, HX_MODU_ALL);
    ASSERT_NE(m->prepared, nullptr);
    ASSERT_EQ(m->prepared->ngroups, 1);
    const hx_prepared_group& g = m->prepared->groups[0];
    EXPECT_EQ(g.nvertices, 8);
    EXPECT_EQ(g.nfaces, 12);
    EXPECT_EQ(g.material, nullptr);
    EXPECT_EQ(m->flags & HX_MODF_UNMATERIALED, HX_MODF_UNMATERIALED);
    // Each corner's normal sums the planes of the triangles that meet
    // there, one to three per side: unit length, pointing into its octant.
    for (int v = 0; v < 8; ++v) {
        const hx_prepared_vertex& pv = g.vertices[v];
        EXPECT_NEAR(Length(pv.n), 1, 1e-5) << v;
        EXPECT_GT(pv.n.x * pv.p.x, 0.3f) << v;
        EXPECT_GT(pv.n.y * pv.p.y, 0.3f) << v;
        EXPECT_GT(pv.n.z * pv.p.z, 0.3f) << v;
    }
    // The twelve cube edges, each shared by two faces; diagonals suppressed.
    EXPECT_EQ(g.nedges, 13);
    EXPECT_FLOAT_EQ(m->radius, std::sqrt(3.0f));
    EXPECT_EQ(m->bounds.min.x, -1);
    EXPECT_EQ(m->bounds.max.z, 1);
}

TEST_F(HxScene, ACubeWithASmoothingGroupPerSideHasTwentyFourCornersWithFlatNormals)
{
    hx_model* m = Cube(true);
    HxModelUpdate(m, HX_MODU_ALL);
    const hx_prepared_group& g = m->prepared->groups[0];
    EXPECT_EQ(g.nvertices, 24);
    EXPECT_EQ(g.nedges, 25) << "four edges per side, none shared across sides";
    for (int f = 0; f < g.nfaces; ++f)
        for (int c = 0; c < 3; ++c) {
            const hx_prepared_vertex& pv = g.vertices[g.faces[f].vertices[c]];
            EXPECT_FLOAT_EQ(pv.n.x, g.faces[f].n.x);
            EXPECT_FLOAT_EQ(pv.n.y, g.faces[f].n.y);
            EXPECT_FLOAT_EQ(pv.n.z, g.faces[f].n.z);
        }
}

TEST_F(HxScene, EdgesMetTwiceShareANumberAndSuppressedEdgesGetNone)
{
    hx_model* m = HxModelAllocate("quad", 4, 2);
    m->flags = HX_MODF_UPDATEABLE;
    const float p[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; ++i)
        m->vertices[i].p = {p[i][0], p[i][1], 0};
    const uint16_t f[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int i = 0; i < 2; ++i)
        for (int c = 0; c < 3; ++c)
            m->faces[i].vertices[c] = f[i][c];
    HxModelUpdate(m, HX_MODU_ALL);
    const hx_prepared_group& g = m->prepared->groups[0];
    // Face 0 numbers 1, 2, 3; face 1 meets 2-0 again as 0-2.
    ASSERT_EQ(g.nfaces, 2);
    const hx_prepared_face& a = g.faces[g.face_user[0] == 0 ? 0 : 1];
    const hx_prepared_face& b = g.faces[g.face_user[0] == 0 ? 1 : 0];
    EXPECT_EQ(a.edges[2], b.edges[0]);
    EXPECT_EQ(g.nedges, 6);

    m->faces[0].flags = 0x04;
    m->faces[1].flags = 0x01;
    HxModelUpdate(m, HX_MODU_ALL);
    const hx_prepared_group& h = m->prepared->groups[0];
    const hx_prepared_face& a2 = h.faces[h.face_user[0] == 0 ? 0 : 1];
    const hx_prepared_face& b2 = h.faces[h.face_user[0] == 0 ? 1 : 0];
    EXPECT_EQ(a2.edges[2], 0);
    EXPECT_EQ(b2.edges[0], 0);
    EXPECT_EQ(h.nedges, 5);
}

TEST_F(HxScene, AnEdgeTakesTheNumberOfTheNewestEdgeNotYetMetFromTheOtherSide)
{
    // One triangle three times over, then once the other way round: the
    // reversed face meets the third copy's edges; the first two keep
    // numbers of their own.
    hx_model* m = HxModelAllocate("copies", 3, 4);
    m->flags = HX_MODF_UPDATEABLE;
    m->vertices[1].p = {1, 0, 0};
    m->vertices[2].p = {0, 1, 0};
    for (int i = 0; i < 3; ++i)
        SetFace(&m->faces[i], 0, 1, 2, 1);
    SetFace(&m->faces[3], 0, 2, 1, 1);
    HxModelUpdate(m, HX_MODU_ALL);
    ASSERT_NE(m->prepared, nullptr);
    const hx_prepared_group& g = m->prepared->groups[0];
    ASSERT_EQ(g.nfaces, 4);
    ASSERT_EQ(g.nvertices, 3) << "every corner at a position shares one prepared vertex";
    const hx_prepared_face* face[4] = {};
    for (int i = 0; i < 4; ++i)
        face[g.face_user[i]] = &g.faces[i];
    // The reversed face's edges 0-2, 2-1, 1-0 are the third copy's 2-0, 1-2, 0-1.
    EXPECT_EQ(face[3]->edges[0], face[2]->edges[2]);
    EXPECT_EQ(face[3]->edges[1], face[2]->edges[1]);
    EXPECT_EQ(face[3]->edges[2], face[2]->edges[0]);
    for (int e = 0; e < 3; ++e) {
        EXPECT_NE(face[0]->edges[e], face[2]->edges[e]);
        EXPECT_NE(face[1]->edges[e], face[2]->edges[e]);
    }
    EXPECT_EQ(g.nedges, 10);
}

TEST_F(HxScene, TwoMaterialsGiveTwoGroupsEachWithItsOwnCopyOfASharedVertexInAllocationOrder)
{
    hx_material* second = HxMaterialAllocate("second");
    hx_material* first = HxMaterialAllocate("first");
    // Allocation order decides, not the address: make "first" sort first
    // whatever the allocator did.
    first->sequence = 1;
    second->sequence = 2;
    hx_model* m = HxModelAllocate("pair", 4, 2);
    m->flags = HX_MODF_UPDATEABLE;
    m->vertices[1].p = {1, 0, 0};
    m->vertices[2].p = {0, 1, 0};
    m->vertices[3].p = {-1, 0, 0};
    SetFace(&m->faces[0], 0, 1, 2, 1, second);
    SetFace(&m->faces[1], 0, 2, 3, 1, first);
    HxModelUpdate(m, HX_MODU_ALL);
    ASSERT_EQ(m->prepared->ngroups, 2);
    EXPECT_EQ(m->prepared->groups[0].material, first);
    EXPECT_EQ(m->prepared->groups[1].material, second);
    EXPECT_EQ(m->prepared->groups[0].nvertices, 3);
    EXPECT_EQ(m->prepared->groups[1].nvertices, 3);
    EXPECT_EQ(m->prepared->groups[0].face_user[0], 1);
    EXPECT_EQ(m->flags & HX_MODF_UNMATERIALED, 0);

    // A material copied from another shares its key until preparation
    // tells them apart.
    hx_material* copy = HxMaterialAllocate("copy");
    *copy = *first;
    SetFace(&m->faces[0], 0, 1, 2, 1, copy);
    HxModelUpdate(m, HX_MODU_ALL);
    EXPECT_NE(copy->sequence, first->sequence);
    ASSERT_EQ(m->prepared->ngroups, 2);
    EXPECT_NE(m->prepared->groups[0].material, m->prepared->groups[1].material);
    first->sequence = 1;
    SetFace(&m->faces[0], 0, 1, 2, 1, second);
    HxModelUpdate(m, HX_MODU_ALL);

    // The block: header, groups, faces, vertices, colours, users, in the
    // sizes and roundings of the layout.
    const hx_prepared_model* pm = m->prepared;
    const auto* base = reinterpret_cast<const uint8_t*>(pm);
    const uint32_t groups = Round32(2 * sizeof(hx_prepared_group));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(pm) % 32, 0u);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(pm->groups), base + 32);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(pm->groups[0].faces), base + 32 + groups);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(pm->groups[0].vertices), base + 32 + groups + Round32(2 * 28));
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(pm->groups[1].vertices), base + 32 + groups + Round32(2 * 28) + 3 * 32);
    EXPECT_EQ(pm->size, 32 + groups + Round32(56) + 6 * 32 + Round32(6 * 4) + Round32(2 * 4) + 6 * 2 + 2 * 2);
}

TEST_F(HxScene, CornersWeldByPlaceAndMappingAcrossModelVerticesInPositionOrder)
{
    // Two triangles of a square, each with its own three vertices: the
    // corner at the origin repeated as -0 (the same place), the one at
    // (0,1) repeated with another mapping.
    const hx_vector3 places[6] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-0.0f, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    struct Case {
        uint16_t flags;
        uint16_t users[6];
        int n;
    };
    const Case cases[] = {{HX_MODF_UPDATEABLE, {0, 2, 5, 1, 4}, 5},
                          {HX_MODF_UPDATEABLE | HX_MODF_DONT_WELD, {0, 1, 2, 3, 4, 5}, 6}};
    for (const Case& c : cases) {
        hx_model* m = HxModelAllocate("square", 6, 2);
        m->flags = c.flags;
        for (int i = 0; i < 6; ++i)
            m->vertices[i].p = places[i];
        m->vertices[5].map = {0.5f, 0};
        SetFace(&m->faces[0], 0, 1, 2, 1);
        SetFace(&m->faces[1], 3, 4, 5, 1);
        HxModelUpdate(m, HX_MODU_ALL);
        ASSERT_NE(m->prepared, nullptr);
        const hx_prepared_group& g = m->prepared->groups[0];
        ASSERT_EQ(g.nvertices, c.n) << c.flags;
        for (int v = 0; v < c.n; ++v) {
            EXPECT_EQ(g.vertex_user[v], c.users[v]) << c.flags << " " << v;
            EXPECT_FLOAT_EQ(g.vertices[v].n.z, 1) << c.flags << " " << v;
        }
        // Both faces' first corners are the one prepared vertex when welded.
        EXPECT_EQ(g.faces[0].vertices[0] == g.faces[1].vertices[0], !(c.flags & HX_MODF_DONT_WELD));

        // A position that is not a number prepares without harm.
        m->vertices[4].p.x = std::nanf("");
        HxModelUpdate(m, HX_MODU_ALL);
        EXPECT_NE(m->prepared, nullptr);
        HxModelFree(m);
    }
}

TEST_F(HxScene, ACreaseAngleSplitsTheNormalsOfAWedgeAlongItsRidge)
{
    // Two faces folded 90 degrees along the x axis, one smoothing group.
    auto wedge = [](hx_angle crease) {
        hx_model* m = HxModelAllocate("wedge", 4, 2);
        m->flags = HX_MODF_UPDATEABLE | (crease ? HX_MODF_CREASE : 0);
        m->crease_angle = crease;
        m->vertices[0].p = {0, 0, 0};
        m->vertices[1].p = {1, 0, 0};
        m->vertices[2].p = {0, 1, 0};
        m->vertices[3].p = {0, 0, 1};
        SetFace(&m->faces[0], 0, 1, 2, 1);
        SetFace(&m->faces[1], 1, 0, 3, 1);
        HxModelUpdate(m, HX_MODU_ALL);
        return m;
    };
    hx_model* smooth = wedge(0);
    EXPECT_EQ(smooth->prepared->groups[0].nvertices, 4) << "the ridge's corners are shared";
    hx_model* sharp = wedge(8192); // 45 degrees: the 90-degree fold is a crease
    EXPECT_EQ(sharp->prepared->groups[0].nvertices, 6);
    hx_model* soft = wedge(20000); // about 110 degrees: no crease
    EXPECT_EQ(soft->prepared->groups[0].nvertices, 4);
}

TEST_F(HxScene, AFaceNamingAVertexOutOfRangeIsReportedBeforeAnyPlaneIsComputed)
{
    hx_model* m = HxModelAllocate("bad", 3, 2);
    m->flags = HX_MODF_UPDATEABLE;
    m->faces[1].vertices[2] = 3;
    HxModelUpdate(m, HX_MODU_ALL);
    EXPECT_TRUE(HxDiagLog::Saw("face references invalid vertex f=1 v=2"));
    EXPECT_EQ(m->prepared, nullptr);
}

TEST_F(HxScene, WithoutUpdateableTheArraysGoAndAModelWithoutThemIsReported)
{
    hx_model* m = Cube(false);
    m->flags = 0;
    HxModelUpdate(m, HX_MODU_ALL);
    EXPECT_EQ(m->vertices, nullptr);
    EXPECT_EQ(m->faces, nullptr);
    EXPECT_EQ(m->nvertices, 0);
    EXPECT_EQ(m->nfaces, 0);
    EXPECT_NE(m->prepared, nullptr);
    EXPECT_TRUE(HxDiagLog::Failures().empty());

    hx_model* empty = HxModelAllocate(nullptr, 0, 0);
    HxModelUpdate(empty, HX_MODU_ALL);
    EXPECT_TRUE(HxDiagLog::Saw("HxModelUpdate: model has no faces or vertices (<NULL>)"));
}

TEST_F(HxScene, APrePreparedModelIsLeftAloneEvenItsBounds)
{
    hx_model* m = Cube(false);
    m->flags |= HX_MODF_PREPREPARED;
    HxModelUpdate(m, HX_MODU_ALL);
    EXPECT_EQ(m->prepared, nullptr);
    EXPECT_EQ(m->radius, 0);
}

TEST_F(HxScene, AQuickUpdateMovesVerticesAndPlanesWithoutRegrouping)
{
    hx_model* m = Cube(true);
    m->vertices[0].red = 9;
    HxModelUpdate(m, HX_MODU_ALL);
    hx_prepared_model* before = m->prepared;
    hx_prepared_group& g = m->prepared->groups[0];
    for (int i = 0; i < 8; ++i) {
        m->vertices[i].p.x *= 2;
        m->vertices[i].red = 5;
    }
    HxModelUpdate(m, HX_MODU_POSITIONS);
    EXPECT_EQ(m->prepared, before);
    EXPECT_EQ(m->bounds.max.x, 2) << "positions refresh the bounds";
    for (int v = 0; v < g.nvertices; ++v)
        EXPECT_EQ(std::fabs(g.vertices[v].p.x), 2);
    for (int f = 0; f < g.nfaces; ++f)
        EXPECT_NEAR(Length(g.faces[f].n), 1, 1e-5);
    EXPECT_NE(g.vertex_colours[0] & 0xFF0000, 0x050000u) << "colours wait for their own flag";
    HxModelUpdate(m, HX_MODU_VERTEX_COLOURS);
    for (int v = 0; v < g.nvertices; ++v)
        EXPECT_EQ(g.vertex_colours[v], 0x050000u);
}

TEST_F(HxScene, ApplyMapGivesEachTypesCoordinates)
{
    hx_model* m = HxModelAllocate("map", 1, 0);
    auto mapped = [&](int type, hx_vector3 p) {
        m->vertices[0].p = p;
        m->vertices[0].map = {7, 7};
        HxModelApplyMap(m, type, nullptr);
        return m->vertices[0].map;
    };
    hx_vector2 uv = mapped(HX_APPLYMAP_PLANE, {0.5f, -1, 3});
    EXPECT_FLOAT_EQ(uv.x, 0.75f);
    EXPECT_FLOAT_EQ(uv.y, 0);
    uv = mapped(HX_APPLYMAP_SPHERE, {0, 1, -1}); // a = atan2(1, 0) = 90 degrees; b = atan2(1, 1) = 45
    EXPECT_NEAR(uv.x, 0.25f, 1e-4);
    EXPECT_NEAR(uv.y, 0.75f, 1e-4);
    uv = mapped(HX_APPLYMAP_SPHERE, {0, 0, 1}); // a = -90 degrees: 270 after the wrap
    EXPECT_NEAR(uv.x, 0.75f, 1e-4);
    uv = mapped(HX_APPLYMAP_CYLINDER, {1, 0.5f, 0});
    EXPECT_NEAR(uv.x, 0, 1e-6);
    EXPECT_FLOAT_EQ(uv.y, 0.75f);
    uv = mapped(HX_APPLYMAP_DISC, {3, -4, 9});
    EXPECT_NEAR(uv.x, 0.1475f, 1e-3); // atan2(4, 3) = 53.13 degrees
    EXPECT_FLOAT_EQ(uv.y, 5);
    uv = mapped(HX_APPLYMAP_NONE, {1, 2, 3});
    EXPECT_EQ(uv.x, 0);
    EXPECT_EQ(uv.y, 0);
    uv = mapped(9, {1, 2, 3});
    EXPECT_EQ(uv.x, 7) << "an unknown type leaves the coordinates";
    hx_matrix34 shift;
    HxMatrix34Translate(&shift, 1, 1, 0);
    m->vertices[0].p = {0, 0, 0};
    HxModelApplyMap(m, HX_APPLYMAP_PLANE, &shift);
    EXPECT_FLOAT_EQ(m->vertices[0].map.x, 1);
}

TEST_F(HxScene, FitMapMapsTheBoundsOntoTheUnitSquareForPlanarMapping)
{
    hx_model* m = HxModelAllocate("fit", 2, 0);
    m->vertices[0].p = {2, 10, -1};
    m->vertices[1].p = {6, 20, 1};
    m->bounds = {{2, 10, -1}, {6, 20, 1}};
    hx_matrix34 fit;
    HxModelFitMap(m, 2, 4, &fit); // u along +Z, v along -Y
    HxModelApplyMap(m, HX_APPLYMAP_PLANE, &fit);
    EXPECT_NEAR(m->vertices[0].map.x, 0, 1e-6);
    EXPECT_NEAR(m->vertices[0].map.y, 1, 1e-6);
    EXPECT_NEAR(m->vertices[1].map.x, 1, 1e-6);
    EXPECT_NEAR(m->vertices[1].map.y, 0, 1e-6);
}
