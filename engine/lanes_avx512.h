// The lanes of lanes_plain.h in AVX-512 registers: sixty-four bytes, thirty-two shorts or eight
// words at a time (lanes_vector.h), and what AVX-512 does its own way. Comparisons of bytes give
// their truths as bits in a mask register (ByteMask), which the loops count and test as they are,
// and words have a population count of their own. Only for code compiled for AVX-512
// (forms_avx512.cpp), run on a processor that has it.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "engine/lanes_vector.h"

namespace Tarvo_alg1::lanes {

struct Avx512 : VectorLanes<64>, VectorWords<64> {
  using ByteMask = __mmask64;

  // Bytes.
  static ByteMask AllBytes(bool on) noexcept { return on ? ~ByteMask{0} : ByteMask{0}; }
  static ByteMask Above(Bytes v, Bytes limit) noexcept { return _mm512_cmpgt_epu8_mask(v, limit); }
  static ByteMask Below(Bytes v, Bytes limit) noexcept { return _mm512_cmplt_epu8_mask(v, limit); }
  static ByteMask OrBytes(ByteMask x, ByteMask y) noexcept { return x | y; }
  static ByteMask AndBytes(ByteMask x, ByteMask y) noexcept { return x & y; }
  static bool Any(ByteMask mask) noexcept { return mask != 0; }
  static std::uint64_t ByteBits(ByteMask mask) noexcept { return mask; }
  static Bytes SubBytesSaturated(Bytes x, Bytes y) noexcept { return _mm512_subs_epu8(x, y); }
  // One more in each lane the mask holds.
  static Bytes CountTrue(Bytes counts, ByteMask mask) noexcept {
    return _mm512_mask_sub_epi8(counts, mask, counts, _mm512_set1_epi8(-1));
  }
  static unsigned Sum(Bytes counts) noexcept {
    return static_cast<unsigned>(
        _mm512_reduce_add_epi64(_mm512_sad_epu8(counts, _mm512_setzero_si512())));
  }

  // Shorts.
  static Shorts WidenBytes(const std::uint8_t* p) noexcept {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
  }
  // As in lanes_avx2.h: the eighths are put in order first, as unpacking works within each
  // quarter of the register.
  static void PairBytes(Bytes v, Bytes filler, Shorts& first, Shorts& second) noexcept {
    const __m512i ordered = _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 4, 1, 5, 2, 6, 3, 7), v);
    first = _mm512_unpacklo_epi8(ordered, filler);
    second = _mm512_unpackhi_epi8(ordered, filler);
  }
  static Shorts MulAddPairs(Shorts pairs, Shorts weights) noexcept {
    return _mm512_maddubs_epi16(pairs, weights);
  }
  static Shorts MulHighUnsigned(Shorts x, Shorts y) noexcept { return _mm512_mulhi_epu16(x, y); }
  // The sign bits, first's lanes as the low half of the word.
  static std::uint64_t MaskBits(Shorts first, Shorts second) noexcept {
    return std::uint64_t{_mm512_movepi16_mask(first)} | std::uint64_t{_mm512_movepi16_mask(second)}
                                                            << 32;
  }

  // Words.
  // The bits of `high` moved up n places (0 < n < 64), the top n bits of `low` filling in: one
  // funnel shift of each pair of words, by a count made once (ShiftBy) for the many pairs.
  using Shift = __m512i;
  static Shift ShiftBy(std::size_t n) noexcept {
    return _mm512_set1_epi64(static_cast<long long>(n));
  }
  static Words ShiftPairsLeft(Words high, Words low, Shift n) noexcept {
    return _mm512_shldv_epi64(high, low, n);
  }
  static bool NoBits(Words x) noexcept { return _mm512_test_epi64_mask(x, x) == 0; }
  // Bit counts per word, by the processor's own count of each word.
  using Counts = __m512i;
  static Counts ZeroCounts() noexcept { return _mm512_setzero_si512(); }
  static Counts AddBitCounts(Counts counts, Words x) noexcept {
    return _mm512_add_epi64(counts, _mm512_popcnt_epi64(x));
  }
  static std::int64_t SumCounts(Counts counts) noexcept { return _mm512_reduce_add_epi64(counts); }
};

}  // namespace Tarvo_alg1::lanes
