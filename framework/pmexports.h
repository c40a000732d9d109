// The pixelmap module's export image "HXPMAP1": the memory, generic and null
// methods and the clipping functions that display drivers put into their
// own class tables. One X-macro list in ascending byte order of the
// underscored names (the order HX_EXPORT_IMAGE needs).
#pragma once

#include "framework/memdev.h"

#define HX_PMAP1_EXPORTS(X) \
    X(PixelmapCopyBitsClip) \
    X(PixelmapLineClip) \
    X(PixelmapPointClip) \
    X(PixelmapRectangleClip) \
    X(PixelmapRectangleClipTwo) \
    X(_M_hx_device_pixelmap_gen_copy) \
    X(_M_hx_device_pixelmap_gen_copyBits) \
    X(_M_hx_device_pixelmap_gen_copyDirty) \
    X(_M_hx_device_pixelmap_gen_copyFrom) \
    X(_M_hx_device_pixelmap_gen_copyFromDirty) \
    X(_M_hx_device_pixelmap_gen_copyTo) \
    X(_M_hx_device_pixelmap_gen_copyToDirty) \
    X(_M_hx_device_pixelmap_gen_directLock) \
    X(_M_hx_device_pixelmap_gen_directUnlock) \
    X(_M_hx_device_pixelmap_gen_doubleBuffer) \
    X(_M_hx_device_pixelmap_gen_doubleBufferDirty) \
    X(_M_hx_device_pixelmap_gen_fill) \
    X(_M_hx_device_pixelmap_gen_fillDirty) \
    X(_M_hx_device_pixelmap_gen_flush) \
    X(_M_hx_device_pixelmap_gen_line) \
    X(_M_hx_device_pixelmap_gen_rectangle) \
    X(_M_hx_device_pixelmap_gen_rectangle2) \
    X(_M_hx_device_pixelmap_gen_synchronise) \
    X(_M_hx_device_pixelmap_gen_text) \
    X(_M_hx_device_pixelmap_gen_textBounds) \
    X(_M_hx_device_pixelmap_mem_allocateSub) \
    X(_M_hx_device_pixelmap_mem_copyBits) \
    X(_M_hx_device_pixelmap_mem_copyDirty) \
    X(_M_hx_device_pixelmap_mem_copyFrom) \
    X(_M_hx_device_pixelmap_mem_copyFromDirty) \
    X(_M_hx_device_pixelmap_mem_copyTo) \
    X(_M_hx_device_pixelmap_mem_copyToDirty) \
    X(_M_hx_device_pixelmap_mem_directLock) \
    X(_M_hx_device_pixelmap_mem_directUnlock) \
    X(_M_hx_device_pixelmap_mem_doubleBuffer) \
    X(_M_hx_device_pixelmap_mem_doubleBufferDirty) \
    X(_M_hx_device_pixelmap_mem_fill) \
    X(_M_hx_device_pixelmap_mem_fillDirty) \
    X(_M_hx_device_pixelmap_mem_flush) \
    X(_M_hx_device_pixelmap_mem_line) \
    X(_M_hx_device_pixelmap_mem_match) \
    X(_M_hx_device_pixelmap_mem_originSet) \
    X(_M_hx_device_pixelmap_mem_pixelAddressQuery) \
    X(_M_hx_device_pixelmap_mem_pixelAddressSet) \
    X(_M_hx_device_pixelmap_mem_pixelQuery) \
    X(_M_hx_device_pixelmap_mem_pixelSet) \
    X(_M_hx_device_pixelmap_mem_rectangleCopyFrom) \
    X(_M_hx_device_pixelmap_mem_rectangleCopyTo) \
    X(_M_hx_device_pixelmap_mem_rectangleFill) \
    X(_M_hx_device_pixelmap_mem_rectangleStretchCopyFrom) \
    X(_M_hx_device_pixelmap_mem_rectangleStretchCopyTo) \
    X(_M_hx_device_pixelmap_mem_resize) \
    X(_M_hx_device_pixelmap_mem_rowQuery) \
    X(_M_hx_device_pixelmap_mem_rowSet) \
    X(_M_hx_device_pixelmap_mem_rowSize) \
    X(_M_hx_device_pixelmap_mem_synchronise) \
    X(_M_hx_device_pixelmap_mem_validSource) \
    X(_M_hx_device_pixelmap_null_copyBits) \
    X(_M_hx_device_pixelmap_null_copyDirty) \
    X(_M_hx_device_pixelmap_null_copyFrom) \
    X(_M_hx_device_pixelmap_null_copyFromDirty) \
    X(_M_hx_device_pixelmap_null_copyTo) \
    X(_M_hx_device_pixelmap_null_copyToDirty) \
    X(_M_hx_device_pixelmap_null_doubleBuffer) \
    X(_M_hx_device_pixelmap_null_doubleBufferDirty) \
    X(_M_hx_device_pixelmap_null_fill) \
    X(_M_hx_device_pixelmap_null_fillDirty) \
    X(_M_hx_device_pixelmap_null_pixelAddressQuery) \
    X(_M_hx_device_pixelmap_null_pixelAddressSet) \
    X(_M_hx_device_pixelmap_null_pixelQuery) \
    X(_M_hx_device_pixelmap_null_pixelSet) \
    X(_M_hx_device_pixelmap_null_rectangleCopyFrom) \
    X(_M_hx_device_pixelmap_null_rectangleCopyTo) \
    X(_M_hx_device_pixelmap_null_rectangleFill) \
    X(_M_hx_device_pixelmap_null_rectangleStretchCopyFrom) \
    X(_M_hx_device_pixelmap_null_rectangleStretchCopyTo) \
    X(_M_hx_device_pixelmap_null_resize)
