// A fresh engine state for the tests of the engine's procedures, which build nothing above the
// engine: every number 0, every text empty, ResultCode Empty, no constants loaded and an empty
// sample store, as a new control's state starts.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <memory>

#include "engine/tarvo_alg1.h"
#include "state_expectations.h"

namespace pellix::testing {

using S = Tarvo_alg1::SharedState;

class EngineStateTest : public ::testing::Test {
 protected:
  // Back to a fresh state, remade where it stands: `s` still names it.
  void ResetState() {
    std::destroy_at(&s);
    std::construct_at(&s);
  }

  // On the heap: the sample store is too large for a test's stack.
  std::unique_ptr<S> state_ = std::make_unique<S>();
  S& s = *state_;
};

// What Check reads from the panel before the stress computation: both break points, both
// resolutions and the four calibration constants.
struct CheckInputs {
  double breakpoint;
  double resolution;
  std::array<double, 4> calibration;  // CalSpT, CalSpJ, CalJQ, CalAvJ
};

inline void SetCheckInputs(S& s, const CheckInputs& in) {
  constexpr double S::*kCalibration[] = {&S::CalSpT, &S::CalSpJ, &S::CalJQ, &S::CalAvJ};
  for (std::size_t i = 0; i < in.calibration.size(); ++i) s.*kCalibration[i] = in.calibration[i];
  s.ThornBreakpoint = s.JumpBreakpoint = in.breakpoint;
  s.ThornResolution = s.JumpResolution = in.resolution;
}

}  // namespace pellix::testing
