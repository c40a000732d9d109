// Value recorders and the frame profiler.
#include "system/frameclock.h"
#include "tests/support/world_fixture.h"
#include "world/profiler.h"

using worldtest::WorldTest;

TEST_F(WorldTest, ThirtyEightRecordersThenNone)
{
    ValueRecorder* first = AllocValueRecorder();
    for (int i = 1; i < kMaxValueRecorders; ++i)
        ASSERT_NE(AllocValueRecorder(), nullptr);
    EXPECT_EQ(AllocValueRecorder(), nullptr);
    first->flags = 0;
    EXPECT_EQ(AllocValueRecorder(), first);
    // The profiler takes a slot too, and none is left for it now.
    EXPECT_EQ(AllocFrameProfiler(), nullptr);
}

TEST_F(WorldTest, ARecorderSamplesByPeriodAndKeepsItsRange)
{
    static float watched = 0;
    ValueRecorder* r = AllocValueRecorder();
    InitValueRecorder(r, &watched, 0.0f, 50.0f, 10);
    // A flat line at the start value until samples come in.
    for (float s : r->samples)
        ASSERT_EQ(s, 0.0f);
    EXPECT_EQ(r->displayLimits[1], 50.0f);

    gFrameClock.gameClock = 100;
    for (int frame = 0; frame < 40; ++frame) {
        watched = static_cast<float>(frame);
        SampleValueRecorders();
        gFrameClock.gameClock += 5;
    }
    // Every other frame is a sample: frames 0, 2, ..., 38.
    EXPECT_EQ(r->writePosition, 20);
    EXPECT_EQ(r->samples[1], 2.0f);
    EXPECT_EQ(r->samples[19], 38.0f);
    EXPECT_EQ(r->samples[20], 0.0f);
    EXPECT_EQ(r->maximum, 38.0f);
    EXPECT_EQ(r->minimum, 0.0f);

    r->flags |= kRecorderPaused;
    SampleValueRecorders();
    EXPECT_EQ(r->writePosition, 20);
    for (int i = 0; i < 80; ++i)
        SampleValueRecorder(r);     // the engineering graph's own samples
    EXPECT_EQ(r->writePosition, 0); // wrapped at 100
}

TEST_F(WorldTest, TheProfilerIsSilentUntilTakenAndWrapsAfterTwentyMarks)
{
    EXPECT_EQ(MarkProfileSection(nullptr, "X"), 0);
    StartProfileFrame(nullptr);
    FrameProfiler* p = AllocFrameProfiler();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(AllocFrameProfiler(), p);
    StartProfileFrame(p);
    static const char* const names[] = {"A", "B"};
    for (int i = 0; i < kProfileSections; ++i)
        MarkProfileSection(p, names[i % 2]);
    EXPECT_EQ(p->currentSlot, 0);
    EXPECT_EQ(p->highestSlot, kProfileSections - 1);
    MarkProfileSection(p, "twenty-first");
    EXPECT_STREQ(p->names[0], "twenty-first");
    EXPECT_STREQ(p->names[1], "B");
    EXPECT_LE(p->shortest, p->longest);
    EXPECT_GE(p->shortest, 0.0f);
}
