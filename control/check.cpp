// Check: measures one utterance against the calibration, publishes the stress levels and the
// result code, records the outcome in the instance's history and lets the calibration follow
// the speaker.
//
// Which writes notify the container: only the calibration drift goes through the property
// setters (CAL_spT, CAL_spJ, CAL_JQ), because a host must learn of a changed calibration to
// persist it. Every other write of Check, the result code, the stress levels and the Results
// row included, goes straight to its cell and notifies nobody; the host reads those properties
// after the call.
#include <cstdint>

#include "control/alg_v1s.h"
#include "engine/checked_arithmetic.h"
#include "engine/limits.h"
#include "engine/result_codes.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"

namespace pellix {

namespace {

using Tarvo_alg1::CodeCaption;
using Tarvo_alg1::checked::Add;
using Tarvo_alg1::checked::Mul;

// Moves a calibration constant one sixth of the way towards the measure: the old text must be
// a number (a type mismatch reaches the host), and the dividend is rounded half to even.
std::string Drift(const std::string& old_text, double measure) {
  return NumberText(
      static_cast<double>(IntegerDivide(Add(Mul(StrictNumber(old_text), 5), measure), 6)));
}

// The same cell as a whole number, in case the drift left anything else.
void KeepWholeNumber(Label& cell) {
  cell.set_caption(NumberText(Int(StrictNumber(cell.caption()))));
}

}  // namespace

Value ALG_V1S::CheckFrom(const Tarvo_alg1::TakeReader& take) {
  Tarvo_alg1::SharedState& s = *state_;
  Panel& p = panel_;

  // "0" for the duration of the check.
  p.LBL_MSG.set_caption(CodeCaption(Tarvo_alg1::kNoConclusion));

  // Intake.
  HandIntakeSettings();
  Tarvo_alg1::LoadSamples(s, take);

  // Too short a take, or no analysis constants yet: neither touches ResultCode, the stress
  // cells or the history.
  if (s.SampleCount < Tarvo_alg1::limits::kCheckMinimum) {
    p.LBL_MSG.set_caption(CodeCaption(Tarvo_alg1::kRefused));
    return Value();
  }
  if (s.AltBandLow == 0) {
    p.LBL_MSG.set_caption(CodeCaption(Tarvo_alg1::kNotInitialised));
    return Value();
  }

  // Scan.
  HandScanSettings();
  Tarvo_alg1::ScanThornsJumps(s);

  // Whole numbers first, so that a silent take leaves them shown.
  p.SPT[kResultsRow].set_caption(NumberText(Int(s.ThornRate)));
  p.SPJ[kResultsRow].set_caption(NumberText(Int(s.JumpRate)));
  p.JQ[kResultsRow].set_caption(NumberText(Int(s.JumpSpread)));
  p.AVJ[kResultsRow].set_caption(NumberText(Int(s.AvgJumpLen)));

  // A silent utterance: no thorns, no jumps, nothing to compare.
  if (Int(s.ThornRate) == 0 && Int(s.AvgJumpLen) < 2 && Int(s.JumpSpread) < 3 &&
      Int(s.JumpRate) == 0) {
    s.ResultCode = Value::Integer(Tarvo_alg1::kRefused);
    p.LBL_MSG.set_caption(CodeCaption(Tarvo_alg1::kRefused));
    return Value();
  }

  // The full values, in this order.
  p.SPT[kResultsRow].set_caption(NumberText(s.ThornRate));
  p.SPJ[kResultsRow].set_caption(NumberText(s.JumpRate));
  p.AVJ[kResultsRow].set_caption(NumberText(s.AvgJumpLen));
  p.JQ[kResultsRow].set_caption(NumberText(s.JumpSpread));

  // The calibration and tuning values, read leniently from the panel.
  s.ThornBreakpoint = Val(p.SPT[kBreakPointsRow].caption());
  s.JumpBreakpoint = Val(p.SPJ[kBreakPointsRow].caption());
  s.JumpResolution = Val(p.SPJ[kResolutionRow].caption());
  s.ThornResolution = Val(p.SPT[kResolutionRow].caption());
  s.CalSpT = Val(p.SPT[kConstantsRow].caption());
  s.CalSpJ = Val(p.SPJ[kConstantsRow].caption());
  s.CalJQ = Val(p.JQ[kConstantsRow].caption());
  s.CalAvJ = Val(p.AVJ[kConstantsRow].caption());

  // Stress levels and verdict.
  Tarvo_alg1::ComputeStress(s);
  Tarvo_alg1::DecideVerdict(s);

  // The rest runs whatever the stress computation and the verdict did. The adapted resolutions
  // carry over to the next check.
  p.SPT[kResolutionRow].set_caption(NumberText(s.ThornResolution));
  p.SPJ[kResolutionRow].set_caption(NumberText(s.JumpResolution));

  // Publish; an unset code publishes the empty text.
  p.LBL_LIE.set_caption(NumberText(Int(s.LieStress)));
  p.LBL_GLB.set_caption(NumberText(Int(s.GlbStress)));
  p.LBL_EXC.set_caption(NumberText(Int(s.ExcStress)));
  p.LBL_MSG.set_caption(ToText(s.ResultCode));

  // History row, each value rounded half to even (unlike the published Int); the row index
  // saturates, so checks beyond the 999th keep overwriting row 999.
  auto& row = ProfileTable_[static_cast<std::size_t>(ProfileCount_)];
  row[kLieColumn] = ToInteger16(s.LieStress);
  row[kGlobalColumn] = ToInteger16(s.GlbStress);
  row[kExcitementColumn] = ToInteger16(s.ExcStress);
  row[kCodeColumn] = ToInteger16(s.ResultCode);
  row[kJumpLengthColumn] = ToInteger16(s.AvgJumpLen);
  ProfileCount_ = static_cast<std::int16_t>(ProfileCount_ + 1);
  if (ProfileCount_ > kLastProfileRow) ProfileCount_ = kLastProfileRow;

  // The rates are the ones the stress computation may have raised from 0 to 1.
  DriftCalibration(s.ThornRate, s.JumpRate, s.JumpSpread);

  return Value();
}

void ALG_V1S::DriftCalibration(double thorn_rate, double jump_rate, double jump_spread) {
  // Calibration drift through the setters, in this order; CAL_AVJ stays.
  put<"CAL_spT">(Drift(get<"CAL_spT">(), thorn_rate));
  put<"CAL_spJ">(Drift(get<"CAL_spJ">(), jump_rate));
  put<"CAL_JQ">(Drift(get<"CAL_JQ">(), jump_spread));

  // Directly, without notification.
  Panel& p = panel_;
  KeepWholeNumber(p.SPT[kConstantsRow]);
  KeepWholeNumber(p.SPJ[kConstantsRow]);
  KeepWholeNumber(p.JQ[kConstantsRow]);
}

}  // namespace pellix
