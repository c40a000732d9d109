// The generated shade table (256 x 64, rebuilt in place) in its three
// banded forms and the plain one; and the reduced model of a 2,028-face ship
// with no "_LOW.lwo" companion: the companion lookup, the face scan and the
// card over its "INDEX_TOP" and "INDEX_BOT" materials (the card is freed
// again outside the timing). Targets: under 0.2 ms and 1 ms in the release
// build.
#include <benchmark/benchmark.h>

#include "framework/fw.h"
#include "framework/pixelmap.h"
#include "framework/resource.h"
#include "framework/scene.h"
#include "tools/gridbox.h"
#include "view/effectmodels.h"
#include "view/vectoricons.h"

namespace {

void BM_BuildShadeTable(benchmark::State& state)
{
    HxBegin();
    const int16_t band = static_cast<int16_t>(state.range(0));
    BuildShadeTable(band, 14); // allocated and registered once
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildShadeTable(band, 14));
    HxEnd();
}
BENCHMARK(BM_BuildShadeTable)->Arg(48)->Arg(-1)->Arg(176)->Arg(0)->Unit(benchmark::kMicrosecond);

hx_material* MappedMaterial(const char* name, const char* mapName)
{
    hx_pixelmap* map = HxPixelmapAllocate(HX_PMT_INDEX_8, 4, 4, nullptr, 0);
    map->identifier = HxResStrDup(map, mapName);
    hx_material* material = HxMaterialAllocate(name);
    material->colour_map = HxMapAdd(map);
    return HxMaterialAdd(material);
}

void BM_MakeReducedModel2000Faces(benchmark::State& state)
{
    HxBegin();
    hx_model* ship = GridBox("ship.lwo", 13);
    hx_material* top = MappedMaterial("INDEX_TOP", "top.pix");
    hx_material* bottom = MappedMaterial("INDEX_BOT", "bot.pix");
    for (int f = 0; f < ship->nfaces; ++f)
        ship->faces[f].material = f % 2 ? top : bottom;
    HxModelAdd(ship);
    for (auto _ : state) {
        hx_model* card = MakeReducedModel(ship);
        state.PauseTiming();
        if (card != ship) {
            HxModelRemove(card);
            HxModelFree(card);
        }
        state.ResumeTiming();
    }
    state.counters["faces"] = ship->nfaces;
    HxEnd();
}
BENCHMARK(BM_MakeReducedModel2000Faces)->Unit(benchmark::kMicrosecond);

} // namespace
