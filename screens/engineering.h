// The engineering panel's routines bound by the window statements.
#pragma once

#include <cstdint>

struct WindowHandle;

void SelectReactorSystem();
WindowHandle* guiLinkShipSystemElement(WindowHandle* element, const char* systemName);
void guiToggleSystemPower(WindowHandle* window);
void guiToggleElement(WindowHandle* window);
void guiTextScrollBack(WindowHandle* window);
void guiTextScrollForward(WindowHandle* window);
void guiSystemOutputDraw(WindowHandle* window);
void guiSystemHealthDraw(WindowHandle* window);
void guiSystemTemperatureDraw(WindowHandle* window);
void guiSystemLevelDraw(WindowHandle* window);
void guiSelectedSystemDraw(WindowHandle* window);
void guiPlainElementDraw(WindowHandle* window);
