// The engineering panel's routines bound by the window statements.
// guiLinkShipSystemElement is built; the others are stand-ins that only
// record their calls (system/calltrace.h) until the panel is built.
#include "screens/engineering.h"

#include "system/calltrace.h"
#include "ui/windows.h"
#include "world/shipsystems.h"

void SelectReactorSystem()
{
    RecordCall("SelectReactorSystem");
}

WindowHandle* guiLinkShipSystemElement(WindowHandle* element, const char* systemName)
{
    if (!element)
        return nullptr;
    // Bound on first use: the element keeps its system from then on.
    if (element->subject.kind != WindowSubject::Kind::ShipSystem && systemName) {
        if (ShipSystem* system = FindShipSystem(systemName)) {
            element->subject.kind = WindowSubject::Kind::ShipSystem;
            element->subject.system = system;
        }
    }
    if (element->subject.kind == WindowSubject::Kind::ShipSystem && element->subject.system)
        element->value = element->subject.system->switchedOn ? 1.0f : 0.0f;
    return element;
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
