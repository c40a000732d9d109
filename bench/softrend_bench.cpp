// The software renderer measured: the reference combat scene (the OSMesa
// peer's, see softrend_scene.h) at 8-bit (shade-table textures, ramp
// Gouraud) and 16-bit 565, median milliseconds over 200 frames including
// the clears; the same scene through Mesa's software rasteriser (the peer
// program, built where OSMesa is found, run single-threaded on llvmpipe
// and on softpipe) in the same run, with the ratios; and, as Google
// Benchmark cases, vertices a second, small triangles a second and
// megapixels a second for each kind of span. The scene's own frames are
// cases too (BM_SceneFrame), for profiling; "--no_peer" leaves out the
// comparison with the peer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "bench/softrend_scene.h"
#include "framework/devlist.h"
#include "framework/diag.h"
#include "framework/drivers/softrend/softrend.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler quiet = {"bench", Quiet, Quiet};

// Each side's figure is the best of three runs' medians: the machine may be
// shared, and the best run is the one least disturbed, on either side.
constexpr int kFrames = 200, kWarmUp = 10, kTrials = 3;

struct World {
    World()
    {
        HxDiagHandlerSet(&quiet);
        HxBegin();
        HxDevAdd(nullptr, kHxSoftrendDeviceName, nullptr);
        HxZbBegin(0, 0);
        scene = scene_bench::Build();
        depth = HxPixelmapAllocate(HX_PMT_DEPTH_16, scene_bench::kWidth, scene_bench::kHeight, nullptr, 0);
    }
    scene_bench::Scene scene;
    hx_pixelmap* depth;
};
World& TheWorld()
{
    static World w;
    return w;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The process's CPU time in milliseconds: the peer times its frames the
// same way, and a busy machine then slows neither side's figure.
double CpuMs()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// Median milliseconds of a whole frame (clears included) at a pixel type.
double SceneFrameMs(uint8_t type, hx_pixelmap** shown)
{
    World& w = TheWorld();
    hx_pixelmap* colour = scene_bench::ScreenOf(type);
    std::vector<double> ms;
    for (int frame = -kWarmUp; frame < kFrames; ++frame) {
        const double t0 = CpuMs();
        HxPixelmapFill(colour, type == HX_PMT_INDEX_8 ? 3 : 0x0001);
        HxPixelmapFill(w.depth, 0xFFFF);
        scene_bench::Animate(w.scene, frame);
        HxZbSceneRender(w.scene.world, w.scene.camera, colour, w.depth);
        const double t1 = CpuMs();
        if (frame >= 0)
            ms.push_back(t1 - t0);
    }
    *shown = colour;
    return Median(ms);
}

double Covered(hx_pixelmap* pm)
{
    const uint32_t clear = HxPixelmapPixelQuery(pm, -pm->origin_x, -pm->origin_y);
    long n = 0;
    for (int y = 0; y < pm->height; ++y)
        for (int x = 0; x < pm->width; ++x)
            n += HxPixelmapPixelQuery(pm, x - pm->origin_x, y - pm->origin_y) != clear;
    return 100.0 * double(n) / double(pm->width * pm->height);
}

// The peer's median for one driver and format (best of the runs), or a
// negative value when it cannot run.
double PeerRunMs(const char* driver, bool rgb565);
double PeerMs(const char* driver, bool rgb565)
{
    double best = -1;
    for (int trial = 0; trial < kTrials; ++trial) {
        const double ms = PeerRunMs(driver, rgb565);
        if (ms > 0 && (best < 0 || ms < best))
            best = ms;
    }
    return best;
}

double PeerRunMs(const char* driver, bool rgb565)
{
#ifdef KV_OSMESA_PEER
    const std::string command = std::string("LP_NUM_THREADS=0 GALLIUM_DRIVER=") + driver + " " + KV_OSMESA_PEER +
                                " " + std::to_string(kFrames) + (rgb565 ? " rgb565" : "") + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return -1;
    char line[512];
    double ms = -1;
    while (std::fgets(line, sizeof line, p)) {
        std::fputs(line, stdout);
        if (const char* at = std::strstr(line, "median "))
            ms = std::atof(at + 7);
    }
    pclose(p);
    return ms;
#else
    (void)driver;
    (void)rgb565;
    return -1;
#endif
}

void CompareWithPeer()
{
    hx_pixelmap* shown8;
    hx_pixelmap* shown16;
    double ours8 = 1e30, ours16 = 1e30;
    for (int trial = 0; trial < kTrials; ++trial) {
        ours8 = std::min(ours8, SceneFrameMs(HX_PMT_INDEX_8, &shown8));
        ours16 = std::min(ours16, SceneFrameMs(HX_PMT_RGB_565, &shown16));
    }
    std::printf("\nreference combat scene, %d triangles, %dx%d, median CPU time of %d frames with clears, best of %d runs\n",
                TheWorld().scene.triangles, scene_bench::kWidth, scene_bench::kHeight, kFrames, kTrials);
    std::printf("softrend 8-bit  : %8.3f ms/frame (covered %.0f%%)\n", ours8, Covered(shown8));
    std::printf("softrend 16-bit : %8.3f ms/frame (covered %.0f%%)\n", ours16, Covered(shown16));
#ifndef KV_OSMESA_PEER
    std::printf("OSMesa peer not built (no OSMesa found): no comparison\n");
#else
    const double llvm8 = PeerMs("llvmpipe", false), llvm16 = PeerMs("llvmpipe", true);
    const double soft8 = PeerMs("softpipe", false), soft16 = PeerMs("softpipe", true);
    auto ratio = [](const char* what, double peer, double ours) {
        if (peer > 0)
            std::printf("%-44s %8.3f ms vs %8.3f ms: softrend %.2fx faster\n", what, peer, ours, peer / ours);
        else
            std::printf("%-44s did not run\n", what);
    };
    ratio("llvmpipe 1 thread rgba8  vs softrend 8-bit", llvm8, ours8);
    ratio("llvmpipe 1 thread rgb565 vs softrend 16-bit", llvm16, ours16);
    ratio("softpipe rgba8  vs softrend 8-bit", soft8, ours8);
    ratio("softpipe rgb565 vs softrend 16-bit", soft16, ours16);
#endif
}

// ---- throughput cases ------------------------------------------------------------------

// One frame of the reference scene, clears included, at 8-bit and 565.
void BM_SceneFrame(benchmark::State& state)
{
    World& w = TheWorld();
    const uint8_t type = state.range(0) == 8 ? HX_PMT_INDEX_8 : HX_PMT_RGB_565;
    hx_pixelmap* colour = scene_bench::ScreenOf(type);
    int frame = 0;
    for (auto _ : state) {
        HxPixelmapFill(colour, type == HX_PMT_INDEX_8 ? 3 : 0x0001);
        HxPixelmapFill(w.depth, 0xFFFF);
        scene_bench::Animate(w.scene, frame++ % 200);
        HxZbSceneRender(w.scene.world, w.scene.camera, colour, w.depth);
    }
    state.SetItemsProcessed(state.iterations() * w.scene.triangles);
    HxPixelmapFree(colour);
}
BENCHMARK(BM_SceneFrame)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

// Every vertex of the scene transformed, lit and plotted as a point.
void BM_VerticesPerSecond(benchmark::State& state)
{
    World& w = TheWorld();
    hx_pixelmap* colour = scene_bench::ScreenOf(HX_PMT_RGB_565);
    scene_bench::Animate(w.scene, 0);
    w.scene.world->render_style = HX_RSTYLE_POINTS;
    int vertices = 0;
    for (hx_actor* a = w.scene.world->children; a; a = a->next)
        if (a->model && a->model->prepared)
            for (int g = 0; g < a->model->prepared->ngroups; ++g)
                vertices += a->model->prepared->groups[g].nvertices;
    for (auto _ : state) {
        HxPixelmapFill(w.depth, 0xFFFF);
        HxZbSceneRender(w.scene.world, w.scene.camera, colour, w.depth);
    }
    w.scene.world->render_style = HX_RSTYLE_DEFAULT;
    state.SetItemsProcessed(state.iterations() * vertices);
    HxPixelmapFree(colour);
}
BENCHMARK(BM_VerticesPerSecond)->Unit(benchmark::kMillisecond);

// A model of n x m cells of `cell` pixels, two triangles each, facing the
// camera of a parallel view one unit a pixel.
struct Flat {
    hx_actor* world;
    hx_actor* camera;
    hx_actor* actor;
};
Flat FlatView()
{
    Flat f;
    f.world = HxActorAllocate(HX_ACTOR_NONE, nullptr);
    f.camera = HxActorAllocate(HX_ACTOR_CAMERA, nullptr);
    auto* c = static_cast<hx_camera*>(f.camera->type_data);
    c->type = HX_CAMERA_PARALLEL;
    c->width = scene_bench::kWidth;
    c->height = scene_bench::kHeight;
    c->aspect = 1;
    c->hither_z = 1;
    c->yon_z = 1000;
    HxActorAdd(f.world, f.camera);
    f.actor = HxActorAllocate(HX_ACTOR_MODEL, nullptr);
    HxActorAdd(f.world, f.actor);
    return f;
}

hx_model* Grid(const char* name, int columns, int rows, float cell, hx_material* material)
{
    hx_model* m = HxModelAllocate(name, (columns + 1) * (rows + 1), columns * rows * 2);
    for (int y = 0; y <= rows; ++y)
        for (int x = 0; x <= columns; ++x) {
            hx_vertex& v = m->vertices[y * (columns + 1) + x];
            v.p = {float(x) * cell - float(columns) * cell / 2 + 0.25f, float(rows) * cell / 2 - float(y) * cell - 0.25f,
                   0};
            v.map = {float(x) / float(columns) * 4, float(y) / float(rows) * 4};
        }
    int f = 0;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) {
            const int a = y * (columns + 1) + x, b = a + 1, c = a + columns + 1, d = c + 1;
            for (auto [p, q, r] : {std::tuple{a, c, b}, std::tuple{b, c, d}}) {
                hx_face& face = m->faces[f++];
                face.vertices[0] = uint16_t(p), face.vertices[1] = uint16_t(q), face.vertices[2] = uint16_t(r);
                face.smoothing = 1;
                face.material = material;
            }
        }
    return HxModelAdd(m);
}

// 38,400 triangles of 8 pixels each over the whole screen, 16-bit Gouraud.
void BM_SmallTrianglesPerSecond(benchmark::State& state)
{
    TheWorld();
    static Flat f = FlatView();
    hx_material* m = HxMaterialAllocate("small");
    m->flags = HX_MATF_SMOOTH;
    HxMaterialAdd(m);
    static hx_model* grid = Grid("small", 160, 120, 4, m);
    f.actor->model = grid;
    hx_pixelmap* colour = scene_bench::ScreenOf(HX_PMT_RGB_565);
    hx_pixelmap* depth = TheWorld().depth;
    f.actor->t.type = HX_TRANSFORM_TRANSLATE;
    int z = 0;
    for (auto _ : state) {
        // Each pass a little nearer, so every pixel passes the depth test.
        if (z == 0)
            HxPixelmapFill(depth, 0xFFFF);
        f.actor->t.t.translate.t = {0, 0, -900.0f + float(z)};
        z = (z + 1) % 800;
        HxZbSceneRender(f.world, f.camera, colour, depth);
    }
    state.SetItemsProcessed(state.iterations() * 160 * 120 * 2);
    HxPixelmapFree(colour);
}
BENCHMARK(BM_SmallTrianglesPerSecond)->Unit(benchmark::kMillisecond);

// One full-screen quad a pass for each kind of span: megapixels a second.
struct SpanCase {
    const char* name;
    uint8_t type;
    uint32_t flags;
    bool textured, shade;
    uint8_t opacity;
};
const SpanCase kSpanCases[] = {
    {"565 flat", HX_PMT_RGB_565, 0, false, false, 255},
    {"565 gouraud lit", HX_PMT_RGB_565, HX_MATF_SMOOTH | HX_MATF_LIT, false, false, 255},
    {"565 texture affine lit", HX_PMT_RGB_565, HX_MATF_SMOOTH | HX_MATF_LIT, true, false, 255},
    {"565 texture perspective lit", HX_PMT_RGB_565, HX_MATF_SMOOTH | HX_MATF_LIT | HX_MATF_PERSPECTIVE, true, false,
     255},
    {"565 blend", HX_PMT_RGB_565, 0, false, false, 128},
    {"565 texture interpolated lit", HX_PMT_RGB_565, HX_MATF_SMOOTH | HX_MATF_LIT | HX_MATF_MAP_INTERPOLATION, true,
     false, 255},
    {"8-bit ramp gouraud", HX_PMT_INDEX_8, HX_MATF_SMOOTH | HX_MATF_LIT, false, false, 255},
    {"8-bit shade texture", HX_PMT_INDEX_8, HX_MATF_SMOOTH | HX_MATF_LIT, true, true, 255},
    {"8-bit shade texture perspective", HX_PMT_INDEX_8, HX_MATF_SMOOTH | HX_MATF_LIT | HX_MATF_PERSPECTIVE, true,
     true, 255},
    {"8-bit z-transparent texture", HX_PMT_INDEX_8, HX_MATF_Z_TRANSPARENCY, true, false, 255},
    {"8-bit shade texture dithered", HX_PMT_INDEX_8, HX_MATF_SMOOTH | HX_MATF_LIT | HX_MATF_DITHER, true, true, 255},
    {"8-bit translucent without a table", HX_PMT_INDEX_8, 0, false, false, 128},
};

void BM_SpanMegapixels(benchmark::State& state)
{
    const SpanCase& k = kSpanCases[state.range(0)];
    state.SetLabel(k.name);
    World& w = TheWorld();
    static Flat f = FlatView();
    hx_material* m = HxMaterialAllocate(k.name);
    m->flags = k.flags;
    m->ka = 0.2f;
    m->kd = 0.8f;
    m->colour = 0x80C040;
    m->opacity = k.opacity;
    m->colour_map = k.textured ? w.scene.texture : nullptr;
    m->index_shade = k.shade ? w.scene.shade : nullptr;
    m->index_range = 63;
    m->index_base = 16;
    HxMaterialAdd(m);
    hx_model* quad = Grid(k.name, 1, 1, 1024, m);
    f.actor->model = quad;
    f.actor->t.type = HX_TRANSFORM_TRANSLATE;
    hx_pixelmap* colour = scene_bench::ScreenOf(k.type);
    int z = 0;
    for (auto _ : state) {
        if (z == 0)
            HxPixelmapFill(w.depth, 0xFFFF);
        f.actor->t.t.translate.t = {0, 0, -900.0f + float(z)};
        z = (z + 1) % 800;
        HxZbSceneRender(f.world, f.camera, colour, w.depth);
    }
    state.SetItemsProcessed(state.iterations() * scene_bench::kWidth * scene_bench::kHeight);
    state.counters["Mpixels/s"] = benchmark::Counter(double(state.iterations()) * scene_bench::kWidth *
                                                         scene_bench::kHeight / 1e6,
                                                     benchmark::Counter::kIsRate);
    HxPixelmapFree(colour);
}
BENCHMARK(BM_SpanMegapixels)->DenseRange(0, int(std::size(kSpanCases)) - 1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    bool peer = true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--no_peer") == 0) {
            peer = false;
            std::copy(argv + i + 1, argv + argc, argv + i);
            --argc;
            break;
        }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (peer)
        CompareWithPeer();
    return 0;
}
