// The gain pass's bulk loops, written once for any lanes (lanes_plain.h and its vector forms)
// and compiled per instruction set in forms_*.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/byte_range.h"

namespace Tarvo_alg1::kernels {

template <class L>
struct ByteRangeLanes {
  explicit ByteRangeLanes(ByteRange set) noexcept
      : above(L::SplatBytes(static_cast<std::uint8_t>(set.high - 1))),
        below(L::SplatBytes(static_cast<std::uint8_t>(set.low + 1))),
        quiet_top(L::SplatBytes(static_cast<std::uint8_t>(set.high - set.low - 2))),
        every_byte(set.low + 2 > set.high),
        every(L::AllBytes(every_byte)) {}

  typename L::ByteMask Contains(typename L::Bytes raw) const noexcept {
    return L::OrBytes(Outside(raw), every);
  }

  // The same when the set leaves out some byte values (every_byte is false): those lie from
  // low + 1 to high - 1, so the bytes of the set are those whose distance up from low + 1,
  // wrapping round, is past that range's top. One comparison, and nothing to combine.
  typename L::ByteMask Outside(typename L::Bytes raw) const noexcept {
    return L::Above(L::SubBytes(raw, below), quiet_top);
  }

  // Lanes whose lowest or highest byte so far lies in the set: a lane that has seen a byte of
  // the set has seen one at least as low or as high.
  typename L::ByteMask Reached(typename L::Bytes lowest, typename L::Bytes highest) const noexcept {
    return L::OrBytes(L::OrBytes(L::Above(highest, above), L::Below(lowest, below)), every);
  }

  typename L::Bytes above;
  typename L::Bytes below;
  typename L::Bytes quiet_top;
  bool every_byte;
  typename L::ByteMask every;
};

// Index of the first byte in [from, to) that lies in `set`, or where the whole blocks ended:
// the caller looks at the rest one byte at a time.
template <class L>
std::size_t FindFirstBlock(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                           ByteRange set) noexcept {
  const ByteRangeLanes<L> lanes(set);
  std::size_t i = from;
  for (; i + L::kBytes <= to; i += L::kBytes) {
    if (L::Any(lanes.Contains(L::LoadBytes(bytes + i)))) break;
  }
  return i;
}

// One past the last byte in [from, to) that lies in `set`, searched back from `to` in whole
// blocks: no byte from the result to `to` lies in the set. When a block holds one, the result is
// one past it; near `from`, the caller looks at the bytes left one at a time.
template <class L>
std::size_t FindLastBlock(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                          ByteRange set) noexcept {
  const ByteRangeLanes<L> lanes(set);
  std::size_t i = to;
  for (; i >= from + L::kBytes; i -= L::kBytes) {
    const auto found = lanes.Contains(L::LoadBytes(bytes + i - L::kBytes));
    if (L::Any(found)) {
      const std::uint64_t bits = L::ByteBits(found);
      return i - L::kBytes + static_cast<std::size_t>(64 - __builtin_clzll(bits));
    }
  }
  return i;
}

// Counts whole blocks from `from` (not past `size`) until the block that holds a byte of `stop`.
// The stopping set is a range of low bytes and one of high bytes, so a group of blocks holds a
// stopping byte exactly when the lowest or the highest byte of some lane, which the count keeps
// anyway, has reached it (the blocks before held none): the stopping test costs nothing per
// block. A group that holds a stopping byte is counted again block by block. The loud bytes are
// counted group by group until there are `enough`; past that, only the extremes are kept, which
// leaves two of the five operations a block.
template <class L>
BlockCounts CountBlocks(const std::uint8_t* bytes, std::size_t from, std::size_t size,
                        ByteRange loud_set, ByteRange stop_set, unsigned enough) noexcept {
  using Bytes = typename L::Bytes;
  constexpr std::size_t kGroup = 8;
  constexpr std::size_t kGroupBytes = kGroup * L::kBytes;
  const ByteRangeLanes<L> loud(loud_set);
  const ByteRangeLanes<L> stop(stop_set);
  Bytes low = L::SplatBytes(255);
  Bytes high = L::SplatBytes(0);
  BlockCounts result;
  std::size_t i = from;
  // Each group's next extremes, kept only when the group holds no stopping byte.
  auto group_extremes = [&](std::size_t at, Bytes& group_low, Bytes& group_high, auto&& each) {
    group_low = low;
    group_high = high;
    for (std::size_t g = 0; g < kGroup; ++g) {
      const Bytes raw = L::LoadBytes(bytes + at + g * L::kBytes);
      each(raw);
      group_low = L::MinBytes(group_low, raw);
      group_high = L::MaxBytes(group_high, raw);
    }
    if (L::Any(stop.Reached(group_low, group_high))) return false;
    low = group_low;
    high = group_high;
    return true;
  };
  bool stopped = false;
  while (!stopped && result.loud < enough && i + kGroupBytes <= size) {
    // A lane counts up to 255, and a group adds at most 8 to each.
    Bytes counts = L::SplatBytes(0);
    Bytes group_low;
    Bytes group_high;
    stopped = !group_extremes(i, group_low, group_high,
                              [&](Bytes raw) { counts = L::CountTrue(counts, loud.Outside(raw)); });
    if (stopped) break;
    result.loud += L::Sum(counts);
    i += kGroupBytes;
  }
  while (!stopped && i + kGroupBytes <= size) {
    Bytes group_low;
    Bytes group_high;
    stopped = !group_extremes(i, group_low, group_high, [](Bytes) {});
    if (stopped) break;
    i += kGroupBytes;
  }
  // The last group, block by block, up to the block that stops.
  Bytes counts = L::SplatBytes(0);
  for (; i + L::kBytes <= size; i += L::kBytes) {
    const Bytes raw = L::LoadBytes(bytes + i);
    if (L::Any(stop.Contains(raw))) break;
    counts = L::CountTrue(counts, loud.Outside(raw));
    low = L::MinBytes(low, raw);
    high = L::MaxBytes(high, raw);
  }
  result.loud += L::Sum(counts);
  // Counted by Outside, which a set of every byte leaves out of its reckoning.
  if (loud.every_byte) result.loud = static_cast<unsigned>(i - from);
  // Once a call, so lane by lane: no instruction set reduces bytes across a register.
  std::array<std::uint8_t, L::kBytes> lows;
  std::array<std::uint8_t, L::kBytes> highs;
  static_assert(sizeof low == sizeof lows);
  std::memcpy(lows.data(), &low, sizeof lows);
  std::memcpy(highs.data(), &high, sizeof highs);
  result.lowest = 255;
  result.highest = 0;
  for (std::size_t j = 0; j < L::kBytes; ++j) {
    result.lowest = lows[j] < result.lowest ? lows[j] : result.lowest;
    result.highest = highs[j] > result.highest ? highs[j] : result.highest;
  }
  result.next = i;
  return result;
}

}  // namespace Tarvo_alg1::kernels
