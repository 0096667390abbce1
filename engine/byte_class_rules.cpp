#include "engine/byte_class_rules.h"

#include <cstddef>

namespace Tarvo_alg1 {

std::optional<ByteClassRules> ByteClassRulesFor(const std::array<double, 256>& scaled) noexcept {
  for (std::size_t b = 1; b < scaled.size(); ++b) {
    if (!(scaled[b] > scaled[b - 1])) return std::nullopt;
  }
  // Samples rise with the byte, so the first byte above 5 and the last below -5 bound them;
  // each must exist and leave a byte beyond it.
  if (!(scaled[0] < -5 && scaled[255] > 5)) return std::nullopt;
  ByteClassRules rules;
  std::size_t b = 0;
  while (scaled[b] <= 5) ++b;
  rules.above_five = static_cast<std::uint8_t>(b - 1);
  b = 255;
  while (scaled[b] >= -5) --b;
  rules.below_minus_five = static_cast<std::uint8_t>(b + 1);
  // The widest distance d at which every pair of bytes d apart still lies within 2; then every
  // pair d + 1 apart must lie further.
  std::size_t d = 0;
  auto within_two_at = [&scaled](std::size_t distance) {
    for (std::size_t low = 0; low + distance < scaled.size(); ++low) {
      if (scaled[low + distance] - scaled[low] > 2) return false;
    }
    return true;
  };
  while (d + 1 < scaled.size() && within_two_at(d + 1)) ++d;
  for (std::size_t low = 0; low + d + 1 < scaled.size(); ++low) {
    if (scaled[low + d + 1] - scaled[low] <= 2) return std::nullopt;
  }
  rules.flat_distance = static_cast<std::uint8_t>(d);
  return rules;
}

}  // namespace Tarvo_alg1
