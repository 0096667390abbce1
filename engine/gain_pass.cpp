#include "engine/gain_pass.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/byte_range.h"
#include "engine/forms.h"
#include "engine/limits.h"

namespace Tarvo_alg1 {

std::size_t DataEnd(const SampleBytes& buffer, std::size_t from) noexcept {
  if (from >= buffer.size()) return buffer.size();
  const void* zero = std::memchr(buffer.data() + from, 0, buffer.size() - from);
  return zero == nullptr
             ? buffer.size()
             : static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - buffer.data());
}

namespace {

// Index of the first byte in [from, to) that lies in `set`, or `to`.
std::size_t FindFirst(const Forms& forms, const SampleBytes& buffer, std::size_t from,
                      std::size_t to, ByteRange set) noexcept {
  for (std::size_t i = forms.find_first_block(buffer.data(), from, to, set); i < to; ++i) {
    if (set.Contains(buffer[i])) return i;
  }
  return to;
}

// The loud bytes, by the pass's own comparisons on the level raw - 127: two walks over the byte
// values, a trifle beside the pass over a take.
ByteRange LoudBytes(double border) noexcept {
  ByteRange loud_bytes;
  for (int raw = 255; raw >= 1; --raw) {
    if (raw - 127.0 > border) loud_bytes.high = raw;
  }
  for (int raw = 1; raw <= 255; ++raw) {
    if (raw - 127.0 < -border) loud_bytes.low = raw;
  }
  return loud_bytes;
}

}  // namespace

GainPassResult GainPass(const SampleBytes& buffer, double border) {
  const ByteRange loud_bytes = LoudBytes(border);
  // Loud bytes whose level is beyond 110: 238 and up (+111), 16 and down (-111).
  const ByteRange stop_bytes{std::min(loud_bytes.low, 127 - limits::kPeakStop - 1),
                             std::max(loud_bytes.high, 127 + limits::kPeakStop + 1)};
  // A zero byte ends the data, so it ends the bulk count as well: one pass finds both.
  const ByteRange stop_or_end{std::max(stop_bytes.low, 0), stop_bytes.high};

  const Forms& forms = ActiveForms();
  const BlockCounts blocks =
      forms.count_blocks(buffer.data(), 1, buffer.size(), loud_bytes, stop_or_end,
                         static_cast<unsigned>(limits::kLoudForGain));
  // The rest one byte at a time, up to and including the stopping sample.
  unsigned loud = blocks.loud;
  std::uint8_t lowest = blocks.lowest;
  std::uint8_t highest = blocks.highest;
  std::size_t limit = blocks.next;
  while (limit < buffer.size()) {
    const std::uint8_t raw = buffer[limit];
    if (raw == 0) break;
    ++limit;
    loud += loud_bytes.Contains(raw) ? 1u : 0u;
    lowest = std::min(lowest, raw);
    highest = std::max(highest, raw);
    if (stop_bytes.Contains(raw)) break;
  }
  GainPassResult result;
  result.data_end = DataEnd(buffer, limit);
  result.loud = loud;
  if (result.loud > 0) {
    // Every byte at least as far from 127 as a loud one is loud, so the loudest byte of the
    // stretch is the peak.
    result.PeakLevel = std::max(highest - 127, 127 - lowest);
    result.first = FindFirst(forms, buffer, 1, limit, loud_bytes);
  }
  return result;
}

}  // namespace Tarvo_alg1
