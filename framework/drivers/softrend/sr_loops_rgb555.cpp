// The loops of every state for 16-bit 555 output.
#include "framework/drivers/softrend/sr_loops.h"

namespace softrend {

const LoopTable kRgb555Loops = MakeLoops<OutKind::Rgb555>(std::make_index_sequence<kLoopsPerOut>());

} // namespace softrend
