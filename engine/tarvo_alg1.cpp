#include "engine/tarvo_alg1.h"

#include <algorithm>
#include <cstddef>

#include "engine/limits.h"

namespace Tarvo_alg1 {

std::size_t SampleFileBytes::Read(std::uint64_t offset, std::span<std::uint8_t> out) const {
  if (offset >= file_.size()) return 0;
  const std::size_t got = std::min(out.size(), file_.size() - static_cast<std::size_t>(offset));
  std::copy_n(file_.begin() + static_cast<std::ptrdiff_t>(offset), got, out.begin());
  return got;
}

// The intake's first steps, before the file is read: they change the state even when reading
// then fails, so they run first and apart from the read.
bool StartIntake(SharedState& m) {
  m.SampleCount = 0;
  m.TakeStart = 0;
  m.TakeEnd = 0;
  if (m.DataFileName.empty()) return false;
  m.AutoGain = m.Gain == 0 ? 1 : 0;
  if (m.Gain == 0) m.Gain = 3;
  m.MinSamples = limits::kIntakeMinimum;
  m.DefaultMinSamples = limits::kIntakeMinimum;
  return true;
}

}  // namespace Tarvo_alg1
