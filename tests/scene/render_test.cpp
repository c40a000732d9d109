// The scene render as the recording renderer sees it: the traversal's
// matrix stack, culling, inherited styles and models, the lights handed
// over from the enable slots, stale entries cleared, render-bounds
// clamping, custom models, the camera path, and the Z-sort render's tables.
#include <cstdio>

#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene_state.h"
#include "framework/token.h"
#include "framework/token_ids.h"
#include "tests/scene/scene_fixture.h"

namespace {

hx_actor* Child(hx_actor* parent, uint8_t type, const char* name, float x, float y, float z)
{
    hx_actor* a = HxActorAllocate(type, nullptr);
    a->identifier = HxResStrDup(a, name);
    a->t.type = HX_TRANSFORM_TRANSLATE;
    a->t.t.translate.t = {x, y, z};
    HxActorAdd(parent, a);
    return a;
}

hx_model* Box(const char* name)
{
    hx_model* m = HxModelAllocate(name, 3, 1);
    m->vertices[0].p = {-1, -1, 0};
    m->vertices[1].p = {1, -1, 0};
    m->vertices[2].p = {0, 1, 0};
    m->faces[0].vertices[1] = 1;
    m->faces[0].vertices[2] = 2;
    return HxModelAdd(m);
}

hx_token RejectFar(const hx_bounds3* box)
{
    return box->min.x >= 50 ? HXT_REJECT : box->min.x >= 20 ? HXT_PARTIAL
                                                            : HXT_ACCEPT;
}

struct BoundsCall {
    std::string actor;
    int32_t rect[4];
};
std::vector<BoundsCall> boundsCalls;
void RecordBounds(hx_actor* actor, hx_model*, hx_material*, hx_order_table*, uint8_t, hx_matrix4*, const int32_t r[4])
{
    boundsCalls.push_back({actor->identifier ? actor->identifier : "", {r[0], r[1], r[2], r[3]}});
}

class HxRender : public HxScene {
protected:
    void SetUp() override
    {
        HxScene::SetUp();
        ASSERT_EQ(HxZbBegin(0, 0), HX_OK);
        colour = HxPixelmapAllocate(HX_PMT_INDEX_8, 64, 48, nullptr, 0);
        colour->identifier = HxResStrDup(colour, "back");
        depth = HxPixelmapAllocate(HX_PMT_DEPTH_16, 64, 48, nullptr, 0);
        depth->identifier = HxResStrDup(depth, "depth");
        world = HxActorAllocate(HX_ACTOR_NONE, nullptr);
        world->identifier = HxResStrDup(world, "world");
        camera = Child(world, HX_ACTOR_CAMERA, "camera", 0, 0, 10);
        boundsCalls.clear();
        Log();
    }
    void TearDown() override
    {
        HxRecordingBoundsTestSet(nullptr);
        HxScene::TearDown();
    }
    hx_pixelmap* colour;
    hx_pixelmap* depth;
    hx_actor* world;
    hx_actor* camera;
};

} // namespace

TEST_F(HxRender, AThreeLevelTreeIsWalkedWithPushPrependPopBoundsTestsAndInheritedStyles)
{
    hx_model* box = Box("box");
    hx_model* far = Box("far");
    far->bounds = {{60, 0, 0}, {61, 1, 1}};
    hx_material* red = HxMaterialAdd(HxMaterialAllocate("red"));
    Log();
    // world: camera; a (style EDGES, material red): b (model box): c (FACES);
    // d (style NONE): e; f (model far, rejected).
    hx_actor* a = Child(world, HX_ACTOR_NONE, "a", 1, 0, 0);
    a->render_style = HX_RSTYLE_EDGES;
    a->material = red;
    hx_actor* b = Child(a, HX_ACTOR_MODEL, "b", 0, 2, 0);
    b->model = box;
    hx_actor* c = Child(b, HX_ACTOR_MODEL, "c", 0, 0, 0);
    c->t.type = HX_TRANSFORM_IDENTITY;
    c->render_style = HX_RSTYLE_FACES;
    hx_actor* d = Child(world, HX_ACTOR_MODEL, "d", 0, 0, 3);
    d->render_style = HX_RSTYLE_NONE;
    Child(d, HX_ACTOR_MODEL, "e", 0, 0, 0)->render_style = HX_RSTYLE_FACES;
    hx_actor* f = Child(world, HX_ACTOR_MODEL, "f", 0, 0, 4);
    f->model = far;
    Child(world, HX_ACTOR_NONE, "empty", 5, 5, 5);
    HxRecordingBoundsTestSet(RejectFar);

    EXPECT_EQ(HxZbSceneRender(world, camera, colour, depth), HX_OK);
    EXPECT_EQ(Log({"push", "pop", "mul", "bounds", "draw", "part MATRIX 0 MODEL_TO_VIEW_HINT", "invert", "frame"}),
              (std::vector<std::string>{
                  "part MATRIX 0 MODEL_TO_VIEW_HINT_T=LENGTH_PRESERVING",
                  "invert",
                  // f: the far model is rejected
                  "push 0x2",
                  "mul (0 0 4)",
                  "part MATRIX 0 MODEL_TO_VIEW_HINT_T=LENGTH_PRESERVING",
                  "bounds (60 0 0 61 1 1) REJECT",
                  "pop 0x2",
                  // d is NONE: neither it nor e is drawn, nothing pushed
                  // a: not a model; its children inherit EDGES and red
                  "push 0x2",
                  "mul (1 0 0)",
                  "part MATRIX 0 MODEL_TO_VIEW_HINT_T=LENGTH_PRESERVING",
                  "push 0x2",
                  "mul (0 2 0)",
                  "part MATRIX 0 MODEL_TO_VIEW_HINT_T=LENGTH_PRESERVING",
                  "bounds (-1 -1 0 1 1 0) ACCEPT",
                  "draw on-screen LINE state=state#2 [null f=1 v=3]",
                  // c: identity, its own FACES style, b's model
                  "bounds (-1 -1 0 1 1 0) ACCEPT",
                  "draw on-screen TRIANGLE state=state#2 [null f=1 v=3]",
                  "pop 0x2",
                  "pop 0x2",
                  "frame end",
              }));
}

TEST_F(HxRender, TheRenderBoundsRectangleIsClampedToThePixelmapAndMadeRelativeToItsOrigin)
{
    colour->origin_x = 32;
    colour->origin_y = 24;
    Child(world, HX_ACTOR_MODEL, "ship", 0, 0, 0);
    EXPECT_EQ(HxZbSetRenderBoundsCallback(RecordBounds), nullptr);
    EXPECT_EQ(Log(), (std::vector<std::string>{"part ENABLE 0 BOUNDS_B=1"}));
    HxRecordingScreenRectSet(-5.5f, 10.9f, 70, 47.9f);
    HxZbSceneRender(world, camera, colour, depth);
    EXPECT_EQ(Log({"default", "draw", "query BOUNDS"}),
              (std::vector<std::string>{"default 0x20", "draw on-screen TRIANGLE state=state#1 [null f=12 v=8]",
                                        "query BOUNDS 0 MIN_V2_F MAX_V2_F"}));
    ASSERT_EQ(boundsCalls.size(), 1u);
    EXPECT_EQ(boundsCalls[0].actor, "ship");
    EXPECT_EQ(std::vector<int32_t>(boundsCalls[0].rect, boundsCalls[0].rect + 4),
              (std::vector<int32_t>{0 - 32, 10 - 24, 63 - 32, 47 - 24}));

    // Wholly off the pixelmap: clamped to its edge, still reported.
    HxRecordingScreenRectSet(100, 200, 300, 400);
    HxZbSceneRender(world, camera, colour, depth);
    ASSERT_EQ(boundsCalls.size(), 2u);
    EXPECT_EQ(std::vector<int32_t>(boundsCalls[1].rect, boundsCalls[1].rect + 4),
              (std::vector<int32_t>{31, 23, 31, 23}));
    // An empty rectangle is not.
    HxRecordingScreenRectSet(10, 10, 5, 20);
    HxZbSceneRender(world, camera, colour, depth);
    EXPECT_EQ(boundsCalls.size(), 2u);
}

TEST_F(HxRender, LightsGoToConsecutiveEntriesFromTheirSlotsAndStaleEntriesAreCleared)
{
    hx_actor* l0 = Child(world, HX_ACTOR_LIGHT, "l0", 0, 0, 0);
    hx_actor* l1 = Child(world, HX_ACTOR_LIGHT, "l1", 0, 0, 0);
    hx_actor* l2 = Child(world, HX_ACTOR_LIGHT, "l2", 3, 4, 5);
    static_cast<hx_light*>(l2->type_data)->type = HX_LIGHT_POINT;
    hx_actor* outside = HxActorAllocate(HX_ACTOR_LIGHT, nullptr);
    EXPECT_EQ(HxLightEnable(l0), 1);
    EXPECT_EQ(HxLightEnable(l1), 2);
    EXPECT_EQ(HxLightEnable(l2), 3);
    EXPECT_EQ(HxLightEnable(l2), 2) << "enabled again: its slot's index";
    EXPECT_EQ(HxLightEnable(outside), 4);
    HxLightDisable(l1);
    HxZbSceneRender(world, camera, colour, depth);
    EXPECT_EQ(Log({"parts LIGHT", "part LIGHT"}),
              (std::vector<std::string>{
                  "parts LIGHT 0 COLOUR_RGB=0xffffff ATTENUATION_C_F=1 ATTENUATION_L_F=0 ATTENUATION_Q_F=0 "
                  "SPACE_T=MODEL TYPE_T=DIRECT DIRECTION_V3_F=(0 0 1)",
                  "parts LIGHT 1 COLOUR_RGB=0xffffff ATTENUATION_C_F=1 ATTENUATION_L_F=0 ATTENUATION_Q_F=0 "
                  "SPACE_T=MODEL TYPE_T=POINT POSITION_V3_F=(3 4 -5)",
              }));
    HxActorFree(l0);
    HxZbSceneRender(world, camera, colour, depth);
    EXPECT_EQ(Log({"parts LIGHT", "part LIGHT"}),
              (std::vector<std::string>{
                  "parts LIGHT 0 COLOUR_RGB=0xffffff ATTENUATION_C_F=1 ATTENUATION_L_F=0 ATTENUATION_Q_F=0 "
                  "SPACE_T=MODEL TYPE_T=POINT POSITION_V3_F=(3 4 -5)",
                  "part LIGHT 1 TYPE_T=NONE",
              }));
}

namespace {
std::vector<std::string> customCalls;
hx_vector2 originOnScreen;
int originInFront;
void CustomDraw(hx_actor* actor, hx_model* model, hx_material*, hx_order_table*, uint8_t style, hx_token result)
{
    customCalls.push_back(std::string(actor->identifier) + " " + model->identifier + " " + std::to_string(style) +
                          " " + HxTokenIdentifier(result));
    originInFront = HxOriginToScreen(&originOnScreen);
}
} // namespace

TEST_F(HxRender, ACustomModelIsHandedToItsCallbackWhichMayProjectPoints)
{
    hx_model* custom = Box("custom");
    custom->flags |= HX_MODF_CUSTOM;
    custom->custom = CustomDraw;
    Child(world, HX_ACTOR_MODEL, "thing", 0, 0, 0)->model = custom;
    camera->t.t.translate.t.z = 1.5f; // near enough for a positive screen z
    colour->origin_x = 32;
    colour->origin_y = 24;
    customCalls.clear();
    HxZbSceneRender(world, camera, colour, depth);
    EXPECT_EQ(customCalls, (std::vector<std::string>{"thing custom 0 ACCEPT"}));
    EXPECT_TRUE(Log({"draw"}).empty());
    // The world origin, in front of the camera, lies at the centre.
    EXPECT_FLOAT_EQ(originOnScreen.x, 32.5f);
    EXPECT_FLOAT_EQ(originOnScreen.y, 24.5f);
    EXPECT_EQ(originInFront, 1);
}

TEST_F(HxRender, PointAndEdgeStylesOfAModelWithOnlyStoredGeometryDrawTheStoredCopy)
{
    hx_model* m = HxModelAllocate("stored", 3, 1);
    m->faces[0].vertices[1] = 1;
    m->faces[0].vertices[2] = 2;
    m->vertices[1].p = {1, 0, 0};
    m->vertices[2].p = {0, 1, 0};
    m->flags = HX_MODF_STORED;
    HxModelAdd(m);
    hx_actor* a = Child(world, HX_ACTOR_MODEL, "s", 0, 0, 0);
    a->model = m;
    a->render_style = HX_RSTYLE_POINTS;
    Log();
    HxZbSceneRender(world, camera, colour, depth);
    a->render_style = HX_RSTYLE_EDGES;
    HxZbSceneRender(world, camera, colour, depth);
    a->render_style = HX_RSTYLE_BOUNDING_EDGES;
    HxZbSceneRender(world, camera, colour, depth);
    EXPECT_EQ(Log({"draw"}), (std::vector<std::string>{"draw on-screen geometry#2 POINT state=state#1",
                                                       "draw on-screen geometry#2 LINE state=state#1",
                                                       "draw on-screen LINE state=state#1 [null f=12 v=4]"}));
    // (the box of a flat model has its corners welded in pairs)
}

TEST_F(HxRender, ACameraOutsideTheWorldOrTooDeepIsReportedAndNothingIsDrawn)
{
    Child(world, HX_ACTOR_MODEL, "m", 0, 0, 0);
    hx_actor* stray = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
    HxZbSceneRender(world, stray, colour, depth);
    EXPECT_TRUE(HxDiagLog::Saw("camera is not in world hierachy"));
    EXPECT_TRUE(Log({"draw"}).empty());

    hx_actor* deep = world;
    for (int i = 0; i < 16; ++i)
        deep = Child(deep, HX_ACTOR_NONE, "level", 0, 0, 0);
    hx_actor* cam = Child(deep, HX_ACTOR_CAMERA, "deep", 0, 0, 0);
    EXPECT_EQ(cam->depth, 17);
    HxDiagLog::Clear();
    HxZbSceneRender(world, cam, colour, depth);
    EXPECT_TRUE(HxDiagLog::Saw("levels below its root"));
    EXPECT_TRUE(Log({"draw"}).empty());
}

TEST_F(HxRender, TheZSortRenderDrawsTheOrderTablesItVisitedInDecreasingSortDepth)
{
    char heap[64];
    ASSERT_EQ(HxZsBegin(0, heap, sizeof heap), heap);
    hx_order_table* near = HxOrderTableAllocate(4, HX_OTF_SORT_NEAR, HX_OTS_AVERAGE);
    hx_order_table* far = HxOrderTableAllocate(8, HX_OTF_SORT_FAR, HX_OTS_AVERAGE);
    near->min_z = 1, near->max_z = 2;
    far->min_z = 5, far->max_z = 9;
    Child(world, HX_ACTOR_MODEL, "n", 0, 0, 0)->render_data = near;
    Child(world, HX_ACTOR_MODEL, "f", 0, 0, 0)->render_data = far;
    Log();
    HxZsSceneRender(world, camera, colour);
    EXPECT_EQ(Log({"buckets", "part HIDDEN_SURFACE", "frame"}),
              (std::vector<std::string>{"part HIDDEN_SURFACE 0 V1ORDER_TABLE_P=set",
                                        "part HIDDEN_SURFACE 0 V1PRIMITIVE_HEAP_P=set",
                                        "part HIDDEN_SURFACE 0 TYPE_T=BUCKET_SORT",
                                        "part HIDDEN_SURFACE 0 V1ORDER_TABLE_P=set",
                                        "part HIDDEN_SURFACE 0 V1ORDER_TABLE_P=set", "buckets 8 used=0",
                                        "buckets 4 used=0", "frame end"}));
    EXPECT_EQ(near->visits, 0);
    HxZsEnd();
}

TEST_F(HxRender, OutcodesMarkEachClipPlaneAndScreenPositionsComeOnlyForPointsOnScreen)
{
    // Model-to-screen the identity: a point is its own homogeneous screen
    // point with w = 1.
    Child(world, HX_ACTOR_MODEL, "m", 0, 0, 0);
    HxZbSceneRender(world, camera, colour, depth);
    hx_matrix34 identity34;
    hx_matrix4 identity4;
    HxMatrix34Identity(&identity34);
    HxMatrix4Identity(&identity4);
    hx_object* r = HxRendererQuery();
    HxRendererDispatch(r)->partSet(r, HXT_MATRIX, 0, HXT_MODEL_TO_VIEW_M34_F, HxValuePointer(&identity34));
    HxRendererDispatch(r)->partSet(r, HXT_MATRIX, 0, HXT_VIEW_TO_SCREEN_M4_F, HxValuePointer(&identity4));
    struct Case {
        hx_vector3 p;
        uint32_t code;
    };
    // clang-format off
    const Case cases[] = {
        {{0, 0, 0}, 0x0FFF0000},   {{1, 0, 0}, 0x0FFD0002},   {{-1, 0, 0}, 0x0FFF0000},
        {{-1.5f, 0, 0}, 0x0FFE0001}, {{0, 1, 0}, 0x0FFB0004},  {{0, -2, 0}, 0x0FF70008},
        {{0, 0, 1}, 0x0FEF0010},   {{0, 0, -3}, 0x0FDF0020},  {{2, 2, 2}, 0x0FE90016},
    };
    // clang-format on
    for (const Case& c : cases) {
        v1db.model_to_screen_valid = 0;
        hx_vector3 out = {-7, -7, -7};
        EXPECT_EQ(HxPointToScreenOutcode(&c.p, &out), c.code) << c.p.x << " " << c.p.y << " " << c.p.z;
        if (c.code & 0xFFF) {
            EXPECT_EQ(out.x, -7) << "no position for a point off screen";
        }
    }
    // On screen: the viewport's centre and scales, z by -32767.
    v1db.model_to_screen_valid = 0;
    hx_vector3 half = {0.5f, 0.5f, 0.5f}, out;
    EXPECT_EQ(HxPointToScreenOutcode(&half, &out), 0x0FFF0000u);
    EXPECT_FLOAT_EQ(out.x, 0.5f * 32 + 32.5f);
    EXPECT_FLOAT_EQ(out.y, 0.5f * -24 + 24.5f);
    EXPECT_FLOAT_EQ(out.z, 0.5f * -32767);
    // Behind a perspective camera w < 0: outside whatever x is.
    hx_matrix4 flip = identity4;
    flip.m[3][3] = -1;
    HxRendererDispatch(r)->partSet(r, HXT_MATRIX, 0, HXT_VIEW_TO_SCREEN_M4_F, HxValuePointer(&flip));
    v1db.model_to_screen_valid = 0;
    hx_vector3 several[2] = {{0, 0, 0}, {5, 0, 0}};
    hx_vector3 outs[2];
    uint32_t codes[2];
    HxPointsToScreenOutcode(outs, codes, several, 2);
    EXPECT_NE(codes[0] & 0x3, 0u);
    EXPECT_NE(codes[1] & 0x3, 0u);
    // The cache is filled once per model.
    Log();
    hx_matrix4 m;
    HxModelToScreenQuery(&m);
    HxModelToScreenQuery(&m);
    EXPECT_TRUE(Log({"query"}).empty());
}

TEST_F(HxRender, ClipPlanesGoToTheRendererInScreenSpaceAndTheEnvironmentAsAMatrix)
{
    hx_actor* plane = Child(world, HX_ACTOR_CLIP_PLANE, "clip", 0, 0, 0);
    EXPECT_EQ(HxClipPlaneEnable(plane), 1);
    EXPECT_EQ(HxEnvironmentSet(world), nullptr);
    HxZbSceneRender(world, camera, colour, depth);
    std::vector<std::string> clip = Log({"parts CLIP", "part CLIP", "part MATRIX 0 VIEW_TO_ENV"});
    ASSERT_EQ(clip.size(), 3u);
    // The plane z = 0 of the world, 10 in front of the camera: in screen
    // space a plane of constant z.
    EXPECT_EQ(clip[0].rfind("parts CLIP 0 TYPE_T=PLANE PLANE_V4_F=(0 0 ", 0), 0u) << clip[0];
    EXPECT_EQ(clip[1], "part MATRIX 0 VIEW_TO_ENVIRONMENT_M34_F=(1 -0 0 -0 1 -0 0 -0 1 -0 -0 10)");
    EXPECT_EQ(clip[2], "part MATRIX 0 VIEW_TO_ENVIRONMENT_HINT_T=NONE");
    HxClipPlaneDisable(plane);
    HxEnvironmentSet(HxActorAllocate(HX_ACTOR_NONE, nullptr)); // not under the world
    HxZbSceneRender(world, camera, colour, depth);
    EXPECT_EQ(Log({"parts CLIP", "part CLIP", "part MATRIX 0 VIEW_TO_ENV"}),
              (std::vector<std::string>{"part CLIP 0 TYPE_T=NONE", "part MATRIX 0 VIEW_TO_ENVIRONMENT_HINT_T=DONT_CARE"}));
}

TEST_F(HxRender, MoreEnabledLightsThanSlotsAreReported)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(HxLightEnable(HxActorAllocate(HX_ACTOR_LIGHT, nullptr)), i + 1);
    EXPECT_EQ(HxLightEnable(HxActorAllocate(HX_ACTOR_LIGHT, nullptr)), 0);
    EXPECT_TRUE(HxDiagLog::Saw("too many enabled lights"));
    hx_actor* horizon = HxActorAllocate(HX_ACTOR_HORIZON_PLANE, nullptr);
    EXPECT_EQ(HxHorizonPlaneEnable(horizon), 1);
    HxHorizonPlaneDisable(horizon);
    EXPECT_EQ(v1db.enabled_horizon_planes.count, 0);
}

TEST_F(HxRender, AZSortRenderWithoutBucketSupportIsReported)
{
    HxZbEnd();
    HxRecordingBucketsSet(false);
    char heap[64];
    ASSERT_EQ(HxZsBegin(0, heap, sizeof heap), heap);
    Child(world, HX_ACTOR_MODEL, "m", 0, 0, 0);
    HxZsSceneRender(world, camera, colour);
    EXPECT_TRUE(HxDiagLog::Saw("Renderer does not support buckets"));
    HxZsEnd();
}

TEST_F(HxRender, ATableTakingItsRangeFromOneModelTakesItAtItsFirstVisit)
{
    char heap[64];
    ASSERT_EQ(HxZsBegin(0, heap, sizeof heap), heap);
    hx_order_table* table = HxOrderTableAllocate(8, HX_OTF_DEPTH_SECOND | HX_OTF_SORT_NEAR, HX_OTS_AVERAGE);
    hx_actor* near = Child(world, HX_ACTOR_MODEL, "near", 0, 0, 0);
    hx_actor* far = Child(world, HX_ACTOR_MODEL, "far", 0, 0, -5);
    near->render_data = table;
    far->render_data = table;
    HxZsSceneRender(world, camera, colour);
    // The first model drawn is "far" (children in list order): the default
    // cube 15 in front, so w runs from 14 to 16.
    EXPECT_NEAR(table->min_z, 14, 1e-4);
    EXPECT_NEAR(table->max_z, 16, 1e-4);
    EXPECT_NEAR(table->sort_z, 14, 1e-4);
    HxZsEnd();
}

TEST_F(HxRender, ThePrimaryTableInterleavesItsBucketsWithTheOtherTables)
{
    hx_order_table* primary = HxOrderTableAllocate(4, 0, 1);
    primary->min_z = 0, primary->max_z = 8;
    hx_order_table* beyond = HxOrderTableAllocate(2, 0, 1);
    hx_order_table* middle = HxOrderTableAllocate(3, 0, 1);
    beyond->sort_z = 9, middle->sort_z = 5;
    void* primitive[1] = {};
    HxOrderTablePrimitiveInsert(primary, primitive, 3);
    HxOrderTablePrimitiveInsert(primary, primitive, 0);
    primary->visits = 1;
    HxPrimaryOrderTableSet(primary);
    HxOrderTableListInsert(primary); // never part of the list
    HxOrderTableListInsert(middle);
    HxOrderTableListInsert(beyond);
    Log();
    HxOrderTablesRender();
    // beyond (9 >= 8); bucket 3; z 6; bucket 2 empty, z 4: middle; ... bucket 0.
    EXPECT_EQ(Log(), (std::vector<std::string>{"buckets 2 used=0", "buckets 1 used=1", "buckets 3 used=0",
                                               "buckets 1 used=1"}));
    EXPECT_EQ(primary->visits, 0);
    HxPrimaryOrderTableClear();
}
