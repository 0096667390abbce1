// The hot loops in AVX-512: the kernels over lanes_avx512.h. Everything defined between the two
// target pragmas is compiled for AVX-512 (and the AVX2 and bit instructions that come with it);
// it runs only on a processor and system that have it (instruction_set.cpp). The headers of the
// standard library and of the engine's own types are included before, so that no inline
// function they define is compiled for AVX-512 and then shared with the other forms.
// GCC 12's AVX-512 intrinsics pass an undefined vector where a result has no pass-through
// lanes, and its uninitialised-use warnings take that for a real uninitialised variable in every
// function the intrinsics are inlined into. Nothing in this file reads a variable it did not set.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/forms.h"
#include "engine/sample_store.h"

#if defined(__clang__)
#pragma clang attribute push(                                                                    \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx512vpopcntdq,avx512vbmi2,avx2," \
                          "popcnt,bmi,bmi2,lzcnt"))),                                            \
    apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target( \
    "avx512f,avx512bw,avx512vl,avx512dq,avx512vpopcntdq,avx512vbmi2,avx2,popcnt,bmi,bmi2,lzcnt")
#endif

#include "engine/byte_classify_kernel.h"
#include "engine/classify_kernel.h"
#include "engine/flic_census_kernel.h"
#include "engine/gain_pass_kernel.h"
#include "engine/lanes_avx512.h"
#include "engine/scale_kernel.h"

namespace Tarvo_alg1 {
namespace {

using L = lanes::Avx512;

BlockCounts CountBlocksAvx512(const std::uint8_t* bytes, std::size_t from, std::size_t size,
                              ByteRange loud, ByteRange stop, unsigned enough) noexcept {
  return kernels::CountBlocks<L>(bytes, from, size, loud, stop, enough);
}

std::size_t FindFirstBlockAvx512(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                                 ByteRange set) noexcept {
  return kernels::FindFirstBlock<L>(bytes, from, to, set);
}

std::size_t FindLastBlockAvx512(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                                ByteRange set) noexcept {
  return kernels::FindLastBlock<L>(bytes, from, to, set);
}

std::size_t ScaleBlocksAvx512(const std::uint8_t* bytes, std::size_t count, int G,
                              std::int16_t* out) noexcept {
  return kernels::ScaleBlocks<L>(bytes, count, G, out);
}

ScaledAndClassified ScaleAndClassifyAvx512(const std::uint8_t* bytes, std::size_t count, int G,
                                           std::int16_t* slots, std::size_t first_slot,
                                           PositionBits& thorn, PositionBits& nonflat) noexcept {
  return kernels::ScaleAndClassify<L>(bytes, count, G, slots, first_slot, thorn, nonflat);
}

ScaledAndClassified ScaleAndClassifyBytesAvx512(const std::uint8_t* bytes, std::size_t count, int G,
                                                const ByteClassRules& rules, std::int16_t* slots,
                                                std::size_t first_slot, PositionBits& thorn,
                                                PositionBits& nonflat) noexcept {
  return kernels::ScaleAndClassifyBytes<L>(bytes, count, G, rules, slots, first_slot, thorn,
                                           nonflat);
}

void ClassifyBlocksAvx512(const std::int16_t* samples, std::size_t first, std::size_t last,
                          PositionBits& thorn, PositionBits& nonflat) noexcept {
  kernels::ClassifyBlocks<L>(samples, first, last, thorn, nonflat);
}

void FindRunEndsAvx512(const PositionBits& nonflat, RunEnds& ends) noexcept {
  FindRunEnds(nonflat, ends);
}

void CountFlicsByCensusAvx512(const PositionBits& thorn, const PositionBits& nonflat,
                              const RunEnds& ends, std::size_t flic, std::size_t last,
                              JumpTally& tally, FlicPass& pass) {
  kernels::CountFlicsByCensus<L>(thorn, nonflat, ends, flic, last, tally, pass);
}

}  // namespace
}  // namespace Tarvo_alg1

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace Tarvo_alg1 {

// The main pass's table, the scaling in doubles and the wide slots are rare or short enough to
// share the AVX2 and SSE2 forms.
const Forms& Avx512Forms() noexcept {
  static const Forms forms{
      CountBlocksAvx512,         FindFirstBlockAvx512,
      FindLastBlockAvx512,       Avx2Forms().fill_main_pass_table,
      ScaleBlocksAvx512,         Avx2Forms().scale_blocks_in_doubles,
      ClassifyBlocksAvx512,      kernels::kClassifyBlock<L>,
      ScaleAndClassifyAvx512,    ScaleAndClassifyBytesAvx512,
      Sse2Forms().classify_wide, Sse2Forms().narrow,
      FindRunEndsAvx512,         CountFlicsByCensusAvx512,
  };
  return forms;
}

}  // namespace Tarvo_alg1
