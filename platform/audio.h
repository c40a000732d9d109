// Sound output: buffers of samples mixed by our own mixer into one stereo
// 16-bit stream that SDL's audio callback takes.
//
// A buffer behaves like a static sound-card buffer: it holds a copy of its
// samples and has a play position, a loop mode, a volume, a pan and a
// playback frequency that can change while it plays. A stream buffer is
// a voice fed piece by piece (film audio). What the game does with buffers
// (slots, speech, positional sound) is the sound module's business
// (system/sound.h); this module knows only samples.
//
// Values, as the game gives them:
//   volume     hundredths of a decibel, 0 loudest; gain 10^(v / 2000);
//              -10000 and below is silence
//   pan        -10000 (right silent) .. 10000 (left silent): the far side
//              is attenuated by |pan| hundredths of a decibel
//   frequency  samples a second of the source; 0 is the buffer's own rate;
//              held within 100 .. 200,000
// Resampling is linear interpolation; a looping buffer interpolates across
// its seam, so a loop plays without a click.
//
// Everything the mixer reads is guarded by one lock that every call below
// and the audio callback take. Calls come from the game's main thread.
//
// Headless: with no audio device SDL's dummy driver is taken (unless a
// driver was asked for through SDL_AUDIODRIVER). Tests and benchmarks open
// the capture output instead: no device, and the mixer runs only when
// AudioRender is called, so its output can be checked sample by sample.
#pragma once

#include <cstdint>

namespace platform {

// PCM samples: 8-bit unsigned or 16-bit signed little-endian, mono or
// stereo (interleaved).
struct AudioFormat {
    uint32_t samplesPerSec;
    uint16_t channels;
    uint16_t bitsPerSample;
};

// A buffer handle: 0 is none; a released buffer's handle never becomes
// valid again.
using AudioBuffer = uint32_t;

constexpr int32_t kAudioSilent = -10000;
constexpr uint32_t kAudioMinFrequency = 100;
constexpr uint32_t kAudioMaxFrequency = 200000;
constexpr int kAudioBufferLimit = 256; // buffers and streams at once

enum class AudioOutput : uint8_t {
    Device,  // SDL's audio device, mixed in its callback
    Capture, // no device: AudioRender produces the output
};

// Opens the output at about `rate` frames a second (a device may choose
// another; AudioOutputRate says which). False when no audio can run.
bool AudioOpen(AudioOutput output, int rate = 44100);
// Stops the output and releases every buffer.
void AudioClose();
bool AudioIsOpen();
int AudioOutputRate();

// Mixes the next `frames` stereo frames (left, right) into `out`. The
// device's callback calls it; with the capture output, tests do.
void AudioRender(int16_t* out, int frames);

// A buffer holding a copy of `bytes` bytes of samples; stopped, at
// position 0, volume 0, pan 0, its own rate. 0 when the output is closed,
// the format is not one of the above, or no buffer is free.
AudioBuffer AudioCreateBuffer(const AudioFormat& format, const uint8_t* data, uint32_t bytes);
// A stream voice that holds up to `capacityBytes` queued bytes; it plays
// what is queued and is silent while nothing is.
AudioBuffer AudioCreateStream(const AudioFormat& format, uint32_t capacityBytes);
void AudioRelease(AudioBuffer buffer);

// Each returns false for a buffer that is not (or no longer) valid.
// Play goes on from the current position; a playing buffer keeps playing
// and only takes the loop mode. A buffer that is not looping stops at its
// end and goes back to position 0.
bool AudioPlay(AudioBuffer buffer, bool loop);
// Stops where it is: a later AudioPlay goes on from there.
bool AudioStop(AudioBuffer buffer);
// The play position in bytes from the start (rounded down to a frame).
bool AudioSetPosition(AudioBuffer buffer, uint32_t byteOffset);
bool AudioSetVolume(AudioBuffer buffer, int32_t volume);
bool AudioSetPan(AudioBuffer buffer, int32_t pan);
bool AudioSetFrequency(AudioBuffer buffer, uint32_t frequency);

struct AudioStatus {
    bool playing;
    bool looping;
    int32_t volume;
    int32_t pan;
    uint32_t frequency; // the value set: 0 for the buffer's own rate
    uint32_t position;  // bytes from the start
};
bool AudioGetStatus(AudioBuffer buffer, AudioStatus* status);

// Queues bytes on a stream; returns how many were taken (whole frames,
// no more than the room left).
uint32_t AudioStreamWrite(AudioBuffer stream, const uint8_t* bytes, uint32_t count);
// Bytes queued and not yet played.
uint32_t AudioStreamQueued(AudioBuffer stream);

} // namespace platform
