// Sound slots on the mixer's captured output: loading on first use, slot
// numbers, restarts, master volume, varied frequency, pause and resume,
// the mission's release, speech; placement and Doppler relative to the
// player camera.
#include "system/errors.h"
#include "system/sound.h"
#include "game/startup.h"
#include "tests/support/sound_fixture.h"
#include "view/cameras.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

const double kToneLevel = 0.5 / std::sqrt(2.0); // RMS of the half-scale tone

class SoundTest : public ::testing::Test {
protected:
    SoundTest() : data_("sound_slots", true)
    {
        std::filesystem::create_directories(data_ / "zqk/resource/sounds");
        Write("10", 22050, 16, 1, 1.0); // slot 0
        Write("11", 22050, 16, 1, 0.2); // slot 1
        Write("32", 11025, 8, 1, 1.0);  // slot 2
        Write("27", 22050, 16, 2, 1.0); // slot 3
    }

    static void Write(const char* stem, uint32_t rate, uint16_t bits, uint16_t channels, double seconds)
    {
        const std::string path = std::string("zqk\\resource\\sounds\\") + stem + ".wav";
        ASSERT_TRUE(tone::WriteSine(path.c_str(), rate, bits, channels, 440, seconds, 0.5));
    }

    static double Level(const std::vector<int16_t>& out, int channel = 0)
    {
        return tone::Rms(out, channel, 0, out.size() / 2);
    }

    ScratchFolder data_;
    CapturedSound sound_;
};

TEST_F(SoundTest, APlayLoadsTheSlotOnFirstUseAndIsHeardAtItsVolumeAndPan)
{
    EXPECT_EQ(gSoundSlots[0].buffer, 0u);
    SoundPlay(0, -2000, 0, 2000, 0);
    ASSERT_NE(gSoundSlots[0].buffer, 0u);
    EXPECT_EQ(gSoundSlots[0].length, 44100u);
    EXPECT_EQ(gSoundSlots[0].bytesPerSecond, 44100);
    EXPECT_EQ(gSoundSlots[0].missionSound, 0);
    EXPECT_TRUE(SoundIsPlaying(&gSoundSlots[0]));
    const std::vector<int16_t> out = CapturedSound::Render(22050);
    EXPECT_NEAR(Level(out, 0), kToneLevel * 0.01, 0.001); // -20 dB, and 20 dB more on the far side
    EXPECT_NEAR(Level(out, 1), kToneLevel * 0.1, 0.001);
    EXPECT_NEAR(tone::Crossings(out, 1), 220, 1); // the file's own rate
}

TEST_F(SoundTest, NumbersThatNameNoSlotPlayNothing)
{
    for (const int32_t number : {-1, -50, INT32_MIN, 50, 51, 0x8000, 0x8000 | 0, 0x8002, 45, 49}) {
        SCOPED_TRACE(number);
        SoundPlay(number, 0, 0, 0, 1);
        SoundPlayVaried(number, 0, 0, 0, 1, 1000);
        SoundStopNumber(number);
        SoundLoadSlot(number);
    }
    for (const SoundSlot& slot : gSoundSlots)
        EXPECT_EQ(slot.buffer, 0u);
    EXPECT_EQ(Level(CapturedSound::Render(4410)), 0.0);
}

TEST_F(SoundTest, AMissingFileIsReportedOnceAndItsSlotStaysSilent)
{
    // Slot 9 ("16") has no file: the first play reports it; later plays do
    // not look again, even once the file exists.
    SoundPlay(9, 0, 0, 0, 0);
    EXPECT_EQ(gSoundSlots[9].buffer, 0u);
    EXPECT_NE(gSoundSlots[9].loadFailed, 0);
    Write("16", 22050, 16, 1, 1.0);
    SoundPlay(9, 0, 0, 0, 0);
    EXPECT_EQ(gSoundSlots[9].buffer, 0u);
    EXPECT_EQ(Level(CapturedSound::Render(4410)), 0.0);
    // Releasing everything forgets the failure: a new run of loads looks again.
    SoundReleaseAll();
    SoundPlay(9, 0, 0, 0, 0);
    EXPECT_NE(gSoundSlots[9].buffer, 0u);
}

TEST_F(SoundTest, PlayingAPlayingSlotRestartsItWithTheNewValuesAndItsLoopMode)
{
    SoundPlay(0, 0, 0, 0, 1);
    CapturedSound::Render(4410);
    EXPECT_EQ(CapturedSound::Status(gSoundSlots[0]).position, 4410u);
    SoundPlay(0, -2000, 44100, -500, 0);
    const platform::AudioStatus status = CapturedSound::Status(gSoundSlots[0]);
    EXPECT_EQ(status.position, 0u);
    EXPECT_TRUE(status.playing);
    EXPECT_TRUE(status.looping); // the buffer keeps the loop mode it plays with
    EXPECT_EQ(status.volume, -2000);
    EXPECT_EQ(status.pan, -500);
    EXPECT_EQ(status.frequency, 44100u);
    EXPECT_EQ(gSoundSlots[0].loop, 0);
    // Stopped, a start takes the new loop mode and begins at 0.
    SoundStop(&gSoundSlots[0]);
    SoundStart(&gSoundSlots[0], 0, 0, 0, 0);
    EXPECT_FALSE(CapturedSound::Status(gSoundSlots[0]).looping);
    EXPECT_EQ(CapturedSound::Status(gSoundSlots[0]).position, 0u);
}

TEST_F(SoundTest, TheMasterVolumeScalesWhatTheBufferGets)
{
    struct Case {
        float master;
        int32_t volume, applied;
    };
    // clang-format off
    const Case cases[] = {
        {100, 0, 0}, {100, -2500, -2500}, {0, 0, -5000}, {0, -10000, -10000}, {50, -2000, -4000}, {0, -2000, -6000},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "master " << c.master << " volume " << c.volume);
        gSoundMasterVolume = c.master;
        SoundPlay(0, c.volume, 0, 0, 0);
        EXPECT_EQ(gSoundSlots[0].volume, c.volume);
        EXPECT_EQ(CapturedSound::Status(gSoundSlots[0]).volume, c.applied);
        const double gain = c.applied <= -10000 ? 0.0 : std::pow(10.0, c.applied / 2000.0);
        EXPECT_NEAR(Level(CapturedSound::Render(4410)), kToneLevel * gain, 0.001);
    }
}

TEST_F(SoundTest, AVariedPlayDrawsAroundTheSampleRate)
{
    // 16-bit mono at 22,050 Hz, 8-bit mono at 11,025 and 16-bit stereo at
    // 22,050: the base is the sample rate whatever the sample size.
    struct Case {
        int32_t slot;
        uint32_t rate;
    };
    for (const Case c : {Case{0, 22050}, Case{2, 11025}, Case{3, 22050}}) {
        SCOPED_TRACE(c.slot);
        SoundPlayVaried(c.slot, 0, 12345, 0, 0, 0);
        EXPECT_EQ(gSoundSlots[c.slot].frequency, static_cast<int32_t>(c.rate));
        SoundPlayVaried(c.slot, 0, 0, 0, 0, -300);
        EXPECT_EQ(gSoundSlots[c.slot].frequency, static_cast<int32_t>(c.rate));
        for (int i = 0; i < 50; ++i) {
            SoundPlayVaried(c.slot, 0, 0, 0, 0, 4000);
            EXPECT_GE(gSoundSlots[c.slot].frequency, static_cast<int32_t>(c.rate) - 2000);
            EXPECT_LT(gSoundSlots[c.slot].frequency, static_cast<int32_t>(c.rate) + 2000);
        }
    }
    // A spread wider than twice the rate cannot go below 0 (0 is the own rate).
    for (int i = 0; i < 50; ++i) {
        SoundPlayVaried(2, 0, 0, 0, 0, 30000);
        EXPECT_GE(gSoundSlots[2].frequency, 0);
    }
}

TEST_F(SoundTest, PauseAndResumeKeepEachSoundsPositionAndLoopMode)
{
    SoundPlay(0, 0, 0, 0, 1); // looping
    SoundPlay(1, 0, 0, 0, 0); // one shot of 0.2 s
    ASSERT_NE(SpeechPlay(sound_.tonePath.c_str()), nullptr);
    SoundPlay(2, 0, 0, 0, 0);
    SoundStop(&gSoundSlots[2]); // stopped: not paused
    CapturedSound::Render(4410);
    const uint32_t at0 = CapturedSound::Status(gSoundSlots[0]).position;
    const uint32_t at1 = CapturedSound::Status(gSoundSlots[1]).position;
    const uint32_t atSpeech = CapturedSound::Status(gSpeechChannel).position;
    EXPECT_EQ(at0, 4410u);

    SoundPauseAll();
    EXPECT_NE(gSoundSlots[0].paused, 0);
    EXPECT_NE(gSoundSlots[1].paused, 0);
    EXPECT_NE(gSpeechChannel.paused, 0);
    EXPECT_EQ(gSoundSlots[2].paused, 0);
    EXPECT_EQ(Level(CapturedSound::Render(8820)), 0.0);

    SoundResumeAll();
    EXPECT_EQ(CapturedSound::Status(gSoundSlots[0]).position, at0);
    EXPECT_EQ(CapturedSound::Status(gSoundSlots[1]).position, at1);
    EXPECT_EQ(CapturedSound::Status(gSpeechChannel).position, atSpeech);
    EXPECT_TRUE(CapturedSound::Status(gSoundSlots[0]).looping);
    EXPECT_FALSE(CapturedSound::Status(gSoundSlots[1]).looping);
    EXPECT_FALSE(SoundIsPlaying(&gSoundSlots[2]));
    EXPECT_EQ(gSoundSlots[0].paused, 0);
    EXPECT_GT(Level(CapturedSound::Render(4410)), kToneLevel * 2); // three tones at once (clamped)
    // The loop goes round; the one shot ends where it would have.
    CapturedSound::Render(44100);
    EXPECT_TRUE(SoundIsPlaying(&gSoundSlots[0]));
    EXPECT_FALSE(SoundIsPlaying(&gSoundSlots[1]));
}

TEST_F(SoundTest, TheEndScreenReleasesOnlyTheMissionsSoundsAndTheSpeech)
{
    SoundPreload(); // slots 0, 2, 3 have files and the preload mark
    gSoundMissionMarker = 255;
    SoundPlay(0, 0, 0, 0, 1);
    SoundPlay(1, 0, 0, 0, 1); // slot 1 ("11") loads on demand: a mission sound
    ASSERT_NE(SpeechPlay(sound_.tonePath.c_str()), nullptr);
    EXPECT_EQ(gSoundSlots[0].missionSound, 0);
    EXPECT_NE(gSoundSlots[1].missionSound, 0);
    EXPECT_GT(Level(CapturedSound::Render(4410)), 0.1);

    ShowEndScreen();
    EXPECT_NE(gSoundSlots[0].buffer, 0u);
    EXPECT_NE(gSoundSlots[2].buffer, 0u);
    EXPECT_EQ(gSoundSlots[1].buffer, 0u);
    EXPECT_EQ(gSpeechChannel.buffer, 0u);
    EXPECT_FALSE(SoundIsPlaying(&gSoundSlots[0]));
    EXPECT_EQ(Level(CapturedSound::Render(4410)), 0.0);

    // The kept slot plays at once; the released one loads again on demand.
    SoundPlay(0, 0, 0, 0, 0);
    SoundPlay(1, 0, 0, 0, 0);
    EXPECT_NE(gSoundSlots[1].buffer, 0u);
    EXPECT_NEAR(Level(CapturedSound::Render(4410)), 2 * kToneLevel, 0.01);
    SoundReleaseAll();
    for (const SoundSlot& slot : gSoundSlots)
        EXPECT_EQ(slot.buffer, 0u);
    EXPECT_EQ(Level(CapturedSound::Render(4410)), 0.0);
}

TEST_F(SoundTest, SpeechPlaysOneFileOnceCentredAtItsOwnRate)
{
    SoundSlot* speech = SpeechPlay(sound_.tonePath.c_str());
    ASSERT_EQ(speech, &gSpeechChannel);
    EXPECT_EQ(speech->length, 44100u);
    const std::vector<int16_t> out = CapturedSound::Render(44100);
    EXPECT_NEAR(Level(out, 0), kToneLevel, 0.002);
    EXPECT_NEAR(Level(out, 1), kToneLevel, 0.002);
    EXPECT_NEAR(tone::Crossings(out, 0), 440, 1);
    EXPECT_FALSE(SoundIsPlaying(speech));
    EXPECT_EQ(SpeechPlay("zqk\\nothing.wav"), nullptr); // the previous file is released
    EXPECT_EQ(gSpeechChannel.buffer, 0u);
    ASSERT_NE(SpeechPlay(sound_.tonePath.c_str()), nullptr);
    SpeechStop();
    EXPECT_EQ(gSpeechChannel.buffer, 0u);
    EXPECT_EQ(Level(CapturedSound::Render(4410)), 0.0);
}

TEST_F(SoundTest, WithSoundOffNothingLoadsOrPlays)
{
    gSettings.sound = 0;
    SoundPlay(0, 0, 0, 0, 0);
    SoundPreload();
    EXPECT_EQ(SpeechPlay(sound_.tonePath.c_str()), nullptr);
    for (const SoundSlot& slot : gSoundSlots)
        EXPECT_EQ(slot.buffer, 0u);
}

TEST(SoundInitTest, WithoutAnAudioDeviceSoundTurnsOff)
{
    const uint8_t saved = gSettings.sound;
    gSettings.sound = 255;
    platform::AudioClose();
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SoundInit();
    unsetenv("SDL_AUDIODRIVER");
    EXPECT_EQ(gSettings.sound, 0);
    SoundPlay(0, 0, 0, 0, 0);
    EXPECT_EQ(gSoundSlots[0].buffer, 0u);
    gSettings.sound = saved;
}

// ---- Placement and Doppler ---------------------------------------------------

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (auto* pair : {&camera_, &item_, &player_}) {
            pair->item.avatar = &pair->avatar;
            MatIdentity(pair->avatar.matrix);
        }
        savedPlayer_ = gPlayerItem;
        gPlayerItem = &player_.item;
        gPlayerCamera = &camera_.item;
    }
    void TearDown() override
    {
        gPlayerItem = savedPlayer_;
        gPlayerCamera = nullptr;
    }

    struct ItemWithAvatar {
        SceneItem item{};
        Avatar avatar{};
    };
    ItemWithAvatar camera_, item_, player_;
    SceneItem* savedPlayer_ = nullptr;
};

TEST_F(PlacementTest, VolumeAndPanFollowTheItemsPlaceInTheCamerasAxes)
{
    struct Case {
        double x, y, z;  // the item, the camera at (1000, 0, 0)
        float cameraYaw; // degrees about the camera's Y axis
        int32_t volume, pan;
        float distance;
    };
    const Case cases[] = {
        {1000, 0, 1000000, 0, -2000, 0, 1000000},   // ahead, 1,000,000 away
        {1000, 0, -5000000, 0, -10000, 0, 5000000}, // at the limit
        {1000, 0, 5000100, 0, -10000, 0, 5000100},  // beyond it: silent
        {1500, 0, 0, 0, -1, 10000, 500},            // on the right
        {-1000, 0, 0, 0, -4, -10000, 2000},         // on the left
        {1000 + 3000, 4000, 0, 0, -10, 6000, 5000}, // right and up
        {1000, 0, 1000, 90, -2, -10000, 1000},      // camera turned right: ahead is on the left
        {1000, 0, 0, 0, 0, 0, 0},                   // at the camera
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.x << ", " << c.y << ", " << c.z << " yaw " << c.cameraYaw);
        camera_.avatar.position = {1000, 0, 0};
        MatIdentity(camera_.avatar.matrix);
        MatSetRotY(c.cameraYaw, camera_.avatar.matrix);
        item_.avatar.position = {c.x, c.y, c.z};
        int32_t volume = 1, pan = 1;
        Vector3 offset{};
        EXPECT_FLOAT_EQ(SoundPlacePoint(&item_.item, &volume, &pan, &offset), c.distance);
        EXPECT_EQ(volume, c.volume);
        EXPECT_NEAR(pan, c.pan, 1);
        EXPECT_NEAR(VecLength(offset), c.distance, c.distance * 1e-6f);
        EXPECT_FLOAT_EQ(SoundPlaceObject(&item_.item, &volume, &pan), c.distance);
    }
}

TEST_F(PlacementTest, AnItemOfAnotherSystemIsSilentAndAMissingOneIsNowhere)
{
    item_.avatar.position = {0, 0, 100};
    item_.item.sceneGeneration = 3;
    int32_t volume = 7, pan = 7;
    EXPECT_FLOAT_EQ(SoundPlaceObject(&item_.item, &volume, &pan), 1e11f);
    EXPECT_EQ(volume, -10000);
    EXPECT_EQ(pan, 0);

    volume = pan = 7;
    gPlayerCamera = nullptr;
    EXPECT_EQ(SoundPlaceObject(&item_.item, &volume, &pan), 0.0f);
    EXPECT_EQ(SoundPlaceObject(nullptr, &volume, &pan), 0.0f);
    EXPECT_EQ(volume, 7);
    EXPECT_EQ(pan, 7);
}

TEST_F(PlacementTest, DopplerRaisesAClosingSoundAndLowersAReceedingOne)
{
    struct Case {
        Vector3 itemVelocity, cameraVelocity;
        float factor;
        int32_t frequency;
    };
    // The item is 1000 ahead of the camera (+z).
    const Case cases[] = {
        {{0, 0, 0}, {0, 0, 0}, 1, 22050},
        {{0, 0, -100000}, {0, 0, 0}, 1, 27050}, // closing at the clamp
        {{0, 0, -400000}, {0, 0, 0}, 1, 27050}, // faster: still the clamp
        {{0, 0, 50000}, {0, 0, 0}, 1, 19550},   // receding
        {{0, 0, -100000}, {0, 0, 0}, 0.5f, 24550},
        {{0, 0, 0}, {0, 0, 100000}, 1, 27050}, // the camera closing in
        {{70000, 0, 0}, {0, 0, 0}, 1, 22050},  // passing across: no change
        {{0, 0, 200000}, {0, 0, 0}, 2, 12050},
    };
    camera_.avatar.position = {0, 0, 0};
    item_.avatar.position = {0, 0, 1000};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frequency);
        item_.avatar.velocity = c.itemVelocity;
        camera_.avatar.velocity = c.cameraVelocity;
        int32_t frequency = 0;
        SoundDoppler(&item_.item, &frequency, c.factor);
        EXPECT_EQ(frequency, c.frequency);
    }
    int32_t frequency = 5;
    camera_.avatar.velocity = {0, 0, 5000};
    SoundDoppler(&camera_.item, &frequency, 1);
    EXPECT_EQ(frequency, 22050); // the camera's own sound
    frequency = 5;
    item_.item.sceneGeneration = 2;
    SoundDoppler(&item_.item, &frequency, 1);
    EXPECT_EQ(frequency, 5);
}

} // namespace
