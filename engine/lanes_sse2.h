// The lanes of lanes_plain.h in SSE2 registers, which every x86-64 processor has: sixteen
// bytes or eight shorts at a time. Words stay plain, as SSE2 has no 64-bit compare or count.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "engine/lanes_words.h"

namespace Tarvo_alg1::lanes {

struct Sse2 : OneWord {
  static constexpr std::size_t kBytes = 16;
  static constexpr std::size_t kShorts = 8;

  using Bytes = __m128i;
  using ByteMask = Bytes;
  using Shorts = __m128i;

  // Bytes. Unsigned comparisons are signed ones with the top bit flipped.
  static Bytes LoadBytes(const std::uint8_t* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  static Bytes SplatBytes(std::uint8_t x) noexcept { return _mm_set1_epi8(static_cast<char>(x)); }
  static Bytes AllBytes(bool on) noexcept { return on ? _mm_set1_epi8(-1) : _mm_setzero_si128(); }
  static Bytes Flip(Bytes v) noexcept {
    return _mm_xor_si128(v, _mm_set1_epi8(static_cast<char>(0x80)));
  }
  static Bytes Above(Bytes v, Bytes limit) noexcept { return _mm_cmpgt_epi8(Flip(v), Flip(limit)); }
  static Bytes Below(Bytes v, Bytes limit) noexcept { return _mm_cmpgt_epi8(Flip(limit), Flip(v)); }
  static Bytes OrBytes(Bytes x, Bytes y) noexcept { return _mm_or_si128(x, y); }
  static Bytes AndBytes(Bytes x, Bytes y) noexcept { return _mm_and_si128(x, y); }
  static Bytes SubBytes(Bytes x, Bytes y) noexcept { return _mm_sub_epi8(x, y); }
  static Bytes SubBytesSaturated(Bytes x, Bytes y) noexcept { return _mm_subs_epu8(x, y); }
  static std::uint32_t ByteBits(ByteMask mask) noexcept {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(mask));
  }
  static bool Any(Bytes mask) noexcept { return _mm_movemask_epi8(mask) != 0; }
  static Bytes MinBytes(Bytes x, Bytes y) noexcept { return _mm_min_epu8(x, y); }
  static Bytes MaxBytes(Bytes x, Bytes y) noexcept { return _mm_max_epu8(x, y); }
  static Bytes CountTrue(Bytes counts, Bytes mask) noexcept { return _mm_sub_epi8(counts, mask); }
  static unsigned Sum(Bytes counts) noexcept {
    const __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    return static_cast<unsigned>(_mm_cvtsi128_si32(sums) +
                                 _mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
  }

  // Shorts.
  static Shorts LoadShorts(const std::int16_t* p) noexcept {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  }
  static void StoreShorts(std::int16_t* p, Shorts v) noexcept {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  }
  static Shorts WidenBytes(const std::uint8_t* p) noexcept {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                             _mm_setzero_si128());
  }
  static Shorts SplatShorts(std::int16_t x) noexcept { return _mm_set1_epi16(x); }
  static Shorts Add(Shorts x, Shorts y) noexcept { return _mm_add_epi16(x, y); }
  static Shorts Sub(Shorts x, Shorts y) noexcept { return _mm_sub_epi16(x, y); }
  static Shorts MulLow(Shorts x, Shorts y) noexcept { return _mm_mullo_epi16(x, y); }
  static Shorts MulHighUnsigned(Shorts x, Shorts y) noexcept { return _mm_mulhi_epu16(x, y); }
  static Shorts ShiftRightUnsigned(Shorts x, int n) noexcept {
    return _mm_srl_epi16(x, _mm_cvtsi32_si128(n));
  }
  static Shorts Min(Shorts x, Shorts y) noexcept { return _mm_min_epi16(x, y); }
  static Shorts Max(Shorts x, Shorts y) noexcept { return _mm_max_epi16(x, y); }
  static Shorts And(Shorts x, Shorts y) noexcept { return _mm_and_si128(x, y); }
  static Shorts Or(Shorts x, Shorts y) noexcept { return _mm_or_si128(x, y); }
  static std::uint32_t MaskBits(Shorts first, Shorts second) noexcept {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(first, second)));
  }
};

}  // namespace Tarvo_alg1::lanes
