// Lanes in plain C++: fixed arrays and loops, for any processor and compiler (the compiler may
// vectorise them on its own). The engine's kernels are written once against this interface;
// lanes_sse2.h, lanes_avx2.h and lanes_avx512.h give the same operations in vector registers.
//
// Bytes: unsigned 8-bit lanes; a mask of bytes (ByteMask) is bytes whose lanes are 0xFF (true)
// or 0, as comparisons give it, where a set with mask registers keeps a bit per lane instead.
// ByteBits gives lane j's truth as bit j. The vector sets add what classifying on bytes needs
// (byte_classify_kernel.h): AndBytes and SubBytesSaturated (x - y, or 0 where y is larger).
// Shorts: signed 16-bit lanes
// with wrap-around arithmetic; a mask lane is -1 or 0, and MaskBits reads only the sign bit of a
// lane. Words: unsigned 64-bit lanes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include <cstring>
#include "engine/lanes_words.h"

namespace Tarvo_alg1::lanes {

struct Plain : OneWord {
  static constexpr std::size_t kBytes = 16;
  static constexpr std::size_t kShorts = 16;

  using Bytes = std::array<std::uint8_t, kBytes>;
  using ByteMask = Bytes;
  using Shorts = std::array<std::int16_t, kShorts>;

  // Bytes.
  static Bytes LoadBytes(const std::uint8_t* p) noexcept {
    Bytes v;
    std::memcpy(v.data(), p, kBytes);
    return v;
  }
  static Bytes SplatBytes(std::uint8_t x) noexcept {
    Bytes v;
    v.fill(x);
    return v;
  }
  static Bytes AllBytes(bool on) noexcept { return SplatBytes(on ? 0xFF : 0); }
  static Bytes Above(Bytes v, Bytes limit) noexcept {
    for (std::size_t j = 0; j < kBytes; ++j) v[j] = v[j] > limit[j] ? 0xFF : 0;
    return v;
  }
  static Bytes Below(Bytes v, Bytes limit) noexcept {
    for (std::size_t j = 0; j < kBytes; ++j) v[j] = v[j] < limit[j] ? 0xFF : 0;
    return v;
  }
  // x - y, wrapping round.
  static Bytes SubBytes(Bytes x, Bytes y) noexcept {
    for (std::size_t j = 0; j < kBytes; ++j) x[j] = static_cast<std::uint8_t>(x[j] - y[j]);
    return x;
  }
  static Bytes OrBytes(Bytes x, Bytes y) noexcept {
    for (std::size_t j = 0; j < kBytes; ++j) x[j] = static_cast<std::uint8_t>(x[j] | y[j]);
    return x;
  }
  static bool Any(Bytes mask) noexcept {
    unsigned any = 0;
    for (std::uint8_t b : mask) any |= b;
    return any != 0;
  }
  static std::uint32_t ByteBits(Bytes mask) noexcept {
    std::uint32_t bits = 0;
    for (std::size_t j = 0; j < kBytes; ++j) bits |= std::uint32_t{mask[j] != 0} << j;
    return bits;
  }
  static Bytes MinBytes(Bytes x, Bytes y) noexcept {
    for (std::size_t j = 0; j < kBytes; ++j) x[j] = x[j] < y[j] ? x[j] : y[j];
    return x;
  }
  static Bytes MaxBytes(Bytes x, Bytes y) noexcept {
    for (std::size_t j = 0; j < kBytes; ++j) x[j] = x[j] > y[j] ? x[j] : y[j];
    return x;
  }
  // Adds 1 to each count whose mask lane is true; a lane counts up to 255.
  static Bytes CountTrue(Bytes counts, Bytes mask) noexcept {
    for (std::size_t j = 0; j < kBytes; ++j)
      counts[j] = static_cast<std::uint8_t>(counts[j] - mask[j]);
    return counts;
  }
  static unsigned Sum(Bytes counts) noexcept {
    unsigned sum = 0;
    for (std::uint8_t c : counts) sum += c;
    return sum;
  }

  // Shorts.
  static Shorts LoadShorts(const std::int16_t* p) noexcept {
    Shorts v;
    std::memcpy(v.data(), p, sizeof v);
    return v;
  }
  static void StoreShorts(std::int16_t* p, Shorts v) noexcept {
    std::memcpy(p, v.data(), sizeof v);
  }
  static Shorts WidenBytes(const std::uint8_t* p) noexcept {
    Shorts v;
    for (std::size_t j = 0; j < kShorts; ++j) v[j] = p[j];
    return v;
  }
  static Shorts SplatShorts(std::int16_t x) noexcept {
    Shorts v;
    v.fill(x);
    return v;
  }
  template <typename Op>
  static Shorts Each(Shorts x, Shorts y, Op op) noexcept {
    for (std::size_t j = 0; j < kShorts; ++j) x[j] = static_cast<std::int16_t>(op(x[j], y[j]));
    return x;
  }
  static Shorts Add(Shorts x, Shorts y) noexcept {
    return Each(x, y, [](int a, int b) { return static_cast<std::uint16_t>(a + b); });
  }
  static Shorts Sub(Shorts x, Shorts y) noexcept {
    return Each(x, y, [](int a, int b) { return static_cast<std::uint16_t>(a - b); });
  }
  static Shorts MulLow(Shorts x, Shorts y) noexcept {
    return Each(x, y, [](int a, int b) { return static_cast<std::uint16_t>(a * b); });
  }
  // The high half of the unsigned product.
  static Shorts MulHighUnsigned(Shorts x, Shorts y) noexcept {
    return Each(x, y, [](int a, int b) {
      return (static_cast<std::uint32_t>(static_cast<std::uint16_t>(a)) *
              static_cast<std::uint16_t>(b)) >>
             16;
    });
  }
  static Shorts ShiftRightUnsigned(Shorts x, int n) noexcept {
    for (auto& v : x) v = static_cast<std::int16_t>(static_cast<std::uint16_t>(v) >> n);
    return x;
  }
  static Shorts Min(Shorts x, Shorts y) noexcept {
    return Each(x, y, [](int a, int b) { return a < b ? a : b; });
  }
  static Shorts Max(Shorts x, Shorts y) noexcept {
    return Each(x, y, [](int a, int b) { return a > b ? a : b; });
  }
  static Shorts And(Shorts x, Shorts y) noexcept {
    return Each(x, y, [](int a, int b) { return a & b; });
  }
  static Shorts Or(Shorts x, Shorts y) noexcept {
    return Each(x, y, [](int a, int b) { return a | b; });
  }
  // The sign bits of two sets of lanes, first's lane j as bit j and second's as bit kShorts + j.
  // The sign bits become bytes of 0 or 1, and each eight such bytes c0 to c7 (c0 lowest)
  // one byte of bits by a multiplication: c_i lands on bit 56 + i of the product with
  // 0x0102040810204080 (2^(8k + 7 - k) for k = 0 to 7 where i + k = 7), every other pair
  // falls on its own bit of a lower byte or beyond the word, so nothing carries into the top
  // byte.
  static std::uint32_t MaskBits(Shorts first, Shorts second) noexcept {
    std::array<std::uint8_t, 2 * kShorts> ones;
    for (std::size_t j = 0; j < kShorts; ++j) {
      ones[j] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(first[j]) >> 15);
      ones[kShorts + j] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(second[j]) >> 15);
    }
    std::uint32_t bits = 0;
    for (std::size_t k = 0; k < ones.size() / 8; ++k) {
      std::uint64_t eight;
      std::memcpy(&eight, ones.data() + 8 * k, sizeof eight);
      bits |= static_cast<std::uint32_t>((eight * 0x0102040810204080u) >> 56) << (8 * k);
    }
    return bits;
  }
};

}  // namespace Tarvo_alg1::lanes
