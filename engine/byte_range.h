// Sets of byte values the gain pass tests each byte against, and what it counts over them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Tarvo_alg1 {

// A set of byte values of the form {raw >= high} + {raw <= low}, high from 1 to 256 and low
// from -1 to 255 (256 and -1 take no byte). Levels grow with the byte, so "level above x" and
// "level below y" are such sets.
struct ByteRange {
  int low = -1;
  int high = 256;
  // Compared as bytes, without short-circuit, so that loops over many bytes test several at a
  // time: raw >= high is raw > high - 1, and raw <= low is raw < low + 1 (every byte when low
  // is 255, whose low + 1 does not fit a byte).
  bool Contains(std::uint8_t raw) const noexcept {
    const auto above = static_cast<std::uint8_t>(high - 1);
    const auto below = static_cast<std::uint8_t>(low + 1);
    return (raw > above) | (raw < below) | (low >= 255);
  }
};

// The loud bytes and the extremes of all bytes over whole blocks, from where the count started
// up to the first block that holds a byte of the stopping set (or that would pass the end);
// `next` is where the blocks ended. The loud bytes are all counted while they are fewer than
// the count asked for; once they reach it, a form may stop counting them.
struct BlockCounts {
  std::size_t next = 0;
  unsigned loud = 0;
  std::uint8_t lowest = 255;
  std::uint8_t highest = 0;
};

}  // namespace Tarvo_alg1
