// The player's orders to the controlled ship and the pending jump.
//
// An order is a row of a fixed table of nine; carrying it out fills order
// slot 1 of the controlled ship's ShipInfo with the default evaluator and
// an AI state and makes that slot current, so that the AI state machine
// flies the ship (Sim flag 4 marks it as under an order). The NAV station's
// buttons and the bridge's order keys choose the rows. The pending jump is
// the destination that the star map or the jump capsule chose; the frame
// loop carries it out. Not here: the buttons themselves (screens/navstation.h),
// the AI states and evaluators (ai/).
#pragma once

#include <cstdint>

struct WindowHandle;
struct SystemBody;

extern int16_t gPendingJumpSystem; // destination of the chosen jump; 0 = none
extern SystemBody* gPendingJumpBody;

using OrderRoutine = void (*)();

// One row of the order table.
struct CommandOrderRow {
    const char* name;
    int32_t needsTarget; // 255: the order needs a navigation target
    OrderRoutine normal; // while the LDS drive is off; or null
    OrderRoutine lds;    // while it is engaged; or null
};
constexpr int kCommandOrders = 9;
extern const CommandOrderRow kCommandOrderTable[kCommandOrders];

extern int16_t CurrentOrderIndex; // row of the order being flown
extern float gEscortRange;        // the NAV station's range; 80000 at start

// Resets the order state of a mission: row 0, escort range 80000.
void ResetVesselOrders();
// Carries out the row for the controlled item: takes the current contact as
// navigation target when the row needs one and there is none (nothing
// without a contact), starts the LDS wind-down when the row cannot be
// flown under LDS, then flies it. Rows outside 0..8 do nothing.
void CommandOrder(int32_t row);
// Flies the current row: its LDS routine under LDS when it has one, else
// its normal one.
void RunCurrentOrder(WindowHandle* window);

void OrderStop();
void OrderApproach();
void OrderFormate();
void OrderDock();
void OrderStopRelative();
void OrderPursue();
void OrderEvade();
void OrderLdaDefence();
void OrderMatchVelocity();
void OrderLdsEscort();

// Carries out a pending jump (every frame, and the star map's jump button):
// within the current system the player's ship is placed at the body; to
// another system the world moves there and the other systems' items go.
// Nothing without a destination, or while the ship's capsule drive is
// damaged (unless it rides a carrier).
void ExecutePendingJump(WindowHandle* window);
