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
// (any id when want is 0). On success the file is at the chunk's body and the
// chunk's size is capped at `end`.
int FindChunk(WavFile* file, uint64_t start, uint64_t end, uint32_t want, RiffChunk* chunk)
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
            chunk->size = static_cast<uint32_t>(size < end - body ? size : end - body);
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

void Discard(WavFile* file)
{
    if (!file)
        return;
    if (file->file)
        std::fclose(file->file);
    if (file->writing && !file->tempPath.empty())
        std::remove(file->tempPath.c_str());
    delete file;
}

} // namespace

int WavOpenStream(std::FILE* stream, WavFile** out, WaveFormat** formatOut, RiffChunk* riff)
{
    *out = nullptr;
    *formatOut = nullptr;
    if (!stream)
        return kWavCannotOpen;
    auto* file = new (std::nothrow) WavFile;
    if (!file) {
        std::fclose(stream);
        return kWavNoMemory;
    }
    file->file = stream;
    long length = platform::FileLength(stream);
    file->length = length > 0 ? static_cast<uint64_t>(length) : 0;

    uint8_t header[12];
    if (!Seek(stream, 0) || std::fread(header, 1, 12, stream) != 12 || res::GetU32LE(header) != kRiff ||
        res::GetU32LE(header + 8) != kWave) {
        Discard(file);
        return kWavNotWave;
    }
    uint64_t size = res::GetU32LE(header + 4);
    riff->id = kRiff;
    riff->size = static_cast<uint32_t>(size < file->length - 8 ? size : file->length - 8);
    riff->form = kWave;
    riff->dataOffset = 8;

    RiffChunk fmt;
    int result = FindChunk(file, 12, RiffEnd(file, riff), kFmt, &fmt);
    if (result != kWavOk) {
        Discard(file);
        return result;
    }
    if (fmt.size < kFormatBytes) {
        Discard(file);
        return kWavNotWave;
    }
    uint8_t bytes[kFormatBytes + 2];
    if (std::fread(bytes, 1, kFormatBytes, stream) != kFormatBytes) {
        Discard(file);
        return kWavReadError;
    }
    uint16_t tag = res::GetU16LE(bytes);
    uint16_t extra = 0;
    if (tag != 1 && fmt.size >= kFormatBytes + 2) {
        if (std::fread(bytes + kFormatBytes, 1, 2, stream) != 2) {
            Discard(file);
            return kWavReadError;
        }
        extra = res::GetU16LE(bytes + kFormatBytes);
        if (kFormatBytes + 2 + extra > fmt.size) {
            Discard(file);
            return kWavNotWave;
        }
    }
    auto* format = static_cast<WaveFormat*>(std::calloc(1, sizeof(WaveFormat) + extra));
    if (!format) {
        Discard(file);
        return kWavNoMemory;
    }
    format->formatTag = tag;
    format->channels = res::GetU16LE(bytes + 2);
    format->samplesPerSec = res::GetU32LE(bytes + 4);
    format->avgBytesPerSec = res::GetU32LE(bytes + 8);
    format->blockAlign = res::GetU16LE(bytes + 12);
    format->bitsPerSample = res::GetU16LE(bytes + 14);
    format->extraSize = extra;
    if (extra && std::fread(WaveFormatExtra(format), 1, extra, stream) != extra) {
        std::free(format);
        Discard(file);
        return kWavNotWave;
    }
    *out = file;
    *formatOut = format;
    return kWavOk;
}

int WavOpen(const char* path, WavFile** file, WaveFormat** format, RiffChunk* riff)
{
    *file = nullptr;
    *format = nullptr;
    std::FILE* stream = path ? platform::OpenDataFile(path, "rb") : nullptr;
    if (!stream)
        return kWavCannotOpen;
    return WavOpenStream(stream, file, format, riff);
}

int WavFindData(WavFile* file, RiffChunk* data, const RiffChunk* riff)
{
    return FindChunk(file, static_cast<uint64_t>(riff->dataOffset) + 4, RiffEnd(file, riff), kData, data);
}

int WavRead(WavFile* file, uint32_t count, uint8_t* buffer, RiffChunk* data, uint32_t* bytesRead)
{
    *bytesRead = 0;
    uint32_t n = count < data->size ? count : data->size;
    std::size_t got = std::fread(buffer, 1, n, file->file);
    *bytesRead = static_cast<uint32_t>(got);
    data->size -= static_cast<uint32_t>(got);
    return got == n ? kWavOk : kWavDataEnded;
}

int WavClose(WavFile* file, WaveFormat* format)
{
    WavFreeFormat(format);
    Discard(file);
    return kWavOk;
}

int WavCreate(const char* path, WavFile** out, const WaveFormat* format, RiffChunk* fmt, RiffChunk* riff)
{
    *out = nullptr;
    if (!path || !format)
        return kWavCannotWrite;
    auto* file = new (std::nothrow) WavFile;
    if (!file)
        return kWavNoMemory;
    file->writing = true;
    std::string temp = std::string(path) + ".tmp";
    file->file = platform::OpenDataFile(temp.c_str(), "w+b");
    if (!file->file || !platform::ResolveDataPath(temp.c_str(), file->tempPath)) {
        Discard(file);
        return kWavCannotWrite;
    }
    // The target keeps the spelling of an existing file of that name.
    if (!platform::ResolveDataPath(path, file->path))
        file->path = file->tempPath.substr(0, file->tempPath.size() - 4);

    uint32_t fmtSize = format->formatTag == 1 ? 16u : 18u + format->extraSize;
    uint8_t bytes[18];
    res::PutU16LE(bytes, format->formatTag);
    res::PutU16LE(bytes + 2, format->channels);
    res::PutU32LE(bytes + 4, format->samplesPerSec);
    res::PutU32LE(bytes + 8, format->avgBytesPerSec);
    res::PutU16LE(bytes + 12, format->blockAlign);
    res::PutU16LE(bytes + 14, format->bitsPerSample);
    res::PutU16LE(bytes + 16, format->extraSize);
    static const uint8_t kPad = 0;
    uint8_t fact[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    bool ok = WriteChunkHeader(file, kRiff, 0) && WriteBytes(file, "WAVE", 4) &&
              WriteChunkHeader(file, kFmt, fmtSize) && WriteBytes(file, bytes, fmtSize < 18 ? fmtSize : 18) &&
              (fmtSize <= 18 || WriteBytes(file, WaveFormatExtra(format), format->extraSize)) &&
              (!(fmtSize & 1) || WriteBytes(file, &kPad, 1)) && WriteChunkHeader(file, kFact, 4) &&
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

int WavStartData(WavFile* file, RiffChunk* data)
{
    if (!WriteChunkHeader(file, kData, 0))
        return kWavCannotWrite;
    long pos = std::ftell(file->file);
    *data = {kData, 0, 0, static_cast<uint32_t>(pos)};
    return pos > 0 ? kWavOk : kWavCannotWrite;
}

int WavWrite(WavFile* file, uint32_t count, const uint8_t* bytes, uint32_t* written)
{
    std::size_t n = std::fwrite(bytes, 1, count, file->file);
    *written = static_cast<uint32_t>(n);
    return n == count ? kWavOk : kWavCannotWrite;
}

int WavFinish(WavFile* file, RiffChunk* data, RiffChunk* riff, uint32_t sampleCount)
{
    long end = platform::FileLength(file->file);
    bool ok = end >= static_cast<long>(data->dataOffset);
    if (ok) {
        data->size = static_cast<uint32_t>(end - data->dataOffset);
        static const uint8_t kPad = 0;
        if (data->size & 1) {
            ok = WriteBytes(file, &kPad, 1);
            ++end;
        }
        riff->size = static_cast<uint32_t>(end - 8);
        ok = ok && PatchU32(file, data->dataOffset - 4, data->size) && PatchU32(file, 4, riff->size) &&
             (!file->factOffset || PatchU32(file, file->factOffset, sampleCount));
    }
    ok = std::fflush(file->file) == 0 && ok;
    ok = std::fclose(file->file) == 0 && ok;
    file->file = nullptr;
    ok = ok && std::rename(file->tempPath.c_str(), file->path.c_str()) == 0;
    Discard(file); // removes the temporary file when the rename did not happen
    return ok ? kWavOk : kWavCannotWrite;
}

int WavCopyExtraChunks(WavFile* source, const RiffChunk* sourceRiff, WavFile* destination)
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
            auto* body = static_cast<uint8_t*>(std::calloc(chunk.size ? chunk.size : 1, 1));
            if (!body)
                return kWavNoMemory;
            static const uint8_t kPad = 0;
            bool ok = std::fread(body, 1, chunk.size, source->file) == chunk.size &&
                      WriteChunkHeader(destination, chunk.id, chunk.size) &&
                      WriteBytes(destination, body, chunk.size) &&
                      (!(chunk.size & 1) || WriteBytes(destination, &kPad, 1));
            std::free(body);
            if (!ok)
                break;
        }
        pos = chunk.dataOffset + static_cast<uint64_t>(chunk.size) + (chunk.size & 1);
    }
    Seek(source->file, start);
    return kWavOk;
}

int WavLoad(const char* path, uint32_t* length, WaveFormat** formatOut, uint8_t** dataOut)
{
    *length = 0;
    *formatOut = nullptr;
    *dataOut = nullptr;
    WavFile* file;
    WaveFormat* format;
    RiffChunk riff, data;
    int result = WavOpen(path, &file, &format, &riff);
    if (result != kWavOk)
        return result;
    result = WavFindData(file, &data, &riff);
    uint8_t* bytes = nullptr;
    if (result == kWavOk) {
        bytes = static_cast<uint8_t*>(std::malloc(data.size ? data.size : 1));
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

int WavSave(const char* path, uint32_t byteCount, uint32_t sampleCount, const WaveFormat* format,
            const uint8_t* bytes)
{
    WavFile* file;
    RiffChunk fmt, riff, data;
    int result = WavCreate(path, &file, format, &fmt, &riff);
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
