// A minimal Smacker ("SMK2") writer for test films and demo data.
//
// FFmpeg reads Smacker but cannot write it, so films for the tests, the
// fuzz seeds and the demo data come from here. The output is plain but
// complete: a header, frame sizes and types, the four Huffman trees (MMAP,
// MCLR, FULL, TYPE), and per frame an optional palette chunk, an optional
// audio chunk of 16-bit mono PCM (unpacked), and the video bit stream.
//
// Video: every 4 x 4 block is coded as a skip (unchanged since the previous
// frame), a fill (one colour) or a full block (16 pixels); runs of up to 59
// blocks of one kind share one type code. Mono blocks are never written, so
// the MMAP and MCLR trees are absent. The byte trees are complete 8-level
// trees (every byte value, 8 bits each); the 16-bit "big" trees are
// balanced trees over the values a film uses.
//
// Width and height must be multiples of 4. What this writer does not do:
// packed (compressed) audio, interlaced or doubled flags, ring frames.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace smk {

// 256 entries of red, green, blue, 8 bits each. Smacker keeps 6 bits per
// component: the writer stores c >> 2, and a reader expands that back by
// repeating its top bits: (v << 2) | (v >> 4) (see Expand6).
using Palette = std::array<uint8_t, 768>;

struct Frame {
    std::vector<uint8_t> pixels;    // width x height palette indices
    std::optional<Palette> palette; // a palette chunk on this frame (frame 0 needs one)
    std::vector<int16_t> audio;     // mono samples for this frame (audio films only)
};

struct Film {
    int width = 0;
    int height = 0;
    // Time a frame, in units of 10 microseconds (10000 = 10 frames a second).
    int32_t frameTime = 10000;
    // Samples a second of the audio track; 0 writes no audio track.
    uint32_t audioRate = 0;
    std::vector<Frame> frames;
};

// The bytes of a Smacker file; empty when the film is not one the writer
// can express (sizes not multiples of 4, a frame of the wrong size, frame 0
// without a palette, no frames).
std::vector<uint8_t> Write(const Film& film);

// The 8-bit component a reader gives for a stored 6-bit one.
constexpr uint8_t Expand6(uint8_t sixBits)
{
    return static_cast<uint8_t>(sixBits << 2 | sixBits >> 4);
}
// What an 8-bit component becomes after a round trip through a file.
constexpr uint8_t RoundTrip(uint8_t component)
{
    return Expand6(static_cast<uint8_t>(component >> 2));
}

} // namespace smk
