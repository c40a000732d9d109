// The statements that set up and direct the cameras: CAMERA and DIRECTOR.
//
// The cameras' behaviours, their slots and the director belong to the view
// (view/cameras.h); a camera keyword picks the behaviour routine and the
// slot from one table.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/shiptypes.h"
#include "script/symbols.h"
#include "view/cameras.h"
#include "world/pools.h"

namespace {

// The director's event row that scripted shots use.
constexpr int32_t kScriptShotEvent = 12;

// One row per camera keyword, from CAM_FIXED: the behaviour routine (none:
// the camera stays where it was placed) and the slot it fills.
struct CameraKind {
    CameraRoutine behaviour;
    SceneItem** slot;
};
const CameraKind kCameraKinds[] = {
    {nullptr, &gPlayerCamera},      // CAM_FIXED
    {CAM_TRACK, &gTrackCamera},     // CAM_TRACK
    {CAM_CHASE, &gChaseCamera},     // CAM_CHASE
    {CAM_PLAYER, &gPlayerCamera},   // CAM_PLAYER
    {CAM_CONTACT, &gContactCamera}, // CAM_CONTACT
    {CAM_CHASE, &gPursuitCamera},   // CAM_PURSUIT
};
static_assert(std::size(kCameraKinds) == kw::CAM_PURSUIT - kw::CAM_FIXED + 1);

const CameraKind& ReadCameraKind(uint32_t& position)
{
    return kCameraKinds[ReadKeywordOperand(position, kw::CAM_FIXED, kw::CAM_PURSUIT)];
}

// CAMERA camera kind watched x y z: a new camera watching the object, at
// the script position, in the kind's slot.
void Camera(uint32_t& position)
{
    ScriptSymbol* symbol = ReadTypedSymbol(position, kSymbolSceneItem);
    const CameraKind& kind = ReadCameraKind(position);
    SceneItem* watched = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    double x = ReadNumberOperand(position);
    double y = ReadNumberOperand(position);
    double z = ReadNumberOperand(position);
    if (!watched)
        return;
    SceneItem* camera = CreateCameraItem(watched, kind.behaviour);
    if (!camera)
        return;
    AddPlacementOrigin(x, y, z);
    PlaceItemAt(camera, x, y, z);
    SetSymbolObject(symbol, camera);
    gLastCamera = camera;
    *kind.slot = camera;
}

// DIRECTOR subject target kind hold: the external view, with a scripted
// shot of the subject by the kind's behaviour for the hold time, held
// locked.
void Director(uint32_t& position)
{
    SceneItem* subject = SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
    SceneItem* target = ItemFromHandle(static_cast<SceneItemHandle>(ReadIntegerOperand(position)));
    const CameraKind& kind = ReadCameraKind(position);
    const int32_t hold = ScriptNumberToInt(ReadNumberOperand(position));
    if (!subject)
        return;
    DirectorEvent[kScriptShotEvent].camera = kind.behaviour;
    DirectorEvent[kScriptShotEvent].holdTicks = hold;
    EnterExternalView();
    gDirectorOn = 255;
    // The director takes the shot unlocked, then stays locked on it: no
    // cycling to other ships until the director stops.
    gCameras.director.locked = 0;
    DirectorOfferShot(subject, target, kScriptShotEvent);
    gCameras.director.locked = 255;
}

constexpr StatementRow kCameraRows[] = {
    {kw::CAMERA, Camera},
    {kw::DIRECTOR, Director},
};

} // namespace

std::span<const StatementRow> CameraStatementRows()
{
    return kCameraRows;
}
