// The hot loops in SSE2, which every x86-64 processor has: the kernels over lanes_sse2.h, and of
// its own the copy of wide slots to 16 bits and the wide slots classified two positions at a time.
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/forms.h"
#include "engine/kernel_forms.h"
#include "engine/lanes_sse2.h"
#include "engine/sample_store.h"

namespace Tarvo_alg1 {
namespace {

using L = lanes::Sse2;

// Copies slots 0 to count - 1 (a multiple of 8) to 16 bits. False when any of them is not a
// whole number within the limit (NaN included); `out` is then of no use.
bool NarrowSse2(const double* Samples, std::size_t count, std::int16_t* out) noexcept {
  __m128d whole = _mm_cmpeq_pd(_mm_setzero_pd(), _mm_setzero_pd());
  __m128i low = _mm_setzero_si128();
  __m128i high = _mm_setzero_si128();
  for (std::size_t i = 0; i < count; i += 8) {
    __m128i pairs[4];
    for (std::size_t j = 0; j < 4; ++j) {
      const __m128d x = _mm_loadu_pd(Samples + i + 2 * j);
      pairs[j] = _mm_cvttpd_epi32(x);  // out of the 32-bit range: INT_MIN, which differs from x
      whole = _mm_and_pd(whole, _mm_cmpeq_pd(x, _mm_cvtepi32_pd(pairs[j])));
    }
    // Saturates what does not fit, which the limit test then refuses.
    const __m128i values = _mm_packs_epi32(_mm_unpacklo_epi64(pairs[0], pairs[1]),
                                           _mm_unpacklo_epi64(pairs[2], pairs[3]));
    low = _mm_min_epi16(low, values);
    high = _mm_max_epi16(high, values);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), values);
  }
  const std::int16_t limit = kNarrowSampleLimit;
  const __m128i outside = _mm_or_si128(_mm_cmpgt_epi16(high, _mm_set1_epi16(limit)),
                                       _mm_cmplt_epi16(low, _mm_set1_epi16(-limit)));
  return _mm_movemask_pd(whole) == 3 && _mm_movemask_epi8(outside) == 0;
}

// Wide slots two positions at a time. Fewer comparisons than the plain rules, to the same
// effect: a > 5 and b > a already give b > 5, and min(a, c) > b - 3 holds exactly when both a
// and c do (samples are never NaN).
void ClassifyWideSse2(const double* Samples, std::size_t last, PositionBits& thorn,
                      PositionBits& nonflat) noexcept {
  auto one = [&](std::size_t k) { SetForms<L>::ClassifyWideAt(Samples, k, thorn, nonflat); };
  if (last >= 1) one(1);
  // Pairs from an even position never straddle two words.
  const __m128d five = _mm_set1_pd(5);
  const __m128d minus_five = _mm_set1_pd(-5);
  const __m128d three = _mm_set1_pd(3);
  std::uint64_t thorn_word = 0;
  std::uint64_t nonflat_word = 0;
  std::size_t k = 2;
  for (; k + 1 <= last; k += 2) {
    const __m128d a = _mm_loadu_pd(Samples + k);
    const __m128d b = _mm_loadu_pd(Samples + k + 1);
    const __m128d c = _mm_loadu_pd(Samples + k + 2);
    const __m128d low = _mm_min_pd(a, c);
    const __m128d high = _mm_max_pd(a, c);
    const __m128d positive =
        _mm_and_pd(_mm_and_pd(_mm_cmplt_pd(a, b), _mm_cmplt_pd(c, b)), _mm_cmpgt_pd(low, five));
    const __m128d negative = _mm_and_pd(_mm_and_pd(_mm_cmpgt_pd(a, b), _mm_cmpgt_pd(c, b)),
                                        _mm_cmplt_pd(high, minus_five));
    // Written as the bounds, not as |a - b| <= 2: the two differ for samples too large for a
    // difference of 3 to register.
    const __m128d flat = _mm_and_pd(_mm_cmpgt_pd(low, _mm_sub_pd(b, three)),
                                    _mm_cmplt_pd(high, _mm_add_pd(b, three)));
    thorn_word |= static_cast<std::uint64_t>(_mm_movemask_pd(_mm_or_pd(positive, negative)))
                  << (k & 63);
    nonflat_word |= static_cast<std::uint64_t>(_mm_movemask_pd(flat) ^ 3) << (k & 63);
    if ((k & 63) == 62) {
      thorn[k >> 6] |= thorn_word;
      nonflat[k >> 6] |= nonflat_word;
      thorn_word = 0;
      nonflat_word = 0;
    }
  }
  thorn[(k - 2) >> 6] |= thorn_word;
  nonflat[(k - 2) >> 6] |= nonflat_word;
  if (k <= last) one(k);
}

}  // namespace

const Forms& Sse2Forms() noexcept {
  static constexpr Forms forms = [] {
    Forms sse2 = SetForms<L>::Table();
    sse2.classify_wide = ClassifyWideSse2;
    sse2.narrow = NarrowSse2;
    return sse2;
  }();
  return forms;
}

}  // namespace Tarvo_alg1
