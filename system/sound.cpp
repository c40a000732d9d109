// Sound slots, the speech channel and positional sound. See sound.h.
#include "system/sound.h"

#include "platform/files.h"
#include "system/crand.h"
#include "system/errors.h"
#include "system/settings.h"
#include "system/trace.h"
#include "system/wav.h"
#include "view/cameras.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kErrorTitle = "Direct Sound Error";
constexpr int32_t kSilent = platform::kAudioSilent;

// The loaded slots, in load order.
struct SoundList {
    SoundSlot* head = nullptr;
    SoundSlot* tail = nullptr;
} gLoaded;

bool SoundOn()
{
    return gSettings.sound != 0;
}

// A number with bit 0x8000 set (a "no sound" mark) lies above the table.
SoundSlot* SlotOf(int32_t number)
{
    if (number < 0 || number >= kSoundSlotCount)
        return nullptr;
    return &gSoundSlots[number];
}

void Append(SoundSlot* slot)
{
    slot->next = nullptr;
    if (gLoaded.tail)
        gLoaded.tail->next = slot;
    else
        gLoaded.head = slot;
    gLoaded.tail = slot;
}

void Unlink(SoundSlot* slot)
{
    SoundSlot* previous = nullptr;
    for (SoundSlot* s = gLoaded.head; s; previous = s, s = s->next) {
        if (s != slot)
            continue;
        (previous ? previous->next : gLoaded.head) = s->next;
        if (gLoaded.tail == s)
            gLoaded.tail = previous;
        s->next = nullptr;
        return;
    }
}

// Gives back the buffer and the memory of a slot; the slot keeps its name,
// preload mark and stored values.
void ReleaseBuffer(SoundSlot* slot)
{
    platform::AudioRelease(slot->buffer);
    std::free(slot->data);
    WavFreeFormat(slot->format);
    slot->buffer = 0;
    slot->data = nullptr;
    slot->format = nullptr;
    slot->length = 0;
    slot->paused = 0;
    slot->playing = 0;
    slot->missionSound = 0;
}

// Reads a WAV file into a slot's buffer without putting the slot on the list.
// Why the last load failed, for the line that names the file.
WavResult gLastLoadResult = kWavOk;

bool LoadInto(SoundSlot* slot, const char* path)
{
    uint32_t length = 0;
    WaveFormat* format = nullptr;
    uint8_t* data = nullptr;
    gLastLoadResult = WavLoad(path, &length, &format, &data);
    if (gLastLoadResult != kWavOk)
        return false;
    platform::AudioBuffer buffer = 0;
    if (format->formatTag == 1)
        buffer = platform::AudioCreateBuffer({format->samplesPerSec, format->channels, format->bitsPerSample},
                                             data, length);
    if (!buffer) {
        std::free(data);
        WavFreeFormat(format);
        return false;
    }
    slot->length = length;
    slot->format = format;
    slot->data = data;
    slot->buffer = buffer;
    slot->bytesPerSecond = static_cast<int32_t>(format->bitsPerSample * format->samplesPerSec / 8);
    slot->paused = 0;
    slot->playing = 0;
    slot->hardware = 0;
    slot->volume = 0;
    slot->pan = 0;
    platform::AudioSetVolume(buffer, 0);
    platform::AudioSetPan(buffer, 0);
    slot->missionSound = gSoundMissionMarker;
    return true;
}

int32_t ScaledVolume(int32_t volume)
{
    return static_cast<int32_t>((volume + 10000) * ((gSoundMasterVolume + 100.0f) / 200.0f) - 10000.0f);
}

void ReleaseSpeech()
{
    if (gSpeechChannel.buffer)
        ReleaseBuffer(&gSpeechChannel);
}

void PauseSlot(SoundSlot* slot)
{
    if (!SoundIsPlaying(slot))
        return;
    SoundStop(slot);
    slot->paused = 255;
}

void ResumeSlot(SoundSlot* slot)
{
    if (!slot->paused || !slot->buffer)
        return;
    slot->paused = 0;
    platform::AudioStatus status{};
    // Stopping kept the position and the loop mode: play on from there.
    if (platform::AudioGetStatus(slot->buffer, &status) && platform::AudioPlay(slot->buffer, status.looping))
        slot->playing = 255;
}

// Where an item and the camera are: camera-space offset of the item.
struct Placement {
    Vector3 offset; // camera axes
    float distance;
};

Placement PlaceRelativeToCamera(const Avatar& item, const Avatar& camera)
{
    const Vector3 world{static_cast<float>(item.position.x - camera.position.x),
                        static_cast<float>(item.position.y - camera.position.y),
                        static_cast<float>(item.position.z - camera.position.z)};
    Placement p;
    VecMulMat3T(p.offset, world, camera.matrix);
    p.distance = VecLength(p.offset);
    return p;
}

bool SameSystemAsPlayer(const SceneItem* item)
{
    return gPlayerItem && item->sceneGeneration == gPlayerItem->sceneGeneration;
}

constexpr SoundSlot Named(const char* name, bool preload = false)
{
    SoundSlot slot{};
    slot.name = name;
    slot.preload = preload ? 1 : 0;
    return slot;
}

} // namespace

// Slot names in slot order; the marked ones load at start-up. 45 to 49
// have no file.
// clang-format off
SoundSlot gSoundSlots[kSoundSlotCount] = {
    Named("10", true), Named("11"), Named("32", true), Named("27", true), Named("31", true),
    Named("33", true), Named("13", true), Named("14", true), Named("15", true), Named("16"),
    Named("17", true), Named("1", true), Named("2", true), Named("3", true), Named("4", true),
    Named("5", true), Named("6", true), Named("7", true), Named("8", true), Named("9", true),
    Named("12a", true), Named("12b"), Named("18", true), Named("19a", true), Named("19b", true),
    Named("20"), Named("21"), Named("22"), Named("23", true), Named("24"), Named("25"),
    Named("26", true), Named("28"), Named("29", true), Named("30"), Named("34"), Named("35"),
    Named("36"), Named("37"), Named("38"), Named("39"), Named("40"), Named("41"), Named("42"),
    Named("43", true),
};
// clang-format on
SoundSlot gSpeechChannel = {};
float gSoundMasterVolume = 100.0f;
uint8_t gSoundMissionMarker = 0;
int32_t gSoundMuteCount = 0;

void SoundInit()
{
    gLoaded = {};
    if (!SoundOn())
        return;
    // An output that is already open (tests capture one) is kept.
    if (!platform::AudioOpen(platform::AudioOutput::Device))
        gSettings.sound = 0;
}

void SoundLoadSlot(int32_t number)
{
    SoundSlot* slot = SlotOf(number);
    if (!SoundOn() || !slot || !slot->name || slot->buffer || slot->loadFailed)
        return;
    char path[96];
    std::snprintf(path, sizeof path, "zqk\\resource\\sounds\\%s.wav", slot->name);
    gLastLoadResult = kWavOk;
    if (!SoundLoadFile(slot, path)) {
        // Once: a missing file would otherwise be looked for at every play.
        slot->loadFailed = 255;
        const char* reason = gLastLoadResult == kWavCannotOpen ? platform::DataFileFailure()
                             : gLastLoadResult == kWavOk       ? "not a sound that can be played"
                                                               : WavResultText(gLastLoadResult);
        DebugPrintf("Cannot load sound %s: %s\n", path, reason);
    }
}

void SoundPreload()
{
    for (int i = 0; i < kSoundSlotCount; ++i)
        if (gSoundSlots[i].preload)
            SoundLoadSlot(i);
}

int SoundLoadFile(SoundSlot* slot, const char* path)
{
    if (!SoundOn() || !slot)
        return 0;
    if (slot->buffer) {
        SoundStop(slot);
        Unlink(slot);
        ReleaseBuffer(slot);
    }
    if (!LoadInto(slot, path))
        return 0;
    // On the list only once it holds a buffer: a failed load leaves no
    // half-made slot behind.
    Append(slot);
    return 1;
}

void SoundPlay(int32_t number, int32_t volume, int32_t frequency, int32_t pan, int32_t loop)
{
    SoundSlot* slot = SlotOf(number);
    // Traced even with the sound off, so headless runs show what would play.
    if (slot && TraceOn())
        TraceLine("sound", "%d", number);
    if (!SoundOn() || !slot)
        return;
    SoundLoadSlot(number);
    if (slot->buffer)
        SoundStart(slot, volume, frequency, pan, loop);
}

void SoundPlayVaried(int32_t number, int32_t volume, int32_t, int32_t pan, int32_t loop, int32_t spread)
{
    SoundSlot* slot = SlotOf(number);
    if (slot && TraceOn())
        TraceLine("sound", "%d", number);
    if (!SoundOn() || !slot)
        return;
    SoundLoadSlot(number);
    if (!slot->buffer)
        return;
    int32_t frequency = static_cast<int32_t>(slot->format->samplesPerSec);
    if (spread > 0)
        frequency = std::max(0, frequency + CRand() % spread - spread / 2);
    SoundStart(slot, volume, frequency, pan, loop);
}

void SoundStart(SoundSlot* slot, int32_t volume, int32_t frequency, int32_t pan, int32_t loop)
{
    if (!SoundOn() || !slot || !slot->buffer)
        return;
    slot->paused = 0;
    slot->loop = loop;
    SoundSetVolume(slot, volume);
    SoundSetFrequency(slot, frequency);
    SoundSetPan(slot, pan);
    if (SoundIsPlaying(slot)) {
        if (!platform::AudioSetPosition(slot->buffer, 0))
            DebugMessageBox("Cannot set current position", kErrorTitle);
    } else if (!platform::AudioSetPosition(slot->buffer, 0) || !platform::AudioPlay(slot->buffer, loop != 0)) {
        DebugMessageBox("Cannot start playing", kErrorTitle);
        return;
    }
    slot->playing = 255;
}

void SoundSetVolume(SoundSlot* slot, int32_t volume)
{
    if (!slot)
        return;
    slot->volume = volume;
    platform::AudioStatus status{};
    if (!SoundOn() || !platform::AudioGetStatus(slot->buffer, &status))
        return;
    const int32_t scaled = ScaledVolume(volume);
    if (status.volume != scaled)
        platform::AudioSetVolume(slot->buffer, scaled);
}

void SoundSetFrequency(SoundSlot* slot, int32_t frequency)
{
    if (!slot)
        return;
    slot->frequency = frequency;
    platform::AudioStatus status{};
    if (!SoundOn() || !platform::AudioGetStatus(slot->buffer, &status))
        return;
    if (status.frequency != static_cast<uint32_t>(std::max(frequency, 0)))
        platform::AudioSetFrequency(slot->buffer, static_cast<uint32_t>(std::max(frequency, 0)));
}

void SoundSetPan(SoundSlot* slot, int32_t pan)
{
    if (!slot)
        return;
    slot->pan = pan;
    platform::AudioStatus status{};
    if (!SoundOn() || !platform::AudioGetStatus(slot->buffer, &status))
        return;
    if (status.pan != pan)
        platform::AudioSetPan(slot->buffer, pan);
}

void SoundStop(SoundSlot* slot)
{
    if (!SoundOn() || !slot || !slot->buffer)
        return;
    if (!platform::AudioStop(slot->buffer))
        DebugMessageBox("Cannot stop sound", kErrorTitle);
    slot->playing = 0;
}

void SoundStopNumber(int32_t number)
{
    SoundSlot* slot = SlotOf(number);
    if (slot && slot->buffer)
        SoundStop(slot);
}

void SoundStopAll()
{
    for (SoundSlot* s = gLoaded.head; s; s = s->next)
        SoundStop(s);
}

bool SoundIsPlaying(const SoundSlot* slot)
{
    platform::AudioStatus status{};
    return SoundOn() && slot && platform::AudioGetStatus(slot->buffer, &status) && status.playing;
}

void SoundRestart(SoundSlot* slot)
{
    if (slot)
        SoundStart(slot, slot->volume, slot->frequency, slot->pan, slot->loop);
}

void SoundPauseAll()
{
    if (!SoundOn())
        return;
    for (SoundSlot* s = gLoaded.head; s; s = s->next)
        PauseSlot(s);
    PauseSlot(&gSpeechChannel);
}

void SoundResumeAll()
{
    if (!SoundOn())
        return;
    for (SoundSlot* s = gLoaded.head; s; s = s->next)
        ResumeSlot(s);
    ResumeSlot(&gSpeechChannel);
}

void SoundReleaseAll()
{
    SoundStopAll();
    for (SoundSlot* s = gLoaded.head; s;) {
        SoundSlot* next = s->next;
        ReleaseBuffer(s);
        s->next = nullptr;
        s = next;
    }
    gLoaded = {};
    for (SoundSlot& slot : gSoundSlots)
        slot.loadFailed = 0;
    ReleaseSpeech();
}

void SoundReleaseMission()
{
    SoundStopAll();
    for (SoundSlot* s = gLoaded.head; s;) {
        SoundSlot* next = s->next;
        if (s->missionSound) {
            Unlink(s);
            ReleaseBuffer(s);
        }
        s = next;
    }
    ReleaseSpeech();
}

void SoundShutdown()
{
    SoundReleaseAll();
    platform::AudioClose();
}

SoundSlot* SpeechPlay(const char* path)
{
    if (!SoundOn())
        return nullptr;
    ReleaseSpeech();
    if (!LoadInto(&gSpeechChannel, path))
        return nullptr;
    SoundStart(&gSpeechChannel, 0, 0, 0, 0);
    return &gSpeechChannel;
}

void SpeechStop()
{
    SoundStop(&gSpeechChannel);
    ReleaseSpeech();
}

float SoundPlacePoint(const SceneItem* item, int32_t* volume, int32_t* pan, Vector3* offset)
{
    const SceneItem* camera = gPlayerCamera;
    if (!item || !camera || !item->avatar || !camera->avatar)
        return 0.0f;
    Placement p = PlaceRelativeToCamera(*item->avatar, *camera->avatar);
    if (offset)
        *offset = p.offset;
    if (!SameSystemAsPlayer(item)) {
        *pan = 0;
        *volume = kSilent;
        return 1e11f;
    }
    Vector3 direction = p.offset;
    VecNormalise(direction);
    *pan = static_cast<int32_t>(direction.x * 10000.0f);
    *volume = p.distance > 5000000.0f ? kSilent : static_cast<int32_t>(p.distance / -500.0f);
    return p.distance;
}

float SoundPlaceObject(const SceneItem* item, int32_t* volume, int32_t* pan)
{
    return SoundPlacePoint(item, volume, pan, nullptr);
}

void SoundDoppler(const SceneItem* item, int32_t* frequency, float factor)
{
    const SceneItem* camera = gPlayerCamera;
    if (!item || !SameSystemAsPlayer(item))
        return;
    if (item == camera) {
        *frequency = 22050;
        return;
    }
    if (!camera || !item->avatar || !camera->avatar)
        return;
    const Avatar& a = *item->avatar;
    const Avatar& c = *camera->avatar;
    Vector3 u{static_cast<float>(a.position.x - c.position.x), static_cast<float>(a.position.y - c.position.y),
              static_cast<float>(a.position.z - c.position.z)};
    VecNormalise(u);
    const Vector3 relative{a.velocity.x - c.velocity.x, a.velocity.y - c.velocity.y, a.velocity.z - c.velocity.z};
    const float v = std::clamp(VecDot(u, relative), -100000.0f, 100000.0f);
    *frequency = 22050 + static_cast<int32_t>(-v / 100000.0f * factor * 5000.0f);
}
