// Sound: the loaded sound slots and the speech channel.
#pragma once

#include <cstdint>

// Stops every playing sound and the speech channel, marking them paused.
void SoundPauseAll();
// Plays on every sound that SoundPauseAll paused.
void SoundResumeAll();
// Plays sound slot `slot` (0..49) at a volume in hundredths of a dB, a
// frequency (0: the file's own rate), a pan (-10000..10000), looping when
// `loop` is not 0.
void SoundPlay(int32_t slot, int32_t volume, int32_t frequency, int32_t pan, int32_t loop);
