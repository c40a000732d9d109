// Start-up and shutdown. See startup.h.
#include "system/startup.h"

#include "platform/files.h"
#include "platform/joystick.h"
#include "platform/window.h"
#include "system/calltrace.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/joystick.h"
#include "system/res/resman.h"
#include "system/sound.h"
#include "view/renderpasses.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <cstring>
#include <strings.h>

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

namespace {

constexpr uint32_t kSimFlagModelChanged = 0x20;

// A LightWave object dropped on the window becomes the model of the
// player's ship.
void DropModel(const char* path)
{
    Resource* r = ResRegisterLoad(platform::DataPathOfHostFile(path).c_str(), ResType::LwoModel);
    auto* model = static_cast<hx_model*>(r ? r->data : nullptr);
    if (!model || !gPlayerItem)
        return;
    SetItemModel(gPlayerItem, model);
    if (gPlayerItem->sim)
        gPlayerItem->sim->flags |= kSimFlagModelChanged;
}

} // namespace

void HandleDroppedFile(const char* path)
{
    // The last three characters choose: "LWO" a model for the player's
    // ship, "SMK" a film, "SCR" a mission script.
    std::size_t n = std::strlen(path);
    if (n >= 3 && strcasecmp(path + n - 3, "LWO") == 0) {
        DropModel(path);
        return;
    }
    // Films and scripts dropped on the window start once the loaders they
    // need exist; until then the call is recorded.
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
