// Value recorders (the last 100 samples of a watched float, for the
// engineering graphs) and the frame profiler (how long the named phases of
// a frame took).
#pragma once

#include <cstdint>

constexpr int kMaxValueRecorders = 38;
constexpr int kRecorderSamples = 100;
constexpr int kProfileSections = 20;

enum : int16_t {
    kRecorderInUse = 1,
    kRecorderPaused = 2,
};

struct ValueRecorder {
    int16_t flags;
    const float* watched;
    int32_t counters[2];
    int32_t period;      // hundredths between samples
    uint32_t nextSample; // game clock of the next sample
    int32_t writePosition;
    float samples[kRecorderSamples];
    int32_t sampleCount; // 100
    float maximum;
    float minimum;
    float displayLimits[2]; // the start value and a second value
};

struct FrameProfiler {
    double lastMark;
    double durations[kProfileSections];
    int32_t highestSlot;
    int32_t currentSlot;
    const char* names[kProfileSections];
    float longest;
    float shortest;
};

// The profiler the frame marks into; null (every call does nothing) until
// a profile window takes one.
extern FrameProfiler* gFrameProfiler;

ValueRecorder* AllocValueRecorder(); // null when all 38 are in use
void InitValueRecorder(ValueRecorder* recorder, const float* watched, float startValue,
                       float secondLimit, int32_t period);
void SampleValueRecorder(ValueRecorder* recorder);
// Every recorder in use and not paused whose time has come takes a sample.
void SampleValueRecorders();
void ResetValueRecorders();

// Takes a recorder slot for the frame profiler and makes it the current
// one; null when the pool is full.
FrameProfiler* AllocFrameProfiler();
void StartProfileFrame(FrameProfiler* profiler);
int32_t MarkProfileSection(FrameProfiler* profiler, const char* name);
