// Entry points of the station screens and panels that the bridge calls.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "screens/stationstandins.h"

#include "system/calltrace.h"

HUD* gCockpitTrailHuds[kCockpitTrailHuds] = {};
HUD* gComponentBoxHud = nullptr;

void guiSetupComStation()
{
    RecordCall("guiSetupComStation");
}

void guiSetupNavStation()
{
    RecordCall("guiSetupNavStation");
}

void guiSetupWepStation()
{
    RecordCall("guiSetupWepStation");
}

void guiSetupEngStation()
{
    RecordCall("guiSetupEngStation");
}

void CommandOrder(int32_t row)
{
    RecordCall("CommandOrder");
}

void guiCancelOrder(WindowHandle* window)
{
    RecordCall("guiCancelOrder");
}

void SelectDriveModeOne()
{
    RecordCall("SelectDriveModeOne");
}

void CycleDriveMode()
{
    RecordCall("CycleDriveMode");
}

void guiToggleLds(WindowHandle* window)
{
    RecordCall("guiToggleLds");
}

void guiUndock(WindowHandle* window)
{
    RecordCall("guiUndock");
}

void guiSeparateCommandSection(WindowHandle* window)
{
    RecordCall("guiSeparateCommandSection");
}

void CycleContactFilter(WindowHandle* window)
{
    RecordCall("CycleContactFilter");
}

void guiFireCurrentMount(WindowHandle* window)
{
    RecordCall("guiFireCurrentMount");
}

void guiToggleRippleFire(WindowHandle* window)
{
    RecordCall("guiToggleRippleFire");
}

void guiToggleTrackMode(WindowHandle* window)
{
    RecordCall("guiToggleTrackMode");
}

void PrevSystem(WindowHandle* window)
{
    RecordCall("PrevSystem");
}

void NextSystem(WindowHandle* window)
{
    RecordCall("NextSystem");
}

void PrevSystemInGroup()
{
    RecordCall("PrevSystemInGroup");
}

void NextSystemInGroup()
{
    RecordCall("NextSystemInGroup");
}

void PrevGroupSystem()
{
    RecordCall("PrevGroupSystem");
}

void NextGroupSystem()
{
    RecordCall("NextGroupSystem");
}

void AssignSystemToTeam(int32_t team)
{
    RecordCall("AssignSystemToTeam");
}

void SetViewerTarget(SceneItem* item)
{
    RecordCall("SetViewerTarget");
}
