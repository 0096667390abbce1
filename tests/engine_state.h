// A fresh engine state for the tests of the engine's procedures, which build nothing above the
// engine: every number 0, every text empty, ResultCode Empty, no constants loaded and an empty
// sample store, as a new control's state starts.
#pragma once

#include <gtest/gtest.h>

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

// The analysis constants as the product loads them: truth floor 50, band 120 to 160, sarcasm
// window 0.15 to 0.45, confusion above 0.6, manipulation above 0.9.
inline void SetProductConstants(S& s) {
  s.TruthFloor = 50;
  s.BandLow = 120;
  s.BandHigh = 160;
  s.AltBandLow = 100;
  s.SarcasmLow = 0.15;
  s.SarcasmHigh = 0.45;
  s.ConfusionLimit = 0.6;
  s.ManipulationLimit = 0.9;
}

// What Check reads from the panel before the stress computation: both break points, both
// resolutions and the four calibration constants.
struct CheckInputs {
  double breakpoint;
  double resolution;
  double cal_spt;
  double cal_spj;
  double cal_jq;
  double cal_avj;
};

inline void SetCheckInputs(S& s, const CheckInputs& in) {
  s.ThornBreakpoint = in.breakpoint;
  s.JumpBreakpoint = in.breakpoint;
  s.ThornResolution = in.resolution;
  s.JumpResolution = in.resolution;
  s.CalSpT = in.cal_spt;
  s.CalSpJ = in.cal_spj;
  s.CalJQ = in.cal_jq;
  s.CalAvJ = in.cal_avj;
}

}  // namespace pellix::testing
