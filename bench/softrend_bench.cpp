// The software renderer measured: the reference combat scene (the OSMesa
// peer's, see softrend_scene.h) at 8-bit (shade-table textures, ramp
// Gouraud) and 16-bit 565, affine and perspective-correct, with 20 and 80
// ships, against the same scene through Mesa's software rasteriser (the
// peer program, built where OSMesa is found, run on single-threaded
// llvmpipe) in interleaved rounds, with the ratios; and, as Google
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
#include <unistd.h>
#include <tuple>
#include <vector>

#include "bench/softrend_scene.h"
#include "framework/devlist.h"
#include "framework/diag.h"
#include "framework/drivers/softrend/softrend.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler quiet = {"bench", Quiet, Quiet};

// Frames a side draws in one round of the comparison with the peer, and the
// rounds (each side's figure is the median of its rounds', the ratio the
// median of the rounds' own ratios).
constexpr int kFrames = 100, kWarmUp = 10, kRounds = 5;

// Under glibc's default heap settings llvmpipe gives its per-frame memory
// back to the kernel and faults it in again every frame, so a comparison
// would mostly measure page faults: both sides run with the heap's
// trimming held off (ours draws the same either way). The setting must be
// in place when a process starts; main() starts the benchmark again with it.
constexpr const char* kHeapTunable = "glibc.malloc.top_pad=67108864";

struct World {
    World()
    {
        HxDiagHandlerSet(&quiet);
        HxBegin();
        HxDevAdd(nullptr, kHxSoftrendDeviceName, nullptr);
        HxZbBegin(0, 0);
        scene = scene_bench::Build();
        crowd = scene_bench::Build(true, 0, scene_bench::kMostShips);
        depth = HxPixelmapAllocate(HX_PMT_DEPTH_16, scene_bench::kWidth, scene_bench::kHeight, nullptr, 0);
    }
    scene_bench::Scene scene; // the reference scene's 20 ships
    scene_bench::Scene crowd; // and 80
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

// Median milliseconds of a whole frame (clears included) of a scene at a
// pixel type, its textures mapped affinely or perspective-correct.
double SceneFrameMs(scene_bench::Scene& scene, uint8_t type, bool perspective, hx_pixelmap** shown)
{
    World& w = TheWorld();
    if (perspective)
        scene.material->flags |= HX_MATF_PERSPECTIVE;
    else
        scene.material->flags &= ~uint32_t(HX_MATF_PERSPECTIVE);
    HxMaterialUpdate(scene.material, 255);
    hx_pixelmap* colour = scene_bench::ScreenOf(type);
    std::vector<double> ms;
    for (int frame = -kWarmUp; frame < kFrames; ++frame) {
        const double t0 = CpuMs();
        HxPixelmapFill(colour, type == HX_PMT_INDEX_8 ? 3 : 0x0001);
        HxPixelmapFill(w.depth, 0xFFFF);
        scene_bench::Animate(scene, frame);
        HxZbSceneRender(scene.world, scene.camera, colour, w.depth);
        const double t1 = CpuMs();
        if (frame >= 0)
            ms.push_back(t1 - t0);
    }
    if (*shown)
        HxPixelmapFree(*shown);
    *shown = colour;
    return Median(ms);
}

// The share of a screen's pixels that are not its first pixel's colour.
double Covered(hx_pixelmap* pm)
{
    const uint32_t clear = HxPixelmapPixelQuery(pm, -pm->origin_x, -pm->origin_y);
    long n = 0;
    for (int y = 0; y < pm->height; ++y)
        for (int x = 0; x < pm->width; ++x)
            n += HxPixelmapPixelQuery(pm, x - pm->origin_x, y - pm->origin_y) != clear;
    return 100.0 * double(n) / double(pm->width * pm->height);
}

// The peer's median frame on single-threaded llvmpipe (RGBA8 or 565, with
// the given ships), or a negative value when it cannot run.
double PeerMs(bool rgb565, int ships)
{
#ifdef KV_OSMESA_PEER
    const std::string command = std::string("LP_NUM_THREADS=0 GALLIUM_DRIVER=llvmpipe ") + KV_OSMESA_PEER + " " +
                                std::to_string(kFrames) + (rgb565 ? " rgb565 " : " rgba8 ") +
                                std::to_string(ships) + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return -1;
    char line[512];
    double ms = -1;
    while (std::fgets(line, sizeof line, p))
        if (const char* at = std::strstr(line, "median "))
            ms = std::atof(at + 7);
    pclose(p);
    return ms;
#else
    (void)rgb565;
    (void)ships;
    return -1;
#endif
}

// Our renderer against single-threaded llvmpipe on the same scene: 8-bit
// (shade-table textures) against RGBA8, 16-bit 565 against 565; textures
// mapped affinely or perspective-correct (as GL always maps them); 20 and
// 80 ships. The rounds are interleaved, each comparison's first side
// alternating, so that a machine whose load changes slows both alike.
void CompareWithPeer()
{
    struct Comparison {
        const char* name;
        bool rgb565, perspective;
        int ships;
    };
    static constexpr Comparison kComparisons[] = {
        {"8-bit, affine, 20 ships", false, false, 20},
        {"8-bit, perspective, 20 ships", false, true, 20},
        {"16-bit, affine, 20 ships", true, false, 20},
        {"16-bit, perspective, 20 ships", true, true, 20},
        {"8-bit, affine, 80 ships", false, false, 80},
        {"8-bit, perspective, 80 ships", false, true, 80},
        {"16-bit, affine, 80 ships", true, false, 80},
        {"16-bit, perspective, 80 ships", true, true, 80},
    };
    struct Measured {
        std::vector<double> ours, peer, ratio;
        double covered = 0;
    };
    Measured measured[std::size(kComparisons)];
#ifndef KV_OSMESA_PEER
    std::printf("\nOSMesa peer not built (no OSMesa found): no comparison\n");
    return;
#endif
    World& w = TheWorld();
    hx_pixelmap* shown = nullptr;
    for (int round = 0; round < kRounds; ++round) {
        for (size_t k = 0; k < std::size(kComparisons); ++k) {
            const Comparison& c = kComparisons[k];
            scene_bench::Scene& scene = c.ships == scene_bench::kShips ? w.scene : w.crowd;
            const uint8_t type = c.rgb565 ? HX_PMT_RGB_565 : HX_PMT_INDEX_8;
            double ours, peer;
            if ((size_t(round) + k) % 2 == 0) {
                ours = SceneFrameMs(scene, type, c.perspective, &shown);
                peer = PeerMs(c.rgb565, c.ships);
            } else {
                peer = PeerMs(c.rgb565, c.ships);
                ours = SceneFrameMs(scene, type, c.perspective, &shown);
            }
            if (peer <= 0) {
                std::printf("\nthe OSMesa peer did not run: no comparison\n");
                return;
            }
            Measured& m = measured[k];
            m.ours.push_back(ours), m.peer.push_back(peer), m.ratio.push_back(peer / ours);
            m.covered = Covered(shown);
        }
    }
    std::printf("\nreference combat scene, %dx%d, CPU time a frame with clears: the median of %d interleaved rounds "
                "of %d frames each\n(heap trimming held off for both: GLIBC_TUNABLES=%s)\n",
                scene_bench::kWidth, scene_bench::kHeight, kRounds, kFrames, kHeapTunable);
    std::printf("%-32s %10s %10s %12s %10s\n", "scene", "triangles", "softrend", "llvmpipe 1t", "ratio");
    for (size_t k = 0; k < std::size(kComparisons); ++k) {
        const Comparison& c = kComparisons[k];
        const Measured& m = measured[k];
        std::printf("%-32s %10d %7.3f ms %9.3f ms %9.2fx   (softrend covers %.0f%%)\n", c.name,
                    (c.ships == scene_bench::kShips ? w.scene : w.crowd).triangles, Median(m.ours), Median(m.peer),
                    Median(m.ratio), m.covered);
    }
    HxPixelmapFree(shown);
}

// ---- throughput cases ------------------------------------------------------------------

// One frame of the reference scene, clears included, at 8-bit and 565,
// textures mapped affinely (0) or perspective-correct (1).
void BM_SceneFrame(benchmark::State& state)
{
    World& w = TheWorld();
    const uint8_t type = state.range(0) == 8 ? HX_PMT_INDEX_8 : HX_PMT_RGB_565;
    if (state.range(1))
        w.scene.material->flags |= HX_MATF_PERSPECTIVE;
    else
        w.scene.material->flags &= ~uint32_t(HX_MATF_PERSPECTIVE);
    HxMaterialUpdate(w.scene.material, 255);
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
BENCHMARK(BM_SceneFrame)->Args({8, 0})->Args({8, 1})->Args({16, 0})->Args({16, 1})->Unit(benchmark::kMillisecond);

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
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (!tunables || !std::strstr(tunables, "glibc.malloc.top_pad")) {
        const std::string value = tunables && *tunables ? std::string(tunables) + ":" + kHeapTunable : kHeapTunable;
        setenv("GLIBC_TUNABLES", value.c_str(), 1);
        execv("/proc/self/exe", argv);
        std::perror("softrend_bench: cannot start again with the heap setting");
        return 1;
    }
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
