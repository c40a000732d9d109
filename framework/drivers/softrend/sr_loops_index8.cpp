// The loops of every state for 8-bit indexed output.
#include "framework/drivers/softrend/sr_loops.h"

namespace softrend {

const LoopTable kIndex8Loops = MakeLoops<OutKind::Index8>(std::make_index_sequence<kLoopsPerOut>());

} // namespace softrend
