// Resource manager speed: registering and finding 500 records, decoding a
// full-screen PCX picture, and opening the last entry of a 2,000-entry slab
// library. Finding is set against a std::unordered_map of the same names,
// the decode against a plain run-length loop, the slab open against a plain
// open making the same system calls and the same folded name compares.
#include "system/res/pcx.h"
#include "system/res/resman.h"
#include "system/res/slab.h"
#include "tests/support/scratch_folder.h"

#include "bench/paired.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
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
std::vector<uint8_t> PcxFile640x480(PcxInfo* info)
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
    PcxReadInfo(file, info);
    return file;
}

void BM_PcxDecode640x480(benchmark::State& state)
{
    PcxInfo info;
    const std::vector<uint8_t> file = PcxFile640x480(&info);
    std::vector<uint8_t> out(size_t(info.width) * size_t(info.height));
    for (auto _ : state) {
        PcxDecodeBody(file, info, out.data(), info.width, info.width, info.height);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * info.width * info.height);
}
BENCHMARK(BM_PcxDecode640x480);

// The plain run-length loop doing the same work: row by row, each code read
// with a check against the body's end, a run cut at the row's end and
// written by memset, a literal stored, the row clipped to the destination.
void PlainPcxDecode(const std::vector<uint8_t>& file, const PcxInfo& info, uint8_t* out, int stride, int width,
                    int height)
{
    const uint8_t* in = file.data();
    size_t p = kPcxHeaderSize, end = file.size();
    for (int y = 0; y < info.height; ++y) {
        uint8_t* row = y < height ? out + size_t(y) * size_t(stride) : nullptr;
        for (int x = 0; x < info.bytesPerLine;) {
            if (p >= end)
                return;
            uint8_t b = in[p++];
            int n = 1;
            if (b >= 0xC0) {
                if (p >= end)
                    return;
                n = std::min(b & 0x3F, info.bytesPerLine - x);
                b = in[p++];
            }
            if (row && x < width)
                std::memset(row + x, b, size_t(std::min(x + n, width) - x));
            x += n;
        }
    }
}

void BM_PlainPcxDecode640x480(benchmark::State& state)
{
    PcxInfo info;
    const std::vector<uint8_t> file = PcxFile640x480(&info);
    std::vector<uint8_t> out(size_t(info.width) * size_t(info.height));
    for (auto _ : state) {
        PlainPcxDecode(file, info, out.data(), info.width, info.width, info.height);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * info.width * info.height);
}
BENCHMARK(BM_PlainPcxDecode640x480);
KV_BENCH_PAIR("BM_PcxDecode640x480", "BM_PlainPcxDecode640x480");

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

// The plain open doing the same work with the same system calls: the
// library's path looked up (stat), opened (fopen), its length taken (fstat),
// its header and then its directory read (two preads), the key folded once
// (capitals to small letters, '/' to '\\') and each entry name folded and
// compared with it a byte at a time, the file placed at the entry found
// (fseek), and closed.
char FoldByte(char c)
{
    return c == '/' ? '\\' : (c >= 'A' && c <= 'Z' ? char(c + 32) : c);
}

std::FILE* PlainSlabOpen(const char* path, const char* key, uint32_t* size, std::vector<uint8_t>& entries)
{
    struct stat st;
    if (::stat(path, &st) != 0)
        return nullptr;
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    uint8_t header[kSlabHeaderSize];
    if (::fstat(::fileno(file), &st) != 0 || ::pread(::fileno(file), header, sizeof header, 0) != ssize_t(sizeof header)) {
        std::fclose(file);
        return nullptr;
    }
    uint32_t count, directory;
    std::memcpy(&count, header + 4, 4);
    std::memcpy(&directory, header + 8, 4);
    entries.resize(size_t(count) * kSlabEntrySize);
    if (::pread(::fileno(file), entries.data(), entries.size(), directory) != ssize_t(entries.size())) {
        std::fclose(file);
        return nullptr;
    }
    char folded[kSlabNameSize + 1] = {};
    for (size_t i = 0; i < kSlabNameSize && key[i]; ++i)
        folded[i] = FoldByte(key[i]);
    for (size_t at = 0; at < entries.size(); at += kSlabEntrySize) {
        const char* name = reinterpret_cast<const char*>(entries.data() + at);
        size_t i = 0;
        while (i < kSlabNameSize && folded[i] && FoldByte(name[i]) == folded[i])
            ++i;
        if (i < kSlabNameSize && name[i] == 0 && folded[i] == 0) {
            uint32_t offset;
            std::memcpy(&offset, name + 64, 4);
            std::memcpy(size, name + 68, 4);
            std::fseek(file, long(offset), SEEK_SET);
            return file;
        }
    }
    std::fclose(file);
    return nullptr;
}

void BM_PlainSlabOpen2000(benchmark::State& state)
{
    ScratchFolder root{"res_bench", true};
    std::vector<uint8_t> bytes = Library2000();
    root.Write("zqk/resource/shapes.slb", std::string(bytes.begin(), bytes.end()));
    const char* path = "zqk/resource/shapes.slb"; // from the data folder, as ours
    std::vector<uint8_t> entries;
    for (auto _ : state) {
        uint32_t size = 0;
        std::FILE* entry = PlainSlabOpen(path, "\\SHIP1999.LWO", &size, entries);
        if (!entry) {
            state.SkipWithError("entry not found");
            break;
        }
        std::fclose(entry);
    }
}
BENCHMARK(BM_PlainSlabOpen2000);
KV_BENCH_PAIR("BM_SlabOpen2000", "BM_PlainSlabOpen2000");

} // namespace

KV_BENCH_MAIN()
