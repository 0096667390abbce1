// The gain pass of the intake, in automatic mode: over the bytes from index 1, centred on 127,
// it counts the loud samples, keeps the peak of their levels, and stops after the first sample
// that lifts the peak above 110. Each byte is tested against a range of byte values decided
// once per call, sixteen or thirty-two bytes at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/tarvo_alg1.h"

namespace Tarvo_alg1 {

// The bytes of one take as the intake reads them: index 0 is byte 50 of the file.
using SampleBytes = std::array<std::uint8_t, kSampleBufferSize>;

// Index of the first zero byte at or after `from`, or the buffer's size: a zero ends the data.
std::size_t DataEnd(const SampleBytes& bytes, std::size_t from) noexcept;

struct GainPassResult {
  double PeakLevel = 0;
  std::size_t first = 0;  // index of the first loud sample, 0 if none
  long loud = 0;  // the loud samples, all of them when fewer than kLoudForGain, else at least that
  std::size_t data_end = 0;  // DataEnd from index 1
};

// `border`: a sample is loud when its level is beyond plus or minus this.
GainPassResult GainPass(const SampleBytes& bytes, double border);

}  // namespace Tarvo_alg1
