// Sound for tests: the sound module on the mixer's capture output, with a
// tone file to load, so a test can play slots and check what is heard.
#pragma once

#include "platform/audio.h"
#include "system/settings.h"
#include "system/sound.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/tone.h"

#include <initializer_list>
#include <string>
#include <vector>

class CapturedSound {
public:
    static constexpr int kRate = 44100;

    // `tonePath` (in a scratch folder) holds 1 s of 440 Hz at half scale,
    // 22,050 Hz 16-bit mono.
    CapturedSound() : folder_("captured_sound")
    {
        savedSound_ = gSettings.sound;
        gSettings.sound = 255;
        platform::AudioClose();
        platform::AudioOpen(platform::AudioOutput::Capture, kRate);
        SoundInit();
        tonePath = (folder_ / "tone.wav").string();
        tone::WriteSine(tonePath.c_str(), 22050, 16, 1, 440, 1.0, 0.5);
    }
    ~CapturedSound()
    {
        SoundShutdown();
        gSoundMissionMarker = 0;
        gSoundMasterVolume = 100.0f;
        gSettings.sound = savedSound_;
    }
    CapturedSound(const CapturedSound&) = delete;
    CapturedSound& operator=(const CapturedSound&) = delete;

    // The next frames of the mixed output, interleaved stereo.
    static std::vector<int16_t> Render(int frames)
    {
        std::vector<int16_t> out(2 * static_cast<std::size_t>(frames));
        platform::AudioRender(out.data(), frames);
        return out;
    }

    static platform::AudioStatus Status(const SoundSlot& slot)
    {
        platform::AudioStatus status{};
        platform::AudioGetStatus(slot.buffer, &status);
        return status;
    }

    // Loads numbered slots with the tone, so that plays of them are heard.
    void LoadSlots(std::initializer_list<int> slots) const
    {
        for (int slot : slots)
            SoundLoadFile(&gSoundSlots[slot], tonePath.c_str());
    }

    // True when the slot was started since the last call (it is playing):
    // stops it, so that each start counts once.
    static bool TakePlay(int slot)
    {
        if (!SoundIsPlaying(&gSoundSlots[slot]))
            return false;
        SoundStop(&gSoundSlots[slot]);
        return true;
    }

    const ScratchFolder& Folder() const { return folder_; }

    std::string tonePath;

private:
    ScratchFolder folder_;
    uint8_t savedSound_;
};
