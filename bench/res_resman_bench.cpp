// Resource manager speed: registering and finding 500 records, decoding a
// full-screen PCX picture, and opening the last entry of a 2,000-entry slab
// library.
#include "system/res/pcx.h"
#include "system/res/resman.h"
#include "system/res/slab.h"
#include "tests/support/scratch_folder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> RecordNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < kResRecords; ++i)
        names.push_back("zqk\\resource\\art\\screens\\picture" + std::to_string(i) + ".pcx");
    return names;
}

// Fills the table with 500 records, then releases them to the empty mark.
void BM_ResRegister(benchmark::State& state)
{
    ResInit();
    ResMark();
    const std::vector<std::string> names = RecordNames();
    for (auto _ : state) {
        for (const std::string& name : names)
            benchmark::DoNotOptimize(ResRegister(name.c_str(), ResType::Video));
        ResReleaseToMark();
    }
    state.SetItemsProcessed(state.iterations() * kResRecords);
    ResShutdown();
}
BENCHMARK(BM_ResRegister);

// Looks each of the 500 names up again in a full table.
void BM_ResRegisterFound(benchmark::State& state)
{
    ResInit();
    const std::vector<std::string> names = RecordNames();
    for (const std::string& name : names)
        ResRegister(name.c_str(), ResType::Video);
    for (auto _ : state)
        for (const std::string& name : names)
            benchmark::DoNotOptimize(ResRegister(name.c_str(), ResType::Video));
    state.SetItemsProcessed(state.iterations() * kResRecords);
    ResShutdown();
}
BENCHMARK(BM_ResRegisterFound);

// A 640 x 480 picture with the mix of runs and single pixels of a painted
// backdrop: flat bands and noisy detail.
void BM_PcxDecode640x480(benchmark::State& state)
{
    constexpr int kW = 640, kH = 480;
    std::vector<uint8_t> pixels(kW * kH);
    uint32_t seed = 1;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            seed = seed * 1103515245u + 12345u;
            pixels[y * kW + x] = static_cast<uint8_t>((x / 32 + y / 24) % 3 == 0 ? (seed >> 16) : y / 2);
        }
    uint8_t palette[768] = {};
    PcxImage* image = PcxFromPixels(nullptr, kPcxPacked, pixels.data(), kW, kH, palette);
    std::vector<uint8_t> file(image->header, image->header + kPcxHeaderSize);
    file.insert(file.end(), image->pixels, image->pixels + image->bodySize);
    file.push_back(12);
    file.insert(file.end(), palette, palette + 768);
    PcxFree(image);

    PcxInfo info;
    PcxReadInfo(file, &info);
    std::vector<uint8_t> out(kW * kH);
    for (auto _ : state) {
        PcxDecodeBody(file, info, out.data(), kW, kW, kH);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_PcxDecode640x480);

void BM_SlabOpen2000(benchmark::State& state)
{
    ScratchFolder root{"res_bench", true};
    std::vector<SlabPackItem> items;
    for (int i = 0; i < 2000; ++i)
        items.push_back({"\\ship" + std::to_string(i) + ".lwo", std::vector<uint8_t>(64, static_cast<uint8_t>(i))});
    std::vector<uint8_t> bytes;
    SlabBuild(items, bytes);
    root.Write("zqk/resource/shapes.slb", std::string(bytes.begin(), bytes.end()));

    for (auto _ : state) {
        uint32_t size = 0;
        std::FILE* entry = SlabOpen("shapes", "zqk\\resource\\shapes\\SHIP1999.LWO", &size);
        if (!entry) {
            state.SkipWithError("entry not found");
            break;
        }
        std::fclose(entry);
    }
}
BENCHMARK(BM_SlabOpen2000);

} // namespace
