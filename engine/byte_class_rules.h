// When the scan's rules can be decided on the sample bytes rather than on the samples the intake
// stores from them (byte_classify_kernel.h).
//
// A whole gain G scales byte b to floor((b - 128) x G / 3). From G = 3 up every step of the
// byte is a step of the sample, so samples compare as their bytes do, and "above 5" and "below
// -5" are "above" and "below" some byte. Flatness asks whether two samples lie within 2 of
// each other; that is a distance between the bytes for G = 3 (2), 5 and 6 (1) and 9 or more
// (0), and for no other gain, where the floor makes it depend on where the bytes lie.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace Tarvo_alg1 {

struct ByteClassRules {
  std::uint8_t above_five = 0;        // a sample is above 5 when its byte is above this
  std::uint8_t below_minus_five = 0;  // and below -5 when its byte is below this
  std::uint8_t flat_distance = 0;     // two samples lie within 2 when their bytes lie within this
};

// The rules for the whole-number samples `scaled` (one per byte value), or none when they do not
// rise strictly with the byte or no byte distance gives flatness exactly.
std::optional<ByteClassRules> ByteClassRulesFor(const std::array<double, 256>& scaled) noexcept;

}  // namespace Tarvo_alg1
