// Reading datafiles: a 1 MB binary file (records of every member type and a
// large block of 16-bit elements) and the same content in text form. The
// binary read is set against a plain hand-written reader doing the same
// work: every record decoded member by member, a string resource made for
// each string member, the block allocated as a resource and swapped, and
// all of it freed.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "bench/paired.h"
#include "framework/datafile.h"
#include "framework/file.h"
#include "framework/fw.h"
#include "framework/hx_math.h"
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

// The plain reader: stdio, chunk by chunk. The records' chunk is read whole
// and decoded by hand in the template's order (big-endian integers, floats
// turned into fixed point and fractions with the same saturation, strings
// up to their zero byte, each copied into a string resource); the block is
// allocated as a resource, read into place and swapped; other chunks are
// skipped.
uint32_t Big(const uint8_t*& p, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | *p++;
    return v;
}

float BigFloat(const uint8_t*& p)
{
    return std::bit_cast<float>(Big(p, 4));
}

template <typename T>
T SaturateTo(double v)
{
    if (std::isnan(v))
        return 0;
    v = std::trunc(v);
    if (v <= double(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    if (v >= double(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return T(v);
}

char* BigString(const uint8_t*& p, const uint8_t* end, void* pool)
{
    const uint8_t* zero = static_cast<const uint8_t*>(std::memchr(p, 0, size_t(end - p)));
    if (!zero)
        return nullptr;
    char* copy = HxResStrDup(pool, reinterpret_cast<const char*>(p));
    p = zero + 1;
    return copy;
}

bool PlainRecord(const uint8_t*& p, const uint8_t* end, Every& e, void* pool)
{
    if (end - p < 8)
        return false;
    e.i8 = int8_t(Big(p, 1));
    e.u8 = uint8_t(Big(p, 1));
    e.i16 = int16_t(Big(p, 2));
    e.u16 = uint16_t(Big(p, 2));
    e.i32 = int32_t(Big(p, 4));
    e.u32 = Big(p, 4);
    e.fixed = HxFloatToFixedSaturate(BigFloat(p));
    e.angle = uint16_t(Big(p, 2));
    e.f = BigFloat(p);
    e.d = std::bit_cast<double>(uint64_t(Big(p, 4)) << 32 | Big(p, 4));
    e.scalar = HxFloatToFixedSaturate(BigFloat(p));
    e.fraction = SaturateTo<int16_t>(double(BigFloat(p)) * 32768.0);
    e.ufraction = SaturateTo<uint16_t>(double(BigFloat(p)) * 65536.0);
    e.e8 = uint8_t(Big(p, 1));
    e.e16 = uint16_t(Big(p, 2));
    e.e32 = int32_t(Big(p, 4));
    e.inner.a = int16_t(Big(p, 2));
    e.inner.colour = Big(p, 3);
    if (!(e.name = BigString(p, end, pool)) || !(e.none = BigString(p, end, pool)) || end - p < 23)
        return false;
    e.colour = Big(p, 3);
    for (hx_fixed& c : e.v3)
        c = HxFloatToFixedSaturate(BigFloat(p));
    for (float& c : e.fv2)
        c = BigFloat(p);
    return true;
}

bool PlainRead(const char* path, std::vector<Every>& records, std::vector<uint8_t>& body)
{
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return false;
    void* pool = HxResAllocate(HxFwAnchor(), 0, HX_RES_POOL);
    bool ok = true;
    uint8_t header[8];
    while (ok && std::fread(header, 1, 8, f) == 8) {
        const uint8_t* h = header;
        uint32_t id = Big(h, 4), length = Big(h, 4);
        if (id == HX_CHUNK_END)
            break;
        if (id == kRecordChunk) {
            body.resize(length);
            ok = std::fread(body.data(), 1, length, f) == length && length >= 4;
            const uint8_t* p = body.data();
            const uint8_t* end = p + length;
            records.resize(ok ? Big(p, 4) : 0);
            for (Every& e : records)
                ok = ok && PlainRecord(p, end, e, pool);
        } else if (id == HX_CHUNK_PIXELS) {
            ok = std::fread(header, 1, 8, f) == 8;
            h = header;
            uint32_t count = Big(h, 4), size = Big(h, 4);
            auto* block = static_cast<uint16_t*>(HxResAllocate(pool, count * size, HX_RES_APPLICATION));
            ok = ok && size == 2 && block && std::fread(block, 2, count, f) == count;
            for (uint32_t i = 0; ok && i < count; ++i)
                block[i] = __builtin_bswap16(block[i]);
        } else {
            ok = std::fseek(f, long(length), SEEK_CUR) == 0;
        }
    }
    std::fclose(f);
    HxResFree(pool);
    return ok;
}

void BM_PlainDatafileReadBinary1MB(benchmark::State& state)
{
    HxFwBegin();
    std::string path = Write(0);
    std::vector<Every> records;
    std::vector<uint8_t> body;
    for (auto _ : state) {
        if (!PlainRead(path.c_str(), records, body) || records.size() != size_t(kRecords))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(records.data());
    }
    std::remove(path.c_str());
    HxFwEnd();
}
BENCHMARK(BM_PlainDatafileReadBinary1MB)->Unit(benchmark::kMillisecond);
KV_BENCH_PAIR("BM_DatafileReadBinary1MB", "BM_PlainDatafileReadBinary1MB");

void BM_DatafileReadText(benchmark::State& state)
{
    ReadFile(state, 1);
}
BENCHMARK(BM_DatafileReadText)->Unit(benchmark::kMillisecond);

} // namespace

KV_BENCH_MAIN()
