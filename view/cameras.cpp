// The director (automatic camera), camera behaviours and remote links.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "view/cameras.h"

#include "screens/bridge.h"
#include "system/calltrace.h"
#include "ui/messagelog.h"
#include "ui/screens.h"
#include "world/scenelist.h"

DirectorEventRow DirectorEvent[kDirectorEventCount] = {
    {CAM_TRACK, 6, 2, 300},
    {CAM_TRACK, 6, 1, 200},
    {CAM_TRACK, 6, 1, 200},
    {CAM_CONTACT, 1, 0, 500},
    {CAM_CONTACT, 1, 0, 500},
    {CAM_TRACK, 7, 0, 400},
    {CAM_CHASE, 2, 0, 500},
    {CAM_CHASE, 0, 0, 500},
    {CAM_TRACK, 3, 0, 500},
    {CAM_TRACK, 3, 0, 500},
    {CAM_TRACK, 4, 1, 200},
    {CAM_TRACK, 5, 1, 200},
    {CAM_TRACK, 8, 1, 500},
};
uint8_t gDirectorOn = 0;
SceneItem* gPlayerCamera = nullptr;
SceneItem* gTargetCamera = nullptr;
Weapon* gWeaponViewMount = nullptr;
FiringArc gWeaponViewArc = {};

void DirectorOfferShot(SceneItem* subject, SceneItem* second, int32_t event)
{
    RecordCall("DirectorOfferShot");
}

void DirectorUpdate()
{
    RecordCall("DirectorUpdate");
}

void StartDirector()
{
    RecordCall("StartDirector");
}

void StopDirector()
{
    RecordCall("StopDirector");
}

// The mission's flight is over: the director takes the player's ship (the
// director itself is still to come).
void StartDirectorOnPlayer()
{
    RecordCall("StartDirectorOnPlayer");
    if (CurrentStation == 0) {
        guiGotoScreen("NAV");
        CurrentStation = 2;
    }
    guiClearMessageLog();
    MissionEndState = kMissionFlightOver;
    gDirectorOn = 255;
    StartDirector();
    DirectorOfferShot(gPlayerItem, nullptr, kShotPlayerShip);
}

void EnterExternalView()
{
    RecordCall("EnterExternalView");
}

void ReleaseRemoteLink(SceneItem* controller)
{
    RecordCall("ReleaseRemoteLink");
}

void CAM_TRACK(SceneItem* camera)
{
    RecordCall("CAM_TRACK");
}

void CAM_CHASE(SceneItem* camera)
{
    RecordCall("CAM_CHASE");
}

void CAM_PLAYER(SceneItem* camera)
{
    RecordCall("CAM_PLAYER");
}

void CAM_CONTACT(SceneItem* camera)
{
    RecordCall("CAM_CONTACT");
}

void TargetCamera(SceneItem* camera)
{
    RecordCall("TargetCamera");
}

void WeaponCameraStep(SceneItem* camera)
{
    RecordCall("WeaponCameraStep");
}

void NullCameraStep(SceneItem* camera)
{
    RecordCall("NullCameraStep");
}
