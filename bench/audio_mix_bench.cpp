// The mixer: one second of 51 voices at once (the 50 sound slots and the
// speech channel), 22,050 Hz sources resampled to the 44,100 Hz stereo
// output, as the audio callback renders it in device-sized pieces.
// Reported: the time per second of sound and ns per output frame per voice.
#include <benchmark/benchmark.h>

#include "platform/audio.h"
#include "tests/support/tone.h"

#include <vector>

namespace {

constexpr int kVoices = 51;
constexpr int kOutputRate = 44100;
constexpr int kPiece = 1024; // frames a callback asks for

// Arguments: 16-bit mono (the game's sounds) or 8-bit stereo; all heard or
// all silent (looping sounds waiting for their place, which only advance).
void BM_MixOneSecond(benchmark::State& state)
{
    const uint16_t bits = static_cast<uint16_t>(state.range(0));
    const uint16_t channels = static_cast<uint16_t>(state.range(1));
    const bool silent = state.range(2) != 0;
    platform::AudioOpen(platform::AudioOutput::Capture, kOutputRate);
    std::vector<platform::AudioBuffer> voices;
    for (int i = 0; i < kVoices; ++i) {
        // Different lengths and pitches, so the voices do not run in step.
        const std::vector<uint8_t> bytes = tone::Sine(22050, bits, channels, 220 + 10 * i, 0.5 + 0.01 * i, 0.02);
        platform::AudioBuffer b =
            platform::AudioCreateBuffer({22050, channels, bits}, bytes.data(), static_cast<uint32_t>(bytes.size()));
        platform::AudioSetVolume(b, silent ? platform::kAudioSilent : -100 * (i % 20));
        platform::AudioSetPan(b, (i % 21 - 10) * 1000);
        platform::AudioSetFrequency(b, 22050 + (i % 7) * 300);
        platform::AudioPlay(b, true);
        voices.push_back(b);
    }
    std::vector<int16_t> out(2 * kPiece);
    for (auto _ : state) {
        for (int done = 0; done < kOutputRate; done += kPiece) {
            platform::AudioRender(out.data(), std::min(kPiece, kOutputRate - done));
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.counters["ns/frame/voice"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kOutputRate * kVoices,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
    state.SetItemsProcessed(state.iterations() * kOutputRate * kVoices);
    platform::AudioClose();
}
BENCHMARK(BM_MixOneSecond)
    ->Args({16, 1, 0})
    ->Args({8, 2, 0})
    ->Args({16, 1, 1})
    ->Unit(benchmark::kMillisecond);

} // namespace
