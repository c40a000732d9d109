// The scene layer's call sequences (those its own tests pin with the
// recording driver: inherited styles, bounding styles, stored geometry,
// custom models drawing from their callback, every light type, clip planes
// and the environment, the render-bounds callback, Z-sort tables with a
// primary table) replayed through the software renderer on every output
// and depth type, under the sanitizers: each draws, and nothing is reported.
#include <algorithm>

#include "framework/scene_state.h"
#include "framework/token_ids.h"
#include "tests/render/softrend_fixture.h"

namespace {

struct Target {
    uint8_t colour, depth;
};
constexpr Target kTargets[] = {{HX_PMT_INDEX_8, HX_PMT_DEPTH_16},
                               {HX_PMT_RGB_565, HX_PMT_DEPTH_32},
                               {HX_PMT_RGB_555, HX_PMT_DEPTH_16}};

int boundsCalls;
void CountBounds(hx_actor*, hx_model*, hx_material*, hx_order_table*, uint8_t, hx_matrix4*, const int32_t*)
{
    ++boundsCalls;
}

void DrawFromCallback(hx_actor* actor, hx_model*, hx_material*, hx_order_table*, uint8_t, hx_token)
{
    hx_vector2 at;
    HxOriginToScreen(&at);
    for (hx_actor* c = actor->children; c; c = c->next)
        HxActorRenderFromCallback(c);
}

class SoftrendReplay : public Softrend {
public:
    // A perspective camera 60 units back, looking at the origin.
    void Perspective()
    {
        auto* c = static_cast<hx_camera*>(camera->type_data);
        c->type = HX_CAMERA_PERSPECTIVE;
        c->field_of_view = 8192;
        c->hither_z = 1;
        c->yon_z = 500;
        c->aspect = float(kWidth) / kHeight;
        camera->t.type = HX_TRANSFORM_TRANSLATE;
        camera->t.t.translate.t = {0, 0, 60};
    }
    hx_actor* Child(hx_actor* parent, uint8_t type, float x, float y, float z)
    {
        hx_actor* a = HxActorAllocate(type, nullptr);
        a->t.type = HX_TRANSFORM_TRANSLATE;
        a->t.t.translate.t = {x, y, z};
        HxActorAdd(parent, a);
        return a;
    }
    // Every material kind the scene layer can hand over.
    std::vector<hx_material*> Materials()
    {
        hx_pixelmap* palette = HxPixelmapAllocate(HX_PMT_RGBX_888, 256, 1, nullptr, 0);
        for (int i = 0; i < 256; ++i)
            HxPixelmapPixelSet(palette, i, 0, uint32_t((i * 3) << 16 | i << 8 | (255 - i)));
        hx_pixelmap* map = Table("map", 12, 10, [](int x, int y) { return (x * 5 + y * 3) % 7; });
        map->map = palette;
        HxMapAdd(map);
        hx_pixelmap* shade = HxTableAdd(Table("shade", 256, 16, [](int x, int y) { return (x + y) & 255; }));
        hx_pixelmap* blend = HxTableAdd(Table("blend", 256, 256, [](int x, int y) { return (x + y) / 2; }));
        hx_pixelmap* fog = HxTableAdd(Table("fog", 256, 8, [](int x, int y) { return (x + y * 9) & 255; }));
        hx_pixelmap* door = HxTableAdd(Table("door", 4, 4, [](int x, int y) { return (x + y) & 1; }));
        std::vector<hx_material*> out;
        const uint32_t flags[] = {
            0,
            HX_MATF_LIT | HX_MATF_SMOOTH,
            HX_MATF_LIT | HX_MATF_PERSPECTIVE | HX_MATF_Z_TRANSPARENCY,
            HX_MATF_PRELIT | HX_MATF_SMOOTH,
            HX_MATF_LIT | HX_MATF_ENV_INFINITE | HX_MATF_TWO_SIDED,
            HX_MATF_LIT | HX_MATF_ENV_LOCAL | HX_MATF_ALWAYS_VISIBLE | HX_MATF_FOG_LOCAL,
            HX_MATF_SUBDIVIDE | HX_MATF_FORCE_FRONT | HX_MATF_SMOOTH,
        };
        int i = 0;
        for (uint32_t f : flags) {
            hx_material* m = Material(nullptr, 0x40A0E0 + uint32_t(i) * 0x101010, f);
            m->ks = 0.3f;
            m->colour_map = i >= 2 ? map : nullptr;
            m->index_shade = shade;
            m->index_blend = i % 2 ? blend : nullptr;
            m->index_fog = fog;
            m->screendoor = i == 5 ? door : nullptr;
            m->opacity = i % 2 ? 100 : 255;
            m->fog_min = 40;
            m->fog_max = 90;
            m->fog_colour = 0x808080;
            m->mode = uint32_t(i) * 5; // mirror and clamp combinations
            out.push_back(HxMaterialAdd(m));
            ++i;
        }
        return out;
    }
};

} // namespace

TEST_F(SoftrendReplay, EveryStyleMaterialLightAndClipDrawsOnEveryTarget)
{
    Perspective();
    const std::vector<hx_material*> materials = Materials();
    hx_model* cube = HxDefaultModel();
    // Lights of every type, one in view space; a clip plane; the world as
    // the environment.
    const int lightTypes[] = {HX_LIGHT_DIRECT, HX_LIGHT_POINT, HX_LIGHT_SPOT, HX_LIGHT_DIRECT | HX_LIGHT_VIEW};
    for (int type : lightTypes) {
        hx_actor* l = Child(world, HX_ACTOR_LIGHT, 10, 20, 30);
        static_cast<hx_light*>(l->type_data)->type = uint8_t(type);
        static_cast<hx_light*>(l->type_data)->attenuation_l = 0.01f;
        HxLightEnable(l);
    }
    hx_actor* plane = Child(world, HX_ACTOR_CLIP_PLANE, 0, 0, -30);
    HxClipPlaneEnable(plane);
    HxEnvironmentSet(world);
    // A row of cubes, one per material and style, some crossing the near
    // plane and the screen's edges.
    int i = 0;
    for (hx_material* m : materials)
        for (uint8_t style : {HX_RSTYLE_DEFAULT, HX_RSTYLE_POINTS, HX_RSTYLE_EDGES, HX_RSTYLE_BOUNDING_POINTS,
                              HX_RSTYLE_BOUNDING_EDGES, HX_RSTYLE_BOUNDING_FACES}) {
            hx_actor* a = Child(world, HX_ACTOR_MODEL, float(i % 9) * 9 - 40, float(i / 9) * 7 - 20,
                                float((i * 13) % 50) - 20);
            a->model = cube;
            a->material = m;
            a->render_style = style;
            a->t.type = HX_TRANSFORM_EULER;
            a->t.t.euler.e = {hx_angle(i * 3000), hx_angle(i * 1700), hx_angle(i * 900), 0};
            ++i;
        }
    // One close enough to cross the near plane, one straddling the camera.
    Child(world, HX_ACTOR_MODEL, 0, 0, 59.5f)->model = cube;
    Child(world, HX_ACTOR_MODEL, 2, 1, 61)->model = cube;
    // A custom model that draws its children from the callback, a bounds
    // actor and a stored-geometry model.
    hx_model* custom = HxModelAllocate("custom", 0, 0);
    custom->flags = HX_MODF_CUSTOM | HX_MODF_PREPREPARED;
    custom->custom = DrawFromCallback;
    custom->bounds = {{-1, -1, -1}, {1, 1, 1}};
    hx_actor* holder = Child(world, HX_ACTOR_MODEL, 0, 10, 0);
    holder->model = custom;
    Child(holder, HX_ACTOR_MODEL, 3, 0, 0)->material = materials[1];
    hx_actor* box = Child(world, HX_ACTOR_BOUNDS_CORRECT, 0, -10, 0);
    *static_cast<hx_bounds3*>(box->type_data) = {{-5, -5, -5}, {5, 5, 5}};
    Child(box, HX_ACTOR_MODEL, 0, 0, 0)->material = materials[2];
    hx_model* stored = HxModelAllocate("stored", 3, 1);
    stored->vertices[1].p = {4, 0, 0};
    stored->vertices[2].p = {0, 4, 0};
    stored->faces[0].vertices[1] = 1;
    stored->faces[0].vertices[2] = 2;
    stored->flags = HX_MODF_STORED;
    HxModelAdd(stored);
    Child(world, HX_ACTOR_MODEL, -5, 5, 5)->model = stored;

    HxZbSetRenderBoundsCallback(CountBounds);
    for (const Target& t : kTargets) {
        hx_pixelmap* colour = Screen(t.colour);
        boundsCalls = 0;
        EXPECT_EQ(Render(colour, DepthBuffer(t.depth)), HX_OK);
        const std::vector<uint32_t> pixels = Pixels(colour);
        EXPECT_GT(std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) { return p != 0; }), kWidth * kHeight / 50)
            << int(t.colour);
        EXPECT_GT(boundsCalls, 10);
    }

    // The Z-sort render of the same scene, through order tables of the
    // actors' own and a primary table, with a heap too small for all.
    hx_order_table* own = HxOrderTableAllocate(16, HX_OTF_DEPTH_SECOND | HX_OTF_SORT_NEAR, HX_OTS_MAX);
    for (hx_actor* a = world->children; a; a = a->next)
        if (a->type == HX_ACTOR_MODEL && (a->t.t.translate.t.x > 0))
            a->render_data = own;
    HxPrimaryOrderTableSet(HxOrderTableAllocate(32, 0, HX_OTS_MIN))->min_z = 1;
    v1db.primary_order_table->max_z = 500;
    for (size_t heapSize : {size_t(512 * 1024), size_t(3000)}) {
        std::vector<uint8_t> heap(heapSize);
        HxZsBegin(0, heap.data(), uint32_t(heap.size()));
        for (const Target& t : kTargets) {
            hx_pixelmap* colour = Screen(t.colour);
            EXPECT_EQ(HxZsSceneRender(world, camera, colour), HX_OK);
            const std::vector<uint32_t> pixels = Pixels(colour);
            EXPECT_GT(std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) { return p != 0; }), 0);
        }
        HxZsEnd();
    }
    HxPrimaryOrderTableClear();
    EXPECT_TRUE(HxDiagLog::Failures().empty()) << HxDiagLog::Failures().front();
}
