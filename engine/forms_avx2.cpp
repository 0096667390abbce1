// The hot loops in AVX2: the kernels over lanes_avx2.h and the scaling in doubles, four at a
// time. Everything defined between the two target pragmas is compiled for AVX2 (and the bit
// instructions that come with it); it runs only on a processor that has them. The headers of
// the standard library and of the engine's own types are included before, so that no inline
// function they define is compiled for AVX2 and then shared with the other forms.
#include <immintrin.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/forms.h"
#include "engine/sample_store.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,popcnt,bmi,bmi2,lzcnt"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,popcnt,bmi,bmi2,lzcnt")
#endif

#include "engine/byte_classify_kernel.h"
#include "engine/classify_kernel.h"
#include "engine/flic_census_kernel.h"
#include "engine/gain_pass_kernel.h"
#include "engine/lanes_avx2.h"
#include "engine/scale_kernel.h"

namespace Tarvo_alg1 {
namespace {

using L = lanes::Avx2;

void FillMainPassTableAvx2(MainPassTable& table, double gain, double border, double clip) noexcept {
  FillMainPassTableRules(table, gain, border, clip);
}

// floor((b - 128) * gain) in doubles, eight bytes a step; every value must fit in 16 bits.
std::size_t ScaleInDoublesAvx2(const std::uint8_t* bytes, std::size_t count, double gain,
                               std::int16_t* out) noexcept {
  const __m256d factor = _mm256_set1_pd(gain);
  const __m256i centre = _mm256_set1_epi32(128);
  std::size_t j = 0;
  for (; j + 8 <= count; j += 8) {
    const __m256i raw =
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes + j)));
    const __m256i centred = _mm256_sub_epi32(raw, centre);
    const __m256d low =
        _mm256_floor_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(centred)), factor));
    const __m256d high = _mm256_floor_pd(
        _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(centred, 1)), factor));
    const __m128i values = _mm_packs_epi32(_mm256_cvttpd_epi32(low), _mm256_cvttpd_epi32(high));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), values);
  }
  return j;
}

BlockCounts CountBlocksAvx2(const std::uint8_t* bytes, std::size_t from, std::size_t size,
                            ByteRange loud, ByteRange stop, unsigned enough) noexcept {
  return kernels::CountBlocks<L>(bytes, from, size, loud, stop, enough);
}

std::size_t FindFirstBlockAvx2(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                               ByteRange set) noexcept {
  return kernels::FindFirstBlock<L>(bytes, from, to, set);
}

std::size_t ScaleBlocksAvx2(const std::uint8_t* bytes, std::size_t count, int G,
                            std::int16_t* out) noexcept {
  return kernels::ScaleBlocks<L>(bytes, count, G, out);
}

std::size_t FindLastBlockAvx2(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                              ByteRange set) noexcept {
  return kernels::FindLastBlock<L>(bytes, from, to, set);
}

ScaledAndClassified ScaleAndClassifyAvx2(const std::uint8_t* bytes, std::size_t count, int G,
                                         std::int16_t* slots, std::size_t first_slot,
                                         PositionBits& thorn, PositionBits& nonflat) noexcept {
  return kernels::ScaleAndClassify<L>(bytes, count, G, slots, first_slot, thorn, nonflat);
}

ScaledAndClassified ScaleAndClassifyBytesAvx2(const std::uint8_t* bytes, std::size_t count, int G,
                                              const ByteClassRules& rules, std::int16_t* slots,
                                              std::size_t first_slot, PositionBits& thorn,
                                              PositionBits& nonflat) noexcept {
  return kernels::ScaleAndClassifyBytes<L>(bytes, count, G, rules, slots, first_slot, thorn,
                                           nonflat);
}

void ClassifyBlocksAvx2(const std::int16_t* samples, std::size_t first, std::size_t last,
                        PositionBits& thorn, PositionBits& nonflat) noexcept {
  kernels::ClassifyBlocks<L>(samples, first, last, thorn, nonflat);
}

void FindRunEndsAvx2(const PositionBits& nonflat, RunEnds& ends) noexcept {
  FindRunEnds(nonflat, ends);
}

void CountFlicsByCensusAvx2(const PositionBits& thorn, const PositionBits& nonflat,
                            const RunEnds& ends, std::size_t flic, std::size_t last,
                            JumpTally& tally, FlicPass& pass) {
  kernels::CountFlicsByCensus<L>(thorn, nonflat, ends, flic, last, tally, pass);
}

}  // namespace
}  // namespace Tarvo_alg1

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace Tarvo_alg1 {

// The wide slots and their copy to 16 bits are rare enough to share the SSE2 forms.
const Forms& Avx2Forms() noexcept {
  static const Forms forms{
      CountBlocksAvx2,           FindFirstBlockAvx2,
      FindLastBlockAvx2,         FillMainPassTableAvx2,
      ScaleBlocksAvx2,           ScaleInDoublesAvx2,
      ClassifyBlocksAvx2,        kernels::kClassifyBlock<L>,
      ScaleAndClassifyAvx2,      ScaleAndClassifyBytesAvx2,
      Sse2Forms().classify_wide, Sse2Forms().narrow,
      FindRunEndsAvx2,           CountFlicsByCensusAvx2,
  };
  return forms;
}

}  // namespace Tarvo_alg1
