// Names for the engine's instruction sets in parameterised tests: test names and failure
// messages say "Baseline" or "Avx2" rather than the bytes of the value.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "engine/instruction_set.h"

namespace Tarvo_alg1 {

inline std::string InstructionSetName(InstructionSet set) {
  switch (set) {
    case InstructionSet::kAvx2:
      return "Avx2";
    case InstructionSet::kBaseline:
      return "Baseline";
    case InstructionSet::kPlain:
      break;
  }
  return "Plain";
}

inline void PrintTo(InstructionSet set, std::ostream* out) {
  *out << InstructionSetName(set);
}

}  // namespace Tarvo_alg1

// Every set, named: a set the build or the processor lacks runs the widest one it has.
#define PELLIX_INSTANTIATE_FOR_EACH_INSTRUCTION_SET(suite)                                       \
  INSTANTIATE_TEST_SUITE_P(                                                                      \
      EachInstructionSet, suite,                                                                 \
      testing::Values(Tarvo_alg1::InstructionSet::kPlain, Tarvo_alg1::InstructionSet::kBaseline, \
                      Tarvo_alg1::InstructionSet::kAvx2),                                        \
      [](const auto& param_info) { return Tarvo_alg1::InstructionSetName(param_info.param); })
