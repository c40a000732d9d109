// Sound: the loaded sound slots and the speech channel.
#pragma once

#include <cstdint>

// Stops every playing sound and the speech channel, marking them paused.
void SoundPauseAll();
// Plays on every sound that SoundPauseAll paused.
void SoundResumeAll();

// Plays sound slot `slot` at `volume` (hundredths of a decibel, 0 full),
// `frequency` (0 the file's own), `pan` and `loop` (non-zero repeats).
void SoundPlay(int32_t slot, int32_t volume, int32_t frequency, int32_t pan, int32_t loop);
