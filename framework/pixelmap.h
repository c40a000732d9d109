// Pixelmaps: the framework's one picture type (screens, back and depth
// buffers, textures, palettes, shade tables). This header holds the record,
// the pixel type table, the device class method table that every pixelmap
// dispatches through, the built-in fonts, and the front end: small
// functions that find a pixelmap's class table and call one method. The
// memory device class lives in memdev.h, pixelmap files in pmfile.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/hx_types.h"
#include "framework/object.h"

struct hx_pixelmap;

// Pixel types; the datafile spells 0-14 as "HX_PMT_INDEX_1" ...
enum : uint8_t {
    HX_PMT_INDEX_1 = 0,
    HX_PMT_INDEX_2 = 1,
    HX_PMT_INDEX_4 = 2,
    HX_PMT_INDEX_8 = 3,
    HX_PMT_RGB_555 = 4,
    HX_PMT_RGB_565 = 5,
    HX_PMT_RGB_888 = 6,
    HX_PMT_RGBX_888 = 7,
    HX_PMT_RGBA_8888 = 8,
    HX_PMT_YUYV_8888 = 9,
    HX_PMT_YUV_888 = 10,
    HX_PMT_DEPTH_16 = 11,
    HX_PMT_DEPTH_32 = 12,
    HX_PMT_ALPHA_8 = 13,
    HX_PMT_INDEXA_88 = 14,
    HX_PMT_DEPTH_8 = 22, // unnamed: the 8-bit depth type that matching makes
    HX_PMT_MAX = 30,     // types 0 .. HX_PMT_MAX-1 exist
};
inline constexpr int kHxPixelTypeNamed = 15;

// Channel bits of a pixel type.
enum : uint16_t {
    HX_PMCH_INDEX = 1,
    HX_PMCH_COLOUR = 2,
    HX_PMCH_DEPTH = 4,
    HX_PMCH_ALPHA = 8,
    HX_PMCH_YUV = 16,
};

// One row per pixel type: bits and bytes per pixel, the row alignment in
// pixels and the channels.
struct hx_pixel_type_info {
    uint8_t bits;
    uint8_t bytes;
    uint8_t align;
    uint16_t channels;
};
extern const hx_pixel_type_info kHxPixelTypes[HX_PMT_MAX];
extern const char* const kHxPixelTypeNames[kHxPixelTypeNamed];

// Pixelmap flags.
enum : uint8_t {
    HX_PMF_NO_ACCESS = 1, // pixels are not directly addressable (device memory)
    HX_PMF_LINEAR = 2,    // rows are contiguous and hold exactly `width` pixels
    HX_PMF_ROW_WHOLE = 4, // a row holds a whole number of pixels
};

// Allocation flags of HxPixelmapAllocate.
enum : uint32_t {
    HX_PMAF_INVERTED = 1,  // bottom-up: pixels points at the last row, row_bytes < 0
    HX_PMAF_NO_PIXELS = 2, // attach no pixel memory; the caller sets pixels
};

struct hx_point {
    int32_t x, y;
};

struct hx_rectangle {
    int32_t x, y;
    int32_t w, h;
};

// The picture record. The first field is the class's method table, so a
// pixelmap is a framework object (hx_object); it is null in a pixelmap that
// the caller built or read itself, which then behaves as a memory pixelmap.
struct hx_pixelmap {
    const hx_object_dispatch* dispatch;
    char* identifier;
    void* pixels; // pixel (0, 0) of the whole block; shared by sub-pixelmaps
    uint32_t pixels_qualifier;
    hx_pixelmap* map;        // palette of an indexed pixelmap
    uint32_t colour_keys[5]; // source and destination colour keys: zero
    int16_t row_bytes;       // negative for a bottom-up pixelmap
    int16_t mip_offset;      // non-zero: the pixels are a chain of square mip levels
    uint8_t type;
    uint8_t flags;
    int16_t copy_function;
    uint16_t base_x, base_y; // position inside the block (sub-pixelmaps)
    uint16_t width, height;
    int16_t origin_x, origin_y;
    uint32_t user;
    void* device_data; // the device class's own; unused in memory pixelmaps
};

inline hx_object* HxPixelmapObject(hx_pixelmap* pm)
{
    return reinterpret_cast<hx_object*>(pm);
}
inline hx_pixelmap* HxPixelmapOf(hx_object* o)
{
    return reinterpret_cast<hx_pixelmap*>(o);
}

// A built-in bitmap font. Glyphs are one bit per pixel, rows padded to whole
// bytes, most significant bit leftmost, rows top to bottom. The tables are
// indexed by the character as an unsigned byte.
struct hx_font {
    uint32_t flags; // HX_FONTF_PROPORTIONAL
    uint16_t glyph_x, glyph_y;
    int16_t spacing_x, spacing_y;
    const uint8_t* width;     // 256 glyph widths; null in a fixed font
    const uint16_t* encoding; // 256 byte offsets into glyphs
    const uint8_t* glyphs;
};
enum : uint32_t {
    HX_FONTF_PROPORTIONAL = 1
};

extern const hx_font HxFontProp7x9; // the default
extern const hx_font HxFontProp4x6;
extern const hx_font HxFontFixed3x5;

// The device class's method table: four reserved words, then 52 methods in
// one order shared by every class (slots 0-12 are the object methods; 3-5
// are isType, device and space). A class fills every slot, by name.
//
// What every method may assume and must do: `self` is a live pixelmap of
// the class; points and rectangles are relative to the pixelmap's origin
// and may lie partly or wholly outside it (the method clips); colours are
// pixel values of the pixelmap's own type. The copies come in three forms,
// chosen by the front end: the plain form (copy, rectangleCopy,
// rectangleStretchCopy) copies into `self` from a pixelmap of the same
// device; "To" copies into `self` from a source whose pixels it may read
// directly; "From" copies out of `self` into a destination whose pixels it
// may write directly. Each returns 0 (HX_OK), 4098 when the request cannot
// be met, or 4104 when the class cannot do it.
struct hx_device_pixelmap_dispatch {
    hx_object_dispatch object; // 0-12
    // 0 when `source` can be the source of this pixelmap's copies.
    hx_error (*validSource)(hx_pixelmap* self, hx_pixelmap* source); // 13
    // New pixel memory of width x height, contents undefined; keeps the row direction.
    hx_error (*resize)(hx_pixelmap* self, int32_t width, int32_t height); // 14
    // A new companion pixelmap (depth buffer, off-screen ...) as the list asks, in *out.
    hx_error (*match)(hx_pixelmap* self, hx_pixelmap** out, hx_token_value* tv); // 15
    // A new pixelmap sharing the pixels of the clipped rectangle, in *out; 4098 when empty.
    hx_error (*allocateSub)(hx_pixelmap* self, hx_pixelmap** out, const hx_rectangle* r); // 16
    // The whole of `source` into self, both of this device.
    hx_error (*copy)(hx_pixelmap* self, hx_pixelmap* source); // 17
    // The whole of `source` (directly readable) into self.
    hx_error (*copyTo)(hx_pixelmap* self, hx_pixelmap* source); // 18
    // The whole of self into `dest` (directly writable).
    hx_error (*copyFrom)(hx_pixelmap* self, hx_pixelmap* dest); // 19
    // Every pixel of self becomes `colour`.
    hx_error (*fill)(hx_pixelmap* self, uint32_t colour); // 20
    // Shows `back` on self (the screen): a copy, stretched when the sizes differ.
    hx_error (*doubleBuffer)(hx_pixelmap* self, hx_pixelmap* back); // 21
    // copy limited to the n rectangles (whole copy when the sizes differ); first error ends it.
    hx_error (*copyDirty)(hx_pixelmap* self, hx_pixelmap* source, const hx_rectangle* r, int n); // 22
    // copyTo limited to the n rectangles, as copyDirty.
    hx_error (*copyToDirty)(hx_pixelmap* self, hx_pixelmap* source, const hx_rectangle* r, int n); // 23
    // copyFrom limited to the n rectangles, as copyDirty.
    hx_error (*copyFromDirty)(hx_pixelmap* self, hx_pixelmap* dest, const hx_rectangle* r, int n); // 24
    // rectangleFill of each of the n rectangles; first error ends it.
    hx_error (*fillDirty)(hx_pixelmap* self, uint32_t colour, const hx_rectangle* r, int n); // 25
    // doubleBuffer limited to the n rectangles (whole when the sizes differ).
    hx_error (*doubleBufferDirty)(hx_pixelmap* self, hx_pixelmap* back, const hx_rectangle* r, int n); // 26
    // The rectangle's one-pixel outline in `colour`.
    hx_error (*rectangle)(hx_pixelmap* self, const hx_rectangle* r, uint32_t colour); // 27
    // The outline with top and left in colourTl, bottom and right in colourBr.
    hx_error (*rectangle2)(hx_pixelmap* self, const hx_rectangle* r, uint32_t colourTl, uint32_t colourBr); // 28
    // The clipped rectangle r of `source` (this device) into self at p.
    hx_error (*rectangleCopy)(hx_pixelmap* self, const hx_point* p, hx_pixelmap* source,
                              const hx_rectangle* r); // 29
    // As rectangleCopy from a directly readable source; nothing left after clipping is 0.
    hx_error (*rectangleCopyTo)(hx_pixelmap* self, const hx_point* p, hx_pixelmap* source,
                                const hx_rectangle* r); // 30
    // The clipped rectangle r of self into `dest` (directly writable) at p.
    hx_error (*rectangleCopyFrom)(hx_pixelmap* self, const hx_point* p, hx_pixelmap* dest,
                                  const hx_rectangle* r); // 31
    // Rectangle s of `source` (this device) scaled into rectangle d of self; 4098: cannot scale.
    hx_error (*rectangleStretchCopy)(hx_pixelmap* self, const hx_rectangle* d, hx_pixelmap* source,
                                     const hx_rectangle* s); // 32
    // As rectangleStretchCopy from a directly readable source.
    hx_error (*rectangleStretchCopyTo)(hx_pixelmap* self, const hx_rectangle* d, hx_pixelmap* source,
                                       const hx_rectangle* s); // 33
    // Rectangle s of self scaled into rectangle d of `dest` (directly writable).
    hx_error (*rectangleStretchCopyFrom)(hx_pixelmap* self, const hx_rectangle* d, hx_pixelmap* dest,
                                         const hx_rectangle* s); // 34
    // The clipped rectangle's pixels become `colour`; nothing left is 0.
    hx_error (*rectangleFill)(hx_pixelmap* self, const hx_rectangle* r, uint32_t colour); // 35
    // One pixel; a point outside changes nothing and is 0.
    hx_error (*pixelSet)(hx_pixelmap* self, const hx_point* p, uint32_t colour); // 36
    // The clipped line a-b, both ends included.
    hx_error (*line)(hx_pixelmap* self, const hx_point* a, const hx_point* b, uint32_t colour); // 37
    // Each set bit of rectangle r of the 1-bit `bits` (MSB leftmost) paints a pixel at p + (x, y).
    hx_error (*copyBits)(hx_pixelmap* self, const hx_point* p, const uint8_t* bits, int32_t stride,
                         const hx_rectangle* r, uint32_t colour); // 38
    // The text in the font from p (top left of the first glyph), through copyBits.
    hx_error (*text)(hx_pixelmap* self, const hx_point* p, const hx_font* font, const char* text,
                     uint32_t colour); // 39
    // The text's bounds from (0, 0) in *out; a null text is 0 wide.
    hx_error (*textBounds)(hx_pixelmap* self, hx_rectangle* out, const hx_font* font, const char* text); // 40
    // Bytes one row takes in rowQuery's buffer (memory pixelmaps: nothing to do).
    hx_error (*rowSize)(hx_pixelmap* self, uint32_t* size); // 41
    // Copies row `row` out into the buffer (memory pixelmaps: nothing to do).
    hx_error (*rowQuery)(hx_pixelmap* self, void* buffer, uint32_t bufferSize, int32_t row); // 42
    // Copies the buffer into row `row` (memory pixelmaps: nothing to do).
    hx_error (*rowSet)(hx_pixelmap* self, const void* buffer, uint32_t bufferSize, int32_t row); // 43
    // The pixel's value in *out; 4098 outside.
    hx_error (*pixelQuery)(hx_pixelmap* self, uint32_t* out, const hx_point* p); // 44
    // The pixel's address and the pixels qualifier, each when asked; 4098 outside.
    hx_error (*pixelAddressQuery)(hx_pixelmap* self, void** address, uint32_t* qualifier,
                                  const hx_point* p); // 45
    // New pixels and qualifier, each when given (null leaves it).
    hx_error (*pixelAddressSet)(hx_pixelmap* self, void* address, const uint32_t* qualifier); // 46
    // The origin becomes p.
    hx_error (*originSet)(hx_pixelmap* self, const hx_point* p); // 47
    // Finishes drawing that the device queued.
    hx_error (*flush)(hx_pixelmap* self); // 48
    // Waits for the device as `mode` asks.
    hx_error (*synchronise)(hx_pixelmap* self, hx_token mode); // 49
    // Makes the pixels addressable until directUnlock; `block` waits for them.
    hx_error (*directLock)(hx_pixelmap* self, hx_bool block); // 50
    // Ends directLock.
    hx_error (*directUnlock)(hx_pixelmap* self); // 51
};
static_assert(offsetof(hx_device_pixelmap_dispatch, validSource) == 17 * sizeof(void*));
static_assert(offsetof(hx_device_pixelmap_dispatch, directUnlock) == 55 * sizeof(void*));
static_assert(sizeof(hx_device_pixelmap_dispatch) == 56 * sizeof(void*));

// The typed forms of the class methods in slots 3-5.
using hx_pixelmap_isType_fn = hx_bool (*)(hx_object* self, hx_token type);
using hx_pixelmap_device_fn = hx_object* (*)(hx_object* self);
using hx_pixelmap_space_fn = uint32_t (*)(hx_object* self);

// The pixelmap's class table; a pixelmap without one is given the memory
// class's first.
const hx_device_pixelmap_dispatch* HxPixelmapEnsureClass(hx_pixelmap* pm);
// The device that owns the pixelmap (null for memory pixelmaps).
hx_object* HxPixelmapDevice(hx_pixelmap* pm);

// ---- the front end -----------------------------------------------------------
// Coordinates are relative to the pixelmap's origin; colours are pixel
// values of the pixelmap's own type.

hx_pixelmap* HxPixelmapAllocate(uint8_t type, uint16_t width, uint16_t height, void* pixels, uint32_t flags);
hx_pixelmap* HxPixelmapAllocateSub(hx_pixelmap* pm, int32_t x, int32_t y, int32_t width, int32_t height);
hx_error HxPixelmapFree(hx_pixelmap* pm);
hx_pixelmap* HxPixelmapResize(hx_pixelmap* pm, int32_t width, int32_t height);

// Match kinds: what kind of companion pixelmap to make.
enum : int {
    HX_PMMATCH_OFFSCREEN = 0,
    HX_PMMATCH_DEPTH_16 = 1,
    HX_PMMATCH_DEPTH = 2,
    HX_PMMATCH_HIDDEN = 3,
    HX_PMMATCH_HIDDEN_BUFFER = 4,
    HX_PMMATCH_NO_RENDER = 5,
    HX_PMMATCH_DEPTH_8 = 6,
    HX_PMMATCH_DEPTH_32 = 7,
};
hx_pixelmap* HxPixelmapMatch(hx_pixelmap* pm, int kind);
hx_pixelmap* HxPixelmapMatchSized(hx_pixelmap* pm, int kind, int32_t width, int32_t height);
hx_pixelmap* HxPixelmapMatchTyped(hx_pixelmap* pm, int kind, uint8_t type);
hx_pixelmap* HxPixelmapMatchTypedSized(hx_pixelmap* pm, int kind, uint8_t type, int32_t width, int32_t height);
hx_pixelmap* HxPixelmapClone(hx_pixelmap* pm);

hx_error HxPixelmapFill(hx_pixelmap* pm, uint32_t colour);
hx_error HxPixelmapRectangle(hx_pixelmap* pm, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
hx_error HxPixelmapRectangle2(hx_pixelmap* pm, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colourTl,
                              uint32_t colourBr);
hx_error HxPixelmapRectangleFill(hx_pixelmap* pm, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
hx_error HxPixelmapCopy(hx_pixelmap* dst, hx_pixelmap* src);
hx_error HxPixelmapRectangleCopy(hx_pixelmap* dst, int32_t x, int32_t y, hx_pixelmap* src, int32_t sx, int32_t sy,
                                 int32_t w, int32_t h);
hx_error HxPixelmapRectangleStretchCopy(hx_pixelmap* dst, int32_t x, int32_t y, int32_t w, int32_t h,
                                        hx_pixelmap* src, int32_t sx, int32_t sy, int32_t sw, int32_t sh);
hx_error HxPixelmapCopyScaled(hx_pixelmap* dst, hx_pixelmap* src);
hx_error HxPixelmapCopyDirty(hx_pixelmap* dst, hx_pixelmap* src, int32_t x, int32_t y, int32_t w, int32_t h);
hx_error HxPixelmapFillDirty(hx_pixelmap* pm, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
hx_error HxPixelmapDoubleBuffer(hx_pixelmap* screen, hx_pixelmap* back);
hx_error HxPixelmapDoubleBufferDirty(hx_pixelmap* screen, hx_pixelmap* back, int32_t x, int32_t y, int32_t w,
                                     int32_t h);
hx_error HxPixelmapPixelSet(hx_pixelmap* pm, int32_t x, int32_t y, uint32_t colour);
// The pixel's value; 0 when the query fails (outside the pixelmap).
uint32_t HxPixelmapPixelQuery(hx_pixelmap* pm, int32_t x, int32_t y);
hx_error HxPixelmapLine(hx_pixelmap* pm, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour);
hx_error HxPixelmapCopyBits(hx_pixelmap* pm, int32_t x, int32_t y, const uint8_t* bits, int32_t stride,
                            int32_t firstBit, int32_t endBit, int32_t rows, uint32_t colour);
hx_error HxPixelmapText(hx_pixelmap* pm, int32_t x, int32_t y, uint32_t colour, const hx_font* font,
                        const char* text);
hx_error HxPixelmapTextF(hx_pixelmap* pm, int32_t x, int32_t y, uint32_t colour, const hx_font* font,
                         const char* format, ...) __attribute__((format(printf, 6, 7)));
uint16_t HxPixelmapTextWidth(hx_pixelmap* pm, const hx_font* font, const char* text);
uint16_t HxPixelmapTextHeight(hx_pixelmap* pm, const hx_font* font);
uint16_t HxPixelmapPixelBytes(hx_pixelmap* pm);
uint16_t HxPixelmapPixelBits(hx_pixelmap* pm);
uint16_t HxPixelmapChannels(hx_pixelmap* pm);

// Colour tables: the device pixelmap's `CLUT_O` object, when it has one.
// Its class table continues the object slots with the two operations used
// here.
struct hx_clut_dispatch {
    hx_object_dispatch object;                                                                      // 0-12
    hx_error (*entrySet)(hx_object* self, int32_t index, uint32_t colour);                          // 13
    hx_error (*entriesSet)(hx_object* self, int32_t first, int32_t count, const uint32_t* entries); // 14
};
void HxPixelmapPaletteSet(hx_pixelmap* pm, hx_pixelmap* palette);
void HxPixelmapPaletteEntrySet(hx_pixelmap* pm, int32_t index, uint32_t colour);
hx_error HxPixelmapPaletteEntriesSet(hx_pixelmap* pm, int32_t first, int32_t count, const uint32_t* entries);

hx_pixelmap* HxPixelmapDirectLock(hx_pixelmap* pm, hx_bool block);
hx_pixelmap* HxPixelmapDirectUnlock(hx_pixelmap* pm);

// Width in pixels of a text in a font, and of one glyph (no text).
uint32_t HxFontTextWidth(const hx_font* font, const char* text);

// Module begin and end: the module's anchor, its resource classes and the
// image "HXPMAP1".
hx_error HxPixelmapBegin();
hx_error HxPixelmapEnd();
