// The front end: career files, options, mission table and mission launch.
#pragma once

#include <cstdint>

extern uint8_t gFrontEndActive;      // the front end is up: no simulation frames run
extern uint8_t gStartMissionRequest; // the frame loop starts the selected mission

void InitScreensAndIcons();
void ReadOptionTable();
void SetOptionValue(const char* name, float value);
void SaveOptions(const char* fileName);
void ReadStateFile();
int32_t WriteStateFile();
void ReadCaptainSlot();
int32_t WriteCaptainSlot();
void LoadFrontEndPalette();
void StartMission(int32_t ignored);
void RecordMissionResult();
void ReturnToFrontEnd();

// The debrief text of the mission for the outcome (the outcome's own file,
// else the mission's first, else "dbf_null.txt"), at most 2,499 bytes, as
// a malloc'd text; null when there is none (missions 90 and above never
// have one).
char* LoadDebriefText(int32_t mission, int32_t outcome);
// Shows the debrief text in the message log and speaks it when its speech
// file exists (gDebriefSpeechLength, in ticks); with no text the mission
// goes to its end screen (the end-of-mission request).
void PlayDebriefSpeech(int32_t mission, int32_t outcome);
extern int32_t gDebriefSpeechLength;

// The result of the mission that ended last, kept by its end screen for the
// debrief and the career: won (255) or not, its outcome number, its score.
struct MissionResult {
    uint8_t succeeded;
    int16_t outcome;
    int32_t score;
};
extern MissionResult gMissionResult;
// The closing film of the missions that have one ("out1.smk" after 39,
// "out2.smk" after 43 with outcome 1, "out3.smk" after 37); film mode
// turns on when it starts.
void PlayClosingFilm(int32_t mission, int32_t outcome);
