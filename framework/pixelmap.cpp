// The pixelmap front end: the pixel type table, and the small functions that
// find a pixelmap's class table and call one method, choosing between the
// same-device, ...To and ...From forms for copies between devices.
#include "framework/pixelmap.h"

#include <iterator>
#include <vector>

#include "framework/blockops.h"
#include "framework/fw_state.h"
#include "framework/memdev.h"
#include "framework/mem.h"
#include "framework/token_ids.h"

const hx_pixel_type_info kHxPixelTypes[HX_PMT_MAX] = {
    {1, 1, 32, HX_PMCH_INDEX},                  // 0 HX_PMT_INDEX_1
    {2, 1, 16, HX_PMCH_INDEX},                  // 1 HX_PMT_INDEX_2
    {4, 1, 8, HX_PMCH_INDEX},                   // 2 HX_PMT_INDEX_4
    {8, 1, 4, HX_PMCH_INDEX},                   // 3 HX_PMT_INDEX_8
    {16, 2, 2, HX_PMCH_COLOUR},                 // 4 HX_PMT_RGB_555
    {16, 2, 2, HX_PMCH_COLOUR},                 // 5 HX_PMT_RGB_565
    {24, 3, 4, HX_PMCH_COLOUR},                 // 6 HX_PMT_RGB_888
    {32, 4, 1, HX_PMCH_COLOUR},                 // 7 HX_PMT_RGBX_888
    {32, 4, 1, HX_PMCH_COLOUR | HX_PMCH_ALPHA}, // 8 HX_PMT_RGBA_8888
    {16, 1, 2, HX_PMCH_YUV},                    // 9 HX_PMT_YUYV_8888
    {32, 1, 1, HX_PMCH_YUV},                    // 10 HX_PMT_YUV_888
    {16, 2, 4, HX_PMCH_DEPTH},                  // 11 HX_PMT_DEPTH_16
    {32, 4, 4, HX_PMCH_DEPTH},                  // 12 HX_PMT_DEPTH_32
    {8, 1, 4, HX_PMCH_ALPHA},                   // 13 HX_PMT_ALPHA_8
    {16, 2, 2, HX_PMCH_INDEX | HX_PMCH_ALPHA},  // 14 HX_PMT_INDEXA_88
    {16, 2, 2, HX_PMCH_INDEX | HX_PMCH_ALPHA},  // 15
    {16, 2, 2, HX_PMCH_INDEX | HX_PMCH_ALPHA},  // 16
    {16, 2, 2, HX_PMCH_INDEX | HX_PMCH_ALPHA},  // 17
    {16, 2, 2, HX_PMCH_INDEX | HX_PMCH_ALPHA},  // 18
    {16, 2, 2, HX_PMCH_INDEX | HX_PMCH_ALPHA},  // 19
    {16, 2, 2, HX_PMCH_INDEX | HX_PMCH_ALPHA},  // 20
    {8, 1, 4, HX_PMCH_COLOUR},                  // 21
    {8, 1, 4, HX_PMCH_DEPTH},                   // 22 (8-bit depth)
    {32, 4, 1, HX_PMCH_COLOUR | HX_PMCH_ALPHA}, // 23
    {4, 1, 8, HX_PMCH_ALPHA},                   // 24
    {8, 1, 4, HX_PMCH_INDEX | HX_PMCH_ALPHA},   // 25
    {16, 2, 2, HX_PMCH_DEPTH},                  // 26
    {32, 4, 1, HX_PMCH_DEPTH},                  // 27
    {16, 2, 2, HX_PMCH_DEPTH},                  // 28
    {16, 2, 2, HX_PMCH_DEPTH},                  // 29
};

// clang-format off
const char* const kHxPixelTypeNames[kHxPixelTypeNamed] = {
    "HX_PMT_INDEX_1",  "HX_PMT_INDEX_2",   "HX_PMT_INDEX_4",   "HX_PMT_INDEX_8",  "HX_PMT_RGB_555",
    "HX_PMT_RGB_565",  "HX_PMT_RGB_888",   "HX_PMT_RGBX_888",  "HX_PMT_RGBA_8888", "HX_PMT_YUYV_8888",
    "HX_PMT_YUV_888",  "HX_PMT_DEPTH_16",  "HX_PMT_DEPTH_32",  "HX_PMT_ALPHA_8",  "HX_PMT_INDEXA_88",
};
// clang-format on

namespace {

using Class = hx_device_pixelmap_dispatch;

const Class* C(hx_pixelmap* pm)
{
    return HxPixelmapEnsureClass(pm);
}

const hx_pixel_type_info& TypeOf(const hx_pixelmap* pm)
{
    static constexpr hx_pixel_type_info kNone = {0, 0, 1, 0};
    return pm->type < HX_PMT_MAX ? kHxPixelTypes[pm->type] : kNone;
}

// Picks the form of a copy between two pixelmaps: the destination's own
// method when both are on one device, the destination's ...To when the
// source's pixels can be read directly, the source's ...From when the
// destination's can be written directly; 4104 when neither can.
template <typename Same, typename To, typename From>
hx_error CopyDispatch(hx_pixelmap* dst, hx_pixelmap* src, Same same, To to, From from)
{
    C(dst);
    C(src);
    if (HxPixelmapDevice(dst) == HxPixelmapDevice(src))
        return same();
    if (!(src->flags & HX_PMF_NO_ACCESS))
        return to();
    if (dst->flags & HX_PMF_NO_ACCESS)
        return HXE_UNSUPPORTED;
    return from();
}

// The request list of a match, built from the kind and the size and type
// asked for (negative: not asked for).
hx_pixelmap* MatchRequest(hx_pixelmap* pm, int kind, bool sizedOrTyped, int type, int32_t width, int32_t height)
{
    struct Row {
        hx_token use;
        int32_t bits; // 0: none
    };
    // clang-format off
    static constexpr Row kKinds[] = {
        {HXT_OFFSCREEN, 0}, {HXT_DEPTH, 16}, {HXT_DEPTH, 0},  {HXT_HIDDEN, 0}, {HXT_HIDDEN_BUFFER, 0}, {HXT_NO_RENDER, 0},
        {HXT_DEPTH, 8},     {HXT_DEPTH, 32}, {HXT_DEPTH, 16}, {HXT_DEPTH, 32}, {HXT_DEPTH, 16},        {HXT_DEPTH, 16},
    };
    // clang-format on
    // The sized and typed forms know only the first six kinds.
    const int known = sizedOrTyped ? 6 : int(std::size(kKinds));
    hx_token_value tv[6] = {};
    int n = 0;
    const Row row = kind >= 0 && kind < known ? kKinds[kind] : Row{0, 0};
    tv[n].t = HXT_USE_T;
    tv[n++].v.t = row.use;
    if (row.bits) {
        tv[n].t = HXT_PIXEL_BITS_I32;
        tv[n++].v.i = row.bits;
    }
    if (width >= 0) {
        tv[n].t = HXT_WIDTH_I32;
        tv[n++].v.i = width;
        tv[n].t = HXT_HEIGHT_I32;
        tv[n++].v.i = height;
    }
    if (type >= 0) {
        tv[n].t = HXT_PIXEL_TYPE_U8;
        tv[n++].v.u = uint32_t(type);
    }
    hx_pixelmap* out = nullptr;
    if (C(pm)->match(pm, &out, tv) != HX_OK)
        return nullptr;
    bool wrong = (width >= 0 && (out->width != width || out->height != height)) || (type >= 0 && out->type != type);
    if (wrong) {
        HxPixelmapFree(out);
        return nullptr;
    }
    return out;
}

// The device pixelmap's colour table object, or null.
hx_object* ColourTable(hx_pixelmap* pm)
{
    hx_value value = {};
    hx_object* self = HxPixelmapObject(pm);
    if (C(pm)->object.query(self, &value, HXT_CLUT_O) != HX_OK)
        return nullptr;
    return value.o;
}

const hx_clut_dispatch* ClutClass(hx_object* clut)
{
    return reinterpret_cast<const hx_clut_dispatch*>(clut->dispatch);
}

} // namespace

const hx_device_pixelmap_dispatch* HxPixelmapEnsureClass(hx_pixelmap* pm)
{
    if (!pm->dispatch)
        pm->dispatch = &HxMemoryPixelmapClass.object;
    return reinterpret_cast<const hx_device_pixelmap_dispatch*>(pm->dispatch);
}

hx_object* HxPixelmapDevice(hx_pixelmap* pm)
{
    auto device = reinterpret_cast<hx_pixelmap_device_fn>(C(pm)->object.classMethods[1]);
    return device(HxPixelmapObject(pm));
}

hx_pixelmap* HxPixelmapAllocateSub(hx_pixelmap* pm, int32_t x, int32_t y, int32_t width, int32_t height)
{
    hx_rectangle r = {x, y, width, height};
    hx_pixelmap* out = nullptr;
    return C(pm)->allocateSub(pm, &out, &r) == HX_OK ? out : nullptr;
}

hx_error HxPixelmapFree(hx_pixelmap* pm)
{
    if (pm == fw.lastBegun)
        fw.lastBegun = nullptr;
    C(pm)->object.free(HxPixelmapObject(pm));
    return HX_OK;
}

hx_pixelmap* HxPixelmapResize(hx_pixelmap* pm, int32_t width, int32_t height)
{
    return C(pm)->resize(pm, width, height) == HX_OK ? pm : nullptr;
}

hx_pixelmap* HxPixelmapMatch(hx_pixelmap* pm, int kind)
{
    return MatchRequest(pm, kind, false, -1, -1, -1);
}

hx_pixelmap* HxPixelmapMatchSized(hx_pixelmap* pm, int kind, int32_t width, int32_t height)
{
    if (width < 0 || height < 0)
        return nullptr;
    return MatchRequest(pm, kind, true, -1, width, height);
}

hx_pixelmap* HxPixelmapMatchTyped(hx_pixelmap* pm, int kind, uint8_t type)
{
    return MatchRequest(pm, kind, true, type, -1, -1);
}

hx_pixelmap* HxPixelmapMatchTypedSized(hx_pixelmap* pm, int kind, uint8_t type, int32_t width, int32_t height)
{
    if (width < 0 || height < 0)
        return nullptr;
    return MatchRequest(pm, kind, true, type, width, height);
}

hx_pixelmap* HxPixelmapClone(hx_pixelmap* pm)
{
    hx_token_value tv[2] = {};
    tv[0].t = HXT_USE_T;
    tv[0].v.t = HXT_CLONE;
    hx_pixelmap* out = nullptr;
    return C(pm)->match(pm, &out, tv) == HX_OK ? out : nullptr;
}

hx_error HxPixelmapFill(hx_pixelmap* pm, uint32_t colour)
{
    return C(pm)->fill(pm, colour);
}

hx_error HxPixelmapRectangle(hx_pixelmap* pm, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour)
{
    hx_rectangle r = {x, y, w, h};
    return C(pm)->rectangle(pm, &r, colour);
}

hx_error HxPixelmapRectangle2(hx_pixelmap* pm, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colourTl,
                              uint32_t colourBr)
{
    hx_rectangle r = {x, y, w, h};
    return C(pm)->rectangle2(pm, &r, colourTl, colourBr);
}

hx_error HxPixelmapRectangleFill(hx_pixelmap* pm, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour)
{
    hx_rectangle r = {x, y, w, h};
    return C(pm)->rectangleFill(pm, &r, colour);
}

hx_error HxPixelmapCopy(hx_pixelmap* dst, hx_pixelmap* src)
{
    return CopyDispatch(
        dst, src, [&] { return C(dst)->copy(dst, src); }, [&] { return C(dst)->copyTo(dst, src); },
        [&] { return C(src)->copyFrom(src, dst); });
}

hx_error HxPixelmapRectangleCopy(hx_pixelmap* dst, int32_t x, int32_t y, hx_pixelmap* src, int32_t sx, int32_t sy,
                                 int32_t w, int32_t h)
{
    hx_point p = {x, y};
    hx_rectangle r = {sx, sy, w, h};
    return CopyDispatch(
        dst, src, [&] { return C(dst)->rectangleCopy(dst, &p, src, &r); },
        [&] { return C(dst)->rectangleCopyTo(dst, &p, src, &r); },
        [&] { return C(src)->rectangleCopyFrom(src, &p, dst, &r); });
}

hx_error HxPixelmapRectangleStretchCopy(hx_pixelmap* dst, int32_t x, int32_t y, int32_t w, int32_t h,
                                        hx_pixelmap* src, int32_t sx, int32_t sy, int32_t sw, int32_t sh)
{
    hx_rectangle d = {x, y, w, h};
    hx_rectangle s = {sx, sy, sw, sh};
    return CopyDispatch(
        dst, src, [&] { return C(dst)->rectangleStretchCopy(dst, &d, src, &s); },
        [&] { return C(dst)->rectangleStretchCopyTo(dst, &d, src, &s); },
        [&] { return C(src)->rectangleStretchCopyFrom(src, &d, dst, &s); });
}

hx_error HxPixelmapCopyScaled(hx_pixelmap* dst, hx_pixelmap* src)
{
    if (dst->width == src->width && dst->height == src->height)
        return HxPixelmapCopy(dst, src);
    return HxPixelmapRectangleStretchCopy(dst, -dst->origin_x, -dst->origin_y, dst->width, dst->height, src,
                                          -src->origin_x, -src->origin_y, src->width, src->height);
}

hx_error HxPixelmapCopyDirty(hx_pixelmap* dst, hx_pixelmap* src, int32_t x, int32_t y, int32_t w, int32_t h)
{
    hx_rectangle r = {x, y, w, h};
    return CopyDispatch(
        dst, src, [&] { return C(dst)->copyDirty(dst, src, &r, 1); },
        [&] { return C(dst)->copyToDirty(dst, src, &r, 1); },
        [&] { return C(src)->copyFromDirty(src, dst, &r, 1); });
}

hx_error HxPixelmapFillDirty(hx_pixelmap* pm, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour)
{
    hx_rectangle r = {x, y, w, h};
    return C(pm)->fillDirty(pm, colour, &r, 1);
}

hx_error HxPixelmapDoubleBuffer(hx_pixelmap* screen, hx_pixelmap* back)
{
    return C(screen)->doubleBuffer(screen, back);
}

hx_error HxPixelmapDoubleBufferDirty(hx_pixelmap* screen, hx_pixelmap* back, int32_t x, int32_t y, int32_t w,
                                     int32_t h)
{
    hx_rectangle r = {x, y, w, h};
    return C(screen)->doubleBufferDirty(screen, back, &r, 1);
}

hx_error HxPixelmapPixelSet(hx_pixelmap* pm, int32_t x, int32_t y, uint32_t colour)
{
    hx_point p = {x, y};
    return C(pm)->pixelSet(pm, &p, colour);
}

uint32_t HxPixelmapPixelQuery(hx_pixelmap* pm, int32_t x, int32_t y)
{
    hx_point p = {x, y};
    uint32_t colour = 0;
    if (C(pm)->pixelQuery(pm, &colour, &p) != HX_OK)
        return 0;
    return colour;
}

hx_error HxPixelmapLine(hx_pixelmap* pm, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour)
{
    hx_point a = {x1, y1}, b = {x2, y2};
    return C(pm)->line(pm, &a, &b, colour);
}

hx_error HxPixelmapCopyBits(hx_pixelmap* pm, int32_t x, int32_t y, const uint8_t* bits, int32_t stride,
                            int32_t firstBit, int32_t endBit, int32_t rows, uint32_t colour)
{
    hx_point p = {x, y};
    if (endBit <= firstBit)
        return HX_OK;
    hx_rectangle r = {firstBit, 0, endBit - firstBit, rows};
    return C(pm)->copyBits(pm, &p, bits, stride, &r, colour);
}

hx_error HxPixelmapText(hx_pixelmap* pm, int32_t x, int32_t y, uint32_t colour, const hx_font* font,
                        const char* text)
{
    hx_point p = {x, y};
    return C(pm)->text(pm, &p, font ? font : &HxFontProp7x9, text, colour);
}

hx_error HxPixelmapTextF(hx_pixelmap* pm, int32_t x, int32_t y, uint32_t colour, const hx_font* font,
                         const char* format, ...)
{
    char* text = HxScratchString();
    va_list args;
    va_start(args, format);
    HxVSprintfN(text, HxScratchStringSize(), format, args);
    va_end(args);
    return HxPixelmapText(pm, x, y, colour, font, text);
}

uint32_t HxFontTextWidth(const hx_font* font, const char* text)
{
    if (!text)
        return font->glyph_x;
    uint32_t width = 0, length = 0;
    for (const char* s = text; *s; ++s, ++length)
        width += (font->width ? font->width[uint8_t(*s)] : font->glyph_x) + 1u;
    return length ? width - 1 : 0;
}

uint16_t HxPixelmapTextWidth(hx_pixelmap*, const hx_font* font, const char* text)
{
    return uint16_t(HxFontTextWidth(font ? font : &HxFontProp7x9, text));
}

uint16_t HxPixelmapTextHeight(hx_pixelmap*, const hx_font* font)
{
    return (font ? font : &HxFontProp7x9)->glyph_y;
}

uint16_t HxPixelmapPixelBytes(hx_pixelmap* pm)
{
    return TypeOf(pm).bytes;
}

uint16_t HxPixelmapPixelBits(hx_pixelmap* pm)
{
    return TypeOf(pm).bits;
}

uint16_t HxPixelmapChannels(hx_pixelmap* pm)
{
    return TypeOf(pm).channels;
}

void HxPixelmapPaletteSet(hx_pixelmap* pm, hx_pixelmap* palette)
{
    hx_object* clut = ColourTable(pm);
    if (!clut || !palette->pixels || !palette->width)
        return;
    // One entry a row, read as a pixel of the palette's own type: its rows
    // may be padded (a 24-bit palette), packed as loaded, or bottom-up.
    std::vector<uint32_t> entries(palette->height);
    const int bytes = HxPixelmapAddressBytes(palette);
    for (uint32_t i = 0; i < palette->height; ++i)
        entries[i] = HxBlockPixelGet(HxPixelmapPixelAddress(palette, 0, int32_t(i)), bytes);
    ClutClass(clut)->entriesSet(clut, 0, palette->height, entries.data());
}

void HxPixelmapPaletteEntrySet(hx_pixelmap* pm, int32_t index, uint32_t colour)
{
    if (hx_object* clut = ColourTable(pm))
        ClutClass(clut)->entrySet(clut, index, colour);
}

hx_error HxPixelmapPaletteEntriesSet(hx_pixelmap* pm, int32_t first, int32_t count, const uint32_t* entries)
{
    hx_value value = {};
    hx_error error = C(pm)->object.query(HxPixelmapObject(pm), &value, HXT_CLUT_O);
    if (error != HX_OK)
        return error;
    if (!value.o)
        return HX_OK;
    return ClutClass(value.o)->entriesSet(value.o, first, count, entries);
}

hx_pixelmap* HxPixelmapDirectLock(hx_pixelmap* pm, hx_bool block)
{
    return C(pm)->directLock(pm, block) == HX_OK ? pm : nullptr;
}

hx_pixelmap* HxPixelmapDirectUnlock(hx_pixelmap* pm)
{
    return C(pm)->directUnlock(pm) == HX_OK ? pm : nullptr;
}
