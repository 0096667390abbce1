// What Calibrate and Check hand the engine from the control: the take, read through the
// control's file layer or from a sample file in memory, and the intake's and the scan's
// settings, each cell read leniently (a text that is no number reads as its leading number, or
// 0), as hosts have always been allowed to leave them.
#include <cstdint>
#include <span>

#include "control/alg_v1s.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"

namespace pellix {

Value ALG_V1S::Calibrate() {
  return CalibrateFrom(Tarvo_alg1::NamedSampleFile(*files_, DATAstr_));
}

Value ALG_V1S::Check() {
  return CheckFrom(Tarvo_alg1::NamedSampleFile(*files_, DATAstr_));
}

Value ALG_V1S::AnalyseSampleFile(Analysis analysis, std::span<const std::uint8_t> sample_file) {
  const Tarvo_alg1::SampleFileBytes take(sample_file);
  return analysis == Analysis::kCalibrate ? CalibrateFrom(take) : CheckFrom(take);
}

void ALG_V1S::HandIntakeSettings() const {
  Tarvo_alg1::SharedState& s = *state_;
  s.DataFileName = DATAstr_;
  s.Gain = Val(panel_.Filters[kVolumeCell].caption());
  s.BackgroundBorder = Val(panel_.BG_LEVEL.caption());
}

void ALG_V1S::HandScanSettings() const {
  Tarvo_alg1::SharedState& s = *state_;
  s.MinJump = Val(panel_.Filters[kShortestJumpCell].caption());
  s.MaxJump = Val(panel_.Filters[kLongestJumpCell].caption());
}

}  // namespace pellix
