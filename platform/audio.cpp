// Sound output and our mixer. See audio.h.
//
// Every buffer is a Voice in one fixed table. Samples are converted to
// floats in 16-bit units when a buffer is made, so the mixing loops read one
// layout and convert nothing;
// positions are 32.32 fixed-point frames, and a voice advances by its step
// (source frames per output frame) whether or not it is heard, so a silent
// looping sound stays in time. The voices are summed into a float
// accumulator, one chunk at a time, then clamped into the 16-bit output.
#include "platform/audio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace platform {

namespace {

constexpr int kChunkFrames = 1024;
constexpr float kFractionScale = 1.0f / 4294967296.0f;
constexpr float kHalfFractionScale = 1.0f / 2147483648.0f;

struct Voice {
    uint32_t serial = 0; // bumped when released: old handles go stale
    bool used = false;
    bool stream = false;
    bool playing = false;
    bool looping = false;
    uint16_t channels = 1;
    uint16_t bytesPerFrame = 1; // of the source format, for byte positions
    uint32_t rate = 0;          // the source's own rate
    std::vector<float> samples; // interleaved, in 16-bit units
    uint32_t frames = 0;        // frames held (static) or ring capacity (stream)
    uint64_t position = 0;      // 32.32 frames from the start (static)
    uint32_t readFrame = 0;     // stream: ring index of the next frame
    uint32_t fraction = 0;      // stream: 0.32 between it and the one after
    uint32_t queued = 0;        // stream: frames waiting
    int32_t volume = 0;
    int32_t pan = 0;
    uint32_t frequency = 0;
    float gainLeft = 1.0f;
    float gainRight = 1.0f;
    uint64_t step = 0; // 32.32 source frames per output frame
};

struct Mixer {
    std::mutex lock;
    bool open = false;
    AudioOutput output = AudioOutput::Capture;
    int rate = 44100;
    SDL_AudioDeviceID device = 0;
    Voice voices[kAudioBufferLimit];
};

Mixer gMixer;

float GainOf(int32_t hundredthsOfDb)
{
    if (hundredthsOfDb <= kAudioSilent)
        return 0.0f;
    return std::pow(10.0f, static_cast<float>(std::min(hundredthsOfDb, 0)) / 2000.0f);
}

// Gains and step follow from volume, pan, frequency and the output rate.
void UpdateVoice(Voice& v)
{
    const float gain = GainOf(v.volume);
    v.gainLeft = v.pan > 0 ? gain * GainOf(-v.pan) : gain;
    v.gainRight = v.pan < 0 ? gain * GainOf(v.pan) : gain;
    const uint64_t frequency = v.frequency ? v.frequency : v.rate;
    v.step = (frequency << 32) / static_cast<uint64_t>(gMixer.rate);
}

Voice* Find(AudioBuffer handle)
{
    const uint32_t index = handle & 0xFF;
    Voice& v = gMixer.voices[index];
    if (handle == 0 || !v.used || v.serial != (handle >> 8))
        return nullptr;
    return &v;
}

bool FormatSupported(const AudioFormat& f)
{
    return (f.channels == 1 || f.channels == 2) && (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
           f.samplesPerSec >= kAudioMinFrequency && f.samplesPerSec <= kAudioMaxFrequency;
}

// Bytes of one frame of a supported format.
uint32_t BytesPerFrame(const AudioFormat& f)
{
    return static_cast<uint32_t>(f.channels) * f.bitsPerSample / 8u;
}

// Converts whole frames of source bytes to samples in 16-bit units.
void Convert(const AudioFormat& f, const uint8_t* bytes, uint32_t frames, float* out)
{
    const uint32_t count = frames * f.channels;
    if (f.bitsPerSample == 8) {
        for (uint32_t i = 0; i < count; ++i)
            out[i] = static_cast<float>((bytes[i] - 128) * 256);
    } else {
        for (uint32_t i = 0; i < count; ++i)
            out[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    }
}

AudioBuffer Allocate(const AudioFormat& f, bool stream, uint32_t frames)
{
    if (!gMixer.open || !FormatSupported(f) || frames == 0)
        return 0;
    for (int i = 0; i < kAudioBufferLimit; ++i) {
        Voice& v = gMixer.voices[i];
        if (v.used)
            continue;
        const uint32_t serial = v.serial + 1;
        v = Voice{};
        v.serial = serial & 0xFFFFFF ? serial & 0xFFFFFF : 1;
        v.used = true;
        v.stream = stream;
        v.channels = f.channels;
        v.bytesPerFrame = static_cast<uint16_t>(BytesPerFrame(f));
        v.rate = f.samplesPerSec;
        v.frames = frames;
        v.samples.resize(static_cast<std::size_t>(frames) * f.channels);
        UpdateVoice(v);
        return (v.serial << 8) | static_cast<uint32_t>(i);
    }
    return 0;
}

// Mixes frames [0, n) of a static voice's stretch that needs no seam:
// every index + 1 lies inside the samples.
template <int Channels>
void MixSpan(const float* __restrict s, uint64_t& position, uint64_t step, float gl, float gr,
             float* __restrict acc, int n)
{
    uint64_t p = position;
    for (int k = 0; k < n; ++k) {
        const uint32_t index = static_cast<uint32_t>(p >> 32);
        // The top 31 bits of the fraction convert as a signed int: cheaper.
        const float t = static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(p) >> 1)) * kHalfFractionScale;
        if constexpr (Channels == 1) {
            const float a = s[index], b = s[index + 1];
            const float x = a + (b - a) * t;
            acc[2 * k] += x * gl;
            acc[2 * k + 1] += x * gr;
        } else {
            const float* f = s + 2 * index;
            const float l = f[0] + (f[2] - f[0]) * t;
            const float r = f[1] + (f[3] - f[1]) * t;
            acc[2 * k] += l * gl;
            acc[2 * k + 1] += r * gr;
        }
        p += step;
    }
    position = p;
}

// One frame interpolated between frame `index` and `next`.
void MixOne(const Voice& v, uint32_t index, uint32_t next, uint32_t fraction, float* acc)
{
    const float t = static_cast<float>(fraction) * kFractionScale;
    const float* s = v.samples.data();
    const int c = v.channels;
    const float l0 = s[index * c], l1 = s[next * c];
    const float r0 = s[index * c + c - 1], r1 = s[next * c + c - 1];
    acc[0] += (l0 + (l1 - l0) * t) * v.gainLeft;
    acc[1] += (r0 + (r1 - r0) * t) * v.gainRight;
}

void MixStatic(Voice& v, float* acc, int frames)
{
    const uint64_t end = static_cast<uint64_t>(v.frames) << 32;
    const uint64_t seam = static_cast<uint64_t>(v.frames - 1) << 32;
    const bool heard = v.gainLeft != 0.0f || v.gainRight != 0.0f;
    int i = 0;
    while (i < frames && v.playing) {
        // A step of several frames can carry the position past the end.
        if (v.position >= end) {
            if (!v.looping) {
                v.playing = false;
                v.position = 0;
                break;
            }
            v.position %= end;
        }
        if (v.position < seam) {
            const uint64_t before = (seam - v.position + v.step - 1) / v.step;
            const int n = static_cast<int>(std::min<uint64_t>(before, static_cast<uint64_t>(frames - i)));
            if (!heard)
                v.position += v.step * static_cast<uint64_t>(n);
            else if (v.channels == 1)
                MixSpan<1>(v.samples.data(), v.position, v.step, v.gainLeft, v.gainRight, acc + 2 * i, n);
            else
                MixSpan<2>(v.samples.data(), v.position, v.step, v.gainLeft, v.gainRight, acc + 2 * i, n);
            i += n;
            continue;
        }
        // The last frame: towards the first when looping, else held.
        const uint32_t index = static_cast<uint32_t>(v.position >> 32);
        if (heard)
            MixOne(v, index, v.looping ? 0 : index, static_cast<uint32_t>(v.position), acc + 2 * i);
        v.position += v.step;
        ++i;
    }
    if (v.position >= end && !v.looping) {
        v.playing = false;
        v.position = 0;
    } else if (v.position >= end) {
        v.position %= end;
    }
}

void MixStream(Voice& v, float* acc, int frames)
{
    for (int i = 0; i < frames && v.queued >= 2; ++i) {
        MixOne(v, v.readFrame, (v.readFrame + 1) % v.frames, v.fraction, acc + 2 * i);
        const uint64_t advanced = static_cast<uint64_t>(v.fraction) + v.step;
        const uint32_t whole = static_cast<uint32_t>(std::min<uint64_t>(advanced >> 32, v.queued - 1));
        v.fraction = static_cast<uint32_t>(advanced);
        v.readFrame = (v.readFrame + whole) % v.frames;
        v.queued -= whole;
    }
}

// Applies a change to a valid buffer under the lock, then brings its
// gains and step up to date; false for an invalid handle.
template <typename Change>
bool ChangeVoice(AudioBuffer buffer, Change change)
{
    std::lock_guard<std::mutex> hold(gMixer.lock);
    Voice* v = Find(buffer);
    if (!v)
        return false;
    change(*v);
    UpdateVoice(*v);
    return true;
}

void Callback(void*, Uint8* stream, int length)
{
    AudioRender(reinterpret_cast<int16_t*>(stream), length / 4);
}

bool OpenDevice(int rate)
{
    const bool chosen = std::getenv("SDL_AUDIODRIVER") != nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 1) {
            // No usable device: run on the dummy driver unless one was asked for.
            if (chosen)
                return false;
            SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
        }
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            continue;
        SDL_AudioSpec want{};
        SDL_AudioSpec have{};
        want.freq = rate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = Callback;
        gMixer.device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (gMixer.device != 0) {
            gMixer.rate = have.freq;
            return true;
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    return false;
}

// The end of the process (exit from anywhere: the quit, a fatal error, a
// failed check) frees the mixer's sample buffers with the other statics,
// while the device's thread would still be mixing them. Registered once
// the mixer exists, this runs before its destruction and stops the device
// first.
void CloseAtExit()
{
    AudioClose();
}

} // namespace

bool AudioOpen(AudioOutput output, int rate)
{
    if (gMixer.open)
        return true;
    if (rate < 8000 || rate > 192000)
        return false;
    gMixer.rate = rate;
    if (output == AudioOutput::Device && !OpenDevice(rate))
        return false;
    [[maybe_unused]] static const bool closedAtExit = std::atexit(CloseAtExit) == 0;
    {
        std::lock_guard<std::mutex> hold(gMixer.lock);
        gMixer.output = output;
        gMixer.open = true;
    }
    if (gMixer.device)
        SDL_PauseAudioDevice(gMixer.device, 0);
    return true;
}

void AudioClose()
{
    if (gMixer.device) {
        SDL_CloseAudioDevice(gMixer.device); // waits for the callback to end
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        gMixer.device = 0;
    }
    std::lock_guard<std::mutex> hold(gMixer.lock);
    for (Voice& v : gMixer.voices) {
        if (v.used) {
            const uint32_t serial = v.serial;
            v = Voice{};
            v.serial = serial;
        }
    }
    gMixer.open = false;
}

bool AudioIsOpen()
{
    return gMixer.open;
}

int AudioOutputRate()
{
    return gMixer.rate;
}

void AudioRender(int16_t* out, int frames)
{
    float acc[2 * kChunkFrames];
    std::lock_guard<std::mutex> hold(gMixer.lock);
    while (frames > 0) {
        const int n = std::min(frames, kChunkFrames);
        std::fill(acc, acc + 2 * n, 0.0f);
        if (gMixer.open) {
            for (Voice& v : gMixer.voices) {
                if (!v.used || !v.playing)
                    continue;
                if (v.stream)
                    MixStream(v, acc, n);
                else
                    MixStatic(v, acc, n);
            }
        }
        for (int k = 0; k < 2 * n; ++k)
            out[k] = static_cast<int16_t>(std::clamp(acc[k], -32768.0f, 32767.0f));
        out += 2 * n;
        frames -= n;
    }
}

AudioBuffer AudioCreateBuffer(const AudioFormat& format, const uint8_t* data, uint32_t bytes)
{
    std::lock_guard<std::mutex> hold(gMixer.lock);
    if (!data || !FormatSupported(format))
        return 0;
    const uint32_t frames = bytes / BytesPerFrame(format);
    AudioBuffer handle = Allocate(format, false, frames);
    if (handle)
        Convert(format, data, frames, Find(handle)->samples.data());
    return handle;
}

AudioBuffer AudioCreateStream(const AudioFormat& format, uint32_t capacityBytes)
{
    std::lock_guard<std::mutex> hold(gMixer.lock);
    if (!FormatSupported(format))
        return 0;
    return Allocate(format, true, capacityBytes / BytesPerFrame(format));
}

void AudioRelease(AudioBuffer buffer)
{
    std::lock_guard<std::mutex> hold(gMixer.lock);
    if (Voice* v = Find(buffer)) {
        const uint32_t serial = v->serial;
        *v = Voice{};
        v->serial = serial;
    }
}

bool AudioPlay(AudioBuffer buffer, bool loop)
{
    return ChangeVoice(buffer, [loop](Voice& v) {
        v.looping = loop;
        v.playing = true;
    });
}

bool AudioStop(AudioBuffer buffer)
{
    return ChangeVoice(buffer, [](Voice& v) { v.playing = false; });
}

bool AudioSetPosition(AudioBuffer buffer, uint32_t byteOffset)
{
    return ChangeVoice(buffer, [byteOffset](Voice& v) {
        if (!v.stream)
            v.position = static_cast<uint64_t>(std::min(byteOffset / v.bytesPerFrame, v.frames - 1)) << 32;
    });
}

bool AudioSetVolume(AudioBuffer buffer, int32_t volume)
{
    return ChangeVoice(buffer, [volume](Voice& v) { v.volume = std::clamp(volume, kAudioSilent, 0); });
}

bool AudioSetPan(AudioBuffer buffer, int32_t pan)
{
    return ChangeVoice(buffer, [pan](Voice& v) { v.pan = std::clamp(pan, -10000, 10000); });
}

bool AudioSetFrequency(AudioBuffer buffer, uint32_t frequency)
{
    return ChangeVoice(buffer, [frequency](Voice& v) {
        v.frequency = frequency == 0 ? 0 : std::clamp(frequency, kAudioMinFrequency, kAudioMaxFrequency);
    });
}

bool AudioGetStatus(AudioBuffer buffer, AudioStatus* status)
{
    std::lock_guard<std::mutex> hold(gMixer.lock);
    const Voice* v = Find(buffer);
    if (!v)
        return false;
    status->playing = v->playing;
    status->looping = v->looping;
    status->volume = v->volume;
    status->pan = v->pan;
    status->frequency = v->frequency;
    status->position = v->stream ? 0 : static_cast<uint32_t>(v->position >> 32) * v->bytesPerFrame;
    return true;
}

uint32_t AudioStreamWrite(AudioBuffer stream, const uint8_t* bytes, uint32_t count)
{
    std::lock_guard<std::mutex> hold(gMixer.lock);
    Voice* v = Find(stream);
    if (!v || !v->stream || !bytes)
        return 0;
    const uint32_t frames = std::min(count / v->bytesPerFrame, v->frames - v->queued);
    const AudioFormat format{v->rate, v->channels, static_cast<uint16_t>(v->bytesPerFrame / v->channels * 8)};
    const uint32_t frameBytes = v->bytesPerFrame;
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t slot = (v->readFrame + v->queued) % v->frames;
        Convert(format, bytes + static_cast<std::size_t>(i) * frameBytes, 1,
                v->samples.data() + static_cast<std::size_t>(slot) * v->channels);
        ++v->queued;
    }
    return frames * frameBytes;
}

uint32_t AudioStreamQueued(AudioBuffer stream)
{
    std::lock_guard<std::mutex> hold(gMixer.lock);
    const Voice* v = Find(stream);
    return v && v->stream ? v->queued * v->bytesPerFrame : 0;
}

} // namespace platform
