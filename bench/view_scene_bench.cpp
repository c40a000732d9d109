// The 3D view's per-frame work: the scene update (PrepareView: every
// item's TDP sync, the TDP transforms, the level of detail and the actor
// placing) for 400 items with 600 TDPs, and a whole frame of 200 visible
// ships drawn through the software renderer into a 640 x 480 memory frame
// buffer at 8 bits.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "framework/diag.h"
#include "framework/scene.h"
#include "system/crand.h"
#include "system/display.h"
#include "ui/windows.h"
#include "view/renderpasses.h"
#include "view/viewstart.h"
#include "view/viewwindows.h"
#include "world/pools.h"
#include "world/scenelist.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler gQuiet = {"bench", Quiet, Quiet};

constexpr int kWidth = 640, kHeight = 480;
std::vector<uint8_t> gFrame(size_t(kWidth) * kHeight);
uint8_t* gPixels = gFrame.data();

// A cube of the edge with a flat material: 12 faces, like a small ship.
hx_model* Cube(float edge)
{
    static const float corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}};
    static const uint16_t faces[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4}, {3, 6, 2}, {3, 7, 6}, {0, 4, 7}, {0, 7, 3}, {1, 2, 6}, {1, 6, 5}};
    hx_material* material = HxMaterialAllocate("hull");
    material->index_base = 60;
    material->index_range = 0;
    material->flags = 0;
    HxMaterialAdd(material);
    hx_model* m = HxModelAllocate("cube", 8, 12);
    for (int i = 0; i < 8; ++i)
        m->vertices[i].p = {corners[i][0] * edge / 2, corners[i][1] * edge / 2, corners[i][2] * edge / 2};
    for (int f = 0; f < 12; ++f) {
        for (int k = 0; k < 3; ++k)
            m->faces[f].vertices[k] = faces[f][k];
        m->faces[f].smoothing = 1;
        m->faces[f].material = material;
    }
    m->flags = HX_MODF_DONT_WELD;
    return HxModelAdd(m);
}

SceneItem* NewItem(hx_model* model, float x, float y, float z)
{
    SceneItem* item = NewSceneItem();
    InsertSceneItem(item, 0);
    AttachSim(item, nullptr);
    TDP* root = AttachRootTDP(item);
    Sim* sim = item->sim;
    MatIdentity(sim->matrix);
    sim->matrix.m[12] = x;
    sim->matrix.m[13] = y;
    sim->matrix.m[14] = z;
    item->avatar->matrix = sim->matrix;
    if (model) {
        root->model = model;
        root->radius = 90;
        root->flags |= kTdpInScene;
    }
    return item;
}

// The view over a scene of `items` items (the viewer among them), the
// first `withPart` of which carry a second TDP: ships spread in front of
// the viewer, `visible` of them inside the view.
struct ViewScene {
    SceneItem* viewer = nullptr;
    WindowHandle window{};

    ViewScene(int items, int withPart, int visible)
    {
        ResetSimulation();
        gScreenMode.width = kWidth;
        gScreenMode.height = kHeight;
        gScreenMode.depth = 8;
        gScreenMode.frameBuffer = &gPixels;
        InitializeP3D();
        HxDiagHandlerSet(&gQuiet);
        hx_model* cube = Cube(100);
        viewer = NewItem(nullptr, 0, 0, 0);
        CRandSeed(11);
        for (int i = 1; i < items; ++i) {
            const bool inView = i <= visible;
            // In view near enough to keep the full model (apparent size above 8).
            const float z = inView ? 2000.0f + float(CRand() % 8000) : -2000.0f - float(CRand() % 30000);
            const float spread = inView ? 0.35f * z : 20000.0f;
            const float x = (float(CRand()) / kCRandMax * 2 - 1) * spread;
            const float y = (float(CRand()) / kCRandMax * 2 - 1) * spread * 0.75f;
            SceneItem* item = NewItem(cube, x, y, z);
            if (i <= withPart) {
                TDP* part = AddChildTDP(item->avatar->root, cube, 0, 120, 0);
                part->flags |= kTdpInScene;
                part->radius = 90;
            }
        }
        window.width = kWidth;
        window.height = kHeight;
        guiSetViewedItems(&window, viewer);
        RegisterViewWindow(&window);
        RenderViewWindow(&window); // builds the worlds
    }
    ~ViewScene()
    {
        ResetSimulation();
        ShutdownP3D();
    }
};

void BM_SceneUpdate400Items600Tdps(benchmark::State& state)
{
    ViewScene scene(kMaxSceneItems, 200, 200);
    const ViewRect viewport{0, 0, kWidth - 1, kHeight - 1};
    for (auto _ : state)
        PrepareView(scene.viewer, &viewport);
    state.SetItemsProcessed(state.iterations() * 600);
}
BENCHMARK(BM_SceneUpdate400Items600Tdps)->Unit(benchmark::kMicrosecond);

void BM_Frame200VisibleShips(benchmark::State& state)
{
    ViewScene scene(kMaxSceneItems, 0, 200);
    for (auto _ : state)
        RenderViewWindow(&scene.window);
    state.SetItemsProcessed(state.iterations() * 200);
    int drawn = 0; // pixels the ships cover
    for (uint8_t p : gFrame)
        drawn += p != 176;
    state.counters["ship_pixels"] = drawn;
}
BENCHMARK(BM_Frame200VisibleShips)->Unit(benchmark::kMicrosecond);

} // namespace
