// The result codes the analysis publishes in CR_msgX, one list for the engine that sets them,
// the operations that publish them and the host that explains them.
#pragma once

#include <cstdint>
#include <string>

namespace Tarvo_alg1 {

enum ResultCodeValue : std::int16_t {
  kNotInitialised = -2,  // Check without analysis constants
  kRefused = -1,         // too few samples, or a silent take
  kNoConclusion = 0,     // also: a calibration take accepted
  kTruth = 1,
  kSarcasm = 2,
  kExcited = 3,
  kUncertain = 4,
  kHighlyExcited = 5,
  kManipulated = 6,
  kLie = 7,
  kExaggerated = 8,
  kTrauma = 9,
};

// A code as the result cell shows it.
inline std::string CodeCaption(ResultCodeValue code) {
  return std::to_string(code);
}

}  // namespace Tarvo_alg1
