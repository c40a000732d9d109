// The engineering panel's routines bound by the window statements.
#pragma once

#include <cstdint>

struct WindowHandle;

void SelectReactorSystem();
WindowHandle* guiLinkShipSystemElement(WindowHandle* element, const char* systemName);
// Ship-system element callbacks that the screen scripts bind by name; the
// system is the panel's selection.
void guiToggleSystemPower(WindowHandle* window);
void guiToggleElement(WindowHandle* window);
// A text element's start moves by one panel width, to a word's start;
// forward stops at the text's end.
void guiTextScrollBack(WindowHandle* window);
void guiTextScrollForward(WindowHandle* window);
void guiSystemOutputDraw(WindowHandle* window);
void guiSystemHealthDraw(WindowHandle* window);
void guiSystemTemperatureDraw(WindowHandle* window);
void guiSystemLevelDraw(WindowHandle* window);
void guiSelectedSystemDraw(WindowHandle* window);
void guiPlainElementDraw(WindowHandle* window);
// Set while the output gauge shows the "AM INJECTOR" system.
extern uint8_t gAmInjectorShown;

struct ShipSystem;

constexpr int kEngLayers = 5;
// The layer bit of each layer button "SysS0".."SysS4".
constexpr int16_t kEngLayerBits[kEngLayers] = {1, 2, 4, 8, 16};

// The engineering panel's state, shared by the ENG station's windows.
struct EngineeringPanel {
    ShipSystem* selectedSystem;          // of the player's ship, or null
    int16_t layerMask;                   // the shown layers' bits
    int16_t selectedTab;                 // 1 at start
    const char* layerLabels[kEngLayers]; // the layer buttons' texts
};
extern EngineeringPanel gEngPanel;
