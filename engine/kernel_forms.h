// One instruction set's table of forms, written once for every set: the table's entries are the
// kernels over the lanes L and the functions of SetForms<L>, so that the file that compiles a
// set (forms_*.cpp, inside its target region where it has one) compiles every entry for that
// set. Each lane set belongs to one file, so nothing compiled for one set is linked in place of
// another's. A set then replaces the entries it writes for itself.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "engine/byte_classify_kernel.h"
#include "engine/classify_kernel.h"
#include "engine/flic_census_kernel.h"
#include "engine/forms.h"
#include "engine/gain_pass_kernel.h"
#include "engine/jump_tally.h"
#include "engine/main_pass_table.h"
#include "engine/position_bits.h"
#include "engine/sample_store.h"
#include "engine/scale_kernel.h"

namespace Tarvo_alg1 {

template <class L>
struct SetForms {
  // The rules shared by every set (main_pass_table.h, jump_tally.h), compiled for this one.
  static void FillMainPassTable(MainPassTable& table, double gain, double border,
                                double clip) noexcept {
    FillMainPassTableRules(table, gain, border, clip);
  }
  static void FindRunEnds(const PositionBits& nonflat, RunEnds& ends) noexcept {
    Tarvo_alg1::FindRunEnds(nonflat, ends);
  }

  // Scales nothing in doubles: the sets without four roundings down at once leave it to the rule.
  static std::size_t NoneInDoubles(const std::uint8_t*, std::size_t, double,
                                   std::int16_t*) noexcept {
    return 0;
  }

  // The rules for the wide slot at position k as they are stated: a thorn is a peak (trough)
  // above 5 (below -5) in all three samples, and flat means both neighbours differ from the
  // middle sample by less than 3.
  static void ClassifyWideAt(const double* Samples, std::size_t k, PositionBits& thorn,
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
  static void ClassifyWide(const double* Samples, std::size_t last, PositionBits& thorn,
                           PositionBits& nonflat) noexcept {
    for (std::size_t k = 1; k <= last; ++k) ClassifyWideAt(Samples, k, thorn, nonflat);
  }

  // Slots 0 to count - 1 copied to 16 bits; false when one is not a whole number within the
  // narrow limit.
  static bool Narrow(const double* Samples, std::size_t count, std::int16_t* out) noexcept {
    const double limit = kNarrowSampleLimit;
    for (std::size_t i = 0; i < count; ++i) {
      const double x = Samples[i];
      if (!(-limit <= x && x <= limit) || x != std::floor(x)) return false;
      out[i] = static_cast<std::int16_t>(x);
    }
    return true;
  }

  // Lanes without the byte operations (the plain ones, whose byte comparisons the compiler leaves
  // unvectorised, where it does vectorise the 16-bit ones) classify 16-bit samples at every gain.
  static ScaledAndClassified ScaleAndClassifyShorts(const std::uint8_t* bytes, std::size_t count,
                                                    int G, const ByteClassRules&,
                                                    std::int16_t* slots, std::size_t first_slot,
                                                    PositionBits& thorn,
                                                    PositionBits& nonflat) noexcept {
    return kernels::ScaleAndClassify<L>(bytes, count, G, slots, first_slot, thorn, nonflat);
  }
  static consteval auto ScaleAndClassifyBytes() noexcept {
    if constexpr (requires { L::SubBytesSaturated; }) {
      return kernels::ScaleAndClassifyBytes<L>;
    } else {
      return ScaleAndClassifyShorts;
    }
  }

  // Every entry: the kernels over L, and the functions above.
  static consteval Forms Table() noexcept {
    return Forms{
        kernels::CountBlocks<L>,
        kernels::FindFirstBlock<L>,
        kernels::FindLastBlock<L>,
        FillMainPassTable,
        kernels::ScaleBlocks<L>,
        NoneInDoubles,
        kernels::ClassifyBlocks<L>,
        kernels::kClassifyBlock<L>,
        kernels::ScaleAndClassify<L>,
        ScaleAndClassifyBytes(),
        ClassifyWide,
        Narrow,
        FindRunEnds,
        kernels::CountFlicsByCensus<L>,
    };
  }
};

}  // namespace Tarvo_alg1
