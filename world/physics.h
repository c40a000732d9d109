// Ship physics: the simulation routines that move ships, and the check
// that a position is still a number.
#pragma once

#include <cstdint>

// 255 when the float (given by its bits) is sound; a quiet NaN reports
// "Infinity Error -" / "Infinity Error +" and gives 0.
uint8_t CheckFloatSanity(uint32_t floatBits);
