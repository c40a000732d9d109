// RESMAN: every data file the game loads by name.
//
// Scripts and code register a resource by name and conversion type; the data
// is loaded on first request into one pool through the loader of its type.
// The pool is a bump allocator with a mark: what start-up loads lies below the
// mark and stays; what a mission loads lies above it and is released at once
// when the mission ends. Records are looked up by a name hash, then the name
// (ignoring case and a leading '\') and the type.
#pragma once

#include "system/palette.h"

#include <cstddef>
#include <cstdint>

// Conversion types: the script keyword's number minus one.
enum class ResType : int32_t {
    Sized = 0,        // a zeroed block from ResAllocSized
    LbmPalette = 1,   // "LBM2PALETTE"
    LbmRaster = 2,    // "LBM2RAST"
    RasterHeader = 3, // no keyword: a bare raster header, fresh on every request
    PcxPalette = 4,   // "PCX2PALETTE"
    PcxRaster = 5,    // "PCX2RAST"
    PcxBackdrop = 6,  // "PCX2BACKRAST": decoded into the shared backdrop
    ColourMap = 7,    // "CM2COLOURMAP"
    FntFont = 8,      // "FNT2RFONT"
    FonFont = 9,      // "FON2RFONT"
    VectorFont = 10,  // "RVF2VFONT"
    AscModel = 11,    // "ASC2HXM"
    DatModel = 12,    // "DAT2HXM"
    Avatar = 13,      // "SCR2AVT": not a loadable type
    Text = 14,        // "TXT2TXT"
    LwoModel = 15,    // "LWO2HXM"
    LwoWire = 16,     // "LWO2WRI"
    Video = 17,       // "HXVIDEO": registered, never loaded
    Avi = 18,         // "AVI": registered, never loaded
    Sound = 19,       // "WAV2SND"
};

constexpr int kResRecords = 500;
constexpr std::size_t kResNameSize = 128; // names of up to 127 characters
constexpr std::size_t kResPoolCap = 4'100'000;
constexpr uint64_t kResMemoryMargin = 1'000'000; // left to the rest of the system
constexpr std::size_t kResPoolAlign = 16;
constexpr int kBackdropWidth = 640;
constexpr int kBackdropHeight = 480;

// Library rows: which slab library serves a resource (see slab.h).
constexpr int kResRowModels = 6;
constexpr int kResRowTexts = 9;
constexpr int kResRowVideo = 11;
constexpr int kResRowSounds = 13;

struct Resource {
    void* data;              // loaded data, null when not loaded
    char name[kResNameSize]; // as registered, leading '\' removed
    uint32_t hash;
    int32_t size; // pool bytes reserved before the loader runs
    ResType type;
    int32_t libraryRow;
    uint8_t modelFlag;  // 255 for loaded 3D models and sized blocks
    uint8_t reloadFlag; // 255: run the loader on every request
};

// Sets the pool up; returns its size, 0 when no memory is left. Calling it
// again starts over with an empty pool.
std::size_t ResInit();
// Frees the pool and the backdrop (end of the program, and tests).
void ResShutdown();

// The record of that name and type, found or new. Null (after a report) when
// the name is too long, the type is unknown or all records are in use.
Resource* ResRegister(const char* name, ResType type);
// The data, loading it when needed; null on failure or for a null record.
void* ResGet(Resource* record);
Resource* ResRegisterLoad(const char* name, ResType type);
Resource* ResLoadNamed(const char* name, ResType type);
// A new record "Sized" with a zeroed pool block; null when the pool is full.
Resource* ResAllocSized(int libraryRow, int32_t size);
// Whether the file (leading '\' skipped) opens for reading.
bool ResFileExists(const char* path);

void ResMark();
void ResReleaseToMark();

// Forgets the data so the next request loads again (not for models and sounds).
void ResDropData(Resource* record);
void ResSetModelFlag(Resource* record);
void ResClearModelFlag(Resource* record);

// The name hash (case and '/' folded; the caller drops a leading '\').
uint32_t ResNameHash(const char* name);

// State for tests, benchmarks and diagnostics.
int ResRecordCount();
std::size_t ResPoolUsed();
std::size_t ResPoolSize();

// The shared backdrop that "PCX2BACKRAST" pictures decode into, and its palette.
uint8_t* ResBackdropPixels();
const GamePalette& ResBackdropPalette();
