// The simulation frame's sound, through the real sound module: engine and
// ambient volumes, positional sound with shared slots, the proximity alarm,
// and the sound of a deleted item.
#include "screens/bridge.h"
#include "system/frameclock.h"
#include "system/sound.h"
#include "tests/support/sound_fixture.h"
#include "tests/support/world_fixture.h"
#include "view/cameras.h"
#include "view/viewstart.h"
#include "world/scenelist.h"
#include "world/physics.h"
#include "world/simframe.h"

#include <filesystem>

using worldtest::MakeItem;
using worldtest::WorldTest;

namespace {

class SimFrameSoundTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        sound_ = std::make_unique<CapturedSound>();
        for (int slot : {kAmbientSoundSlot, kEngineSoundSlot, kShared})
            ASSERT_EQ(SoundLoadFile(&gSoundSlots[slot], sound_->tonePath.c_str()), 1);
        camera_ = MakeItem();
        MatIdentity(camera_->avatar->matrix); // looking along +z
        gPlayerItem = gControlledItem = camera_;
        gPlayerCamera = camera_;
        gFrameClock.frameTicks = 3;
        gFrameClock.frameSeconds = 0.03f;
    }
    void TearDown() override
    {
        gPlayerCamera = nullptr;
        gEngineSoundEnabled = 255;
        gEngineVolume = -10000;
        gSoundMuteCount = 0;
        gProximityAlarmCountdown = 0;
        for (ProximityThreat& t : gProximityThreats)
            t = {};
        for (SoundSlot& slot : gSoundSlots) {
            slot.owner = nullptr;
            slot.ownerDistance = 0;
        }
        sound_.reset();
        WorldTest::TearDown();
    }

    // An item `z` units ahead of the camera (and `x` to its right), heard
    // through the shared slot.
    SceneItem* Heard(double z, double x = 0)
    {
        SceneItem* item = MakeItem();
        item->avatar->position = {x, 0, z};
        item->avatar->soundSlot = &gSoundSlots[kShared];
        return item;
    }

    static int32_t BufferVolume(int slot) { return CapturedSound::Status(gSoundSlots[slot]).volume; }

    static constexpr int kShared = 7;
    std::unique_ptr<CapturedSound> sound_;
    SceneItem* camera_ = nullptr;
};

TEST_F(SimFrameSoundTest, TheEngineSlotPlaysTheEngineVolumeOnlyWhileItMayBeHeard)
{
    gEngineVolume = -1500;
    struct Case {
        const char* what;
        uint8_t enabled, barred, fullScreen;
        int32_t directorHold;
        int32_t engine;
    };
    const Case cases[] = {
        {"enabled", 255, 0, 0, 0, -1500},
        {"not enabled", 0, 0, 0, 0, -10000},
        {"barred", 255, 255, 0, 0, -10000},
        {"full-screen view", 255, 0, 255, 0, -10000},
        {"director hold 2", 255, 0, 0, 2, -10000},
        {"director hold 1", 255, 0, 0, 1, -1500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gEngineSoundEnabled = c.enabled;
        gPlayerShipLost = c.barred;
        gFullScreenView = c.fullScreen;
        gDirectorHold = c.directorHold;
        RunSimulationFrame();
        EXPECT_EQ(BufferVolume(kEngineSoundSlot), c.engine);
        EXPECT_EQ(BufferVolume(kAmbientSoundSlot), -3000);
    }
    gPlayerShipLost = 0;
    gFullScreenView = 0;
    gDirectorHold = 0;

    // Frozen: the two settings happen, the engine volume does not.
    gEngineSoundEnabled = 255;
    gFreezeView = 255;
    RunSimulationFrame();
    EXPECT_EQ(BufferVolume(kEngineSoundSlot), -10000);
    gFreezeView = 0;
}

TEST_F(SimFrameSoundTest, ASharedSlotIsHeardFromTheNearestItem)
{
    SceneItem* a = Heard(1000, 1000);
    SceneItem* b = Heard(3000);
    RunSimulationFrame();
    SoundSlot& slot = gSoundSlots[kShared];
    EXPECT_EQ(slot.owner, a);
    EXPECT_FLOAT_EQ(slot.ownerDistance, std::sqrt(2.0f) * 1000);
    EXPECT_EQ(BufferVolume(kShared), -4); // trunc(1414 / -500), doubled
    EXPECT_NEAR(slot.pan, 7071, 1);       // 45 degrees to the right
    EXPECT_EQ(slot.frequency, 22050);     // still: no Doppler shift

    // A moves away beyond B: the owner's distance is updated on its turn,
    // and B, nearer, takes the slot on its own.
    a->avatar->position = {0, 0, 400000};
    RunSimulationFrame();
    EXPECT_EQ(slot.owner, b);
    EXPECT_FLOAT_EQ(slot.ownerDistance, 3000);
    EXPECT_EQ(BufferVolume(kShared), -12);
    EXPECT_EQ(slot.pan, 0);

    // Closing in raises the pitch (factor 0.5).
    b->avatar->velocity = {0, 0, -100000};
    RunSimulationFrame();
    EXPECT_EQ(slot.frequency, 22050 + 2500);

    // Muted, in a conversation's place or under the director's hold 2: silent.
    gSoundMuteCount = 1;
    RunSimulationFrame();
    EXPECT_EQ(BufferVolume(kShared), -10000);
    gSoundMuteCount = 0;
    gDirectorHold = 2;
    RunSimulationFrame();
    EXPECT_EQ(BufferVolume(kShared), -10000);
    gDirectorHold = 0;
    RunSimulationFrame();
    EXPECT_EQ(BufferVolume(kShared), -12);
}

TEST_F(SimFrameSoundTest, AFarItemIsSilentAndItsPanIsLeftAlone)
{
    Heard(3000000, 3000000); // 4.2 million away: -8485 doubled is below -10000
    gSoundSlots[kShared].pan = 1234;
    RunSimulationFrame();
    EXPECT_EQ(BufferVolume(kShared), -10000);
    EXPECT_EQ(gSoundSlots[kShared].pan, 1234);
}

TEST_F(SimFrameSoundTest, DeletingAnItemSilencesItsSlotForTheNextOwner)
{
    SceneItem* a = Heard(1000);
    SceneItem* b = Heard(2000);
    RunSimulationFrame();
    ASSERT_EQ(gSoundSlots[kShared].owner, a);
    DeleteSceneItem(a);
    EXPECT_EQ(gSoundSlots[kShared].owner, nullptr);
    EXPECT_FLOAT_EQ(gSoundSlots[kShared].ownerDistance, 1e24f);
    EXPECT_EQ(BufferVolume(kShared), -10000);
    RunSimulationFrame();
    EXPECT_EQ(gSoundSlots[kShared].owner, b);
}

TEST_F(SimFrameSoundTest, TheProximityAlarmRepeatsFasterAsTheThreatClosesIn)
{
    ScratchFolder data("proximity_alarm", true);
    std::filesystem::create_directories(data / "zqk/resource/sounds");
    ASSERT_TRUE(tone::WriteSine("zqk\\resource\\sounds\\43.wav", 22050, 16, 1, 440, 0.05, 0.5));
    SoundSlot& alarm = gSoundSlots[44];

    gProximityThreats[2] = {camera_, 2000000}; // too far: no alarm
    RunSimulationFrame();
    EXPECT_EQ(gProximityAlarmCountdown, 0);

    gProximityThreats[1] = {camera_, 1000}; // 10 hundredths
    gProximityThreats[3] = {nullptr, 10};   // an empty entry counts for nothing
    RunSimulationFrame();
    EXPECT_EQ(gProximityAlarmCountdown, 10);
    int frames = 0;
    while (!SoundIsPlaying(&alarm) && frames < 10) {
        RunSimulationFrame();
        ++frames;
    }
    EXPECT_EQ(frames, 4); // 10 -> 7 -> 4 -> 1 -> past 0: the alarm, then 10 again
    EXPECT_EQ(gProximityAlarmCountdown, 10);

    // A nearer threat shortens a running countdown; a farther one does not lengthen it.
    gProximityThreats[1] = {camera_, 500};
    RunSimulationFrame();
    EXPECT_EQ(gProximityAlarmCountdown, 5);
    gProximityThreats[1] = {camera_, 900};
    RunSimulationFrame();
    EXPECT_EQ(gProximityAlarmCountdown, 2);
}

} // namespace
