// The front end: career files, options, mission table and mission launch.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "screens/frontend.h"

#include "system/calltrace.h"

uint8_t gFrontEndActive = 0;
uint8_t gStartMissionRequest = 0;

void InitScreensAndIcons()
{
    RecordCall("InitScreensAndIcons");
}

void ReadOptionTable()
{
    RecordCall("ReadOptionTable");
}

void SetOptionValue(const char* name, float value)
{
    RecordCall("SetOptionValue");
}

void SaveOptions(const char* fileName)
{
    RecordCall("SaveOptions");
}

void ReadStateFile()
{
    RecordCall("ReadStateFile");
}

int32_t WriteStateFile()
{
    RecordCall("WriteStateFile");
    return {};
}

void ReadCaptainSlot()
{
    RecordCall("ReadCaptainSlot");
}

int32_t WriteCaptainSlot()
{
    RecordCall("WriteCaptainSlot");
    return {};
}

void LoadFrontEndPalette()
{
    RecordCall("LoadFrontEndPalette");
}

void StartMission(int32_t ignored)
{
    RecordCall("StartMission");
}

void RecordMissionResult()
{
    RecordCall("RecordMissionResult");
}

void ReturnToFrontEnd()
{
    RecordCall("ReturnToFrontEnd");
}
