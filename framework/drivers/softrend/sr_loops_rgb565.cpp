// The loops of every state for 16-bit 565 output.
#include "framework/drivers/softrend/sr_loops.h"

namespace softrend {

const LoopTable kRgb565Loops = MakeLoops<OutKind::Rgb565>(std::make_index_sequence<kLoopsPerOut>());

} // namespace softrend
