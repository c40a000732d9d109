// Value recorders and the frame profiler. The profiler's clock only
// measures; it never feeds the simulation.
#include "world/profiler.h"

#include <cstring>

#include "system/frameclock.h"

FrameProfiler* gFrameProfiler;

namespace {

ValueRecorder gRecorders[kMaxValueRecorders];
int gRecorderCursor = kMaxValueRecorders - 1; // the one taken last
FrameProfiler gProfilerRecord;
// The slot the profiler holds: flagged in use (never sampled, as it
// watches nothing) so that it is not handed out twice.
constexpr int16_t kRecorderHoldsProfiler = 4;

void Store(ValueRecorder* r)
{
    float value = *r->watched;
    r->samples[r->writePosition] = value;
    if (value > r->maximum)
        r->maximum = value;
    if (value < r->minimum)
        r->minimum = value;
    r->writePosition = (r->writePosition + 1) % kRecorderSamples;
}

} // namespace

ValueRecorder* AllocValueRecorder()
{
    for (int step = 1; step <= kMaxValueRecorders; ++step) {
        int i = (gRecorderCursor + step) % kMaxValueRecorders;
        if (!(gRecorders[i].flags & kRecorderInUse)) {
            gRecorderCursor = i;
            gRecorders[i].flags = kRecorderInUse;
            return &gRecorders[i];
        }
    }
    return nullptr;
}

void InitValueRecorder(ValueRecorder* r, const float* watched, float startValue,
                       float secondLimit, int32_t period)
{
    r->watched = watched;
    r->writePosition = 0;
    r->counters[0] = r->counters[1] = 0;
    for (float& s : r->samples)
        s = startValue;
    r->sampleCount = kRecorderSamples;
    r->maximum = -1e20f;
    r->minimum = 1e20f;
    r->displayLimits[0] = startValue;
    r->displayLimits[1] = secondLimit;
    r->period = period;
    r->nextSample = 0;
}

void SampleValueRecorder(ValueRecorder* r)
{
    if (r->watched)
        Store(r);
}

void SampleValueRecorders()
{
    uint32_t now = gFrameClock.gameClock;
    for (ValueRecorder& r : gRecorders) {
        if ((r.flags & (kRecorderInUse | kRecorderPaused | kRecorderHoldsProfiler)) !=
                kRecorderInUse ||
            !r.watched)
            continue;
        if (static_cast<int32_t>(now - r.nextSample) >= 0) {
            r.nextSample = now + r.period;
            Store(&r);
        }
    }
}

void ResetValueRecorders()
{
    std::memset(gRecorders, 0, sizeof gRecorders);
    gRecorderCursor = kMaxValueRecorders - 1;
    gFrameProfiler = nullptr;
}

FrameProfiler* AllocFrameProfiler()
{
    if (gFrameProfiler)
        return gFrameProfiler;
    ValueRecorder* slot = AllocValueRecorder();
    if (!slot)
        return nullptr;
    slot->flags |= kRecorderHoldsProfiler;
    gProfilerRecord = FrameProfiler{};
    gProfilerRecord.shortest = 1e20f;
    gFrameProfiler = &gProfilerRecord;
    return gFrameProfiler;
}

void StartProfileFrame(FrameProfiler* p)
{
    if (!p)
        return;
    p->lastMark = ReadPreciseClock();
    p->currentSlot = 0;
}

int32_t MarkProfileSection(FrameProfiler* p, const char* name)
{
    if (!p)
        return 0;
    double now = ReadPreciseClock();
    double duration = now - p->lastMark;
    int slot = p->currentSlot;
    p->durations[slot] = duration;
    p->names[slot] = name;
    p->lastMark = now;
    if (slot > p->highestSlot)
        p->highestSlot = slot;
    if (duration > p->longest)
        p->longest = static_cast<float>(duration);
    if (duration < p->shortest)
        p->shortest = static_cast<float>(duration);
    p->currentSlot = (slot + 1) % kProfileSections;
    return 1;
}
