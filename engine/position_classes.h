// Classifying the scan's positions: position k looks at slots k, k + 1 and k + 2 and is a thorn
// (a peak above 5 or a trough below -5) or not, and flat (both neighbours within 2 of the
// middle sample) or not. What a position is does not depend on the flic that sees it, so every
// position is classified once. The loops themselves are the forms of engine/forms.h.
#pragma once

#include <cstddef>

#include "engine/position_bits.h"
#include "engine/sample_store.h"

namespace Tarvo_alg1 {

// Sets the thorn and non-flat bits of positions 1 to `last` (at most 20500) and clears all
// others.
void ClassifyPositions(const SampleStore& store, std::size_t last, PositionBits& thorn,
                       PositionBits& nonflat) noexcept;

}  // namespace Tarvo_alg1
