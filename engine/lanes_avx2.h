// The lanes of lanes_plain.h in AVX2 registers: thirty-two bytes, sixteen shorts or four words
// at a time (lanes_vector.h), and what AVX2 does its own way. Only for code compiled for AVX2
// (forms_avx2.cpp), run on a processor that has it.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "engine/lanes_vector.h"

namespace Tarvo_alg1::lanes {

struct Avx2 : ByteMaskLanes<32>, VectorWords<32> {
  // Bytes.
  static Bytes SubBytesSaturated(Bytes x, Bytes y) noexcept { return _mm256_subs_epu8(x, y); }
  static std::uint32_t ByteBits(ByteMask mask) noexcept {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(mask));
  }
  static bool Any(Bytes mask) noexcept { return _mm256_testz_si256(mask, mask) == 0; }
  static std::int64_t SumWordLanes(__m256i v) noexcept {
    const __m128i half = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    return _mm_cvtsi128_si64(_mm_add_epi64(half, _mm_unpackhi_epi64(half, half)));
  }
  static unsigned Sum(Bytes counts) noexcept {
    return static_cast<unsigned>(SumWordLanes(_mm256_sad_epu8(counts, _mm256_setzero_si256())));
  }

  // Shorts.
  static Shorts WidenBytes(const std::uint8_t* p) noexcept {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
  // Pairs of bytes: each byte of v with the byte of `filler` beside it, v's first half in
  // `first` and its second in `second`, in order (the quarters are put in order first, as
  // unpacking works within each half of the register); and each pair's unsigned bytes times the
  // signed bytes of `weights`, summed.
  static void PairBytes(Bytes v, Bytes filler, Shorts& first, Shorts& second) noexcept {
    const __m256i ordered = _mm256_permute4x64_epi64(v, 0xD8);
    first = _mm256_unpacklo_epi8(ordered, filler);
    second = _mm256_unpackhi_epi8(ordered, filler);
  }
  static Shorts MulAddPairs(Shorts pairs, Shorts weights) noexcept {
    return _mm256_maddubs_epi16(pairs, weights);
  }
  static Shorts MulHighUnsigned(Shorts x, Shorts y) noexcept { return _mm256_mulhi_epu16(x, y); }
  // Packing works within each half of the register, so the packed quarters are put back in
  // order before their bits are taken.
  static std::uint32_t MaskBits(Shorts first, Shorts second) noexcept {
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_permute4x64_epi64(_mm256_packs_epi16(first, second), 0xD8)));
  }

  // Words.
  // The bits of `high` moved up n places (0 < n < 64), the top n bits of `low` filling in. The
  // counts of both shifts are made once (ShiftBy) for the many pairs they shift.
  struct Shift {
    __m128i up;
    __m128i down;
  };
  static Shift ShiftBy(std::size_t n) noexcept {
    return {_mm_cvtsi64_si128(static_cast<long long>(n)),
            _mm_cvtsi64_si128(static_cast<long long>(64 - n))};
  }
  static Words ShiftPairsLeft(Words high, Words low, const Shift& n) noexcept {
    return _mm256_or_si256(_mm256_sll_epi64(high, n.up), _mm256_srl_epi64(low, n.down));
  }
  static bool NoBits(Words x) noexcept { return _mm256_testz_si256(x, x) != 0; }
  // Bit counts per word: a table of the counts of 4-bit values, looked up for both halves of
  // every byte, then the bytes of each word summed.
  using Counts = __m256i;
  static Counts ZeroCounts() noexcept { return _mm256_setzero_si256(); }
  static Counts AddBitCounts(Counts counts, Words x) noexcept {
    const __m256i nibble_counts = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4,
                                                   0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
    const __m256i low_nibbles = _mm256_set1_epi8(0x0F);
    const __m256i low = _mm256_and_si256(x, low_nibbles);
    const __m256i high = _mm256_and_si256(_mm256_srli_epi16(x, 4), low_nibbles);
    const __m256i bytes = _mm256_add_epi8(_mm256_shuffle_epi8(nibble_counts, low),
                                          _mm256_shuffle_epi8(nibble_counts, high));
    return _mm256_add_epi64(counts, _mm256_sad_epu8(bytes, _mm256_setzero_si256()));
  }
  static std::int64_t SumCounts(Counts counts) noexcept { return SumWordLanes(counts); }
};

}  // namespace Tarvo_alg1::lanes
