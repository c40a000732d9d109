// Start-up and shutdown. See startup.h.
#include "system/startup.h"

#include "platform/joystick.h"
#include "platform/window.h"
#include "system/calltrace.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/joystick.h"
#include "system/sound.h"

uint8_t gLoadingScreenUp = 0;

int StartGame()
{
    // Of the subsystems, the joystick and sound are brought up so far: the
    // sound device, the slots that load at start-up, then every later load
    // is a mission's.
    InitJoystick();
    SoundInit();
    SoundPreload();
    gSoundMissionMarker = 255;
    return -1;
}

void ShutDown()
{
    SoundShutdown();
    FFRelease();
    platform::JoystickClose();
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
    SoundReleaseMission();
}

void EnterExternalCamera()
{
    // Stand-in until the mission routines land: records the call.
    RecordCall("EnterExternalCamera");
}
