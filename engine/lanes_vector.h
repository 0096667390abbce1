// What the lanes in vector registers (lanes_sse2.h, lanes_avx2.h, lanes_avx512.h) do alike at
// every width, written once for a register of N bytes in the compiler's vector arithmetic, which
// gives each width the instruction of its own set (paddw, pminub, vpbroadcastw...). Each set's
// lanes derive from these and add what its instructions do in a way of their own.
//
// Code compiled for a set is defined between that set's target pragmas, this header included
// (forms_*.cpp), so every function here takes the target of the file that first uses it. Each
// width belongs to one set, so no function compiled for one set is linked in place of another's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Tarvo_alg1::lanes {

template <std::size_t N>
struct VectorLanes {
  static constexpr std::size_t kBytes = N;
  static constexpr std::size_t kShorts = N / 2;

  // The register, the same type as the intrinsics' (__m128i, __m256i, __m512i), and its lanes
  // as numbers of each size.
  typedef long long Register __attribute__((vector_size(N), may_alias));
  typedef std::uint8_t ByteLanes __attribute__((vector_size(N)));
  typedef char CharLanes __attribute__((vector_size(N)));
  typedef std::int16_t ShortLanes __attribute__((vector_size(N)));
  typedef std::uint16_t UnsignedShortLanes __attribute__((vector_size(N)));

  using Bytes = Register;
  using Shorts = Register;

  // A register from memory at any address, and back, as the intrinsics' own unaligned loads and
  // stores go: through a type that may stand anywhere and alias anything.
  typedef long long Unaligned __attribute__((vector_size(N), may_alias, aligned(1)));
  static Register Load(const void* p) noexcept { return *static_cast<const Unaligned*>(p); }
  static void Store(void* p, Register v) noexcept { *static_cast<Unaligned*>(p) = v; }

  // In each lane the smaller of x's and y's numbers, or the larger.
  template <class Lanes, bool kLarger>
  static Register Pick(Register x, Register y) noexcept {
    const Lanes a = (Lanes)x;
    const Lanes b = (Lanes)y;
    if constexpr (kLarger) {
      return (Register)(a > b ? a : b);
    } else {
      return (Register)(a < b ? a : b);
    }
  }

  // Bytes: unsigned, x - y wrapping round.
  static Bytes LoadBytes(const std::uint8_t* p) noexcept { return Load(p); }
  // Built from lanes of char, as the intrinsics build theirs: built from unsigned lanes, GCC 12
  // gives SSE2 loops that take 40% longer (BM_EngineInMemory/1, bench/intake_bench.cpp).
  static Bytes SplatBytes(std::uint8_t x) noexcept {
    return (Register)(CharLanes{} + static_cast<char>(x));
  }
  static Bytes SubBytes(Bytes x, Bytes y) noexcept {
    return (Register)((ByteLanes)x - (ByteLanes)y);
  }
  static Bytes MinBytes(Bytes x, Bytes y) noexcept { return Pick<ByteLanes, false>(x, y); }
  static Bytes MaxBytes(Bytes x, Bytes y) noexcept { return Pick<ByteLanes, true>(x, y); }

  // Shorts: signed, wrapping round.
  static Shorts LoadShorts(const std::int16_t* p) noexcept { return Load(p); }
  static void StoreShorts(std::int16_t* p, Shorts v) noexcept { Store(p, v); }
  static Shorts SplatShorts(std::int16_t x) noexcept { return (Register)(ShortLanes{} + x); }
  static Shorts Add(Shorts x, Shorts y) noexcept {
    return (Register)((UnsignedShortLanes)x + (UnsignedShortLanes)y);
  }
  static Shorts Sub(Shorts x, Shorts y) noexcept {
    return (Register)((UnsignedShortLanes)x - (UnsignedShortLanes)y);
  }
  static Shorts MulLow(Shorts x, Shorts y) noexcept {
    return (Register)((UnsignedShortLanes)x * (UnsignedShortLanes)y);
  }
  static Shorts ShiftRightUnsigned(Shorts x, int n) noexcept {
    return (Register)((UnsignedShortLanes)x >> n);
  }
  static Shorts Min(Shorts x, Shorts y) noexcept { return Pick<ShortLanes, false>(x, y); }
  static Shorts Max(Shorts x, Shorts y) noexcept { return Pick<ShortLanes, true>(x, y); }
  static Shorts And(Shorts x, Shorts y) noexcept { return x & y; }
  static Shorts Or(Shorts x, Shorts y) noexcept { return x | y; }
};

// Masks of bytes kept as bytes, 0xFF or 0, for the sets without mask registers (SSE2, AVX2).
// They compare signed bytes only: an unsigned comparison is a signed one with the top bit
// flipped.
template <std::size_t N>
struct ByteMaskLanes : VectorLanes<N> {
  using typename VectorLanes<N>::Register;
  using typename VectorLanes<N>::ByteLanes;
  using typename VectorLanes<N>::Bytes;
  using ByteMask = Bytes;
  typedef std::int8_t SignedByteLanes __attribute__((vector_size(N)));

  static ByteMask AllBytes(bool on) noexcept {
    return on ? VectorLanes<N>::SplatBytes(0xFF) : ByteMask{};
  }
  static SignedByteLanes Flip(Bytes v) noexcept {
    return (SignedByteLanes)((ByteLanes)v ^ std::uint8_t{0x80});
  }
  static ByteMask Above(Bytes v, Bytes limit) noexcept { return (Register)(Flip(v) > Flip(limit)); }
  static ByteMask Below(Bytes v, Bytes limit) noexcept { return (Register)(Flip(v) < Flip(limit)); }
  static ByteMask OrBytes(ByteMask x, ByteMask y) noexcept { return x | y; }
  static ByteMask AndBytes(ByteMask x, ByteMask y) noexcept { return x & y; }
  // A true lane is -1, so subtracting the mask counts it.
  static Bytes CountTrue(Bytes counts, ByteMask mask) noexcept {
    return VectorLanes<N>::SubBytes(counts, mask);
  }
};

// Words in vector registers, for the sets that count and shift 64-bit lanes (AVX2, AVX-512).
template <std::size_t N>
struct VectorWords {
  static constexpr std::size_t kWords = N / 8;
  using Words = typename VectorLanes<N>::Register;

  static Words LoadWords(const std::uint64_t* p) noexcept { return VectorLanes<N>::Load(p); }
  static void StoreWords(std::uint64_t* p, Words v) noexcept { VectorLanes<N>::Store(p, v); }
  static Words ZeroWords() noexcept { return Words{}; }
  static Words AndWords(Words x, Words y) noexcept { return x & y; }
  static Words OrWords(Words x, Words y) noexcept { return x | y; }
  static Words AndNotWords(Words x, Words y) noexcept { return ~x & y; }
};

}  // namespace Tarvo_alg1::lanes
