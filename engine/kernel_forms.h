// What the plain and SSE2 forms share: the rule for one wide slot, and a table whose loops are
// the shared kernels over the lanes L, each set naming the entries it writes for itself. AVX2
// builds its table by hand, as each of its entries carries the set's target.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/byte_classify_kernel.h"
#include "engine/classify_kernel.h"
#include "engine/flic_census_kernel.h"
#include "engine/forms.h"
#include "engine/gain_pass_kernel.h"
#include "engine/position_bits.h"
#include "engine/scale_kernel.h"

namespace Tarvo_alg1 {

// Scales nothing in doubles: the sets without four roundings down at once leave it to the rule.
inline std::size_t NoneInDoubles(const std::uint8_t*, std::size_t, double, std::int16_t*) noexcept {
  return 0;
}

// The rules for the wide slot at position k as they are stated: a thorn is a peak (trough)
// above 5 (below -5) in all three samples, and flat means both neighbours differ
// from the middle sample by less than 3.
inline void ClassifyWideAt(const double* Samples, std::size_t k, PositionBits& thorn,
                           PositionBits& nonflat) noexcept {
  const double a = Samples[k];
  const double b = Samples[k + 1];
  const double c = Samples[k + 2];
  const bool positive = a < b && b > c && a > 5 && b > 5 && c > 5;
  const bool negative = a > b && b < c && a < -5 && b < -5 && c < -5;
  const bool flat = b - 3 < a && a < b + 3 && b - 3 < c && c < b + 3;
  thorn[k >> 6] |= std::uint64_t{positive || negative} << (k & 63);
  nonflat[k >> 6] |= std::uint64_t{!flat} << (k & 63);
}

// The plain and SSE2 forms share one baseline copy.
inline void FindRunEndsBaseline(const PositionBits& nonflat, RunEnds& ends) noexcept {
  FindRunEnds(nonflat, ends);
}

template <typename L>
constexpr Forms KernelForms(decltype(Forms::count_blocks) count_blocks,
                            decltype(Forms::fill_main_pass_table) fill_main_pass_table,
                            decltype(Forms::scale_and_classify_bytes) scale_and_classify_bytes,
                            decltype(Forms::classify_wide) classify_wide,
                            decltype(Forms::narrow) narrow) {
  return Forms{
      count_blocks,
      kernels::FindFirstBlock<L>,
      kernels::FindLastBlock<L>,
      fill_main_pass_table,
      kernels::ScaleBlocks<L>,
      NoneInDoubles,
      kernels::ClassifyBlocks<L>,
      kernels::kClassifyBlock<L>,
      kernels::ScaleAndClassify<L>,
      scale_and_classify_bytes,
      classify_wide,
      narrow,
      FindRunEndsBaseline,
      kernels::CountFlicsByCensus<L>,
  };
}

}  // namespace Tarvo_alg1
