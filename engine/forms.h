// The engine's hot loops, one table of them per instruction set. Each loop is written once
// (the *_kernel.h headers, over the lanes of lanes_plain.h) and compiled for each set in a file
// of its own: forms_plain.cpp (plain C++, any processor), forms_sse2.cpp (x86-64's baseline),
// forms_avx2.cpp and forms_avx512.cpp. A portable build (PELLIX_PORTABLE) compiles the plain forms
// only. Every form gives the same results; the tests run each against a literal model of the rules.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/byte_class_rules.h"
#include "engine/byte_range.h"
#include "engine/flic_pass.h"
#include "engine/fused_result.h"
#include "engine/jump_tally.h"
#include "engine/main_pass_table.h"
#include "engine/position_bits.h"
#include "platform/instruction_set.h"

namespace Tarvo_alg1 {

struct Forms {
  // The gain pass: whole blocks of bytes up to the block that holds a byte of `stop`, the loud
  // ones counted up to `enough` at least, and the first block from `from` that holds a byte of
  // `set` (both gain_pass_kernel.h).
  BlockCounts (*count_blocks)(const std::uint8_t* bytes, std::size_t from, std::size_t size,
                              ByteRange loud, ByteRange stop, unsigned enough) noexcept;
  std::size_t (*find_first_block)(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                                  ByteRange set) noexcept;
  // The main pass's search for a pause: back from `to` to the last block that holds a byte of
  // `set` (gain_pass_kernel.h).
  std::size_t (*find_last_block)(const std::uint8_t* bytes, std::size_t from, std::size_t to,
                                 ByteRange set) noexcept;

  // The main pass's table at the factor `gain` (Gain / 3), the border and the clip level.
  void (*fill_main_pass_table)(MainPassTable& table, double gain, double border,
                               double clip) noexcept;
  // Whole blocks of bytes scaled by a whole gain (scale_kernel.h), and in doubles by `gain`
  // (only where the processor rounds down four doubles at once; elsewhere none). Both return
  // how many bytes they scaled.
  std::size_t (*scale_blocks)(const std::uint8_t* bytes, std::size_t count, int G,
                              std::int16_t* out) noexcept;
  std::size_t (*scale_blocks_in_doubles)(const std::uint8_t* bytes, std::size_t count, double gain,
                                         std::int16_t* out) noexcept;

  // The scan's positions: in whole blocks of 16-bit samples (classify_kernel.h), as the slots
  // the narrow store holds; from wide slots, rule by rule; and the copy of wide slots to 16 bits
  // (false when a slot is not a whole number within the narrow limit).
  void (*classify_narrow)(const std::int16_t* samples, std::size_t first, std::size_t last,
                          PositionBits& thorn, PositionBits& nonflat) noexcept;
  std::size_t classify_block;  // positions per block of classify_narrow
  // The two fused: a stretch scaled by a whole gain into 16-bit slots from `first_slot`, and
  // its positions classified while at hand, in one pass (classify_kernel.h).
  ScaledAndClassified (*scale_and_classify)(const std::uint8_t* bytes, std::size_t count, int G,
                                            std::int16_t* slots, std::size_t first_slot,
                                            PositionBits& thorn, PositionBits& nonflat) noexcept;
  // The same for a gain whose rules hold on the bytes, classified on them
  // (byte_classify_kernel.h).
  ScaledAndClassified (*scale_and_classify_bytes)(const std::uint8_t* bytes, std::size_t count,
                                                  int G, const ByteClassRules& rules,
                                                  std::int16_t* slots, std::size_t first_slot,
                                                  PositionBits& thorn,
                                                  PositionBits& nonflat) noexcept;
  void (*classify_wide)(const double* samples, std::size_t last, PositionBits& thorn,
                        PositionBits& nonflat) noexcept;
  bool (*narrow)(const double* samples, std::size_t count, std::int16_t* out) noexcept;

  // The run ends of the positions (jump_tally.h), for either strategy of the flic pass.
  void (*find_run_ends)(const PositionBits& nonflat, RunEnds& ends) noexcept;
  // The flic pass by census (flic_census_kernel.h).
  void (*count_flics_by_census)(const PositionBits& thorn, const PositionBits& nonflat,
                                const RunEnds& ends, std::size_t flic, std::size_t last,
                                JumpTally& tally, FlicPass& pass);
};

// The forms of the set ActiveInstructionSet() names.
const Forms& ActiveForms() noexcept;

// Each set's table; only the plain one exists in a portable build, and the AVX2 and AVX-512
// ones may run only where DetectedInstructionSet() admits them.
const Forms& PlainForms() noexcept;
#if !defined(PELLIX_PORTABLE)
const Forms& Sse2Forms() noexcept;
const Forms& Avx2Forms() noexcept;
const Forms& Avx512Forms() noexcept;
#endif

}  // namespace Tarvo_alg1
