// Test tones: sine waves as sample bytes or written as WAV files, and the
// measures that tests take of mixed stereo output.
#pragma once

#include "system/wav.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace tone {

// `seconds` of a sine of `hz` at `amplitude` (of full scale 1.0), in
// 8-bit unsigned or 16-bit signed samples, the same on every channel.
inline std::vector<uint8_t> Sine(uint32_t rate, uint16_t bits, uint16_t channels, double hz, double seconds,
                                 double amplitude)
{
    const uint32_t frames = static_cast<uint32_t>(rate * seconds);
    std::vector<uint8_t> bytes;
    for (uint32_t i = 0; i < frames; ++i) {
        const double x = amplitude * std::sin(2.0 * 3.14159265358979323846 * hz * i / rate);
        for (uint16_t c = 0; c < channels; ++c) {
            if (bits == 8) {
                bytes.push_back(static_cast<uint8_t>(std::lround(128.0 + x * 127.0)));
            } else {
                const int16_t s = static_cast<int16_t>(std::lround(x * 32767.0));
                bytes.push_back(static_cast<uint8_t>(s & 0xFF));
                bytes.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
            }
        }
    }
    return bytes;
}

inline WaveFormat Pcm(uint32_t rate, uint16_t bits, uint16_t channels)
{
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    return {1, channels, rate, rate * align, align, bits, 0};
}

// Writes a sine as a PCM WAV file (a data path); true on success.
inline bool WriteSine(const char* path, uint32_t rate, uint16_t bits, uint16_t channels, double hz,
                      double seconds, double amplitude)
{
    const std::vector<uint8_t> bytes = Sine(rate, bits, channels, hz, seconds, amplitude);
    const WaveFormat format = Pcm(rate, bits, channels);
    const uint32_t frames = static_cast<uint32_t>(bytes.size() / format.blockAlign);
    return WavSave(path, static_cast<uint32_t>(bytes.size()), frames, &format, bytes.data()) == kWavOk;
}

// Root mean square of one channel (0 left, 1 right) of interleaved stereo
// frames [first, first + count), as a fraction of full scale.
inline double Rms(const std::vector<int16_t>& stereo, int channel, std::size_t first, std::size_t count)
{
    double sum = 0.0;
    for (std::size_t i = first; i < first + count; ++i) {
        const double s = stereo[2 * i + channel] / 32767.0;
        sum += s * s;
    }
    return count ? std::sqrt(sum / count) : 0.0;
}

// Upward zero crossings of one channel: a tone's frequency over one second.
inline int Crossings(const std::vector<int16_t>& stereo, int channel)
{
    int n = 0;
    for (std::size_t i = 1; i < stereo.size() / 2; ++i)
        if (stereo[2 * (i - 1) + channel] < 0 && stereo[2 * i + channel] >= 0)
            ++n;
    return n;
}

} // namespace tone
