// The mission's debrief: its text, read from the "text" library or a loose
// file by mission number and outcome, shown in the message log and spoken
// when a speech file exists (the table index names the mission). A mission without a debrief text goes straight
// to its end screen. Some missions close with a film of their own.
#include "screens/frontend.h"

#include "system/film.h"
#include "system/frameclock.h"
#include "system/res/resman.h"
#include "system/res/slab.h"
#include "system/settings.h"
#include "system/sound.h"
#include "ui/messagelog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int32_t gDebriefSpeechLength = 0;
MissionResult gMissionResult = {};

namespace {

constexpr int32_t kNoDebriefMissions = 90; // missions from here on have none
constexpr uint32_t kDebriefTextLimit = 2499;
constexpr const char* kDebriefFolder = "zqk\\resource\\text\\debrief\\";
constexpr const char* kAudioFolder = "zqk\\resource\\text\\audio";
// The speech's folder beside the audio folder, by language.
constexpr const char* kSpeechLanguageFolders[] = {"", "French", "German"};
constexpr int32_t kSpeechTailTicks = 100;

// The text of one file of the "text" library (or loose), at most the limit,
// or null when it is missing or empty.
char* ReadDebriefFile(const char* name)
{
    uint32_t size = 0;
    std::FILE* file = SlabOpen("text", name, &size);
    if (!file)
        return nullptr;
    const uint32_t length = size < kDebriefTextLimit ? size : kDebriefTextLimit;
    char* text = static_cast<char*>(std::malloc(length + 1));
    const size_t got = text ? std::fread(text, 1, length, file) : 0;
    std::fclose(file);
    if (!text)
        return nullptr;
    text[got] = 0;
    if (text[0] == 0) {
        std::free(text);
        return nullptr;
    }
    return text;
}

} // namespace

char* LoadDebriefText(int32_t mission, int32_t outcome)
{
    if (mission >= kNoDebriefMissions)
        return nullptr;
    // The first outcome's debrief is the file's 1, the second's its 0.
    const int32_t variant = outcome == 2 ? 0 : outcome;
    char name[96];
    std::snprintf(name, sizeof name, "%sdbf_%02i_%i.txt", kDebriefFolder, mission, variant);
    if (char* text = ReadDebriefFile(name))
        return text;
    std::snprintf(name, sizeof name, "%sdbf_%02i_0.txt", kDebriefFolder, mission);
    if (char* text = ReadDebriefFile(name))
        return text;
    std::snprintf(name, sizeof name, "%sdbf_null.txt", kDebriefFolder);
    return ReadDebriefFile(name);
}

void PlayDebriefSpeech(int32_t tableIndex, int32_t outcome)
{
    gDebriefSpeechLength = 0;
    const int32_t mission = MissionNumberAtIndex(tableIndex);
    char* text = LoadDebriefText(mission, outcome);
    if (!text) {
        gLoopFlags.endOfMissionRequest = 255;
        return;
    }
    guiClearMessageLog();
    guiAddMessageLogText(text, 0);
    std::free(text);

    const unsigned language = gSettings.language <= 2 ? gSettings.language : 0;
    char speech[128];
    std::snprintf(speech, sizeof speech, "%s%s\\dbf_%02i_%01i.wav", kAudioFolder, kSpeechLanguageFolders[language],
                  mission, outcome);
    if (!ResFileExists(speech))
        return;
    if (const SoundSlot* channel = SpeechPlay(speech); channel && channel->bytesPerSecond > 0)
        gDebriefSpeechLength =
            static_cast<int32_t>(int64_t{channel->length} * 100 / channel->bytesPerSecond) + kSpeechTailTicks;
}

void PlayClosingFilm(int32_t tableIndex, int32_t outcome)
{
    const int32_t mission = MissionNumberAtIndex(tableIndex);
    const char* film = nullptr;
    if (mission == 37 && tableIndex == 37)
        film = "out3.smk";
    else if (mission == 39)
        film = "out1.smk";
    else if (mission == 43 && outcome == 1)
        film = "out2.smk";
    if (film && PlayFilm(film))
        gLoopFlags.filmMode = 255;
}
