// Reading datafiles: a 1 MB binary file (records of every member type and a
// large block of 16-bit elements) and the same content in text form. The
// binary read is set against its plain floor: the whole file read into
// memory and byte-swapped a word at a time.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/paired.h"
#include "framework/datafile.h"
#include "framework/file.h"
#include "framework/fw.h"
#include "framework/resource.h"
#include "tests/framework/hx_every_record.h"

namespace {

constexpr uint32_t kRecordChunk = 54;
constexpr int kRecords = 4000;
constexpr uint32_t kBlockElements = 330000;

char recordName[] = "Cobra Mk III";

Every Record(int i)
{
    Every e = {};
    e.i32 = i;
    e.u32 = uint32_t(i) * 2654435761u;
    e.fixed = i << 8;
    e.angle = uint16_t(i * 7);
    e.f = float(i) * 0.25f;
    e.d = i * 0.5;
    e.scalar = i << 4;
    e.e32 = 0xFACE;
    e.e8 = 1;
    e.e16 = 2;
    e.inner = {int16_t(i), uint32_t(i) & 0xFFFFFF};
    e.name = recordName;
    e.colour = 0x112233;
    e.v3[0] = i << 16;
    e.fv2[1] = float(i);
    return e;
}

std::string Write(int mode)
{
    std::string path = "/tmp/hx_datafile_bench_" + std::to_string(::getpid()) + (mode ? ".txt" : ".bin");
    HxFileModeSet(mode);
    hx_datafile* df = DfOpen(path.c_str(), 1, HX_DF_SCALAR_FIXED);
    const hx_file_primitives* p = df->prims;
    DfFileInfoWrite(df, HX_FILE_TYPE_MODEL);
    std::vector<Every> records(kRecords);
    uint32_t length = p->count_size(df);
    for (int i = 0; i < kRecords; ++i) {
        records[size_t(i)] = Record(i);
        length += p->struct_size(df, &kEvery, &records[size_t(i)]);
    }
    p->chunk_write(df, kRecordChunk, length);
    p->count_write(df, kRecords);
    DfStructWriteArray(df, &kEvery, records.data(), kRecords);
    std::vector<uint16_t> pixels(kBlockElements);
    for (uint32_t i = 0; i < kBlockElements; ++i)
        pixels[i] = uint16_t(i * 31);
    p->chunk_write(df, HX_CHUNK_PIXELS, p->block_size(df, kBlockElements, 1, 2));
    p->block_write(df, pixels.data(), kBlockElements, int32_t(kBlockElements * 2), 1, 2);
    DfEndWrite(df);
    DfClose(df);
    HxFileModeSet(0);
    return path;
}

int OnRecords(hx_datafile* df, uint32_t, uint32_t, uint32_t count)
{
    static std::vector<Every> records;
    records.resize(count);
    return DfStructReadArray(df, &kEvery, records.data(), int(count)) == int(count) ? 0 : 1;
}

int OnBlock(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    void* block = nullptr;
    uint32_t count = 0;
    return df->prims->block_read(df, &block, &count, 2, HX_RES_APPLICATION) ? 1 : 0;
}

constexpr hx_chunk_entry kEntries[] = {{kRecordChunk, 1, OnRecords}, {HX_CHUNK_PIXELS, 0, OnBlock}};
constexpr hx_chunk_table kTable = {2, kEntries};

void ReadFile(benchmark::State& state, int mode)
{
    HxFwBegin();
    std::string path = Write(mode);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    long bytes = std::ftell(f);
    std::fclose(f);
    for (auto _ : state) {
        hx_datafile* df = DfOpen(path.c_str(), 0, HX_DF_SCALAR_FIXED);
        df->res = HxResAllocate(HxFwAnchor(), 0, HX_RES_POOL);
        if (DfChunksInterpret(df, &kTable) != 0)
            state.SkipWithError("read failed");
        void* res = df->res;
        DfClose(df);
        HxResFree(res);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
    state.counters["file_bytes"] = double(bytes);
    std::remove(path.c_str());
    HxFwEnd();
}

void BM_DatafileReadBinary1MB(benchmark::State& state)
{
    ReadFile(state, 0);
}
BENCHMARK(BM_DatafileReadBinary1MB)->Unit(benchmark::kMillisecond);

void BM_ReadAndSwap1MB(benchmark::State& state)
{
    HxFwBegin();
    std::string path = Write(0);
    std::vector<uint32_t> words;
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::fseek(f, 0, SEEK_END);
        size_t bytes = size_t(std::ftell(f));
        std::fseek(f, 0, SEEK_SET);
        words.resize((bytes + 3) / 4);
        if (std::fread(words.data(), 1, bytes, f) != bytes)
            state.SkipWithError("read failed");
        std::fclose(f);
        for (uint32_t& w : words)
            w = __builtin_bswap32(w);
        benchmark::DoNotOptimize(words.data());
    }
    std::remove(path.c_str());
    HxFwEnd();
}
BENCHMARK(BM_ReadAndSwap1MB)->Unit(benchmark::kMillisecond);
KV_BENCH_PAIR("BM_DatafileReadBinary1MB", "BM_ReadAndSwap1MB");

void BM_DatafileReadText(benchmark::State& state)
{
    ReadFile(state, 1);
}
BENCHMARK(BM_DatafileReadText)->Unit(benchmark::kMillisecond);

} // namespace

KV_BENCH_MAIN()
