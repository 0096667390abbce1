// The rules the intake's main pass works out from a take's settings, kept with the state.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "engine/byte_class_rules.h"
#include "engine/byte_range.h"
#include "engine/main_pass_table.h"

namespace Tarvo_alg1 {

// What the main pass makes of a take's settings: the table, and whether every byte value
// scales to a number within the narrow limit (and by whole-number arithmetic, when that
// reproduces the scaling). A speaker's checks repeat the same settings take after take, so the
// last settings' rules are kept, and worked out again only when a setting or the instruction
// set changes.
struct PassRules {
  std::array<std::uint64_t, 4> key{};  // the bits of Gain, the border, the clip level; the forms
  bool known = false;
  MainPassTable table{};
  bool fits = false;
  std::optional<int> whole_gain;
  // With a whole gain, the scan's rules as tests of the bytes, where they can be.
  std::optional<ByteClassRules> byte_rules;
  // The bytes that are not quiet, as one set the forms test many at a time, when the quiet ones
  // are a single range of values (the border's); the data's end, byte 0, is never tested.
  std::optional<ByteRange> loud_or_clipped;
};

}  // namespace Tarvo_alg1
