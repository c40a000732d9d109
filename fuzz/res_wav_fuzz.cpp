// Fuzz target: RIFF WAVE reading (format, data, capped reads) and the copy of
// extra chunks into a new file.
#include "system/wav.h"

#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    std::vector<uint8_t> copy(data, data + size);
    WavFile* file;
    WaveFormat* format;
    RiffChunk riff, chunk;
    if (WavOpenStream(fmemopen(copy.data(), copy.size(), "rb"), &file, &format, &riff) != kWavOk)
        return 0;
    if (WavFindData(file, &chunk, &riff) == kWavOk) {
        if (chunk.size > size)
            __builtin_trap(); // data is capped at the file
        std::vector<uint8_t> samples(chunk.size);
        uint32_t read = 0;
        WavRead(file, chunk.size, samples.data(), &chunk, &read);
    }
    WavFile out;
    out.file = std::tmpfile();
    if (out.file) {
        WavCopyExtraChunks(file, &riff, &out);
        std::fclose(out.file);
        out.file = nullptr;
    }
    WavClose(file, format);
    return 0;
}
