#include "engine/position_classes.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/forms.h"

namespace Tarvo_alg1 {
namespace {

// Position 0 and the positions past `last` read 0, whatever the whole blocks wrote there.
void ClearOutside(std::size_t last, PositionBits& thorn, PositionBits& nonflat) noexcept {
  const std::uint64_t through_last = ~std::uint64_t{0} >> (63 - (last & 63));
  thorn[last >> 6] &= through_last;
  nonflat[last >> 6] &= through_last;
  for (std::size_t w = (last >> 6) + 1; w < kWords; ++w) {
    thorn[w] = 0;
    nonflat[w] = 0;
  }
  thorn[0] &= ~std::uint64_t{1};
  nonflat[0] &= ~std::uint64_t{1};
}

// The slots the blocks through position `last` read: up to last + block + 1, rounded up to
// whole blocks.
std::size_t SlotsRead(std::size_t last, std::size_t block) noexcept {
  return (last + block + 2 + block - 1) / block * block;
}

}  // namespace

void ClassifyPositions(const SampleStore& store, std::size_t last, PositionBits& thorn,
                       PositionBits& nonflat) noexcept {
  const Forms& forms = ActiveForms();
  // The blocks of the widest form (64 positions) read up to slot 20500 + 65.
  static_assert(kMaxPositions + 66 <= kSampleSlots);
  if (store.is_narrow()) {
    // The intake may have classified the take's first positions as it stored them.
    const std::size_t known = store.classified_end();
    if (known > 0) {
      // Only the words through `last`: ClearOutside zeroes the rest. A copy whose length is
      // known only now goes to the library's vector copy; the compiler made the copy of the
      // whole arrays a string move.
      const std::size_t words = std::min((last >> 6) + 1, kWords);
      std::copy_n(store.classes().thorn.begin(), words, thorn.begin());
      std::copy_n(store.classes().nonflat.begin(), words, nonflat.begin());
    }
    if (known <= last) forms.classify_narrow(store.narrow_slots(), known, last, thorn, nonflat);
    ClearOutside(last, thorn, nonflat);
    return;
  }
  // A wide store whose slots are whole numbers within the narrow limit is classified in 16
  // bits too; every slot the rules look at is among those copied.
  const std::size_t count = SlotsRead(last, forms.classify_block);
  std::array<std::int16_t, kSampleSlots + 64> narrow;
  if (count <= kSampleSlots && forms.narrow(store.wide_slots(), count, narrow.data())) {
    forms.classify_narrow(narrow.data(), 0, last, thorn, nonflat);
    ClearOutside(last, thorn, nonflat);
    return;
  }
  thorn.fill(0);
  nonflat.fill(0);
  forms.classify_wide(store.wide_slots(), last, thorn, nonflat);
}

}  // namespace Tarvo_alg1
