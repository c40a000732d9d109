// The loaders behind the resource types, and their size queries.
//
// A size query tells, at registration, how many pool bytes the loader will
// need (0 when the file is missing or unreadable). A loader fills the pool
// block it is given (or allocates nothing when its size is 0) and returns the
// data the record keeps, or null; it never writes past the block. The result
// size is the number of bytes of the block it used.
#pragma once

#include "system/palette.h"

#include <cstdint>
#include <span>
#include <vector>

using ResLoader = void* (*)(const char* name, std::span<uint8_t> block, int32_t* resultSize);
using ResSizeQuery = int32_t (*)(const char* name);
// Frees the data of a type whose loader keeps it outside the pool, when the
// record lets it go.
using ResRelease = void (*)(void* data);

// Reads a whole loose data file (leading '\' skipped). False when it does not
// open or is larger than `limit` bytes.
bool ResReadFile(const char* name, std::vector<uint8_t>& out, std::size_t limit = 64u << 20);
// The length of a loose data file, -1 when it does not open.
long ResFileLength(const char* name);

// Pictures, palettes and colour maps.
int32_t IffRasterSize(const char* name);
void* IffRasterLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);
void* IffPaletteLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);
void* PcxRasterLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);
void* PcxPaletteLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);
void* ColourMapLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);
// Stores a 65,536-byte colour map to a file; false when it cannot be written.
bool ColourMapSave(const char* name, std::span<const uint8_t> map);
constexpr std::size_t kColourMapSize = 65536;

// Decodes a PCX file into an 8-bit picture of at most maxWidth x maxHeight
// (clipped; rows are the clipped width apart) and its palette into `palette`.
// Gives the decoded size; false when the file is missing or not a picture.
bool PcxDecodeFile(const char* name, uint8_t* pixels, int maxWidth, int maxHeight,
                   GamePalette* palette, int* width, int* height);

// A screen picture (the loading and end screens) is a 640 x 480 PCX: its
// header, at worst two bytes a pixel of run-length code, and its palette.
// Four times that is read.
constexpr std::size_t kScreenPictureMaxBytes = 4 * (128 + 2 * 640 * 480 + 769);
// Decodes a screen picture into `pixels` (width x height, rows `width` bytes
// apart; what the picture does not cover is left as it was) and its palette
// into `palette`, setting *withPalette. A picture that cannot be read, is not
// a PCX or ends before its palette is named on the debug output with why.
// False when nothing was decoded.
bool DecodeScreenPicture(const char* name, uint8_t* pixels, int width, int height, GamePalette* palette,
                         bool* withPalette);

// Fonts and texts.
int32_t FntFontSize(const char* name);
void* FntFontLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);
int32_t FonFontSize(const char* name);
void* FonFontLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);
int32_t VectorFontSize(const char* name);
void* VectorFontLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);
int32_t TextFileSize(const char* name);
void* TextLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);

// Sounds: one sound slot holding the WAV file (see system/sound.h).
int32_t SoundSize(const char* name);
void* SoundLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);

// 3D models: read through the 3D framework's model loaders, which are not part
// of this build yet; until they are, these report and return null.
void* ModelLoadUnavailable(const char* name, std::span<uint8_t> block, int32_t* resultSize);
// LightWave shapes (view/lwoloader.h): models and wireframes, kept outside the pool.
void* LwoModelLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);
void* LwoWireLoad(const char* name, std::span<uint8_t> block, int32_t* resultSize);
void LwoWireRelease(void* data);
