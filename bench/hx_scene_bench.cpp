// The scene layer's two hot paths: preparing a 2,000-face model for the
// renderer, and walking a 200-actor tree to the renderer (the recording
// driver with its log off, so the figure is the framework's own work).
#include <benchmark/benchmark.h>

#include <cmath>
#include <tuple>

#include "framework/devlist.h"
#include "framework/diag.h"
#include "framework/drivers/recording_renderer.h"
#include "framework/pixelmap.h"
#include "framework/scene.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler quiet = {"bench", Quiet, Quiet};

struct Scene {
    Scene()
    {
        HxDiagHandlerSet(&quiet);
        HxBegin();
        HxDevAdd(nullptr, kHxRecordingDeviceName, nullptr);
        HxRecordingLogEnable(false);
        HxZbBegin(0, 0);
    }
    ~Scene()
    {
        HxZbEnd();
        HxEnd();
        HxDiagHandlerSet(nullptr);
    }
};

// A grid of 26 x 40 vertices bent into a tube: 2,000 faces in 4 materials,
// with shared smoothing so corners weld.
hx_model* Tube()
{
    hx_material* materials[4];
    for (auto& material : materials)
        material = HxMaterialAdd(HxMaterialAllocate(nullptr));
    constexpr int kRings = 26, kAround = 40;
    hx_model* m = HxModelAllocate("tube", kRings * kAround, (kRings - 1) * kAround * 2);
    m->flags = HX_MODF_UPDATEABLE;
    for (int r = 0; r < kRings; ++r)
        for (int a = 0; a < kAround; ++a) {
            float angle = float(a) * 6.2831853f / kAround;
            hx_vertex& v = m->vertices[r * kAround + a];
            v.p = {std::cos(angle), float(r) * 0.2f, std::sin(angle)};
            v.map = {float(a) / kAround, float(r) / kRings};
        }
    int f = 0;
    for (int r = 0; r + 1 < kRings; ++r)
        for (int a = 0; a < kAround; ++a) {
            uint16_t v0 = uint16_t(r * kAround + a), v1 = uint16_t(r * kAround + (a + 1) % kAround);
            uint16_t v2 = uint16_t(v0 + kAround), v3 = uint16_t(v1 + kAround);
            for (auto [x, y, z] : {std::tuple{v0, v1, v3}, std::tuple{v0, v3, v2}}) {
                hx_face& face = m->faces[f];
                face.vertices[0] = x, face.vertices[1] = y, face.vertices[2] = z;
                face.smoothing = 1;
                face.material = materials[(a / 10) % 4];
                face.flags = f % 2 ? 1 : 4;
                ++f;
            }
        }
    return m;
}

void BM_PrepareModel2000Faces(benchmark::State& state)
{
    Scene scene;
    hx_model* m = Tube();
    for (auto _ : state) {
        HxModelUpdate(m, HX_MODU_ALL);
        benchmark::DoNotOptimize(m->prepared);
    }
    state.SetItemsProcessed(state.iterations() * m->nfaces);
}
BENCHMARK(BM_PrepareModel2000Faces);

void BM_QuickUpdatePositions2000Faces(benchmark::State& state)
{
    Scene scene;
    hx_model* m = Tube();
    HxModelUpdate(m, HX_MODU_ALL);
    for (auto _ : state) {
        m->vertices[0].p.x += 0.001f;
        HxModelUpdate(m, HX_MODU_POSITIONS);
        benchmark::DoNotOptimize(m->prepared);
    }
    state.SetItemsProcessed(state.iterations() * m->nfaces);
}
BENCHMARK(BM_QuickUpdatePositions2000Faces);

// World: a camera, 4 lights and 20 ships of 1 hull and 8 parts (some
// turned, some with parts of their own): 200 actors.
void BM_Traverse200ActorTree(benchmark::State& state)
{
    Scene scene;
    hx_model* model = HxModelAllocate("box", 3, 1);
    model->faces[0].vertices[1] = 1;
    model->faces[0].vertices[2] = 2;
    model->vertices[1].p = {1, 0, 0};
    model->vertices[2].p = {0, 1, 0};
    HxModelAdd(model);
    hx_actor* world = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    world->t.type = HX_TRANSFORM_IDENTITY;
    hx_actor* camera = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
    HxActorAdd(world, camera);
    int actors = 2;
    for (int l = 0; l < 4; ++l, ++actors) {
        hx_actor* light = HxActorAllocate(HX_ACTOR_LIGHT, nullptr);
        HxActorAdd(world, light);
        HxLightEnable(light);
    }
    for (int s = 0; s < 20; ++s) {
        hx_actor* ship = HxActorAllocate(HX_ACTOR_MODEL, nullptr);
        ship->model = model;
        ship->t.type = HX_TRANSFORM_EULER;
        ship->t.t.euler.e = {uint16_t(s * 1000), uint16_t(s * 300), 0, 0};
        ship->t.t.euler.t = {float(s), 0, -20};
        HxActorAdd(world, ship);
        ++actors;
        for (int p = 0; p < 8 && actors < 200; ++p, ++actors) {
            hx_actor* part = HxActorAllocate(HX_ACTOR_MODEL, nullptr);
            part->t.type = p % 2 ? HX_TRANSFORM_TRANSLATE : HX_TRANSFORM_IDENTITY;
            part->t.t.translate.t = {0, float(p), 0};
            HxActorAdd(ship, part);
        }
    }
    hx_pixelmap* colour = HxPixelmapAllocate(HX_PMT_INDEX_8, 320, 200, nullptr, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(HxZbSceneRender(world, camera, colour, nullptr));
    state.SetItemsProcessed(state.iterations() * actors);
    HxPixelmapFree(colour);
}
BENCHMARK(BM_Traverse200ActorTree);

} // namespace
