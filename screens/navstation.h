// The navigation station "NAV": the drive (thrusters or LDS and the drive
// modes), the speed setpoint, lateral thrust, the standing orders, undocking
// and the separation of the command section, the navigation target, the
// order status and the ship's emissions.
//
// The speed and drive routines are shared with the bridge's key commands.
// The controlled item's Sim carries the drive state: the setpoint is its
// LDS target speed, the lateral demands and the forward speed value its
// thrust, the drive mode (0 free, 1 taxi, 2 dock) its assist mode, the LDS
// transition counter its spool counter, and its flight model the limits.
// Not here: the orders themselves (screens/vesselorders.h).
#pragma once

#include <cstdint>

struct WindowHandle;

// The NAV order button an order last selected: 56 STOP, 57 APPROACH,
// 58 FORMATE, 59 DOCK, 61 MATCH VEL; 0 none.
extern int16_t CurrentOrderButton;
// Undocking barred by the mission (besides the item's own Sim flag).
extern uint8_t gUndockBarred;

// Binds the NAV screen's elements.
void guiSetupNavStation();

// Speed setpoint steps: by decades under LDS, by 5000 otherwise.
void IncreaseSpeedSetpoint();
void DecreaseSpeedSetpoint();
void StepSpeedSetpointUp();
void StepSpeedSetpointDown();
// Limits the setpoint to what the drive mode allows (every frame).
void ClampSpeedSetpoint();

// The LDS switch ("NavMd0", key command 26): engages or winds down.
void guiToggleLds(WindowHandle* window);
// "NvMd0": engages only (no sound); pressed-looking when it cannot.
void guiEngageLds(WindowHandle* window);
// Starts the LDS wind-down when the drive is engaged and not in transition;
// always true.
bool BeginLdsDisengage();
void SelectDriveModeOne();
// Free -> taxi -> free; dock mode is left for free.
void CycleDriveMode();

void guiUndock(WindowHandle* window);
void guiSeparateCommandSection(WindowHandle* window);
void guiCancelOrder(WindowHandle* window);
// An order button: its value is the order row.
void guiOrderButton(WindowHandle* window);
void guiOrderStatusFrame(WindowHandle* window);
void guiNavTargetFrame(WindowHandle* window);
// A contact row window dropped on the navigation target element.
void guiDropNavTarget(WindowHandle* window, WindowHandle* dropped);
