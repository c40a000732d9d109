// Start-up and shutdown. See startup.h.
#include "system/startup.h"

#include "platform/files.h"
#include "platform/joystick.h"
#include "platform/window.h"
#include "system/calltrace.h"
#include "system/canvas.h"
#include "system/datalocation.h"
#include "system/film.h"
#include "system/display.h"
#include "system/frameclock.h"
#include "system/joystick.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/sound.h"
#include "view/renderpasses.h"
#include "world/records.h"
#include "world/scenelist.h"

#include <cstring>
#include <strings.h>

uint8_t gLoadingScreenUp = 0;

namespace {

// The introduction's film list: "D:\intro.avi" with the letter of the
// first CD-ROM drive that holds it.
char gIntroFilm[] = "D:\\intro.avi";
const char* gIntroFilms[] = {gIntroFilm, nullptr};

// The display opens for the introduction alone; the films play in the film
// window. 0 when no drive holds the film (the program ends).
int StartIntro()
{
    gScreenMode.depth = static_cast<int16_t>(gSettings.colourDepth);
    DisplayOpen(gScreenMode);
    DisplayLock(gScreenMode);
    CanvasClear(ScreenCanvas(), 0);
    DisplayPresent(gScreenMode);
    DisplayLock(gScreenMode);
    FindCdDrives();
    for (int i = 0; i < gCdDrives.count; ++i) {
        gIntroFilm[0] = gCdDrives.letters[static_cast<size_t>(i)];
        if (platform::DataFileExists(gIntroFilm)) {
            PlayFilmList(gIntroFilms);
            gLoopFlags.filmMode = 255;
            return -1;
        }
    }
    return 0;
}

} // namespace

int StartGame()
{
    // Of the subsystems, the joystick and sound are brought up so far: the
    // sound device, the slots that load at start-up, then every later load
    // is a mission's.
    InitJoystick();
    SoundInit();
    if (gSettings.intro)
        return StartIntro();
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
