// The front end: career files, options, mission table and mission launch.
#pragma once

#include <cstdint>

extern uint8_t gFrontEndActive; // the front end is up: no simulation frames run
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
void PlayDebriefSpeech(int32_t mission, int32_t outcome);
