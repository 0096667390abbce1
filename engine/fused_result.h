// What the fused scaling and classification of a stretch did (forms.h, classify_kernel.h).
#pragma once

#include <cstddef>

namespace Tarvo_alg1 {

struct ScaledAndClassified {
  std::size_t scaled = 0;          // bytes scaled, from the first
  std::size_t classified_end = 0;  // positions 0 to this - 1 classified
};

}  // namespace Tarvo_alg1
