// Names for the engine's instruction sets in parameterised tests: test names and failure
// messages say "Baseline" or "Avx2" rather than the bytes of the value.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "engine/instruction_set.h"

namespace Tarvo_alg1 {

inline std::string InstructionSetName(InstructionSet set) {
  return set == InstructionSet::kAvx2 ? "Avx2" : "Baseline";
}

inline void PrintTo(InstructionSet set, std::ostream* out) {
  *out << InstructionSetName(set);
}

}  // namespace Tarvo_alg1

// Both sets, named: the baseline one runs twice on a processor without AVX2.
#define PELLIX_INSTANTIATE_FOR_EACH_INSTRUCTION_SET(suite)                                       \
  INSTANTIATE_TEST_SUITE_P(                                                                      \
      EachInstructionSet, suite,                                                                 \
      testing::Values(Tarvo_alg1::InstructionSet::kBaseline, Tarvo_alg1::InstructionSet::kAvx2), \
      [](const auto& param_info) { return Tarvo_alg1::InstructionSetName(param_info.param); })
