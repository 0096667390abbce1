#include "engine/sample_scaling.h"

#include <cmath>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "engine/instruction_set.h"

namespace Tarvo_alg1 {
namespace {

constexpr int kLargestGain = 255;  // |(b - 128) * G| stays within 16 bits
// floor(y / 3) for y within +-32640: y + 32640 is an unsigned 16-bit u, and for every such u,
// floor(u / 3) is (u * 43691) >> 17.
constexpr int kOffsetThirds = 10880;
constexpr int kOffset = 3 * kOffsetThirds;
constexpr unsigned kThirdMultiplier = 43691;

std::int16_t ScaleByte(std::uint8_t byte, int G) noexcept {
  const auto u = static_cast<unsigned>((byte - 128) * G + kOffset);
  return static_cast<std::int16_t>(static_cast<int>((u * kThirdMultiplier) >> 17) - kOffsetThirds);
}

#if defined(__SSE2__)
__m128i ScaleLanes(__m128i raw, __m128i G) noexcept {
  const __m128i y = _mm_mullo_epi16(_mm_sub_epi16(raw, _mm_set1_epi16(128)), G);
  const __m128i u = _mm_add_epi16(y, _mm_set1_epi16(static_cast<short>(kOffset)));
  const __m128i third =
      _mm_srli_epi16(_mm_mulhi_epu16(u, _mm_set1_epi16(static_cast<short>(kThirdMultiplier))), 1);
  return _mm_sub_epi16(third, _mm_set1_epi16(kOffsetThirds));
}

std::size_t ScaleBaseline(const std::uint8_t* bytes, std::size_t count, int G,
                          std::int16_t* out) noexcept {
  const __m128i gain = _mm_set1_epi16(static_cast<short>(G));
  const __m128i zero = _mm_setzero_si128();
  std::size_t j = 0;
  for (; j + 16 <= count; j += 16) {
    const __m128i raw = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + j));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j),
                     ScaleLanes(_mm_unpacklo_epi8(raw, zero), gain));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j + 8),
                     ScaleLanes(_mm_unpackhi_epi8(raw, zero), gain));
  }
  return j;
}

__attribute__((target("avx2"))) std::size_t ScaleAvx2(const std::uint8_t* bytes, std::size_t count,
                                                      int G, std::int16_t* out) noexcept {
  const __m256i gain = _mm256_set1_epi16(static_cast<short>(G));
  const __m256i centre = _mm256_set1_epi16(128);
  const __m256i offset = _mm256_set1_epi16(static_cast<short>(kOffset));
  const __m256i multiplier = _mm256_set1_epi16(static_cast<short>(kThirdMultiplier));
  const __m256i offset_thirds = _mm256_set1_epi16(kOffsetThirds);
  std::size_t j = 0;
  for (; j + 16 <= count; j += 16) {
    const __m256i raw =
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + j)));
    const __m256i y = _mm256_mullo_epi16(_mm256_sub_epi16(raw, centre), gain);
    const __m256i third =
        _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_add_epi16(y, offset), multiplier), 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j),
                        _mm256_sub_epi16(third, offset_thirds));
  }
  return j;
}

__attribute__((target("avx2"))) std::size_t ScaleInDoublesAvx2(const std::uint8_t* bytes,
                                                               std::size_t count, double gain,
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
#endif

}  // namespace

std::size_t ScaleBytesInDoubles(const std::uint8_t* bytes, std::size_t count, double gain,
                                std::int16_t* out) noexcept {
#if defined(__SSE2__)
  if (ActiveInstructionSet() == InstructionSet::kAvx2) {
    return ScaleInDoublesAvx2(bytes, count, gain, out);
  }
#endif
  return 0;
}

void ScaleBytes(const std::uint8_t* bytes, std::size_t count, int G, std::int16_t* out) noexcept {
  std::size_t j = 0;
#if defined(__SSE2__)
  j = ActiveInstructionSet() == InstructionSet::kAvx2 ? ScaleAvx2(bytes, count, G, out)
                                                      : ScaleBaseline(bytes, count, G, out);
#endif
  for (; j < count; ++j) out[j] = ScaleByte(bytes[j], G);
}

std::optional<int> WholeGainFor(double Gain, const std::array<double, 256>& scaled) noexcept {
  if (!(std::abs(Gain) <= kLargestGain) || Gain != std::floor(Gain)) return std::nullopt;
  const int G = static_cast<int>(Gain);
  std::array<std::uint8_t, 256> every_byte;
  for (int b = 0; b < 256; ++b) every_byte[b] = static_cast<std::uint8_t>(b);
  std::array<std::int16_t, 256> whole;
  ScaleBytes(every_byte.data(), every_byte.size(), G, whole.data());
  for (int b = 0; b < 256; ++b) {
    if (whole[b] != scaled[b]) return std::nullopt;
  }
  return G;
}

}  // namespace Tarvo_alg1
