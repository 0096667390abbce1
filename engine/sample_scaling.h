// Turning sample bytes into stored samples in bulk. The intake scales a byte b to
// floor((b - 128) * (Gain / 3)) in doubles. For most whole gains the same numbers come from
// 16-bit integer arithmetic, many bytes per instruction; not for all, since Gain / 3 is rounded
// and the product then sometimes lands just below a whole number (-120 x (50 / 3) is
// -2000.0000000000002). Whether they do for a given gain is therefore checked, on all 256 byte
// values, before a take is scaled this way; other gains are scaled in doubles, four at a time
// where the processor can.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace Tarvo_alg1 {

// The whole gain G for which ScaleBytes reproduces `scaled` (the doubles the intake computes
// for each byte value at `Gain`), if there is one.
std::optional<int> WholeGainFor(double Gain, const std::array<double, 256>& scaled) noexcept;

// out[j] = floor((bytes[j] - 128) * G / 3) for j below count, exactly; |G| at most 255.
void ScaleBytes(const std::uint8_t* bytes, std::size_t count, int G, std::int16_t* out) noexcept;

// out[j] = floor((bytes[j] - 128) * gain) in doubles, for the first j the processor's vector
// instructions reach (none without AVX2); returns how many it wrote. Every such value must fit
// in 16 bits.
std::size_t ScaleBytesInDoubles(const std::uint8_t* bytes, std::size_t count, double gain,
                                std::int16_t* out) noexcept;

}  // namespace Tarvo_alg1
