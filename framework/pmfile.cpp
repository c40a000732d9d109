// Pixelmap files on the datafile format. A pixelmap is written as its record
// (chunk 61, "hx_pixelmap"), its palette if any (recursively) followed by
// ADD_MAP, then PIXELS: rows packed without padding, elements of the type's
// bytes per pixel, so multi-byte pixels are stored big-endian. Reading runs
// the chunk loop over the datafile stack: a record pushes a pixelmap,
// PIXELS fills the one on top, ADD_MAP hangs a palette under its owner.
#include "framework/pmfile.h"

#include <cstddef>
#include <iterator>

#include "framework/datafile.h"
#include "framework/diag.h"
#include "framework/file.h"
#include "framework/memdev.h"
#include "framework/resource.h"

namespace {

constexpr uint32_t kChunkPixelmap = 61;
constexpr uint32_t kChunkAddMap = 34;
constexpr int kStackPixelmap = 2;

// clang-format off
constexpr hx_enum_value kTypeNames[kHxPixelTypeNamed] = {
    {0, "HX_PMT_INDEX_1"},   {1, "HX_PMT_INDEX_2"},   {2, "HX_PMT_INDEX_4"},  {3, "HX_PMT_INDEX_8"},
    {4, "HX_PMT_RGB_555"},   {5, "HX_PMT_RGB_565"},   {6, "HX_PMT_RGB_888"},  {7, "HX_PMT_RGBX_888"},
    {8, "HX_PMT_RGBA_8888"}, {9, "HX_PMT_YUYV_8888"}, {10, "HX_PMT_YUV_888"}, {11, "HX_PMT_DEPTH_16"},
    {12, "HX_PMT_DEPTH_32"}, {13, "HX_PMT_ALPHA_8"},  {14, "HX_PMT_INDEXA_88"},
};
// clang-format on
constexpr hx_enum_table kTypeEnum = {kHxPixelTypeNamed, kTypeNames};

constexpr hx_struct_member kPixelmapMembers[] = {
    {HX_DF_ENUM_8, offsetof(hx_pixelmap, type), "type", &kTypeEnum},
    {HX_DF_UINT_16, offsetof(hx_pixelmap, row_bytes), "row_bytes", nullptr},
    {HX_DF_UINT_16, offsetof(hx_pixelmap, width), "width", nullptr},
    {HX_DF_UINT_16, offsetof(hx_pixelmap, height), "height", nullptr},
    {HX_DF_UINT_16, offsetof(hx_pixelmap, origin_x), "origin_x", nullptr},
    {HX_DF_UINT_16, offsetof(hx_pixelmap, origin_y), "origin_y", nullptr},
    {HX_DF_UINT_16, offsetof(hx_pixelmap, mip_offset), "mip_offset", nullptr},
    {HX_DF_ASCIZ, offsetof(hx_pixelmap, identifier), "identifier", nullptr},
};
// clang-format off
constexpr hx_struct_member kOldPixelmapMembers[] = {
    kPixelmapMembers[0], kPixelmapMembers[1], kPixelmapMembers[2], kPixelmapMembers[3],
    kPixelmapMembers[4], kPixelmapMembers[5], kPixelmapMembers[7],
};
// clang-format on
const hx_struct_template kPixelmapTemplate = {"hx_pixelmap", uint32_t(std::size(kPixelmapMembers)),
                                              kPixelmapMembers, sizeof(hx_pixelmap)};
const hx_struct_template kOldPixelmapTemplate = {"hx_old_pixelmap", uint32_t(std::size(kOldPixelmapMembers)),
                                                 kOldPixelmapMembers, sizeof(hx_pixelmap)};

// Element size of a type's pixel blocks: its bytes per pixel.
uint32_t ElementSize(uint8_t type)
{
    return kHxPixelTypes[type].bytes;
}

// ---- writing -----------------------------------------------------------------------

// Whether the pixelmap and its palettes can be written: a named type and
// pixels present. Checked before the file is opened, so a pixelmap that
// cannot be saved leaves an existing file as it was.
bool Writable(hx_pixelmap* pm, int depth)
{
    HX_CHECK(pm != nullptr, "pmfile", 98, false);
    if (depth > 8) {
        HxFailure("HxPixelmapSave: palettes nested too deeply");
        return false;
    }
    if (pm->type >= kHxPixelTypeNamed) {
        HxFailure("HxPixelmapSave: cannot save a pixelmap of type %u", pm->type);
        return false;
    }
    HX_CHECK_AS(pm->pixels != nullptr, "pp->pixels", "pmfile", 113, false);
    return !pm->map || Writable(pm->map, depth + 1);
}

hx_error WriteOne(hx_datafile* df, hx_pixelmap* pm)
{
    const hx_file_primitives* p = df->prims;
    if (!HxPixelmapDirectLock(pm, 1))
        return HXE_FAIL;
    hx_error error = HX_OK;
    const uint32_t fileRow = HxPixelmapFileRowBytes(pm->type, pm->width);
    const uint32_t element = ElementSize(pm->type);
    do {
        hx_pixelmap copy = *pm;
        copy.row_bytes = int16_t(fileRow);
        if ((error = p->chunk_write(df, kChunkPixelmap, p->struct_size(df, &kPixelmapTemplate, &copy))) ||
            (error = p->struct_write(df, &kPixelmapTemplate, &copy)))
            break;
        if (pm->map) {
            if ((error = WriteOne(df, pm->map)) || (error = p->chunk_write(df, kChunkAddMap, 0)))
                break;
        }
        const uint8_t* start = static_cast<const uint8_t*>(pm->pixels) + ptrdiff_t(pm->base_y) * pm->row_bytes +
                               ptrdiff_t(pm->base_x) * kHxPixelTypes[pm->type].bits / 8;
        uint32_t rowLength, rows;
        int32_t stride;
        if (pm->mip_offset) {
            rowLength = uint32_t(HxPixelmapFileBytes(pm->type, pm->width, pm->height, true) / element);
            rows = 1;
            stride = int32_t(rowLength * element);
        } else {
            rowLength = fileRow / element;
            rows = pm->height;
            stride = pm->row_bytes;
        }
        if ((error = p->chunk_write(df, HX_CHUNK_PIXELS, p->block_size(df, rowLength, rows, element))) ||
            (error = p->block_write(df, start, rowLength, stride, rows, element)))
            break;
    } while (false);
    HxPixelmapDirectUnlock(pm);
    return error;
}

// ---- reading -----------------------------------------------------------------------

hx_pixelmap* TopPixelmap()
{
    return DfTopType() == kStackPixelmap ? static_cast<hx_pixelmap*>(DfTop(kStackPixelmap, nullptr)) : nullptr;
}

int ReadRecord(hx_datafile* df, const hx_struct_template* t)
{
    hx_pixelmap* pm = HxPixelmapAllocate(HX_PMT_INDEX_8, 0, 0, nullptr, HX_PMAF_NO_PIXELS);
    if (!pm)
        return int(HXE_NO_MEMORY);
    void* parent = df->res;
    df->res = pm; // the identifier hangs under its pixelmap
    hx_error error = df->prims->struct_read(df, t, pm);
    df->res = parent;
    uint32_t fileRow = pm->type < kHxPixelTypeNamed ? HxPixelmapFileRowBytes(pm->type, pm->width) : 0;
    if (error == HX_OK && (pm->type >= kHxPixelTypeNamed || fileRow > uint32_t(INT16_MAX))) {
        HxFailure("HxPixelmapLoad: unusable pixelmap record (type %u, width %u)", pm->type, pm->width);
        error = HXE_FAIL;
    }
    if (error != HX_OK) {
        HxResFree(pm);
        return int(error);
    }
    pm->row_bytes = int16_t(fileRow);
    pm->flags = HX_PMF_LINEAR;
    if ((fileRow * 8) % kHxPixelTypes[pm->type].bits == 0)
        pm->flags |= HX_PMF_ROW_WHOLE;
    DfPush(kStackPixelmap, pm, 1);
    if (TopPixelmap() != pm) { // the stack is full (reported)
        HxResFree(pm);
        return int(HXE_FAIL);
    }
    return 0;
}

int OnPixelmap(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    return ReadRecord(df, &kPixelmapTemplate);
}

int OnOldPixelmap(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    return ReadRecord(df, &kOldPixelmapTemplate);
}

int OnPixels(hx_datafile* df, uint32_t, uint32_t, uint32_t)
{
    hx_pixelmap* pm = TopPixelmap();
    if (!pm) {
        HxFailure("HxPixelmapLoad: pixels without a pixelmap");
        return int(HXE_FAIL);
    }
    if (pm->pixels) {
        HxFailure("HxPixelmapLoad: second block of pixels for one pixelmap");
        return int(HXE_FAIL);
    }
    const uint32_t element = ElementSize(pm->type);
    void* parent = df->res;
    df->res = pm;
    void* block = nullptr;
    uint32_t count = 0;
    hx_error error = df->prims->block_read(df, &block, &count, element, HX_RES_PIXELS);
    df->res = parent;
    if (error != HX_OK)
        return int(error);
    // The block must hold exactly the pixels the record describes, and a mip
    // chain at least the rows of its top level.
    uint64_t want = HxPixelmapFileBytes(pm->type, pm->width, pm->height, pm->mip_offset != 0);
    if (uint64_t(count) * element != want || want < HxPixelmapFileBytes(pm->type, pm->width, pm->height, false)) {
        HxFailure("HxPixelmapLoad: %u pixel bytes for a %u x %u pixelmap that needs %llu", count * element,
                  pm->width, pm->height, static_cast<unsigned long long>(want));
        HxResFree(block);
        return int(HXE_FAIL);
    }
    pm->pixels = block;
    pm->flags |= HX_PMF_LINEAR;
    return 0;
}

int OnAddMap(hx_datafile*, uint32_t, uint32_t, uint32_t)
{
    hx_pixelmap* palette = TopPixelmap();
    if (!palette) {
        HxFailure("HxPixelmapLoad: ADD_MAP without a palette");
        return int(HXE_FAIL);
    }
    DfPop(kStackPixelmap, nullptr);
    if (!palette->pixels) {
        HxFailure("HxPixelmapLoad: palette without pixels");
        HxResFree(palette);
        return int(HXE_FAIL);
    }
    hx_pixelmap* owner = TopPixelmap();
    if (!owner || owner->map) {
        HxFailure("HxPixelmapLoad: ADD_MAP without a pixelmap to take the palette");
        HxResFree(palette);
        return int(HXE_FAIL);
    }
    owner->map = palette;
    HxResAdd(owner, palette);
    return 0;
}

// END ends one group of chunks.
int OnEnd(hx_datafile*, uint32_t, uint32_t, uint32_t)
{
    return 1;
}

constexpr hx_chunk_entry kEntries[] = {
    {kChunkPixelmap, 0, OnPixelmap},
    {HX_CHUNK_PIXELMAP, 0, OnOldPixelmap},
    {HX_CHUNK_PIXELS, 0, OnPixels},
    {kChunkAddMap, 0, OnAddMap},
    {HX_CHUNK_END, 0, OnEnd},
};
constexpr hx_chunk_table kTable = {int(std::size(kEntries)), kEntries};

// Takes the pixelmaps left on the stack, in file order, into the result;
// those without pixels are reported and freed, as are any beyond max.
int Collect(hx_pixelmap** out, int n, int max)
{
    hx_pixelmap* found[64];
    int nFound = 0;
    while (DfTopType() == kStackPixelmap) {
        auto* pm = static_cast<hx_pixelmap*>(DfPop(kStackPixelmap, nullptr));
        if (nFound < int(std::size(found)))
            found[nFound++] = pm;
        else
            HxResFree(pm);
    }
    for (int i = nFound - 1; i >= 0; --i) {
        hx_pixelmap* pm = found[i];
        if (!pm->pixels) {
            HxFailure("HxPixelmapLoad: pixelmap without pixels");
            HxResFree(pm);
        } else if (n < max) {
            out[n++] = pm;
        } else {
            HxResFree(pm);
        }
    }
    return n;
}

} // namespace

uint32_t HxPixelmapFileRowBytes(uint8_t type, uint32_t width)
{
    return type < HX_PMT_MAX ? uint32_t((uint64_t(width) * kHxPixelTypes[type].bits + 7) / 8) : 0;
}

uint64_t HxPixelmapFileBytes(uint8_t type, uint32_t width, uint32_t height, bool mipChain)
{
    if (!mipChain)
        return uint64_t(HxPixelmapFileRowBytes(type, width)) * height;
    uint64_t total = 0;
    for (uint32_t s = width; s > 0; s /= 2)
        total += uint64_t(HxPixelmapFileRowBytes(type, s)) * s;
    return total;
}

int HxPixelmapLoadMany(const char* name, hx_pixelmap** pixelmaps, int max)
{
    HX_CHECK_AS(name != nullptr, "filename != NULL", "pmfile", 310, 0);
    HX_CHECK_AS(pixelmaps != nullptr, "pixelmaps != NULL", "pmfile", 311, 0);
    hx_datafile* df = DfOpen(name, 0, HX_DF_SCALAR_FIXED);
    if (!df)
        return 0;
    int n = 0;
    while (n < max) {
        int r = DfChunksInterpret(df, &kTable);
        n = Collect(pixelmaps, n, max);
        if (r != 1)
            break; // end of the file, or a failure
    }
    DfClose(df);
    return n;
}

hx_pixelmap* HxPixelmapLoad(const char* name)
{
    hx_pixelmap* pm = nullptr;
    return HxPixelmapLoadMany(name, &pm, 1) == 1 ? pm : nullptr;
}

int HxPixelmapSaveMany(const char* name, hx_pixelmap** pixelmaps, int n)
{
    HX_CHECK_AS(name != nullptr, "filename != NULL", "pmfile", 360, 0);
    HX_CHECK_AS(pixelmaps != nullptr, "pixelmaps != NULL", "pmfile", 361, 0);
    for (int i = 0; i < n; ++i)
        if (!Writable(pixelmaps[i], 0))
            return 0;
    hx_datafile* df = DfOpen(name, 1, HX_DF_SCALAR_FIXED);
    if (!df)
        return 0;
    hx_error error = DfFileInfoWrite(df, HX_FILE_TYPE_PIXELMAP);
    for (int i = 0; i < n && error == HX_OK; ++i) {
        error = WriteOne(df, pixelmaps[i]);
        if (error == HX_OK)
            error = DfEndWrite(df);
    }
    if (error != HX_OK) {
        // The file being replaced is left as it was.
        HxFileAbandon(df->h);
        df->h = nullptr;
    }
    DfClose(df);
    return error == HX_OK ? n : 0;
}

int HxPixelmapSave(const char* name, hx_pixelmap* pm)
{
    return HxPixelmapSaveMany(name, &pm, 1);
}
