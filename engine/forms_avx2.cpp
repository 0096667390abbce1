// The hot loops in AVX2: the table of kernel_forms.h over lanes_avx2.h, and of its own the
// scaling in doubles, four at a time. Everything defined in the target region (target_region.h),
// the kernels and the table's functions included, is compiled for AVX2 (and the bit instructions
// that come with it); it runs only on a processor that has them. The headers of the standard
// library and of the engine's own types are included before (kernel_forms_shared.h), so that no
// inline function they define is compiled for AVX2 and then shared with the other forms.
#include <immintrin.h>

#include "engine/kernel_forms_shared.h"
#include "engine/target_region.h"

PELLIX_TARGET_BEGIN("avx2,popcnt,bmi,bmi2,lzcnt")

#include "engine/kernel_forms.h"
#include "engine/lanes_avx2.h"

namespace Tarvo_alg1 {
namespace {

using L = lanes::Avx2;

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

// Built while compiling (consteval), so that no code compiled for AVX2 runs to build it.
constexpr Forms kKernelForms = SetForms<L>::Table();

}  // namespace
}  // namespace Tarvo_alg1

PELLIX_TARGET_END

namespace Tarvo_alg1 {

// The wide slots and their copy to 16 bits are rare enough to share the SSE2 forms.
const Forms& Avx2Forms() noexcept {
  static const Forms forms = [] {
    Forms avx2 = kKernelForms;
    avx2.scale_blocks_in_doubles = ScaleInDoublesAvx2;
    avx2.classify_wide = Sse2Forms().classify_wide;
    avx2.narrow = Sse2Forms().narrow;
    return avx2;
  }();
  return forms;
}

}  // namespace Tarvo_alg1
