// Resource manager speed: registering and finding 500 records, decoding a
// full-screen PCX picture, and opening the last entry of a 2,000-entry slab
// library. Finding is set against a std::unordered_map of the same names,
// the slab open against opening the library, reading its directory with one
// pread and closing it.
#include "system/res/pcx.h"
#include "system/res/resman.h"
#include "system/res/slab.h"
#include "tests/support/scratch_folder.h"

#include "bench/paired.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <unordered_map>
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

void BM_UnorderedMapFound(benchmark::State& state)
{
    const std::vector<std::string> names = RecordNames();
    std::unordered_map<std::string, int> map;
    for (const std::string& name : names)
        map.emplace(name, static_cast<int>(map.size()));
    for (auto _ : state)
        for (const std::string& name : names)
            benchmark::DoNotOptimize(map.find(name));
    state.SetItemsProcessed(state.iterations() * kResRecords);
}
BENCHMARK(BM_UnorderedMapFound);
KV_BENCH_PAIR("BM_ResRegisterFound", "BM_UnorderedMapFound");

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

std::vector<uint8_t> Library2000()
{
    std::vector<SlabPackItem> items;
    for (int i = 0; i < 2000; ++i)
        items.push_back({"\\ship" + std::to_string(i) + ".lwo", std::vector<uint8_t>(64, static_cast<uint8_t>(i))});
    std::vector<uint8_t> bytes;
    SlabBuild(items, bytes);
    return bytes;
}

void BM_SlabOpen2000(benchmark::State& state)
{
    ScratchFolder root{"res_bench", true};
    std::vector<uint8_t> bytes = Library2000();
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

// The floor of an open: the library opened, its directory read in one call
// at its offset, and closed.
void BM_OpenPreadClose2000(benchmark::State& state)
{
    ScratchFolder root{"res_bench", true};
    std::vector<uint8_t> bytes = Library2000();
    root.Write("zqk/resource/shapes.slb", std::string(bytes.begin(), bytes.end()));
    const std::string path = (root.Path() / "zqk/resource/shapes.slb").string();
    const off_t directory = off_t(bytes.size() - 2000 * kSlabEntrySize);
    std::vector<uint8_t> entries(2000 * kSlabEntrySize);
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0 || ::pread(fd, entries.data(), entries.size(), directory) != ssize_t(entries.size())) {
            state.SkipWithError("library not read");
            break;
        }
        ::close(fd);
        benchmark::DoNotOptimize(entries.data());
    }
}
BENCHMARK(BM_OpenPreadClose2000);
KV_BENCH_PAIR("BM_SlabOpen2000", "BM_OpenPreadClose2000");

} // namespace

KV_BENCH_MAIN()
