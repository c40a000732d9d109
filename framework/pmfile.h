// Pixelmap files: textures, palettes and shade tables saved and loaded in
// the datafile format ("FILE_TYPE_PIXELMAP"), one record chunk and one PIXELS
// block per pixelmap, with its palette written just before its pixels.
#pragma once

#include "framework/pixelmap.h"

// The first pixelmap of the file, or null when the file cannot be opened or
// holds none.
hx_pixelmap* HxPixelmapLoad(const char* name);
// Pixelmaps read into the array (at most max); 0 when the file cannot be
// opened. Pixelmaps read before a failure are kept.
int HxPixelmapLoadMany(const char* name, hx_pixelmap** pixelmaps, int max);
// 1, or 0 when the file cannot be written.
int HxPixelmapSave(const char* name, hx_pixelmap* pm);
// n, or 0 when the file cannot be written.
int HxPixelmapSaveMany(const char* name, hx_pixelmap** pixelmaps, int n);

// Bytes of one row as the file stores it: whole bytes, no padding.
uint32_t HxPixelmapFileRowBytes(uint8_t type, uint32_t width);
// Bytes of the pixels of a pixelmap in a file: its rows, or the chain of
// square mip levels width, width/2 .. 1 when mipChain is set. 0 when the
// type is unknown.
uint64_t HxPixelmapFileBytes(uint8_t type, uint32_t width, uint32_t height, bool mipChain);
