// The bridge panels' line drawing: the 3D viewer panel's scene view with
// 200 items of 500-face wireframes in view (target under 4 ms), and the
// engineering schematic of 40 systems with its grid and the selected
// system's label (target under 0.5 ms). Release build, 640 x 480 x 8 bits.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "framework/diag.h"
#include "framework/pixelmap.h"
#include "framework/scene.h"
#include "screens/vectormap.h"
#include "screens/viewerpanel.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "ui/windows.h"
#include "view/lwoloader.h"
#include "view/viewstart.h"
#include "world/pools.h"
#include "world/records.h"
#include "world/scenelist.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler gQuiet = {"bench", Quiet, Quiet};

constexpr int kWidth = 640, kHeight = 480;
std::vector<uint8_t> gFrame(size_t(kWidth) * kHeight, 0);
uint8_t* gPixels = gFrame.data();

SceneItem* NewItem(double x, double y, double z)
{
    SceneItem* item = NewSceneItem();
    InsertSceneItem(item, 0);
    AttachSim(item, nullptr);
    AttachRootTDP(item);
    MatIdentity(item->sim->matrix);
    item->sim->position = {x, y, z};
    item->sim->radius = 300.0f;
    return item;
}

// A closed band of 500 triangles round the y axis, radius 300.
hx_model* Band(const char* name)
{
    constexpr int kSteps = 250;
    hx_model* m = HxModelAllocate(name, kSteps * 2, kSteps * 2);
    for (int i = 0; i < kSteps; ++i) {
        const float a = 2 * 3.14159265f * i / kSteps;
        m->vertices[2 * i].p = {300 * std::cos(a), -150, 300 * std::sin(a)};
        m->vertices[2 * i + 1].p = {300 * std::cos(a), 150, 300 * std::sin(a)};
    }
    for (int i = 0; i < kSteps; ++i) {
        const uint16_t a = uint16_t(2 * i), b = uint16_t(2 * i + 1), c = uint16_t((2 * i + 2) % (2 * kSteps)),
                       d = uint16_t((2 * i + 3) % (2 * kSteps));
        hx_face* f = &m->faces[2 * i];
        f[0].vertices[0] = a, f[0].vertices[1] = b, f[0].vertices[2] = c;
        f[1].vertices[0] = b, f[1].vertices[1] = d, f[1].vertices[2] = c;
    }
    return m;
}

void BM_ViewerSceneTwoHundredWireframes(benchmark::State& state)
{
    ResetSimulation();
    gScreenMode.width = kWidth;
    gScreenMode.height = kHeight;
    gScreenMode.depth = 8;
    gScreenMode.frameBuffer = &gPixels;
    InitializeP3D();
    HxDiagHandlerSet(&gQuiet);
    ResetViewerPanel();
    SceneItem* camera = NewItem(0, 0, 0);
    hx_model* band = Band("band");
    // A 20 x 10 field of items ahead of the camera.
    for (int i = 0; i < 200; ++i) {
        SceneItem* item = NewItem((i % 20 - 9.5) * 1500.0, (i / 20 - 4.5) * 1500.0, 20000.0 + (i % 7) * 1000.0);
        item->avatar->root->model = band;
    }
    WindowHandle window{};
    window.width = 300;
    window.height = 200;
    RegisterViewWindow(&window);
    gFrameClock.frameTicks = 1;
    for (auto _ : state)
        guiViewerSceneDraw(&window, camera);
    int drawn = 0;
    for (uint8_t p : gFrame)
        drawn += p != 0;
    state.counters["pixels"] = drawn;
    ResetSimulation();
    ShutdownP3D();
}
BENCHMARK(BM_ViewerSceneTwoHundredWireframes)->Unit(benchmark::kMicrosecond);

// A schematic part: a box outline with a label.
struct Schematic {
    std::vector<float> points;
    std::vector<uint16_t> edges;
    WireShape set{};
};

void BM_EngineeringSchematicFortySystems(benchmark::State& state)
{
    HxBegin();
    ResetVectorMap();
    hx_pixelmap* panel = HxPixelmapAllocate(HX_PMT_INDEX_8, 360, 240, nullptr, 0);
    panel->origin_x = 180;
    panel->origin_y = 120;
    gVectorMap.target = panel;
    static Schematic systems[40];
    for (int s = 0; s < 40; ++s) {
        Schematic& sys = systems[s];
        // Three boxes a system.
        for (int b = 0; b < 3; ++b) {
            const float x = float(b * 12), y = float(b * 5), w = 10, h = 6;
            const float corners[4][2] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
            const uint16_t base = uint16_t(sys.points.size() / 3);
            for (auto& c : corners)
                sys.points.insert(sys.points.end(), {c[0], c[1], 0.0f});
            for (uint16_t k = 0; k < 4; ++k)
                sys.edges.insert(sys.edges.end(), {uint16_t(base + k), uint16_t(base + (k + 1) % 4)});
        }
        sys.set.pointCount = int32_t(sys.points.size() / 3);
        sys.set.points = reinterpret_cast<float(*)[3]>(sys.points.data());
        sys.set.edgeCount = int32_t(sys.edges.size() / 2);
        sys.set.edges = reinterpret_cast<uint16_t(*)[2]>(sys.edges.data());
        BuildSegmentParts(&sys.set);
        for (int p = 0; p < sys.set.partCount; ++p)
            sys.set.parts[p].labels[0] = "COOLANT SYS";
        VectorShape* shape = NewVectorShape(&sys.set, 0);
        shape->colour = int16_t(36 + (s % 3) * 32);
        shape->layerMask = 1;
        shape->x = float((s % 8) * 40 - 160);
        shape->y = float((s / 8) * 30 - 75);
        AppendVectorShape(&gVectorMap.root, shape);
        if (s == 17)
            gVectorMap.selected = shape;
    }
    for (auto _ : state) {
        DrawVectorMapGrid(0, 0, 300);
        guiDrawVectorShapes(gVectorMap.root.firstChild, 0, 0, 300, true, -1);
        benchmark::ClobberMemory();
    }
    for (Schematic& sys : systems) {
        FreeMemory(sys.set.parts);
        sys.set.parts = nullptr;
    }
    ResetVectorMap();
    HxEnd();
}
BENCHMARK(BM_EngineeringSchematicFortySystems)->Unit(benchmark::kMicrosecond);

} // namespace
