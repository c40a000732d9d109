// The memory device class: pixelmaps whose pixels lie in ordinary memory.
// Also the generic methods that any device class can put into its table
// (each built from the class's own simpler methods), the null methods that
// do nothing, and the clipping functions. All of them are entries of the
// export image "HXPMAP1", so loaded display drivers can fill their own
// class tables with them.
#pragma once

#include "framework/pixelmap.h"

// The memory class table.
extern const hx_device_pixelmap_dispatch HxMemoryPixelmapClass;

// Address of pixel (x, y) (origin already added) of a memory pixelmap.
uint8_t* HxPixelmapPixelAddress(const hx_pixelmap* pm, int32_t x, int32_t y);
// Bytes per pixel as the memory class addresses them: bits / 8 (0 for the
// sub-byte types, which the block loops leave alone).
int HxPixelmapAddressBytes(const hx_pixelmap* pm);
// Row bytes of a memory pixelmap of that type and width: rows rounded up to
// the type's alignment; 0 when the row would not fit a 16-bit row_bytes.
int32_t HxPixelmapRowBytesFor(uint8_t type, uint32_t width);
// The whole pixelmap as an origin-relative rectangle, and its top-left point.
hx_rectangle HxPixelmapWholeRect(const hx_pixelmap* pm);
hx_point HxPixelmapTopLeft(const hx_pixelmap* pm);
// The module's anchor resource (null outside begin/end).
void* HxPixelmapAnchor();

// Resource classes of the module.
enum : uint8_t {
    HX_RES_PIXELMAP = 2,
    HX_RES_PIXELS = 3,
};

// ---- clipping ------------------------------------------------------------------
// Points and rectangles come origin-relative; results are in pixelmap
// coordinates (origin added), covering 0 .. width-1 and 0 .. height-1.

// 2 when the point is inside, 0 when outside; out is the shifted point.
int PixelmapPointClip(hx_point* out, const hx_point* p, const hx_pixelmap* pm);
// 1 and the clipped segment, or 0 when none of it is inside.
int PixelmapLineClip(hx_point* outStart, hx_point* outEnd, const hx_point* start, const hx_point* end,
                     const hx_pixelmap* pm);
// 1 and the clipped rectangle, or 0 when it is empty.
int PixelmapRectangleClip(hx_rectangle* out, const hx_rectangle* r, const hx_pixelmap* pm);
// Clips a source rectangle and a destination point together against both
// pixelmaps: 1 and both clipped, or 0.
int PixelmapRectangleClipTwo(hx_rectangle* outSource, hx_point* outDest, const hx_rectangle* source,
                             const hx_point* dest, const hx_pixelmap* destPm, const hx_pixelmap* sourcePm);
// Clips the destination point of a bit block and moves the bits rectangle's
// left and top by what was cut: 1 and both clipped, or 0.
int PixelmapCopyBitsClip(hx_rectangle* outBits, hx_point* outPoint, const hx_rectangle* bits, const hx_point* p,
                         const hx_pixelmap* pm);

// ---- memory class methods ------------------------------------------------------
hx_error _M_hx_device_pixelmap_mem_validSource(hx_pixelmap* self, hx_pixelmap* source);
hx_error _M_hx_device_pixelmap_mem_resize(hx_pixelmap* self, int32_t width, int32_t height);
hx_error _M_hx_device_pixelmap_mem_match(hx_pixelmap* self, hx_pixelmap** out, hx_token_value* tv);
hx_error _M_hx_device_pixelmap_mem_allocateSub(hx_pixelmap* self, hx_pixelmap** out, const hx_rectangle* r);
hx_error _M_hx_device_pixelmap_mem_copyTo(hx_pixelmap* self, hx_pixelmap* source);
hx_error _M_hx_device_pixelmap_mem_copyFrom(hx_pixelmap* self, hx_pixelmap* dest);
hx_error _M_hx_device_pixelmap_mem_fill(hx_pixelmap* self, uint32_t colour);
hx_error _M_hx_device_pixelmap_mem_doubleBuffer(hx_pixelmap* self, hx_pixelmap* back);
hx_error _M_hx_device_pixelmap_mem_copyDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r, int n);
hx_error _M_hx_device_pixelmap_mem_copyToDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r, int n);
hx_error _M_hx_device_pixelmap_mem_copyFromDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r,
                                                 int n);
hx_error _M_hx_device_pixelmap_mem_fillDirty(hx_pixelmap* self, uint32_t colour, const hx_rectangle* r, int n);
hx_error _M_hx_device_pixelmap_mem_doubleBufferDirty(hx_pixelmap* self, hx_pixelmap* back, const hx_rectangle* r,
                                                     int n);
hx_error _M_hx_device_pixelmap_mem_rectangleCopyTo(hx_pixelmap* self, const hx_point* p, hx_pixelmap* source,
                                                   const hx_rectangle* r);
hx_error _M_hx_device_pixelmap_mem_rectangleCopyFrom(hx_pixelmap* self, const hx_point* p, hx_pixelmap* dest,
                                                     const hx_rectangle* r);
hx_error _M_hx_device_pixelmap_mem_rectangleStretchCopyTo(hx_pixelmap* self, const hx_rectangle* d,
                                                          hx_pixelmap* source, const hx_rectangle* s);
hx_error _M_hx_device_pixelmap_mem_rectangleStretchCopyFrom(hx_pixelmap* self, const hx_rectangle* d,
                                                            hx_pixelmap* dest, const hx_rectangle* s);
hx_error _M_hx_device_pixelmap_mem_rectangleFill(hx_pixelmap* self, const hx_rectangle* r, uint32_t colour);
hx_error _M_hx_device_pixelmap_mem_pixelSet(hx_pixelmap* self, const hx_point* p, uint32_t colour);
hx_error _M_hx_device_pixelmap_mem_line(hx_pixelmap* self, const hx_point* a, const hx_point* b, uint32_t colour);
hx_error _M_hx_device_pixelmap_mem_copyBits(hx_pixelmap* self, const hx_point* p, const uint8_t* bits,
                                            int32_t stride, const hx_rectangle* r, uint32_t colour);
hx_error _M_hx_device_pixelmap_mem_rowSize(hx_pixelmap* self, uint32_t* size);
hx_error _M_hx_device_pixelmap_mem_rowQuery(hx_pixelmap* self, void* buffer, uint32_t bufferSize, int32_t row);
hx_error _M_hx_device_pixelmap_mem_rowSet(hx_pixelmap* self, const void* buffer, uint32_t bufferSize, int32_t row);
hx_error _M_hx_device_pixelmap_mem_pixelQuery(hx_pixelmap* self, uint32_t* out, const hx_point* p);
hx_error _M_hx_device_pixelmap_mem_pixelAddressQuery(hx_pixelmap* self, void** address, uint32_t* qualifier,
                                                     const hx_point* p);
hx_error _M_hx_device_pixelmap_mem_pixelAddressSet(hx_pixelmap* self, void* address, const uint32_t* qualifier);
hx_error _M_hx_device_pixelmap_mem_originSet(hx_pixelmap* self, const hx_point* p);
hx_error _M_hx_device_pixelmap_mem_flush(hx_pixelmap* self);
hx_error _M_hx_device_pixelmap_mem_synchronise(hx_pixelmap* self, hx_token mode);
hx_error _M_hx_device_pixelmap_mem_directLock(hx_pixelmap* self, hx_bool block);
hx_error _M_hx_device_pixelmap_mem_directUnlock(hx_pixelmap* self);

// ---- generic methods -----------------------------------------------------------
hx_error _M_hx_device_pixelmap_gen_copy(hx_pixelmap* self, hx_pixelmap* source);
hx_error _M_hx_device_pixelmap_gen_copyTo(hx_pixelmap* self, hx_pixelmap* source);
hx_error _M_hx_device_pixelmap_gen_copyFrom(hx_pixelmap* self, hx_pixelmap* dest);
hx_error _M_hx_device_pixelmap_gen_fill(hx_pixelmap* self, uint32_t colour);
hx_error _M_hx_device_pixelmap_gen_doubleBuffer(hx_pixelmap* self, hx_pixelmap* back);
hx_error _M_hx_device_pixelmap_gen_copyDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r, int n);
hx_error _M_hx_device_pixelmap_gen_copyToDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r, int n);
hx_error _M_hx_device_pixelmap_gen_copyFromDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r,
                                                 int n);
hx_error _M_hx_device_pixelmap_gen_fillDirty(hx_pixelmap* self, uint32_t colour, const hx_rectangle* r, int n);
hx_error _M_hx_device_pixelmap_gen_doubleBufferDirty(hx_pixelmap* self, hx_pixelmap* back, const hx_rectangle* r,
                                                     int n);
hx_error _M_hx_device_pixelmap_gen_rectangle(hx_pixelmap* self, const hx_rectangle* r, uint32_t colour);
hx_error _M_hx_device_pixelmap_gen_rectangle2(hx_pixelmap* self, const hx_rectangle* r, uint32_t colourTl,
                                              uint32_t colourBr);
hx_error _M_hx_device_pixelmap_gen_line(hx_pixelmap* self, const hx_point* a, const hx_point* b, uint32_t colour);
hx_error _M_hx_device_pixelmap_gen_copyBits(hx_pixelmap* self, const hx_point* p, const uint8_t* bits,
                                            int32_t stride, const hx_rectangle* r, uint32_t colour);
hx_error _M_hx_device_pixelmap_gen_text(hx_pixelmap* self, const hx_point* p, const hx_font* font,
                                        const char* text, uint32_t colour);
hx_error _M_hx_device_pixelmap_gen_textBounds(hx_pixelmap* self, hx_rectangle* out, const hx_font* font,
                                              const char* text);
hx_error _M_hx_device_pixelmap_gen_flush(hx_pixelmap* self);
hx_error _M_hx_device_pixelmap_gen_synchronise(hx_pixelmap* self, hx_token mode);
hx_error _M_hx_device_pixelmap_gen_directLock(hx_pixelmap* self, hx_bool block);
hx_error _M_hx_device_pixelmap_gen_directUnlock(hx_pixelmap* self);

// ---- null methods: do nothing, return 0 ---------------------------------------------
hx_error _M_hx_device_pixelmap_null_resize(hx_pixelmap* self, int32_t width, int32_t height);
hx_error _M_hx_device_pixelmap_null_copyTo(hx_pixelmap* self, hx_pixelmap* source);
hx_error _M_hx_device_pixelmap_null_copyFrom(hx_pixelmap* self, hx_pixelmap* dest);
hx_error _M_hx_device_pixelmap_null_fill(hx_pixelmap* self, uint32_t colour);
hx_error _M_hx_device_pixelmap_null_doubleBuffer(hx_pixelmap* self, hx_pixelmap* back);
hx_error _M_hx_device_pixelmap_null_copyDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r, int n);
hx_error _M_hx_device_pixelmap_null_copyToDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r,
                                                int n);
hx_error _M_hx_device_pixelmap_null_copyFromDirty(hx_pixelmap* self, hx_pixelmap* other, const hx_rectangle* r,
                                                  int n);
hx_error _M_hx_device_pixelmap_null_fillDirty(hx_pixelmap* self, uint32_t colour, const hx_rectangle* r, int n);
hx_error _M_hx_device_pixelmap_null_doubleBufferDirty(hx_pixelmap* self, hx_pixelmap* back, const hx_rectangle* r,
                                                      int n);
hx_error _M_hx_device_pixelmap_null_rectangleCopyTo(hx_pixelmap* self, const hx_point* p, hx_pixelmap* source,
                                                    const hx_rectangle* r);
hx_error _M_hx_device_pixelmap_null_rectangleCopyFrom(hx_pixelmap* self, const hx_point* p, hx_pixelmap* dest,
                                                      const hx_rectangle* r);
hx_error _M_hx_device_pixelmap_null_rectangleStretchCopyTo(hx_pixelmap* self, const hx_rectangle* d,
                                                           hx_pixelmap* source, const hx_rectangle* s);
hx_error _M_hx_device_pixelmap_null_rectangleStretchCopyFrom(hx_pixelmap* self, const hx_rectangle* d,
                                                             hx_pixelmap* dest, const hx_rectangle* s);
hx_error _M_hx_device_pixelmap_null_rectangleFill(hx_pixelmap* self, const hx_rectangle* r, uint32_t colour);
hx_error _M_hx_device_pixelmap_null_pixelSet(hx_pixelmap* self, const hx_point* p, uint32_t colour);
hx_error _M_hx_device_pixelmap_null_copyBits(hx_pixelmap* self, const hx_point* p, const uint8_t* bits,
                                             int32_t stride, const hx_rectangle* r, uint32_t colour);
hx_error _M_hx_device_pixelmap_null_pixelQuery(hx_pixelmap* self, uint32_t* out, const hx_point* p);
hx_error _M_hx_device_pixelmap_null_pixelAddressQuery(hx_pixelmap* self, void** address, uint32_t* qualifier,
                                                      const hx_point* p);
hx_error _M_hx_device_pixelmap_null_pixelAddressSet(hx_pixelmap* self, void* address, const uint32_t* qualifier);
