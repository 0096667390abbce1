#include "engine/sample_scaling.h"

#include <cmath>

#include "engine/forms.h"
#include "engine/scale_kernel.h"

namespace Tarvo_alg1 {
namespace {

std::int16_t ScaleByte(std::uint8_t byte, int G) noexcept {
  const auto u = static_cast<unsigned>((byte - 128) * G + kernels::kOffset);
  return static_cast<std::int16_t>(static_cast<int>((u * kernels::kThirdMultiplier) >> 17) -
                                   kernels::kOffsetThirds);
}

}  // namespace

std::size_t ScaleBytesInDoubles(const std::uint8_t* bytes, std::size_t count, double gain,
                                std::int16_t* out) noexcept {
  return ActiveForms().scale_blocks_in_doubles(bytes, count, gain, out);
}

void ScaleBytes(const std::uint8_t* bytes, std::size_t count, int G, std::int16_t* out) noexcept {
  std::size_t j = ActiveForms().scale_blocks(bytes, count, G, out);
  for (; j < count; ++j) out[j] = ScaleByte(bytes[j], G);
}

std::optional<int> WholeGainFor(double Gain, const std::array<double, 256>& scaled) noexcept {
  if (!(std::abs(Gain) <= kernels::kLargestWholeGain) || Gain != std::floor(Gain)) {
    return std::nullopt;
  }
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
