// A table of forms whose loops are the shared kernels over the lanes L, for the sets that take
// every kernel as it is (plain and SSE2). Each set still names the entries it writes for itself;
// AVX2 builds its table by hand, as each of its entries carries the set's target.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/classify_kernel.h"
#include "engine/flic_census_kernel.h"
#include "engine/forms.h"
#include "engine/gain_pass_kernel.h"
#include "engine/scale_kernel.h"

namespace Tarvo_alg1 {

// Scales nothing in doubles: the sets without four roundings down at once leave it to the rule.
inline std::size_t NoneInDoubles(const std::uint8_t*, std::size_t, double, std::int16_t*) noexcept {
  return 0;
}

template <typename L>
constexpr Forms KernelForms(decltype(Forms::count_blocks) count_blocks,
                            decltype(Forms::fill_main_pass_table) fill_main_pass_table,
                            decltype(Forms::classify_wide) classify_wide,
                            decltype(Forms::narrow) narrow) {
  return Forms{
      count_blocks,
      kernels::FindFirstBlock<L>,
      fill_main_pass_table,
      kernels::ScaleBlocks<L>,
      NoneInDoubles,
      kernels::ClassifyBlocks<L>,
      kernels::kClassifyBlock<L>,
      kernels::ScaleAndClassify<L>,
      classify_wide,
      narrow,
      kernels::CountFlicsByCensus<L>,
  };
}

}  // namespace Tarvo_alg1
