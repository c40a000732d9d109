// Fuzz target: the datafile reader in both encodings, driven by a chunk
// table that reads structs of every member type, counts, blocks (into a
// caller's buffer and into new resources) and names.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "framework/datafile.h"
#include "framework/diag.h"
#include "framework/fw.h"
#include "framework/resource.h"
#include "tests/framework/hx_every_record.h"

namespace {

void Quiet(const char*) {}
hx_diaghandler quiet = {"fuzz", Quiet, Quiet};

int OnInfo(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    hx_file_info info;
    return df->prims->struct_read(df, &HxFileInfoTemplate, &info) ? 1 : 0;
}

int OnEvery(hx_datafile* df, uint32_t, uint32_t, uint32_t count)
{
    Every records[4] = {};
    int n = count < 4 ? int(count) : 4;
    return DfStructReadArray(df, &kEvery, records, n) == n ? 0 : 1;
}

int OnBlock(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    void* block = nullptr;
    uint32_t count = 0;
    return df->prims->block_read(df, &block, &count, 2, HX_RES_APPLICATION) ? 1 : 0;
}

int OnFixedBlock(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    uint8_t buffer[64];
    void* block = buffer;
    uint32_t count = sizeof buffer;
    return df->prims->block_read(df, &block, &count, 1, 0) ? 1 : 0;
}

int OnName(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    char name[256];
    return df->prims->name_read(df, name) ? 1 : 0;
}

// clang-format off
constexpr hx_chunk_entry kEntries[] = {
    {HX_CHUNK_FILE_INFO, 0, OnInfo}, {54, 1, OnEvery}, {HX_CHUNK_PIXELS, 0, OnBlock},
    {1, 0, OnFixedBlock},            {14, 0, OnName},  {60, 0, OnName},
};
// clang-format on
constexpr hx_chunk_table kTable = {int(std::size(kEntries)), kEntries};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/hx_datafile_fuzz_" + std::to_string(::getpid()) + ".dat";
    static bool begun = [] {
        HxDiagHandlerSet(&quiet);
        return HxFwBegin() == HX_OK;
    }();
    if (!begun)
        return 0;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    for (int scalar : {int(HX_DF_SCALAR_FIXED), int(HX_DF_SCALAR_FLOAT)}) {
        hx_datafile* df = DfOpen(path.c_str(), 0, scalar);
        if (!df)
            break;
        // Strings and blocks read hang under one parent, freed with it.
        df->res = HxResAllocate(HxFwAnchor(), 0, HX_RES_POOL);
        DfChunksInterpret(df, &kTable);
        void* res = df->res;
        DfClose(df);
        if (res)
            HxResFree(res);
    }
    std::remove(path.c_str());
    return 0;
}
