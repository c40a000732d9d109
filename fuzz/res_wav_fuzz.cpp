// Fuzz target: RIFF WAVE reading (format, data, reads that end early) and the
// copy of extra chunks into a new file.
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
    if (format->channels == 0 || format->samplesPerSec == 0 || format->blockAlign == 0)
        __builtin_trap(); // impossible formats are refused
    if (WavFindData(file, &chunk, &riff) == kWavOk) {
        // A chunk that claims more than the file holds is read in pieces up
        // to the end of the file, which must be reported.
        const bool whole = WavDataInFile(file, &chunk);
        std::vector<uint8_t> samples(512);
        uint32_t read = 0;
        WavResult result = kWavOk;
        while (chunk.size > 0 && result == kWavOk)
            result = WavRead(file, static_cast<uint32_t>(samples.size()), samples.data(), &chunk, &read);
        if ((result == kWavOk) != whole)
            __builtin_trap();
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
