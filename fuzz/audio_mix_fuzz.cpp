// Fuzz target: the mixer given any format, volume, pan, frequency, position
// and samples, as a damaged sound file or a film's audio could give them:
// a buffer and a stream are made, played and mixed; nothing may read or
// write outside them.
#include "platform/audio.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

template <typename T>
T Take(const uint8_t*& data, size_t& size)
{
    T value{};
    const size_t n = size < sizeof value ? size : sizeof value;
    if (n)
        std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    platform::AudioOpen(platform::AudioOutput::Capture, 44100);
    platform::AudioFormat format{};
    format.samplesPerSec = Take<uint32_t>(data, size);
    format.channels = Take<uint16_t>(data, size);
    format.bitsPerSample = Take<uint16_t>(data, size);
    const int32_t volume = Take<int32_t>(data, size);
    const int32_t pan = Take<int32_t>(data, size);
    const uint32_t frequency = Take<uint32_t>(data, size);
    const uint32_t position = Take<uint32_t>(data, size);
    const bool loop = Take<uint8_t>(data, size) & 1;

    std::vector<int16_t> out(2 * 4096);
    platform::AudioBuffer b = platform::AudioCreateBuffer(format, data, static_cast<uint32_t>(size));
    platform::AudioBuffer s = platform::AudioCreateStream(format, static_cast<uint32_t>(size / 2 + 1));
    for (platform::AudioBuffer v : {b, s}) {
        platform::AudioSetVolume(v, volume);
        platform::AudioSetPan(v, pan);
        platform::AudioSetFrequency(v, frequency);
        platform::AudioSetPosition(v, position);
        platform::AudioPlay(v, loop);
    }
    platform::AudioStreamWrite(s, data, static_cast<uint32_t>(size));
    platform::AudioRender(out.data(), 4096);
    platform::AudioRelease(b);
    platform::AudioRelease(s);
    return 0;
}
