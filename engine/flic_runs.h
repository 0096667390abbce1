// The flic pass run by run, for jump limits under which a run longer than the histogram may
// count (MaxJump of 101 or more): every run that ends is measured where it ends, so that such a
// run fails as it is met, after the flics before it were counted.
#pragma once

#include <cstddef>

#include "engine/flic_pass.h"
#include "engine/jump_tally.h"
#include "engine/position_bits.h"

namespace Tarvo_alg1 {

void CountFlicsRunByRun(const PositionBits& thorn, const PositionBits& nonflat, const RunEnds& ends,
                        std::size_t flic, std::size_t last, JumpTally& tally, FlicPass& pass);

}  // namespace Tarvo_alg1
