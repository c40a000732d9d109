// Sound: the loaded sound slots and the speech channel.
#pragma once

// Stops every playing sound and the speech channel, marking them paused.
void SoundPauseAll();
// Plays on every sound that SoundPauseAll paused.
void SoundResumeAll();
