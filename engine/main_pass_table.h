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

inline bool IsLoud(double s, double border) noexcept {
  return s > border || s < -border;
}

// The rules for every byte value at the factor `gain` (Gain / 3). Always inlined, so that each
// instruction set's form rounds down with its own instructions (AVX2 has one for four values).
[[gnu::always_inline]] inline void FillMainPassTableRules(MainPassTable& table, double gain,
                                                          double border, double clip) noexcept {
  for (int raw = 0; raw < 256; ++raw) {
    const double s = std::floor((raw - 128) * gain);
    table.s[raw] = s;
    table.loud[raw] = IsLoud(s, border) && s > clip ? 1 : 0;
    table.quiet[raw] = (-border < s && s < border) || s == clip ? 1 : 0;
  }
}

}  // namespace Tarvo_alg1
