// WAV files: reading and writing RIFF WAVE files.
//
// Layout: "RIFF" <u32 size> "WAVE", then chunks of a 4-byte id, a u32
// little-endian size and the body padded to an even length. Read: "fmt "
// (16 bytes; a non-PCM format of 18 or more adds a u16 extra size and the
// extra bytes) and "data". Written, in order: "fmt " (16 bytes for PCM,
// else 18 + extra size), "fact" (the sample count, -1 until the file is
// finished), "data".
//
// Every routine returns 0 on success or one of the result codes below. A
// format record that no sound can have (no channels, rate or block; for the
// plain sample formats no bits, or a block that is not one sample of every
// channel) is a damaged format chunk. A "data" chunk that claims more bytes
// than the file holds ends early: reading it gives kWavDataEnded. Files are
// written to a temporary file that replaces the target only when finished.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

enum WavResult : int {
    kWavOk = 0,
    kWavNoMemory = 0xE000,
    kWavCannotOpen = 0xE100,
    kWavNotWave = 0xE101, // not a WAVE file, or a damaged format chunk
    kWavReadError = 0xE102,
    kWavDataEnded = 0xE103, // the data ended before the requested length
    kWavCannotWrite = 0xE104,
    kWavTooLarge = 0xE105,   // data larger than a sound read whole may be
    kWavChunkNotFound = 265, // the multimedia file layer's "chunk not found"
};

// A sound read whole holds at most this many bytes of data (a minute of
// 44 kHz 16-bit stereo is about 10 MB).
// The file itself may hold this much more (its header and other chunks).
constexpr uint32_t kWavLoadMaxBytes = 64u << 20;
constexpr uint32_t kWavHeaderRoom = 1u << 20;

// What a result code means, in words fit to follow a file's name; an open
// that failed is told by platform::DataFileFailure().
const char* WavResultText(WavResult result);

// Format tags whose block is one sample of every channel.
constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatFloat = 3;
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// The format: the 16 bytes of "fmt ", the extra size, then the extra bytes
// (WaveFormatExtra). One block of sizeof(WaveFormat) + extraSize bytes.
struct WaveFormat {
    uint16_t formatTag; // 1 for PCM
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraSize;
};

inline uint8_t* WaveFormatExtra(WaveFormat* format) { return reinterpret_cast<uint8_t*>(format + 1); }
inline const uint8_t* WaveFormatExtra(const WaveFormat* format)
{
    return reinterpret_cast<const uint8_t*>(format + 1);
}

// A chunk: its id, the size of its body, the form type (RIFF chunks only) and
// where its body starts in the file.
struct RiffChunk {
    uint32_t id = 0;
    uint32_t size = 0;
    uint32_t form = 0;
    uint32_t dataOffset = 0;
};

// An open WAV file, for reading or for writing.
struct WavFile {
    std::FILE* file = nullptr;
    uint64_t length = 0; // bytes in the file (reading)
    bool writing = false;
    uint32_t factOffset = 0; // body of the "fact" chunk (writing)
    std::string path;        // the target (writing)
    std::string tempPath;    // where the bytes go until WavFinish
};

WavResult WavOpen(const char* path, WavFile** file, WaveFormat** format, RiffChunk* riff);
// As WavOpen, over a file already open for reading; takes ownership of it.
WavResult WavOpenStream(std::FILE* stream, WavFile** file, WaveFormat** format, RiffChunk* riff);
WavResult WavFindData(WavFile* file, RiffChunk* data, const RiffChunk* riff);
// True when the file holds every byte the data chunk claims.
bool WavDataInFile(const WavFile* file, const RiffChunk* data);
// Reads min(count, what the chunk has left); the chunk's size goes down by
// what was read. kWavDataEnded when the file ends first.
WavResult WavRead(WavFile* file, uint32_t count, uint8_t* buffer, RiffChunk* data, uint32_t* bytesRead);
// Frees the format and closes the file; an unfinished written file is dropped.
WavResult WavClose(WavFile* file, WaveFormat* format);

WavResult WavCreate(const char* path, WavFile** file, const WaveFormat* format, RiffChunk* fmt,
                    RiffChunk* riff);
WavResult WavStartData(WavFile* file, RiffChunk* data);
WavResult WavWrite(WavFile* file, uint32_t count, const uint8_t* bytes, uint32_t* written);
// Closes the chunks, writes the sample count into "fact", and puts the file
// in place. The file is closed either way.
WavResult WavFinish(WavFile* file, RiffChunk* data, RiffChunk* riff, uint32_t sampleCount);
// Copies the "DISP" and "plst" chunks of a file being read into one being written.
WavResult WavCopyExtraChunks(WavFile* source, const RiffChunk* sourceRiff, WavFile* destination);

// Reads a whole file: the data (free with std::free) and its format (free
// with WavFreeFormat). A data chunk that runs past the end of the file gives
// kWavDataEnded, and one over kWavLoadMaxBytes kWavTooLarge, before anything
// is allocated for it.
WavResult WavLoad(const char* path, uint32_t* length, WaveFormat** format, uint8_t** data);
WavResult WavSave(const char* path, uint32_t byteCount, uint32_t sampleCount, const WaveFormat* format,
                  const uint8_t* bytes);
void WavFreeFormat(WaveFormat* format);
