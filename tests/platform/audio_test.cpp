// The mixer, checked on its captured output: levels in hundredths of a
// decibel, the pan law, resampling, seamless loops, the sample layouts,
// the stream voice, stale handles, and the device's callback.
#include "platform/audio.h"
#include "tests/support/tone.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

using namespace platform;

namespace {

constexpr int kRate = 44100;

class AudioTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(AudioOpen(AudioOutput::Capture, kRate)); }
    void TearDown() override { AudioClose(); }

    static AudioBuffer Tone(uint32_t rate, uint16_t bits, uint16_t channels, double hz, double seconds,
                            double amplitude = 0.5)
    {
        const std::vector<uint8_t> bytes = tone::Sine(rate, bits, channels, hz, seconds, amplitude);
        return AudioCreateBuffer({rate, channels, bits}, bytes.data(), static_cast<uint32_t>(bytes.size()));
    }

    static std::vector<int16_t> Render(int frames)
    {
        std::vector<int16_t> out(2 * static_cast<std::size_t>(frames));
        AudioRender(out.data(), frames);
        return out;
    }
};

TEST_F(AudioTest, VolumeAndPanSetTheLevelOfEachSide)
{
    // A sine of amplitude 0.5 has an RMS of 0.5 / sqrt(2); volume v
    // multiplies it by 10^(v / 2000), and pan takes |pan| from the far side.
    struct Case {
        int32_t volume, pan;
        double left, right; // expected gains
    };
    const Case cases[] = {
        {0, 0, 1.0, 1.0},
        {-2000, 0, 0.1, 0.1},
        {-600, 0, 0.5012, 0.5012},
        {0, 2000, 0.1, 1.0},
        {0, -1000, 1.0, 0.3162},
        {-2000, -2000, 0.1, 0.01},
        {0, 10000, 0.0, 1.0},
        {0, -10000, 1.0, 0.0},
        {-10000, 0, 0.0, 0.0},
        {-12000, 0, 0.0, 0.0},
    };
    const double full = 0.5 / std::sqrt(2.0);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "volume " << c.volume << " pan " << c.pan);
        AudioBuffer b = Tone(22050, 16, 1, 440, 1.0);
        ASSERT_NE(b, 0u);
        ASSERT_TRUE(AudioSetVolume(b, c.volume));
        ASSERT_TRUE(AudioSetPan(b, c.pan));
        ASSERT_TRUE(AudioPlay(b, false));
        const std::vector<int16_t> out = Render(kRate / 2);
        EXPECT_NEAR(tone::Rms(out, 0, 0, kRate / 2), full * c.left, 0.002);
        EXPECT_NEAR(tone::Rms(out, 1, 0, kRate / 2), full * c.right, 0.002);
        if (c.left == 0.0 && c.right == 0.0) {
            for (int16_t s : out)
                ASSERT_EQ(s, 0);
        }
        AudioRelease(b);
    }
}

TEST_F(AudioTest, FrequencyResamplesToTheOutputRate)
{
    // 440 Hz at 22,050 samples a second; 0 plays at the file's own rate.
    struct Case {
        uint32_t frequency;
        int crossings; // in one second of output
    };
    for (const Case c : {Case{0, 440}, Case{22050, 440}, Case{44100, 880}, Case{11025, 220}}) {
        SCOPED_TRACE(c.frequency);
        AudioBuffer b = Tone(22050, 16, 1, 440, 4.0);
        ASSERT_TRUE(AudioSetFrequency(b, c.frequency));
        ASSERT_TRUE(AudioPlay(b, false));
        const std::vector<int16_t> out = Render(kRate);
        EXPECT_NEAR(tone::Crossings(out, 0), c.crossings, 1);
        EXPECT_NEAR(tone::Rms(out, 0, 0, kRate), 0.5 / std::sqrt(2.0), 0.003); // no loss in resampling
        AudioRelease(b);
    }
}

TEST_F(AudioTest, EverySampleLayoutPlaysAtTheSameLevel)
{
    struct Case {
        uint16_t bits, channels;
    };
    for (const Case c : {Case{8, 1}, Case{16, 1}, Case{8, 2}, Case{16, 2}}) {
        SCOPED_TRACE(::testing::Message() << c.bits << "-bit, " << c.channels << " channels");
        AudioBuffer b = Tone(11025, c.bits, c.channels, 440, 1.0);
        ASSERT_NE(b, 0u);
        ASSERT_TRUE(AudioPlay(b, false));
        const std::vector<int16_t> out = Render(kRate / 2);
        // 8-bit samples reach 127 / 128 of full scale.
        const double level = 0.5 / std::sqrt(2.0) * (c.bits == 8 ? 127.0 * 256 / 32767 : 1.0);
        EXPECT_NEAR(tone::Rms(out, 0, 0, kRate / 2), level, 0.003);
        EXPECT_NEAR(tone::Rms(out, 1, 0, kRate / 2), level, 0.003);
        EXPECT_NEAR(tone::Crossings(out, 0), 220, 1);
        AudioRelease(b);
    }
    // Stereo keeps its sides apart: a left-only source is silent on the right.
    std::vector<uint8_t> bytes = tone::Sine(22050, 16, 2, 440, 0.5, 0.5);
    for (std::size_t i = 2; i < bytes.size(); i += 4)
        bytes[i] = bytes[i + 1] = 0;
    AudioBuffer b = AudioCreateBuffer({22050, 2, 16}, bytes.data(), static_cast<uint32_t>(bytes.size()));
    ASSERT_TRUE(AudioPlay(b, false));
    const std::vector<int16_t> out = Render(kRate / 4);
    EXPECT_GT(tone::Rms(out, 0, 0, kRate / 4), 0.3);
    EXPECT_EQ(tone::Rms(out, 1, 0, kRate / 4), 0.0);
}

TEST_F(AudioTest, ALoopPlaysOnWithoutAClickAtItsSeam)
{
    // 441 Hz at 22,050 samples a second is 50 samples a cycle: 2,200
    // samples are 44 whole cycles, so a seamless loop is one unbroken sine.
    AudioBuffer b = Tone(22050, 16, 1, 441, 2200.5 / 22050);
    ASSERT_TRUE(AudioPlay(b, true));
    const std::vector<int16_t> out = Render(kRate); // ten times round
    AudioStatus status{};
    ASSERT_TRUE(AudioGetStatus(b, &status));
    EXPECT_TRUE(status.playing);
    EXPECT_TRUE(status.looping);
    // The largest step between neighbouring samples of a 441 Hz sine of
    // amplitude 0.5 at 44,100 Hz is 0.5 x 2 pi x 441 / 44100 of full scale.
    const double largestStep = 0.5 * 2 * 3.14159265 * 441 / kRate * 32767;
    for (std::size_t i = 1; i < out.size() / 2; ++i)
        ASSERT_LE(std::abs(out[2 * i] - out[2 * (i - 1)]), largestStep + 2) << "frame " << i;
    EXPECT_NEAR(tone::Crossings(out, 0), 441, 1);
    EXPECT_NEAR(tone::Rms(out, 0, kRate - 4410, 4410), 0.5 / std::sqrt(2.0), 0.002);
}

TEST_F(AudioTest, AOneShotStopsAtItsEndAndGoesBackToTheStart)
{
    AudioBuffer b = Tone(22050, 16, 1, 440, 0.1);
    ASSERT_TRUE(AudioPlay(b, false));
    const std::vector<int16_t> out = Render(kRate / 5);
    AudioStatus status{};
    ASSERT_TRUE(AudioGetStatus(b, &status));
    EXPECT_FALSE(status.playing);
    EXPECT_EQ(status.position, 0u);
    EXPECT_GT(tone::Rms(out, 0, 0, kRate / 20), 0.3);
    EXPECT_EQ(tone::Rms(out, 0, kRate / 10 + 2, kRate / 10 - 2), 0.0);
}

TEST_F(AudioTest, StopKeepsThePositionAndPlayGoesOnFromIt)
{
    AudioBuffer b = Tone(22050, 16, 1, 440, 1.0);
    ASSERT_TRUE(AudioPlay(b, true));
    Render(kRate / 10); // 0.1 s: 2205 source frames, 4410 bytes
    ASSERT_TRUE(AudioStop(b));
    Render(kRate / 10);
    AudioStatus status{};
    ASSERT_TRUE(AudioGetStatus(b, &status));
    EXPECT_FALSE(status.playing);
    EXPECT_TRUE(status.looping);
    EXPECT_EQ(status.position, 4410u);
    ASSERT_TRUE(AudioPlay(b, true));
    Render(kRate / 10);
    ASSERT_TRUE(AudioGetStatus(b, &status));
    EXPECT_EQ(status.position, 8820u);
    ASSERT_TRUE(AudioSetPosition(b, 100));
    ASSERT_TRUE(AudioGetStatus(b, &status));
    EXPECT_EQ(status.position, 100u);
}

TEST_F(AudioTest, VoicesAddUpAndClampAtFullScale)
{
    AudioBuffer a = Tone(22050, 16, 1, 440, 0.5, 0.25);
    AudioBuffer b = Tone(22050, 16, 1, 440, 0.5, 0.25);
    ASSERT_TRUE(AudioPlay(a, false));
    ASSERT_TRUE(AudioPlay(b, false));
    std::vector<int16_t> out = Render(kRate / 4);
    EXPECT_NEAR(tone::Rms(out, 0, 0, kRate / 4), 0.5 / std::sqrt(2.0), 0.002);

    AudioBuffer loud[4];
    for (AudioBuffer& l : loud) {
        l = Tone(22050, 16, 1, 440, 0.5, 1.0);
        ASSERT_TRUE(AudioPlay(l, false));
    }
    out = Render(kRate / 4);
    int16_t highest = 0, lowest = 0;
    for (int16_t s : out) {
        highest = std::max(highest, s);
        lowest = std::min(lowest, s);
    }
    EXPECT_EQ(highest, 32767);
    EXPECT_EQ(lowest, -32768);
}

TEST_F(AudioTest, AStreamPlaysWhatIsQueuedThenFallsSilent)
{
    AudioBuffer s = AudioCreateStream({22050, 1, 16}, 22050 * 2);
    ASSERT_NE(s, 0u);
    const std::vector<uint8_t> bytes = tone::Sine(22050, 16, 1, 440, 0.2, 0.5);
    EXPECT_EQ(AudioStreamWrite(s, bytes.data(), static_cast<uint32_t>(bytes.size())), bytes.size());
    EXPECT_EQ(AudioStreamQueued(s), bytes.size());
    ASSERT_TRUE(AudioPlay(s, false));
    std::vector<int16_t> out = Render(kRate / 10);
    EXPECT_NEAR(tone::Rms(out, 0, 0, kRate / 10), 0.5 / std::sqrt(2.0), 0.002);
    EXPECT_NEAR(AudioStreamQueued(s), bytes.size() / 2, 4);
    out = Render(kRate / 5);
    EXPECT_LE(AudioStreamQueued(s), 2u);
    EXPECT_EQ(tone::Rms(out, 0, kRate / 10 + 2, kRate / 10 - 2), 0.0);

    // A full ring takes no more; an odd byte of a 16-bit frame waits.
    const std::vector<uint8_t> second = tone::Sine(22050, 16, 1, 440, 1.5, 0.5);
    EXPECT_EQ(AudioStreamWrite(s, second.data(), static_cast<uint32_t>(second.size())), 22050u * 2 - 2);
    EXPECT_EQ(AudioStreamWrite(s, second.data(), 1), 0u);
}

TEST_F(AudioTest, ReleasedAndUnknownHandlesAreRefused)
{
    AudioBuffer b = Tone(22050, 16, 1, 440, 0.1);
    ASSERT_NE(b, 0u);
    AudioRelease(b);
    AudioBuffer reused = Tone(22050, 16, 1, 440, 0.1); // the same voice again
    ASSERT_NE(reused, 0u);
    EXPECT_NE(reused, b);
    AudioStatus status{};
    EXPECT_FALSE(AudioPlay(b, false));
    EXPECT_FALSE(AudioStop(b));
    EXPECT_FALSE(AudioSetVolume(b, 0));
    EXPECT_FALSE(AudioGetStatus(b, &status));
    EXPECT_FALSE(AudioPlay(0, false));
    EXPECT_FALSE(AudioPlay(0xFFFFFFFFu, false));

    // Formats the mixer does not take, and empty buffers.
    const uint8_t bytes[8] = {};
    EXPECT_EQ(AudioCreateBuffer({22050, 3, 16}, bytes, 8), 0u);
    EXPECT_EQ(AudioCreateBuffer({22050, 1, 12}, bytes, 8), 0u);
    EXPECT_EQ(AudioCreateBuffer({0, 1, 16}, bytes, 8), 0u);
    EXPECT_EQ(AudioCreateBuffer({22050, 2, 16}, bytes, 3), 0u);
    EXPECT_EQ(AudioCreateBuffer({22050, 1, 16}, nullptr, 8), 0u);
}

TEST_F(AudioTest, TheBufferTableHasAFixedSizeAndClosingEmptiesIt)
{
    const uint8_t bytes[4] = {};
    std::vector<AudioBuffer> all;
    for (int i = 0; i < kAudioBufferLimit; ++i) {
        all.push_back(AudioCreateBuffer({22050, 1, 16}, bytes, 4));
        ASSERT_NE(all.back(), 0u);
    }
    EXPECT_EQ(AudioCreateBuffer({22050, 1, 16}, bytes, 4), 0u);
    AudioClose();
    EXPECT_FALSE(AudioIsOpen());
    EXPECT_EQ(AudioCreateBuffer({22050, 1, 16}, bytes, 4), 0u);
    ASSERT_TRUE(AudioOpen(AudioOutput::Capture, kRate));
    AudioStatus status{};
    EXPECT_FALSE(AudioGetStatus(all.front(), &status));
    EXPECT_NE(AudioCreateBuffer({22050, 1, 16}, bytes, 4), 0u);
}

TEST(AudioDeviceTest, TheDevicesCallbackPlaysBuffersThrough)
{
    // SDL's dummy driver runs the callback in real time and discards the sound.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(AudioOpen(AudioOutput::Device));
    EXPECT_GT(AudioOutputRate(), 0);
    const std::vector<uint8_t> bytes = tone::Sine(22050, 16, 1, 440, 0.05, 0.5);
    AudioBuffer b = AudioCreateBuffer({22050, 1, 16}, bytes.data(), static_cast<uint32_t>(bytes.size()));
    ASSERT_TRUE(AudioPlay(b, false));
    AudioStatus status{};
    status.playing = true;
    // Half a second of sound; only a callback that never runs takes two
    // minutes, however busy the machine.
    for (int i = 0; i < 12000 && status.playing; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(AudioGetStatus(b, &status));
    }
    EXPECT_FALSE(status.playing);
    AudioClose();
    unsetenv("SDL_AUDIODRIVER");
}

} // namespace
