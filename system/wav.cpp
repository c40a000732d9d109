// WAV files: the RIFF chunk walker, the readers and the writers. See wav.h.
#include "system/wav.h"

#include "platform/files.h"
#include "system/res/bytes.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t FourCC(const char (&id)[5])
{
    return static_cast<uint32_t>(static_cast<uint8_t>(id[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(id[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(id[3])) << 24;
}
constexpr uint32_t kRiff = FourCC("RIFF");
constexpr uint32_t kWave = FourCC("WAVE");
constexpr uint32_t kFmt = FourCC("fmt ");
constexpr uint32_t kFact = FourCC("fact");
constexpr uint32_t kData = FourCC("data");
constexpr uint32_t kDisp = FourCC("DISP");
constexpr uint32_t kPlst = FourCC("plst");
constexpr std::size_t kFormatBytes = 16;
// Chunk bodies of odd length are followed by this one pad byte.
constexpr uint8_t kPadByte = 0;

bool Seek(std::FILE* f, uint64_t offset)
{
    return offset <= static_cast<uint64_t>(INT32_MAX) && std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0;
}

uint64_t RiffEnd(const WavFile* file, const RiffChunk* riff)
{
    uint64_t end = static_cast<uint64_t>(riff->dataOffset) + riff->size;
    return end < file->length ? end : file->length;
}

// Walks the chunks between `start` and `end` for the first with id `want`
// (any id when want is 0). On success the file is at the chunk's body; the
// chunk's size is capped at `end` unless `declared` asks for the size its
// header claims.
enum class ChunkSize {
    Capped,
    Declared
};
WavResult FindChunk(WavFile* file, uint64_t start, uint64_t end, uint32_t want, RiffChunk* chunk,
                    ChunkSize sizing = ChunkSize::Capped)
{
    uint64_t pos = start;
    while (pos + 8 <= end) {
        uint8_t header[8];
        if (!Seek(file->file, pos) || std::fread(header, 1, 8, file->file) != 8)
            return kWavReadError;
        uint32_t id = res::GetU32LE(header);
        uint64_t size = res::GetU32LE(header + 4);
        uint64_t body = pos + 8;
        if (want == 0 || id == want) {
            chunk->id = id;
            chunk->size = static_cast<uint32_t>(sizing == ChunkSize::Declared || size < end - body ? size : end - body);
            chunk->form = 0;
            chunk->dataOffset = static_cast<uint32_t>(body);
            return kWavOk;
        }
        pos = body + size + (size & 1);
    }
    return kWavChunkNotFound;
}

bool WriteBytes(WavFile* file, const void* bytes, std::size_t n)
{
    return std::fwrite(bytes, 1, n, file->file) == n;
}

bool WriteChunkHeader(WavFile* file, uint32_t id, uint32_t size)
{
    uint8_t header[8];
    res::PutU32LE(header, id);
    res::PutU32LE(header + 4, size);
    return WriteBytes(file, header, 8);
}

bool PatchU32(WavFile* file, uint64_t offset, uint32_t value)
{
    uint8_t bytes[4];
    res::PutU32LE(bytes, value);
    return Seek(file->file, offset) && WriteBytes(file, bytes, 4);
}

// Every block this module hands out or keeps (the open file's record, the
// format, the loaded data) comes from one allocator, the C heap, so that a
// caller frees any of them with std::free and this module never mixes
// families.
void* Allocate(std::size_t size)
{
    return std::calloc(1, size ? size : 1);
}

WavFile* NewWavFile()
{
    void* block = Allocate(sizeof(WavFile));
    return block ? new (block) WavFile : nullptr;
}

void Discard(WavFile* file)
{
    if (!file)
        return;
    if (file->file)
        std::fclose(file->file);
    if (file->writing && !file->tempPath.empty())
        std::remove(file->tempPath.c_str());
    file->~WavFile();
    std::free(file);
}

// The format record's fields that no sound can have: no channels, no rate,
// no block; for the plain sample formats (integer PCM, float, extensible)
// also no bits, or a block that is not one sample of every channel.
bool PossibleFormat(const WaveFormat& f)
{
    if (f.channels == 0 || f.samplesPerSec == 0 || f.blockAlign == 0)
        return false;
    const bool plain = f.formatTag == kWaveFormatPcm || f.formatTag == kWaveFormatFloat ||
                       f.formatTag == kWaveFormatExtensible;
    return !plain || (f.bitsPerSample != 0 && f.blockAlign == f.channels * ((f.bitsPerSample + 7) / 8));
}

// Reads the "RIFF" header and the format of an open file. On success the
// format is in `*formatOut`; on failure nothing is left to free.
WavResult ReadHeaderAndFormat(WavFile* file, WaveFormat** formatOut, RiffChunk* riff)
{
    std::FILE* stream = file->file;
    uint8_t header[12];
    if (!Seek(stream, 0) || std::fread(header, 1, 12, stream) != 12 || res::GetU32LE(header) != kRiff ||
        res::GetU32LE(header + 8) != kWave)
        return kWavNotWave;
    uint64_t size = res::GetU32LE(header + 4);
    riff->id = kRiff;
    riff->size = static_cast<uint32_t>(size < file->length - 8 ? size : file->length - 8);
    riff->form = kWave;
    riff->dataOffset = 8;

    RiffChunk fmt;
    WavResult result = FindChunk(file, 12, RiffEnd(file, riff), kFmt, &fmt);
    if (result != kWavOk)
        return result;
    if (fmt.size < kFormatBytes)
        return kWavNotWave;
    uint8_t bytes[kFormatBytes + 2];
    if (std::fread(bytes, 1, kFormatBytes, stream) != kFormatBytes)
        return kWavReadError;
    WaveFormat f = {};
    f.formatTag = res::GetU16LE(bytes);
    f.channels = res::GetU16LE(bytes + 2);
    f.samplesPerSec = res::GetU32LE(bytes + 4);
    f.avgBytesPerSec = res::GetU32LE(bytes + 8);
    f.blockAlign = res::GetU16LE(bytes + 12);
    f.bitsPerSample = res::GetU16LE(bytes + 14);
    // A 16-byte chunk has no extra size, whatever its format tag says.
    if (f.formatTag != kWaveFormatPcm && fmt.size >= kFormatBytes + 2) {
        if (std::fread(bytes + kFormatBytes, 1, 2, stream) != 2)
            return kWavReadError;
        f.extraSize = res::GetU16LE(bytes + kFormatBytes);
        if (kFormatBytes + 2 + f.extraSize > fmt.size)
            return kWavNotWave;
    }
    if (!PossibleFormat(f))
        return kWavNotWave;
    auto* format = static_cast<WaveFormat*>(Allocate(sizeof(WaveFormat) + f.extraSize));
    if (!format)
        return kWavNoMemory;
    *format = f;
    if (f.extraSize && std::fread(WaveFormatExtra(format), 1, f.extraSize, stream) != f.extraSize) {
        std::free(format);
        return kWavNotWave;
    }
    *formatOut = format;
    return kWavOk;
}

} // namespace

WavResult WavOpenStream(std::FILE* stream, WavFile** out, WaveFormat** formatOut, RiffChunk* riff)
{
    *out = nullptr;
    *formatOut = nullptr;
    if (!stream)
        return kWavCannotOpen;
    WavResult result = kWavNoMemory;
    WavFile* file = NewWavFile();
    if (file) {
        file->file = stream;
        long length = platform::FileLength(stream);
        file->length = length > 0 ? static_cast<uint64_t>(length) : 0;
        result = ReadHeaderAndFormat(file, formatOut, riff);
    }
    if (result == kWavOk) {
        *out = file;
    } else if (file) {
        Discard(file); // closes the stream
    } else {
        std::fclose(stream);
    }
    return result;
}

WavResult WavOpen(const char* path, WavFile** file, WaveFormat** format, RiffChunk* riff)
{
    *file = nullptr;
    *format = nullptr;
    std::FILE* stream = path ? platform::OpenDataFile(path, "rb") : nullptr;
    if (!stream)
        return kWavCannotOpen;
    return WavOpenStream(stream, file, format, riff);
}

WavResult WavFindData(WavFile* file, RiffChunk* data, const RiffChunk* riff)
{
    // The size the chunk claims: reading past what the file holds is then
    // reported by WavRead rather than silently giving a shorter sound.
    return FindChunk(file, static_cast<uint64_t>(riff->dataOffset) + 4, RiffEnd(file, riff), kData, data,
                     ChunkSize::Declared);
}

bool WavDataInFile(const WavFile* file, const RiffChunk* data)
{
    return static_cast<uint64_t>(data->dataOffset) + data->size <= file->length;
}

WavResult WavRead(WavFile* file, uint32_t count, uint8_t* buffer, RiffChunk* data, uint32_t* bytesRead)
{
    *bytesRead = 0;
    uint32_t n = count < data->size ? count : data->size;
    std::size_t got = std::fread(buffer, 1, n, file->file);
    *bytesRead = static_cast<uint32_t>(got);
    data->size -= static_cast<uint32_t>(got);
    return got == n ? kWavOk : kWavDataEnded;
}

WavResult WavClose(WavFile* file, WaveFormat* format)
{
    WavFreeFormat(format);
    Discard(file);
    return kWavOk;
}

WavResult WavCreate(const char* path, WavFile** out, const WaveFormat* format, RiffChunk* fmt, RiffChunk* riff)
{
    *out = nullptr;
    if (!path || !format)
        return kWavCannotWrite;
    WavFile* file = NewWavFile();
    if (!file)
        return kWavNoMemory;
    file->writing = true;
    // The target keeps the spelling of an existing file of that name; the
    // bytes go to a fresh temporary beside it.
    if (!platform::ResolveNewDataPath(path, file->path) ||
        !(file->file = platform::CreateTemporaryBeside(file->path, file->tempPath))) {
        Discard(file);
        return kWavCannotWrite;
    }

    uint32_t fmtSize = format->formatTag == kWaveFormatPcm ? 16u : 18u + format->extraSize;
    uint8_t bytes[18];
    res::PutU16LE(bytes, format->formatTag);
    res::PutU16LE(bytes + 2, format->channels);
    res::PutU32LE(bytes + 4, format->samplesPerSec);
    res::PutU32LE(bytes + 8, format->avgBytesPerSec);
    res::PutU16LE(bytes + 12, format->blockAlign);
    res::PutU16LE(bytes + 14, format->bitsPerSample);
    res::PutU16LE(bytes + 16, format->extraSize);
    uint8_t fact[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    bool ok = WriteChunkHeader(file, kRiff, 0) && WriteBytes(file, "WAVE", 4) &&
              WriteChunkHeader(file, kFmt, fmtSize) && WriteBytes(file, bytes, fmtSize < 18 ? fmtSize : 18) &&
              (fmtSize <= 18 || WriteBytes(file, WaveFormatExtra(format), format->extraSize)) &&
              (!(fmtSize & 1) || WriteBytes(file, &kPadByte, 1)) && WriteChunkHeader(file, kFact, 4) &&
              WriteBytes(file, fact, 4);
    if (!ok) {
        Discard(file);
        return kWavCannotWrite;
    }
    *riff = {kRiff, 0, kWave, 8};
    *fmt = {kFmt, fmtSize, 0, 20};
    file->factOffset = 20 + fmtSize + (fmtSize & 1) + 8;
    *out = file;
    return kWavOk;
}

WavResult WavStartData(WavFile* file, RiffChunk* data)
{
    if (!WriteChunkHeader(file, kData, 0))
        return kWavCannotWrite;
    long pos = std::ftell(file->file);
    *data = {kData, 0, 0, static_cast<uint32_t>(pos)};
    return pos > 0 ? kWavOk : kWavCannotWrite;
}

WavResult WavWrite(WavFile* file, uint32_t count, const uint8_t* bytes, uint32_t* written)
{
    std::size_t n = std::fwrite(bytes, 1, count, file->file);
    *written = static_cast<uint32_t>(n);
    return n == count ? kWavOk : kWavCannotWrite;
}

WavResult WavFinish(WavFile* file, RiffChunk* data, RiffChunk* riff, uint32_t sampleCount)
{
    long end = platform::FileLength(file->file);
    bool ok = end >= static_cast<long>(data->dataOffset);
    if (ok) {
        data->size = static_cast<uint32_t>(end - data->dataOffset);
        if (data->size & 1) {
            ok = WriteBytes(file, &kPadByte, 1);
            ++end;
        }
        riff->size = static_cast<uint32_t>(end - 8);
        ok = ok && PatchU32(file, data->dataOffset - 4, data->size) && PatchU32(file, 4, riff->size) &&
             (!file->factOffset || PatchU32(file, file->factOffset, sampleCount));
    }
    std::FILE* stream = file->file;
    file->file = nullptr;
    if (ok)
        ok = platform::CommitTemporary(stream, file->tempPath, file->path);
    else
        platform::AbandonTemporary(stream, file->tempPath);
    file->tempPath.clear();
    Discard(file);
    return ok ? kWavOk : kWavCannotWrite;
}

WavResult WavCopyExtraChunks(WavFile* source, const RiffChunk* sourceRiff, WavFile* destination)
{
    uint64_t start = static_cast<uint64_t>(sourceRiff->dataOffset) + 4;
    if (!Seek(source->file, start))
        return kWavReadError;
    uint64_t end = RiffEnd(source, sourceRiff);
    uint64_t pos = start;
    RiffChunk chunk;
    while (FindChunk(source, pos, end, 0, &chunk) == kWavOk) {
        uint8_t header[8];
        if (!Seek(source->file, pos) || std::fread(header, 1, 8, source->file) != 8)
            break;
        uint64_t declared = res::GetU32LE(header + 4);
        if (declared > chunk.size)
            break; // only chunks that lie wholly inside the file
        if (chunk.id == kDisp || chunk.id == kPlst) {
            auto* body = static_cast<uint8_t*>(Allocate(chunk.size));
            if (!body)
                return kWavNoMemory;
            bool ok = std::fread(body, 1, chunk.size, source->file) == chunk.size &&
                      WriteChunkHeader(destination, chunk.id, chunk.size) &&
                      WriteBytes(destination, body, chunk.size) &&
                      (!(chunk.size & 1) || WriteBytes(destination, &kPadByte, 1));
            std::free(body);
            if (!ok)
                break;
        }
        pos = chunk.dataOffset + static_cast<uint64_t>(chunk.size) + (chunk.size & 1);
    }
    Seek(source->file, start);
    return kWavOk;
}

const char* WavResultText(WavResult result)
{
    struct Text {
        WavResult result;
        const char* text;
    };
    static constexpr Text kTexts[] = {
        {kWavOk, "read"},
        {kWavNoMemory, "no memory to hold it"},
        {kWavCannotOpen, "cannot be opened"},
        {kWavNotWave, "not a WAVE file, or its format chunk is damaged"},
        {kWavReadError, "unreadable"},
        {kWavDataEnded, "truncated: its data ends early"},
        {kWavCannotWrite, "cannot be written"},
        {kWavTooLarge, "larger than the size allowed"},
        {kWavChunkNotFound, "has no data chunk"},
    };
    for (const Text& t : kTexts)
        if (t.result == result)
            return t.text;
    return "unreadable";
}

WavResult WavLoad(const char* path, uint32_t* length, WaveFormat** formatOut, uint8_t** dataOut)
{
    *length = 0;
    *formatOut = nullptr;
    *dataOut = nullptr;
    WavFile* file;
    WaveFormat* format;
    RiffChunk riff, data;
    WavResult result = WavOpen(path, &file, &format, &riff);
    if (result != kWavOk)
        return result;
    result = WavFindData(file, &data, &riff);
    // A claim past the end of the file is refused before it sizes a block.
    if (result == kWavOk && !WavDataInFile(file, &data))
        result = kWavDataEnded;
    if (result == kWavOk && (data.size > kWavLoadMaxBytes || file->length > kWavLoadMaxBytes + kWavHeaderRoom))
        result = kWavTooLarge;
    uint8_t* bytes = nullptr;
    if (result == kWavOk) {
        bytes = static_cast<uint8_t*>(Allocate(data.size));
        if (!bytes)
            result = kWavNoMemory;
    }
    uint32_t size = data.size, read = 0;
    if (result == kWavOk)
        result = WavRead(file, size, bytes, &data, &read);
    if (result != kWavOk) {
        std::free(bytes);
        WavClose(file, format);
        return result;
    }
    WavClose(file, nullptr);
    *length = size;
    *formatOut = format;
    *dataOut = bytes;
    return kWavOk;
}

WavResult WavSave(const char* path, uint32_t byteCount, uint32_t sampleCount, const WaveFormat* format,
                  const uint8_t* bytes)
{
    WavFile* file;
    RiffChunk fmt, riff, data;
    WavResult result = WavCreate(path, &file, format, &fmt, &riff);
    if (result != kWavOk)
        return result;
    uint32_t written;
    result = WavStartData(file, &data);
    if (result == kWavOk)
        result = WavWrite(file, byteCount, bytes, &written);
    if (result != kWavOk) {
        WavClose(file, nullptr);
        return result;
    }
    return WavFinish(file, &data, &riff, sampleCount);
}

void WavFreeFormat(WaveFormat* format) { std::free(format); }
