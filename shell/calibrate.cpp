// Calibrate: measures one calibration utterance, records it as the next of at most five rows of
// the panel's calibration grid and recomputes the calibration constants from all recorded rows
// and the current measurement.
#include <array>
#include <cstddef>

#include "engine/checked_arithmetic.h"
#include "engine/limits.h"
#include "engine/result_codes.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"
#include "platform/resume_next.h"
#include "shell/alg_v1s.h"

namespace pellix {

namespace {

using Tarvo_alg1::checked::Add;
using Tarvo_alg1::checked::Div;
using Tarvo_alg1::checked::Mul;

constexpr std::size_t kCalibrationRows = 5;  // rows 0 to 4 of the grid

// The grid's columns in the order SPT, SPJ, JQ, AVJ; the first three also keep a spread.
enum Column : std::size_t { kSpT = 0, kSpJ = 1, kJQ = 2, kAvJ = 3 };
constexpr std::size_t kColumns = 4;
constexpr std::size_t kSpreadColumns = 3;

using GridColumn = std::array<Label, kGridRows>;

std::array<GridColumn*, kColumns> Columns(Panel& p) {
  return {&p.SPT, &p.SPJ, &p.JQ, &p.AVJ};
}

void ReportFailure(Label& msg) {
  Tarvo_alg1::Shared().ResultCode = Value::Integer(Tarvo_alg1::kRefused);
  msg.set_caption(Tarvo_alg1::CodeCaption(Tarvo_alg1::kRefused));
}

}  // namespace

Value ALG_V1S::Calibrate() {
  Tarvo_alg1::SharedState& s = Tarvo_alg1::Shared();
  Panel& p = panel_;
  const std::array<GridColumn*, kColumns> column = Columns(p);

  // 2, 3. Intake settings; parameter cells are read leniently.
  HandIntakeSettings();

  // 4, 5.
  p.LBL_MSG.set_caption(Tarvo_alg1::CodeCaption(Tarvo_alg1::kNoConclusion));
  Tarvo_alg1::LoadSamples();

  // 6. Calibration accepts shorter takes than Check does. The minimum is read from the state,
  // not the constant: with no file named the intake leaves DefaultMinSamples as it was.
  constexpr double kShorterBy =
      Tarvo_alg1::limits::kIntakeMinimum - Tarvo_alg1::limits::kCalibrateMinimum;
  if (s.SampleCount < s.DefaultMinSamples - kShorterBy) {
    ReportFailure(p.LBL_MSG);
    return Value();
  }

  // 7, 8.
  HandScanSettings();
  Tarvo_alg1::ScanThornsJumps();

  // 9. The Results row shows whole numbers, even when the take is then refused.
  const std::array<double, kColumns> current = {Int(s.ThornRate), Int(s.JumpRate),
                                                Int(s.JumpSpread), Int(s.AvgJumpLen)};
  for (std::size_t c = 0; c < kColumns; ++c) {
    (*column[c])[kResultsRow].set_caption(NumberText(current[c]));
  }

  // 10. A zero anywhere marks an unusable take (the scan zeroes all four for a bad mean).
  if (current[kSpT] == 0 || current[kAvJ] == 0 || current[kJQ] == 0 || current[kSpJ] == 0) {
    ReportFailure(p.LBL_MSG);
    return Value();
  }

  // 11. Walk the recorded rows up to the first free one, which receives the current results.
  // Rows are read as numbers for the free test and the sums (a text that is no number is a
  // type mismatch for the host) and leniently for the running extremes. The minimum starts from
  // the first recorded row, so "Resolution" is the true largest-to-smallest ratio even when
  // every recorded value is large.
  std::array<double, kColumns> sum{};
  std::array<double, kSpreadColumns> minimum{};
  std::array<double, kSpreadColumns> maximum{};
  std::size_t k = kCalibrationRows;
  for (std::size_t i = 0; i < kCalibrationRows; ++i) {
    // Both halves of the free test are read before they are combined.
    const bool spt_zero = StrictNumber(p.SPT[i].caption()) == 0;
    const bool spj_zero = StrictNumber(p.SPJ[i].caption()) == 0;
    if (spt_zero && spj_zero) {
      for (std::size_t c = 0; c < kColumns; ++c) {
        (*column[c])[i].set_caption(NumberText(current[c]));
      }
      k = i;
      break;
    }
    for (std::size_t c = 0; c < kColumns; ++c) {
      sum[c] = Add(sum[c], StrictNumber((*column[c])[i].caption()));
    }
    for (std::size_t c = 0; c < kSpreadColumns; ++c) {
      const double value = Val((*column[c])[i].caption());
      if (i == 0 || value < minimum[c]) minimum[c] = value;
      if (value > maximum[c]) maximum[c] = value;
    }
  }

  // 12. From here on a failing computation is skipped. A ratio that was never computed counts
  // as 0, so the cell it feeds is still written and reads "0".
  const bool derived_rows = k > 1;

  // 13. "Resolution": spread of the earlier rows, two decimals; AVJ(6) belongs to Check.
  if (derived_rows) {
    std::array<double, kSpreadColumns> spread{};
    for (std::size_t c = 0; c < kSpreadColumns; ++c) {
      ResumeNext([&] { spread[c] = Div(Int(Mul(Div(maximum[c], minimum[c]), 100)), 100); });
      ResumeNext([&] { (*column[c])[kResolutionRow].set_caption(NumberText(spread[c])); });
    }
  }

  // 14. The constants, through the property setters so that the container hears of them.
  const double measurements = static_cast<double>(k) + 1;
  ResumeNext([&] { put_CAL_spT(NumberText(Div(Add(sum[kSpT], current[kSpT]), measurements))); });
  ResumeNext([&] { put_CAL_spJ(NumberText(Div(Add(sum[kSpJ], current[kSpJ]), measurements))); });
  ResumeNext([&] { put_CAL_JQ(NumberText(Div(Add(sum[kJQ], current[kJQ]), measurements))); });
  ResumeNext([&] { put_CAL_AVJ(NumberText(Div(Add(sum[kAvJ], current[kAvJ]), measurements))); });

  // 15. Keep whole numbers only: rewritten directly, without a second notification.
  ResumeNext(
      [&] { p.SPT[kConstantsRow].set_caption(NumberText(Int(StrictNumber(get_CAL_spT())))); });
  ResumeNext(
      [&] { p.SPJ[kConstantsRow].set_caption(NumberText(Int(StrictNumber(get_CAL_spJ())))); });
  ResumeNext([&] { p.JQ[kConstantsRow].set_caption(NumberText(Int(StrictNumber(get_CAL_JQ())))); });
  ResumeNext(
      [&] { p.AVJ[kConstantsRow].set_caption(NumberText(Int(StrictNumber(get_CAL_AVJ())))); });

  // 16. "Break points": largest earlier value against the whole-number constant, in percent.
  if (derived_rows) {
    std::array<double, kSpreadColumns> break_point{};
    for (std::size_t c = 0; c < kSpreadColumns; ++c) {
      ResumeNext([&] {
        const double constant = StrictNumber((*column[c])[kConstantsRow].caption());
        break_point[c] = Int(Mul(Div(maximum[c], constant), 100));
      });
      ResumeNext([&] { (*column[c])[kBreakPointsRow].set_caption(NumberText(break_point[c])); });
    }
  }

  // 17. Success leaves ResultCode alone and LBL_MSG at "0".
  return Value();
}

}  // namespace pellix
