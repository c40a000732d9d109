// The engineering panel's routines bound by the window statements.
// Stand-in bodies: each only records its call (system/calltrace.h) until
// the module itself is built; results are zero or null.
#include "screens/engineering.h"

#include "system/calltrace.h"

void SelectReactorSystem()
{
    RecordCall("SelectReactorSystem");
}

WindowHandle* guiLinkShipSystemElement(WindowHandle* element, const char* systemName)
{
    RecordCall("guiLinkShipSystemElement");
    return {};
}

void guiToggleSystemPower(WindowHandle* window)
{
    RecordCall("guiToggleSystemPower");
}

void guiToggleElement(WindowHandle* window)
{
    RecordCall("guiToggleElement");
}

void guiTextScrollBack(WindowHandle* window)
{
    RecordCall("guiTextScrollBack");
}

void guiTextScrollForward(WindowHandle* window)
{
    RecordCall("guiTextScrollForward");
}

void guiSystemOutputDraw(WindowHandle* window)
{
    RecordCall("guiSystemOutputDraw");
}

void guiSystemHealthDraw(WindowHandle* window)
{
    RecordCall("guiSystemHealthDraw");
}

void guiSystemTemperatureDraw(WindowHandle* window)
{
    RecordCall("guiSystemTemperatureDraw");
}

void guiSystemLevelDraw(WindowHandle* window)
{
    RecordCall("guiSystemLevelDraw");
}

void guiSelectedSystemDraw(WindowHandle* window)
{
    RecordCall("guiSelectedSystemDraw");
}

void guiPlainElementDraw(WindowHandle* window)
{
    RecordCall("guiPlainElementDraw");
}

EngineeringPanel gEngPanel = {.selectedSystem = nullptr, .layerMask = 0, .selectedTab = 1, .layerLabels = {}};
