// Turning sample bytes into stored samples in bulk. The intake scales a byte b to
// floor((b - 128) * (Gain / 3)) in doubles; for a whole gain the same numbers mostly come from
// 16-bit integer arithmetic, many bytes per instruction. Whether they do for a given gain is
// not argued but checked, on all 256 byte values, before a take is scaled this way.
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

}  // namespace Tarvo_alg1
