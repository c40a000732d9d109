// Sound: the 50 numbered sound slots, the speech channel, and the placement
// of a sound at an object relative to the player's camera.
//
// A slot names one WAV file ("zqk\resource\sounds\<name>.wav") that is
// loaded on first use, or at start-up when marked, into a buffer of the
// platform's mixer (platform/audio.h) with volume, pan and frequency
// control. The speech channel plays one named file at a time. Loaded
// slots are kept on one list; slots loaded after start-up (mission
// sounds) are released at the end of the mission.
//
// Values: volume in hundredths of a decibel (0 loudest, -10000 silent),
// pan -10000 left .. 10000 right, frequency in Hz with 0 for the file's own
// rate. Every routine does nothing while the sound setting is off (switch
// "xsound", or no audio output at start-up). Main thread only.
//
// Slot numbers are range-checked: a number below 0, 50 or above, or with
// bit 0x8000 set names no slot and plays nothing. A slot whose file is
// missing or unreadable is reported once in the debug output and stays
// silent.
#pragma once

#include <cstdint>

#include "platform/audio.h"
#include "system/gamemath.h"

struct SceneItem;
struct WaveFormat;

struct SoundSlot {
    const char* name; // file stem, or null for a slot without a file
    uint8_t preload;  // load at start-up
    SoundSlot* next;  // the list of loaded slots
    uint32_t length;  // bytes of wave data
    WaveFormat* format;
    platform::AudioBuffer buffer; // 0 while not loaded
    uint8_t* data;                // the wave data
    int32_t bytesPerSecond;       // bits per sample x samples per second / 8
    int32_t volume;
    int32_t frequency;
    int32_t pan;
    int32_t loop;         // non-zero: plays looping
    uint8_t paused;       // stopped by SoundPauseAll, to be resumed
    uint8_t playing;      // started and not stopped
    uint8_t hardware;     // the buffer lies in hardware (never, here)
    uint8_t missionSound; // loaded after start-up: released with the mission
    uint8_t loadFailed;   // its file could not be loaded (reported once)
    SceneItem* owner;     // positional sound: the item heard through it
    float ownerDistance;  //   and its distance from the camera
};

constexpr int kSoundSlotCount = 50;

extern SoundSlot gSoundSlots[kSoundSlotCount];
extern SoundSlot gSpeechChannel;
extern float gSoundMasterVolume;    // 100 = full; the options screen sets it
extern uint8_t gSoundMissionMarker; // on after start-up's preloads
extern int32_t gSoundMuteCount;     // above 0: positional sounds are silent

// Opens the audio output; without one the sound setting goes off, silently.
void SoundInit();
// Loads a slot's file when it has a name and is not loaded yet.
void SoundLoadSlot(int32_t slot);
// Loads every slot marked preload.
void SoundPreload();
// Loads a WAV file into a slot and puts it on the loaded list; 1 on
// success, 0 when the file cannot be read or is not PCM, or no buffer can
// be made (the slot is left unloaded).
int SoundLoadFile(SoundSlot* slot, const char* path);

// Plays a numbered slot, loading it on first use.
void SoundPlay(int32_t slot, int32_t volume, int32_t frequency, int32_t pan, int32_t loop);
// As SoundPlay at the file's sample rate varied by a draw within
// [-spread / 2, spread / 2); a spread of 0 or less varies nothing.
void SoundPlayVaried(int32_t slot, int32_t volume, int32_t unused, int32_t pan, int32_t loop,
                     int32_t spread);
// Starts a loaded slot from its beginning with these values; a slot that
// is playing goes back to its start and keeps the loop mode it plays with.
void SoundStart(SoundSlot* slot, int32_t volume, int32_t frequency, int32_t pan, int32_t loop);
// Store the value and hand it to the buffer when the buffer's differs; the
// volume is handed over scaled by the master volume:
// (v + 10000) x (master + 100) / 200 - 10000.
void SoundSetVolume(SoundSlot* slot, int32_t volume);
void SoundSetFrequency(SoundSlot* slot, int32_t frequency);
void SoundSetPan(SoundSlot* slot, int32_t pan);
void SoundStop(SoundSlot* slot);
void SoundStopNumber(int32_t slot);
void SoundStopAll();
bool SoundIsPlaying(const SoundSlot* slot);
// SoundStart with the slot's stored values.
void SoundRestart(SoundSlot* slot);

// Stops every playing sound and the speech channel, marking them paused.
void SoundPauseAll();
// Plays on every sound that SoundPauseAll paused, from where it stopped and
// with the loop mode it had.
void SoundResumeAll();
// Stops everything and releases every loaded slot and the speech channel.
void SoundReleaseAll();
// Stops everything and releases the mission's slots and the speech channel.
void SoundReleaseMission();
// SoundReleaseAll, then closes the audio output.
void SoundShutdown();

// Plays a WAV file once on the speech channel (centred, volume 0, its own
// rate), releasing what it held; the channel, or null when the file cannot
// be played.
SoundSlot* SpeechPlay(const char* path);
void SpeechStop();

// Volume and pan of an item's sound heard from the player camera; returns
// the distance. 0 when the item or the camera is missing; for an item of
// another star system: silent, centred, and 1e11.
float SoundPlaceObject(const SceneItem* item, int32_t* volume, int32_t* pan);
// The same, also giving the item's offset from the camera in the camera's
// axes (where a hit on the player came from).
float SoundPlacePoint(const SceneItem* item, int32_t* volume, int32_t* pan, Vector3* offset);
// Doppler frequency of an item's sound: 22050 for a still item, up to 5000
// x factor higher while it closes; nothing is written for an item of
// another star system.
void SoundDoppler(const SceneItem* item, int32_t* frequency, float factor);
