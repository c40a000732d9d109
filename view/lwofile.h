// LightWave objects (IFF form "LWOB"): the file image, the chunk walk and the
// readings of PNTS, POLS, SRFS and SURF that the shape loaders share. What
// the loaders make of them (models, wireframes, boxes) is lwoloader.cpp's.
//
// Layout, every number big-endian:
//   "FORM", u32 length L, then L bytes: the form type "LWOB" and chunks.
//   Chunk: 4-byte id, u32 length, body; the next chunk follows the body
//   (no pad byte is added to odd lengths).
//   PNTS: points of three IEEE floats x, y, z; count = length / 12.
//   POLS: polygons of u16 vertex count n, n u16 point indices, i16 surface
//         (1-based into SRFS). A negative surface marks a polygon with detail
//         polygons: an i16 count of them follows, each a polygon as above.
//   SRFS: surface names, NUL-terminated and NUL-padded.
//   SURF: a name (NUL-terminated, padded to an even length), then
//         sub-chunks {4-byte id, u16 length, body} to the end of the chunk.
//
// Every step of every walk is checked against the end of what holds it: a
// chunk or sub-chunk running past its container ends the walk and is
// reported, never read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct LwoChunk {
    char id[4];
    const uint8_t* data;
    uint32_t size;
    bool Is(const char* four) const;
};

struct LwoFile {
    std::vector<uint8_t> body; // the form's body: form type, then chunks
    std::vector<LwoChunk> chunks;
    const LwoChunk* Find(const char* id) const; // the first chunk of that id, or null
};

enum class LwoStatus {
    Ok,
    Missing,   // the file is not there
    Refused,   // it is there but does not open (not a regular file, no permission)
    NoHeader,  // shorter than the 8-byte form header
    NoMemory,  // a form length (or a file) larger than a loader would hold
    Truncated, // a chunk runs past the end of the form
};

constexpr uint32_t kLwoMaxFormSize = 64u << 20;
constexpr int kLwoMaxSurfaces = 255;             // the surface table has 256 entries; 0 is unused
constexpr std::size_t kLwoSurfaceNameSize = 256; // names of up to 255 characters

// Reads a whole object through the slab library "shapes" (a loose file when
// the library lacks it). `what` receives a short description of a failure.
LwoStatus LwoReadFile(const char* name, LwoFile* out, std::string* what);
// Takes the bytes of a whole file ("FORM", length, body). The body is the
// form length, cut to what the bytes hold.
LwoStatus LwoParse(std::span<const uint8_t> file, LwoFile* out, std::string* what);

// Points.
struct LwoPoint {
    float x, y, z;
};
uint32_t LwoPointCount(const LwoChunk* pnts);
LwoPoint LwoPointAt(const LwoChunk& pnts, uint32_t index); // index below the count

// Polygons, one at a time in file order. Detail polygons are stepped over
// with the polygon that carries them.
struct LwoPolygon {
    const uint8_t* indices; // count big-endian u16 point numbers
    uint16_t count;
    int16_t surface; // as stored: 0 none, negative: the polygon had details
    uint16_t Index(int k) const;
};
class LwoPolygonReader {
public:
    explicit LwoPolygonReader(const LwoChunk* pols);
    // The next polygon; false at the end of the chunk or when the next
    // polygon runs past it (then Truncated() is true).
    bool Next(LwoPolygon* polygon);
    bool Truncated() const { return truncated_; }

private:
    const uint8_t* at_;
    const uint8_t* end_;
    bool truncated_ = false;
};

// Surface names from SRFS: a new name starts at every non-NUL byte that
// follows a NUL. At most kLwoMaxSurfaces names, each cut to 255 characters;
// `dropped` (when given) counts the names past the limit.
std::vector<std::string> LwoSurfaceNames(const LwoChunk* srfs, int* dropped = nullptr);

// A SURF chunk: its name (cut like SRFS names) and its sub-chunks.
struct LwoSubChunk {
    char id[4];
    const uint8_t* data;
    uint16_t size;
    bool Is(const char* four) const;
};
struct LwoSurf {
    std::string name;
    std::vector<LwoSubChunk> subChunks;
    bool cut = false; // a sub-chunk ran past the chunk; it and the rest are dropped
};
LwoSurf LwoReadSurf(const LwoChunk& surf);

float LwoFloat(const uint8_t* p); // a big-endian IEEE float
