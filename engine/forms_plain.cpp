// The hot loops in plain C++: the kernels over lanes_plain.h, the wide slots classified rule by
// rule, and a gain pass of its own. Built everywhere, and the only forms of a portable build.
#include <cstddef>
#include <cstdint>

#include "engine/byte_range.h"
#include "engine/forms.h"
#include "engine/kernel_forms.h"
#include "engine/lanes_plain.h"

namespace Tarvo_alg1 {
namespace {

using L = lanes::Plain;

// The gain pass in plain C++: a stretch of bytes is tested for a stopping byte first, then
// counted, each in a loop of fixed length the compiler can vectorise; the stretch that holds a
// stopping byte is counted byte by byte. Every loud byte is counted, however many are enough.
BlockCounts CountBytesPlain(const std::uint8_t* bytes, std::size_t from, std::size_t size,
                            ByteRange loud, ByteRange stop, unsigned) noexcept {
  constexpr std::size_t kStretch = 64;
  BlockCounts counts;
  std::size_t i = from;
  for (; i + kStretch <= size; i += kStretch) {
    unsigned stops = 0;
    for (std::size_t j = 0; j < kStretch; ++j) stops |= stop.Contains(bytes[i + j]) ? 1u : 0u;
    if (stops != 0) break;
    unsigned stretch_loud = 0;
    std::uint8_t lowest = counts.lowest;
    std::uint8_t highest = counts.highest;
    for (std::size_t j = 0; j < kStretch; ++j) {
      const std::uint8_t raw = bytes[i + j];
      stretch_loud += loud.Contains(raw) ? 1u : 0u;
      lowest = raw < lowest ? raw : lowest;
      highest = raw > highest ? raw : highest;
    }
    counts.loud += stretch_loud;
    counts.lowest = lowest;
    counts.highest = highest;
  }
  for (; i < size && !stop.Contains(bytes[i]); ++i) {
    const std::uint8_t raw = bytes[i];
    counts.loud += loud.Contains(raw) ? 1u : 0u;
    counts.lowest = raw < counts.lowest ? raw : counts.lowest;
    counts.highest = raw > counts.highest ? raw : counts.highest;
  }
  counts.next = i;
  return counts;
}

}  // namespace

const Forms& PlainForms() noexcept {
  static constexpr Forms forms = [] {
    Forms plain = SetForms<L>::Table();
    plain.count_blocks = CountBytesPlain;
    return plain;
  }();
  return forms;
}

}  // namespace Tarvo_alg1
