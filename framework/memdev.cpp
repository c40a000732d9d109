// The memory device class: its methods and class table, and the pixelmap
// module's begin and end (anchor, resource classes, listing the export
// image "HXPMAP1"). Pixel work is left to the block loops.
#include "framework/memdev.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <type_traits>

#include "framework/blockops.h"
#include "framework/fw_state.h"
#include "framework/image.h"
#include "framework/pmline.h"
#include "framework/resource.h"
#include "framework/token_ids.h"
#include "framework/tokenval.h"

namespace {

struct PixelmapModule {
    void* anchor;
    hx_tv_template* objectTemplate; // made on first use, under the anchor
};
PixelmapModule pmod;

hx_resource_class pixelmapClasses[] = {
    {.identifier = "PIXELMAP", .id = HX_RES_PIXELMAP},
    {.identifier = "PIXELS", .id = HX_RES_PIXELS, .alignment = 32},
};

hx_pixelmap* Self(hx_object* o)
{
    return HxPixelmapOf(o);
}

// Bytes of pixel memory for `height` rows; 0 with an error when too large
// for one resource.
bool PixelBytes(int32_t rowBytes, uint32_t height, uint32_t* out)
{
    uint64_t total = uint64_t(rowBytes < 0 ? -int64_t(rowBytes) : rowBytes) * height;
    if (total > kHxResMaxStored - kHxResHeaderSize - 64)
        return false;
    *out = uint32_t(total);
    return true;
}

// Gives the pixelmap new pixel memory as a child of its record, row_bytes
// and flags recomputed for its type and width; bottom-up stays bottom-up.
hx_error AttachPixels(hx_pixelmap* pm, bool inverted)
{
    int32_t rowBytes = HxPixelmapRowBytesFor(pm->type, pm->width);
    if (pm->width && !rowBytes)
        return HXE_FAIL;
    uint32_t size;
    if (!PixelBytes(rowBytes, pm->height, &size))
        return HXE_FAIL;
    void* pixels = HxResAllocate(pm, size, HX_RES_PIXELS);
    if (!pixels)
        return HXE_NO_MEMORY;
    pm->pixels = pixels;
    pm->row_bytes = int16_t(rowBytes);
    pm->flags = HX_PMF_LINEAR;
    if (kHxPixelTypes[pm->type].bits && (rowBytes * 8) % kHxPixelTypes[pm->type].bits == 0)
        pm->flags |= HX_PMF_ROW_WHOLE;
    pm->pixels_qualifier = HxBlockDataSegment();
    if (inverted && pm->height) {
        pm->pixels = static_cast<uint8_t*>(pixels) + ptrdiff_t(rowBytes) * (pm->height - 1);
        pm->row_bytes = int16_t(-rowBytes);
    }
    return HX_OK;
}

// Whether `w` pixels of a row are all the row holds (no padding), so whole
// rows form one linear run.
bool RowsAreRun(const hx_pixelmap* pm)
{
    int bytes = HxPixelmapAddressBytes(pm);
    int rb = pm->row_bytes < 0 ? -pm->row_bytes : pm->row_bytes;
    return (pm->flags & (HX_PMF_LINEAR | HX_PMF_ROW_WHOLE)) == (HX_PMF_LINEAR | HX_PMF_ROW_WHOLE) &&
           rb == int(pm->width) * bytes;
}

// The lowest address of rows y .. y+h-1 (the last row for a bottom-up map).
uint8_t* LowestRow(const hx_pixelmap* pm, int32_t y, int32_t h)
{
    return HxPixelmapPixelAddress(pm, 0, pm->row_bytes < 0 ? y + h - 1 : y);
}

void FillBlock(hx_pixelmap* pm, const hx_rectangle& r, uint32_t colour)
{
    int bytes = HxPixelmapAddressBytes(pm);
    if (r.w == pm->width && RowsAreRun(pm))
        HxBlockFillRun(LowestRow(pm, r.y, r.h), size_t(r.w) * size_t(r.h), bytes, colour);
    else
        HxBlockFillRect(HxPixelmapPixelAddress(pm, r.x, r.y), uint32_t(r.w), uint32_t(r.h), pm->row_bytes, bytes,
                        colour);
}

// Copies source rectangle s (pixelmap coordinates) to point d of dst.
void CopyBlock(hx_pixelmap* dst, const hx_point& d, const hx_pixelmap* src, const hx_rectangle& s)
{
    int bytes = HxPixelmapAddressBytes(dst);
    if (bytes != HxPixelmapAddressBytes(src))
        return;
    if (s.w == dst->width && s.w == src->width && dst->row_bytes == src->row_bytes && RowsAreRun(dst) &&
        RowsAreRun(src))
        HxBlockCopyRun(LowestRow(dst, d.y, s.h), LowestRow(src, s.y, s.h), size_t(s.w) * size_t(s.h), bytes);
    else
        HxBlockCopyRect(HxPixelmapPixelAddress(dst, d.x, d.y), HxPixelmapPixelAddress(src, s.x, s.y), uint32_t(s.w),
                        uint32_t(s.h), dst->row_bytes, src->row_bytes, bytes);
}

int FreeOwnPixels(void* child, void*)
{
    if (HxResClass(child) == HX_RES_PIXELS)
        HxResFree(child);
    return 0;
}

// Copies the whole of `from` onto `to` at the same place.
hx_error CopyWhole(hx_pixelmap* to, hx_pixelmap* from)
{
    hx_rectangle whole = HxPixelmapWholeRect(from);
    hx_point at = HxPixelmapTopLeft(to);
    hx_rectangle s;
    hx_point d;
    if (PixelmapRectangleClipTwo(&s, &d, &whole, &at, to, from))
        CopyBlock(to, d, from, s);
    return HX_OK;
}

// ---- class methods (slots 0-6) -------------------------------------------------

void MemFree(hx_object* self)
{
    HxResFree(self);
}

const char* MemIdentifier(hx_object* self)
{
    return Self(self)->identifier;
}

hx_token MemType(hx_object*)
{
    return HXT_DEVICE_PIXELMAP;
}

hx_bool MemIsType(hx_object*, hx_token type)
{
    return type == HXT_DEVICE_PIXELMAP || type == HXT_OBJECT;
}

hx_object* MemDevice(hx_object*)
{
    return nullptr;
}

uint32_t MemSpace(hx_object* self)
{
    return HxResSizeTotal(self);
}

hx_tv_template_entry objectEntries[] = {
    {.name = "IDENTIFIER_CSTR", .offset = offsetof(hx_pixelmap, identifier), .flags = HX_TV_QUERY | HX_TV_ALL, .conversion = HX_TVC_STRING},
    {.name = "WIDTH_I32", .offset = offsetof(hx_pixelmap, width), .flags = HX_TV_QUERY | HX_TV_ALL, .conversion = HX_TVC_UINT_16},
    {.name = "HEIGHT_I32", .offset = offsetof(hx_pixelmap, height), .flags = HX_TV_QUERY | HX_TV_ALL, .conversion = HX_TVC_UINT_16},
    {.name = "PIXEL_TYPE_U8", .offset = offsetof(hx_pixelmap, type), .flags = HX_TV_QUERY | HX_TV_ALL, .conversion = HX_TVC_UINT_8},
};

hx_tv_template* MemTemplateQuery(hx_object*)
{
    if (!pmod.objectTemplate && pmod.anchor)
        pmod.objectTemplate = HxTVTemplateAllocate(pmod.anchor, objectEntries, int(std::size(objectEntries)));
    return pmod.objectTemplate;
}

hx_error Unsupported()
{
    return HXE_UNSUPPORTED;
}

} // namespace

// ---- addressing ------------------------------------------------------------------

int HxPixelmapAddressBytes(const hx_pixelmap* pm)
{
    return pm->type < HX_PMT_MAX ? kHxPixelTypes[pm->type].bits / 8 : 0;
}

uint8_t* HxPixelmapPixelAddress(const hx_pixelmap* pm, int32_t x, int32_t y)
{
    return static_cast<uint8_t*>(pm->pixels) + (ptrdiff_t(pm->base_y) + y) * pm->row_bytes +
           (ptrdiff_t(pm->base_x) + x) * HxPixelmapAddressBytes(pm);
}

int32_t HxPixelmapRowBytesFor(uint8_t type, uint32_t width)
{
    if (type >= HX_PMT_MAX)
        return 0;
    const hx_pixel_type_info& t = kHxPixelTypes[type];
    uint64_t aligned = (uint64_t(width) + t.align - 1) / t.align * t.align;
    uint64_t rowBytes = uint64_t(t.bits) * aligned / 8;
    return rowBytes > INT16_MAX ? 0 : int32_t(rowBytes);
}

hx_rectangle HxPixelmapWholeRect(const hx_pixelmap* pm)
{
    return {-pm->origin_x, -pm->origin_y, pm->width, pm->height};
}

hx_point HxPixelmapTopLeft(const hx_pixelmap* pm)
{
    return {-pm->origin_x, -pm->origin_y};
}

void* HxPixelmapAnchor()
{
    return pmod.anchor;
}

// ---- memory methods ----------------------------------------------------------------

hx_error _M_hx_device_pixelmap_mem_validSource(hx_pixelmap*, hx_pixelmap*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_resize(hx_pixelmap* self, int32_t width, int32_t height)
{
    if (width < 0 || height < 0 || width > UINT16_MAX || height > UINT16_MAX)
        return HXE_FAIL;
    // A size that cannot be met leaves the pixelmap as it was.
    uint32_t size;
    int32_t rowBytes = HxPixelmapRowBytesFor(self->type, uint32_t(width));
    if ((width && !rowBytes) || !PixelBytes(rowBytes, uint32_t(height), &size))
        return HXE_FAIL;
    bool inverted = self->row_bytes < 0;
    // Pixel memory of the record's own goes; a parent's or the caller's stays.
    HxResChildEnum(self, FreeOwnPixels, nullptr);
    self->pixels = nullptr;
    self->width = uint16_t(width);
    self->height = uint16_t(height);
    // The new memory is this pixelmap's own: a sub-pixelmap's position in
    // its parent's block no longer applies, and it holds no mip chain.
    self->base_x = 0;
    self->base_y = 0;
    self->mip_offset = 0;
    return AttachPixels(self, inverted);
}

hx_error _M_hx_device_pixelmap_mem_match(hx_pixelmap* self, hx_pixelmap** out, hx_token_value* tv)
{
    *out = nullptr;
    hx_token use = 1;
    uint32_t type = self->type;
    int32_t bits = 0;
    int32_t width = self->width, height = self->height;
    for (; tv && tv->t; ++tv) {
        switch (tv->t) {
        case HXT_USE_T:
            use = tv->v.t;
            break;
        case HXT_PIXEL_TYPE_U8:
            type = uint8_t(tv->v.u);
            break;
        case HXT_PIXEL_BITS_I32:
            bits = int32_t(tv->v.i);
            break;
        case HXT_RENDERER_O:
            break;
        case HXT_WIDTH_I32:
            width = int32_t(tv->v.i);
            break;
        case HXT_HEIGHT_I32:
            height = int32_t(tv->v.i);
            break;
        default:
            return HXE_UNKNOWN_TOKEN;
        }
    }
    if (width < 0 || height < 0 || width > UINT16_MAX || height > UINT16_MAX || type >= HX_PMT_MAX)
        return HXE_FAIL;
    bool inverted = self->row_bytes < 0;
    hx_pixelmap* pm = nullptr;
    switch (use) {
    case HXT_DEPTH: {
        static constexpr struct {
            int32_t bits;
            uint8_t type;
        } kDepthTypes[] = {{0, HX_PMT_DEPTH_8}, {8, HX_PMT_DEPTH_8}, {16, HX_PMT_DEPTH_16}, {32, HX_PMT_DEPTH_32}};
        const auto* row = std::find_if(std::begin(kDepthTypes), std::end(kDepthTypes),
                                       [bits](const auto& r) { return r.bits == bits; });
        if (row == std::end(kDepthTypes))
            return HXE_FAIL;
        // As many pixels a row as the source's rows hold, so depth and
        // colour rows step together; never fewer than the width needs.
        uint32_t srcBits = kHxPixelTypes[self->type].bits;
        uint32_t srcRow = uint32_t(self->row_bytes < 0 ? -self->row_bytes : self->row_bytes);
        uint32_t perRow = srcBits ? (srcRow * 8 + srcBits - 1) / srcBits : 0;
        perRow = std::max(perRow, uint32_t(width));
        int newBytes = kHxPixelTypes[row->type].bits / 8;
        uint64_t rowBytes = uint64_t(perRow) * uint64_t(newBytes);
        uint32_t size;
        if (rowBytes > INT16_MAX || !PixelBytes(int32_t(rowBytes), uint32_t(height), &size))
            return HXE_FAIL;
        pm = HxPixelmapAllocate(row->type, uint16_t(width), uint16_t(height), nullptr, HX_PMAF_NO_PIXELS);
        if (!pm)
            return HXE_NO_MEMORY;
        void* pixels = HxResAllocate(pm, size, HX_RES_PIXELS);
        if (!pixels) {
            HxResFree(pm);
            return HXE_NO_MEMORY;
        }
        pm->pixels = pixels;
        pm->row_bytes = int16_t(rowBytes);
        pm->flags = HX_PMF_ROW_WHOLE;
        if (uint64_t(newBytes) * uint64_t(width) == rowBytes)
            pm->flags |= HX_PMF_LINEAR;
        if (inverted && height) {
            pm->pixels = static_cast<uint8_t*>(pixels) + ptrdiff_t(rowBytes) * (height - 1);
            pm->row_bytes = int16_t(-int32_t(rowBytes));
        }
        break;
    }
    case HXT_OFFSCREEN:
    case HXT_HIDDEN:
    case HXT_CLONE:
    case HXT_HIDDEN_BUFFER:
    case HXT_NO_RENDER:
        pm = HxPixelmapAllocate(uint8_t(type), uint16_t(width), uint16_t(height), nullptr,
                                inverted ? uint32_t(HX_PMAF_INVERTED) : 0u);
        if (!pm)
            return HXE_NO_MEMORY;
        break;
    default:
        return HXE_FAIL;
    }
    pm->origin_x = self->origin_x;
    pm->origin_y = self->origin_y;
    *out = pm;
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_allocateSub(hx_pixelmap* self, hx_pixelmap** out, const hx_rectangle* r)
{
    *out = nullptr;
    hx_rectangle c;
    if (!PixelmapRectangleClip(&c, r, self))
        return HXE_FAIL;
    auto* pm = static_cast<hx_pixelmap*>(HxResAllocate(pmod.anchor, sizeof(hx_pixelmap), HX_RES_PIXELMAP));
    if (!pm)
        return HXE_NO_MEMORY;
    *pm = *self;
    pm->dispatch = &HxMemoryPixelmapClass.object;
    pm->base_x = uint16_t(self->base_x + c.x);
    pm->base_y = uint16_t(self->base_y + c.y);
    pm->width = uint16_t(c.w);
    pm->height = uint16_t(c.h);
    pm->origin_x = 0;
    pm->origin_y = 0;
    pm->device_data = nullptr;
    pm->mip_offset = 0; // a rectangle of the top level, not a chain of levels
    if (c.w != self->width)
        pm->flags &= uint8_t(~HX_PMF_LINEAR);
    *out = pm;
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_copyTo(hx_pixelmap* self, hx_pixelmap* source)
{
    return CopyWhole(self, source);
}

hx_error _M_hx_device_pixelmap_mem_copyFrom(hx_pixelmap* self, hx_pixelmap* dest)
{
    return CopyWhole(dest, self);
}

hx_error _M_hx_device_pixelmap_mem_fill(hx_pixelmap* self, uint32_t colour)
{
    FillBlock(self, {0, 0, self->width, self->height}, colour);
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_doubleBuffer(hx_pixelmap*, hx_pixelmap*)
{
    return Unsupported();
}

hx_error _M_hx_device_pixelmap_mem_copyDirty(hx_pixelmap*, hx_pixelmap*, const hx_rectangle*, int)
{
    return Unsupported();
}

hx_error _M_hx_device_pixelmap_mem_copyToDirty(hx_pixelmap*, hx_pixelmap*, const hx_rectangle*, int)
{
    return Unsupported();
}

hx_error _M_hx_device_pixelmap_mem_copyFromDirty(hx_pixelmap*, hx_pixelmap*, const hx_rectangle*, int)
{
    return Unsupported();
}

hx_error _M_hx_device_pixelmap_mem_fillDirty(hx_pixelmap*, uint32_t, const hx_rectangle*, int)
{
    return Unsupported();
}

hx_error _M_hx_device_pixelmap_mem_doubleBufferDirty(hx_pixelmap*, hx_pixelmap*, const hx_rectangle*, int)
{
    return Unsupported();
}

hx_error _M_hx_device_pixelmap_mem_rectangleCopyTo(hx_pixelmap* self, const hx_point* p, hx_pixelmap* source,
                                                   const hx_rectangle* r)
{
    hx_rectangle s;
    hx_point d;
    if (PixelmapRectangleClipTwo(&s, &d, r, p, self, source))
        CopyBlock(self, d, source, s);
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_rectangleCopyFrom(hx_pixelmap* self, const hx_point* p, hx_pixelmap* dest,
                                                     const hx_rectangle* r)
{
    hx_rectangle s;
    hx_point d;
    if (PixelmapRectangleClipTwo(&s, &d, r, p, dest, self))
        CopyBlock(dest, d, self, s);
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_rectangleStretchCopyTo(hx_pixelmap*, const hx_rectangle*, hx_pixelmap*,
                                                          const hx_rectangle*)
{
    return HXE_FAIL;
}

hx_error _M_hx_device_pixelmap_mem_rectangleStretchCopyFrom(hx_pixelmap*, const hx_rectangle*, hx_pixelmap*,
                                                            const hx_rectangle*)
{
    return HXE_FAIL;
}

hx_error _M_hx_device_pixelmap_mem_rectangleFill(hx_pixelmap* self, const hx_rectangle* r, uint32_t colour)
{
    hx_rectangle c;
    if (PixelmapRectangleClip(&c, r, self))
        FillBlock(self, c, colour);
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_pixelSet(hx_pixelmap* self, const hx_point* p, uint32_t colour)
{
    hx_point c;
    if (PixelmapPointClip(&c, p, self))
        HxBlockPixelSet(HxPixelmapPixelAddress(self, c.x, c.y), HxPixelmapAddressBytes(self), colour);
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_line(hx_pixelmap* self, const hx_point* a, const hx_point* b, uint32_t colour)
{
    hx_point s, e;
    if (!PixelmapLineClip(&s, &e, a, b, self))
        return HX_OK;
    uint8_t* origin = HxPixelmapPixelAddress(self, 0, 0);
    const ptrdiff_t rowBytes = self->row_bytes;
    // One loop per pixel size, so the store is not chosen per pixel.
    auto draw = [&](auto bytes) {
        HxSymmetricLine(s.x, s.y, e.x, e.y, [=](int32_t x, int32_t y) {
            HxBlockPixelSet(origin + y * rowBytes + ptrdiff_t(x) * bytes(), bytes(), colour);
        });
    };
    switch (HxPixelmapAddressBytes(self)) {
    case 1: draw(std::integral_constant<int, 1>{}); break;
    case 2: draw(std::integral_constant<int, 2>{}); break;
    case 3: draw(std::integral_constant<int, 3>{}); break;
    case 4: draw(std::integral_constant<int, 4>{}); break;
    default: break;
    }
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_copyBits(hx_pixelmap* self, const hx_point* p, const uint8_t* bits,
                                            int32_t stride, const hx_rectangle* r, uint32_t colour)
{
    hx_rectangle b;
    hx_point at;
    if (!PixelmapCopyBitsClip(&b, &at, r, p, self) || b.x < 0 || b.y < 0)
        return HX_OK;
    HxBlockCopyBits(HxPixelmapPixelAddress(self, at.x, at.y), self->row_bytes, bits + ptrdiff_t(b.y) * stride,
                    stride, uint32_t(b.x), uint32_t(b.x + b.w), uint32_t(b.h), HxPixelmapAddressBytes(self), colour);
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_rowSize(hx_pixelmap*, uint32_t*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_rowQuery(hx_pixelmap*, void*, uint32_t, int32_t)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_rowSet(hx_pixelmap*, const void*, uint32_t, int32_t)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_pixelQuery(hx_pixelmap* self, uint32_t* out, const hx_point* p)
{
    hx_point c;
    if (!PixelmapPointClip(&c, p, self))
        return HXE_FAIL;
    *out = HxBlockPixelGet(HxPixelmapPixelAddress(self, c.x, c.y), HxPixelmapAddressBytes(self));
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_pixelAddressQuery(hx_pixelmap* self, void** address, uint32_t* qualifier,
                                                     const hx_point* p)
{
    hx_point c;
    if (!PixelmapPointClip(&c, p, self))
        return HXE_FAIL;
    if (address)
        *address = HxPixelmapPixelAddress(self, c.x, c.y);
    if (qualifier)
        *qualifier = self->pixels_qualifier;
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_pixelAddressSet(hx_pixelmap* self, void* address, const uint32_t* qualifier)
{
    if (address)
        self->pixels = address;
    if (qualifier)
        self->pixels_qualifier = *qualifier & 0xFFFF;
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_originSet(hx_pixelmap* self, const hx_point* p)
{
    self->origin_x = int16_t(p->x);
    self->origin_y = int16_t(p->y);
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_flush(hx_pixelmap*)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_synchronise(hx_pixelmap*, hx_token)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_directLock(hx_pixelmap*, hx_bool)
{
    return HX_OK;
}

hx_error _M_hx_device_pixelmap_mem_directUnlock(hx_pixelmap*)
{
    return HX_OK;
}

// ---- the class table -----------------------------------------------------------

const hx_device_pixelmap_dispatch HxMemoryPixelmapClass = {
    .object =
        {
            .free = MemFree,
            .identifier = MemIdentifier,
            .type = MemType,
            .classMethods = {reinterpret_cast<hx_class_method>(MemIsType),
                             reinterpret_cast<hx_class_method>(MemDevice),
                             reinterpret_cast<hx_class_method>(MemSpace)},
            .templateQuery = MemTemplateQuery,
            .query = _M_hx_object_query,
            .queryBuffer = _M_hx_object_queryBuffer,
            .queryMany = _M_hx_object_queryMany,
            .queryManySize = _M_hx_object_queryManySize,
            .queryAll = _M_hx_object_queryAll,
            .queryAllSize = _M_hx_object_queryAllSize,
        },
    .validSource = _M_hx_device_pixelmap_mem_validSource,
    .resize = _M_hx_device_pixelmap_mem_resize,
    .match = _M_hx_device_pixelmap_mem_match,
    .allocateSub = _M_hx_device_pixelmap_mem_allocateSub,
    .copy = _M_hx_device_pixelmap_mem_copyTo, // memory to memory: a copy is a copy to
    .copyTo = _M_hx_device_pixelmap_mem_copyTo,
    .copyFrom = _M_hx_device_pixelmap_mem_copyFrom,
    .fill = _M_hx_device_pixelmap_mem_fill,
    .doubleBuffer = _M_hx_device_pixelmap_gen_doubleBuffer,
    .copyDirty = _M_hx_device_pixelmap_gen_copyDirty,
    .copyToDirty = _M_hx_device_pixelmap_gen_copyToDirty,
    .copyFromDirty = _M_hx_device_pixelmap_gen_copyFromDirty,
    .fillDirty = _M_hx_device_pixelmap_gen_fillDirty,
    .doubleBufferDirty = _M_hx_device_pixelmap_gen_doubleBufferDirty,
    .rectangle = _M_hx_device_pixelmap_gen_rectangle,
    .rectangle2 = _M_hx_device_pixelmap_gen_rectangle2,
    .rectangleCopy = _M_hx_device_pixelmap_mem_rectangleCopyTo,
    .rectangleCopyTo = _M_hx_device_pixelmap_mem_rectangleCopyTo,
    .rectangleCopyFrom = _M_hx_device_pixelmap_mem_rectangleCopyFrom,
    .rectangleStretchCopy = _M_hx_device_pixelmap_mem_rectangleStretchCopyTo,
    .rectangleStretchCopyTo = _M_hx_device_pixelmap_mem_rectangleStretchCopyTo,
    .rectangleStretchCopyFrom = _M_hx_device_pixelmap_mem_rectangleStretchCopyFrom,
    .rectangleFill = _M_hx_device_pixelmap_mem_rectangleFill,
    .pixelSet = _M_hx_device_pixelmap_mem_pixelSet,
    .line = _M_hx_device_pixelmap_mem_line,
    .copyBits = _M_hx_device_pixelmap_mem_copyBits,
    .text = _M_hx_device_pixelmap_gen_text,
    .textBounds = _M_hx_device_pixelmap_gen_textBounds,
    .rowSize = _M_hx_device_pixelmap_mem_rowSize,
    .rowQuery = _M_hx_device_pixelmap_mem_rowQuery,
    .rowSet = _M_hx_device_pixelmap_mem_rowSet,
    .pixelQuery = _M_hx_device_pixelmap_mem_pixelQuery,
    .pixelAddressQuery = _M_hx_device_pixelmap_mem_pixelAddressQuery,
    .pixelAddressSet = _M_hx_device_pixelmap_mem_pixelAddressSet,
    .originSet = _M_hx_device_pixelmap_mem_originSet,
    .flush = _M_hx_device_pixelmap_mem_flush,
    .synchronise = _M_hx_device_pixelmap_mem_synchronise,
    .directLock = _M_hx_device_pixelmap_mem_directLock,
    .directUnlock = _M_hx_device_pixelmap_mem_directUnlock,
};

// ---- allocation ------------------------------------------------------------------

hx_pixelmap* HxPixelmapAllocate(uint8_t type, uint16_t width, uint16_t height, void* pixels, uint32_t flags)
{
    if (!pmod.anchor || type >= HX_PMT_MAX)
        return nullptr;
    int32_t rowBytes = HxPixelmapRowBytesFor(type, width);
    uint32_t size;
    if ((width && !rowBytes) || !PixelBytes(rowBytes, height, &size))
        return nullptr;
    auto* pm = static_cast<hx_pixelmap*>(HxResAllocate(pmod.anchor, sizeof(hx_pixelmap), HX_RES_PIXELMAP));
    if (!pm)
        return nullptr;
    *pm = {};
    pm->dispatch = &HxMemoryPixelmapClass.object;
    pm->type = type;
    pm->width = width;
    pm->height = height;
    pm->row_bytes = int16_t(rowBytes);
    pm->flags = HX_PMF_LINEAR;
    if (kHxPixelTypes[type].bits && (rowBytes * 8) % kHxPixelTypes[type].bits == 0)
        pm->flags |= HX_PMF_ROW_WHOLE;
    if (!(flags & HX_PMAF_NO_PIXELS)) {
        pm->pixels = pixels;
        if (!pixels) {
            pm->pixels = HxResAllocate(pm, size, HX_RES_PIXELS);
            if (!pm->pixels) {
                HxResFree(pm);
                return nullptr;
            }
        }
    }
    pm->pixels_qualifier = HxBlockDataSegment();
    if ((flags & HX_PMAF_INVERTED) && pm->pixels && height) {
        pm->pixels = static_cast<uint8_t*>(pm->pixels) + ptrdiff_t(rowBytes) * (height - 1);
        pm->row_bytes = int16_t(-rowBytes);
    } else if (flags & HX_PMAF_INVERTED) {
        pm->row_bytes = int16_t(-rowBytes);
    }
    return pm;
}

// ---- the module --------------------------------------------------------------------

hx_error HxPixelmapBegin()
{
    if (pmod.anchor)
        return HXE_ACTIVE;
    pmod = {};
    pmod.anchor = HxResAllocate(nullptr, 0, HX_RES_ANCHOR);
    if (!pmod.anchor)
        return HXE_NO_MEMORY;
    HxResClassAddMany(pixelmapClasses, int(std::size(pixelmapClasses)));
    HxImageAdd(&HxImagePmap1);
    return HX_OK;
}

hx_error HxPixelmapEnd()
{
    if (!pmod.anchor)
        return HXE_NOT_ACTIVE;
    HxImageRemove(&HxImagePmap1);
    HxResFree(pmod.anchor);
    HxResClassRemoveMany(pixelmapClasses, int(std::size(pixelmapClasses)));
    pmod = {};
    return HX_OK;
}
