// The lanes of lanes_plain.h in SSE2 registers, which every x86-64 processor has: sixteen
// bytes or eight shorts at a time (lanes_vector.h), and what SSE2 does its own way. Words stay
// plain, as SSE2 has no 64-bit compare or count.
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "engine/lanes_vector.h"
#include "engine/lanes_words.h"

namespace Tarvo_alg1::lanes {

struct Sse2 : ByteMaskLanes<16>, OneWord {
  // Bytes.
  static Bytes SubBytesSaturated(Bytes x, Bytes y) noexcept { return _mm_subs_epu8(x, y); }
  static std::uint32_t ByteBits(ByteMask mask) noexcept {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(mask));
  }
  static bool Any(Bytes mask) noexcept { return _mm_movemask_epi8(mask) != 0; }
  static unsigned Sum(Bytes counts) noexcept {
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    return static_cast<unsigned>(_mm_cvtsi128_si32(sums) +
                                 _mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }

  // Shorts.
  static Shorts WidenBytes(const std::uint8_t* p) noexcept {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                             _mm_setzero_si128());
  }
  static Shorts MulHighUnsigned(Shorts x, Shorts y) noexcept { return _mm_mulhi_epu16(x, y); }
  static std::uint32_t MaskBits(Shorts first, Shorts second) noexcept {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(first, second)));
  }
};

}  // namespace Tarvo_alg1::lanes
