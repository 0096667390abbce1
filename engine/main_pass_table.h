// What the intake's main pass makes of each byte value. A sample is one byte, so every
// per-sample rule of the main pass is a function of the byte value alone (and of settings fixed
// for the call): each is decided once per byte value, in exactly the arithmetic the rule states.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace Tarvo_alg1 {

struct MainPassTable {
  std::array<double, 256> s;            // the gained sample
  std::array<std::uint8_t, 256> loud;   // counts as loud for starting the take
  std::array<std::uint8_t, 256> quiet;  // counts as quiet once stored
};

// The rules for every byte value at the factor `gain` (Gain / 3). Always inlined, so that each
// instruction set's form rounds down with its own instructions (AVX2 has one for four values).
[[gnu::always_inline]] inline void FillMainPassTableRules(MainPassTable& table, double gain,
                                                          double border, double clip) noexcept {
  // Without short-circuits (the comparisons have no side effects), so that the loop runs
  // several byte values at a time.
  for (int raw = 0; raw < 256; ++raw) {
    const double s = std::floor((raw - 128) * gain);
    table.s[raw] = s;
    table.loud[raw] = static_cast<std::uint8_t>(((s > border) | (s < -border)) & (s > clip));
    table.quiet[raw] = static_cast<std::uint8_t>(((-border < s) & (s < border)) | (s == clip));
  }
}

}  // namespace Tarvo_alg1
