// Names for the engine's instruction sets in parameterised tests: test names and failure
// messages say "Baseline" or "Avx512" rather than the bytes of the value.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <string_view>

#include "platform/enum_table.h"
#include "platform/instruction_set.h"

namespace pellix {

inline std::string InstructionSetName(InstructionSet set) {
  constexpr pellix::EnumEntry<InstructionSet, std::string_view> kNames[] = {
      {InstructionSet::kPlain, "Plain"},
      {InstructionSet::kBaseline, "Baseline"},
      {InstructionSet::kAvx2, "Avx2"},
      {InstructionSet::kAvx512, "Avx512"}};
  return std::string(pellix::MeaningOf(kNames, set));
}

inline void PrintTo(InstructionSet set, std::ostream* out) {
  *out << InstructionSetName(set);
}

}  // namespace pellix

// Every set, named: a set the build or the processor lacks runs the widest one it has.
#define PELLIX_INSTANTIATE_FOR_EACH_INSTRUCTION_SET(suite)                               \
  INSTANTIATE_TEST_SUITE_P(                                                              \
      EachInstructionSet, suite,                                                         \
      testing::Values(pellix::InstructionSet::kPlain, pellix::InstructionSet::kBaseline, \
                      pellix::InstructionSet::kAvx2, pellix::InstructionSet::kAvx512),   \
      [](const auto& param_info) { return pellix::InstructionSetName(param_info.param); })
