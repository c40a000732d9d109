// Sound (stand-in until the sound slots land: records the call).
#include "system/sound.h"

#include "system/calltrace.h"

void SoundPauseAll() { RecordCall("SoundPauseAll"); }
void SoundResumeAll() { RecordCall("SoundResumeAll"); }
void SoundPlay(int32_t, int32_t, int32_t, int32_t, int32_t) { RecordCall("SoundPlay"); }
