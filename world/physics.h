// Ship physics: the simulation routines that move ships and most moving
// objects, the turning step, and the check that a position is still a
// number.
//
// Control routines (steering, player input, the AI) only set demands: the
// pitch, yaw and roll demands and remaining angles of the SceneItem and the
// thrust demand of the Sim. SIM_MAIN turns those demands into motion once a
// frame, in the simulation pass.
#pragma once

#include <cstdint>

#include "system/gamemath.h"

struct SceneItem;

// The engine volume of the controlled item in hundredths of a dB
// (-10000..0), computed by SIM_MAIN; the simulation frame gives it to the
// engine sound slot.
extern int32_t gEngineVolume;

// The simulation routine of ships: turns by the demands, integrates thrust
// and the LDS drive into the double world position, carries towed items,
// and sets the speed, engine value, engine volume and engine glow.
void SIM_MAIN(SceneItem* item);
// The simulation routine of items that stand still: only stamps the time.
void SIM_NULL(SceneItem* item);

// The turning step on `matrix`: for roll, yaw and pitch, cuts the demand so
// that the turn ends on the remaining angle, moves the turn rate toward the
// demand (at once under LDS, else by at most the model's rate per second),
// turns the matrix about Z, X and Y by rate x dt, and counts the turned
// angles off the remaining ones (unless the Sim turns without bookkeeping).
void RotateByDemands(SceneItem* item, Matrix4& matrix);

// 255 while the value is a finite number; a NaN or an infinity reports
// "Infinity Error -" (sign set) or "Infinity Error +" through the fatal stop
// and gives 0.
uint8_t CheckFloatSanity(float value);
// CheckFloatSanity on the x, y and z of a matrix's translation; 0 when any
// of them failed.
uint8_t CheckPositionSanity(const Matrix4& matrix);
