// Start-up and shutdown. See startup.h.
#include "system/startup.h"

#include "platform/window.h"
#include "system/calltrace.h"
#include "system/display.h"
#include "system/frameclock.h"

uint8_t gLoadingScreenUp = 0;

int StartGame()
{
    return -1;
}

void ShutDown()
{
    DisplayClose();
    platform::CloseWindow();
}

void HandleDroppedFile(const char*)
{
    // Models, films and scripts dropped on the window start once the
    // loaders they need exist; until then the call is recorded.
    RecordCall("HandleDroppedFile");
}

void ShowEndScreen()
{
    gLoopFlags.endOfMissionRequest = 0;
    RecordCall("ShowEndScreen");
}

void EnterExternalCamera()
{
    // Stand-in until the mission routines land: records the call.
    RecordCall("EnterExternalCamera");
}
