// Calibrate: measures one calibration utterance, records it as the next of at most five rows of
// the panel's calibration grid and recomputes the calibration constants from all recorded rows
// and the current measurement.
#include <array>
#include <cstddef>
#include <string>

#include "control/alg_v1s.h"
#include "engine/checked_arithmetic.h"
#include "engine/limits.h"
#include "engine/result_codes.h"
#include "engine/tarvo_alg1.h"
#include "platform/conversions.h"
#include "platform/resume_next.h"

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

void ReportFailure(Tarvo_alg1::SharedState& s, Label& msg) {
  s.ResultCode = Value::Integer(Tarvo_alg1::kRefused);
  msg.set_caption(Tarvo_alg1::CodeCaption(Tarvo_alg1::kRefused));
}

// Calibration accepts shorter takes than Check does. The minimum is read from the state, not
// the constant: with no file named the intake leaves DefaultMinSamples as it was.
bool TooShort(const Tarvo_alg1::SharedState& s) {
  constexpr double kShorterBy =
      Tarvo_alg1::limits::kIntakeMinimum - Tarvo_alg1::limits::kCalibrateMinimum;
  return s.SampleCount < s.DefaultMinSamples - kShorterBy;
}

// The Results row shows the scan's measures as whole numbers, even when the take is then
// refused; a zero anywhere marks an unusable take (the scan zeroes all four for a bad mean).
std::array<double, kColumns> ShowResults(Panel& p, const Tarvo_alg1::SharedState& s) {
  const std::array<double, kColumns> current = {Int(s.ThornRate), Int(s.JumpRate),
                                                Int(s.JumpSpread), Int(s.AvgJumpLen)};
  const std::array<GridColumn*, kColumns> column = Columns(p);
  for (std::size_t c = 0; c < kColumns; ++c) {
    (*column[c])[kResultsRow].set_caption(NumberText(current[c]));
  }
  return current;
}

bool Unusable(const std::array<double, kColumns>& current) {
  return current[kSpT] == 0 || current[kAvJ] == 0 || current[kJQ] == 0 || current[kSpJ] == 0;
}

// The rows recorded before this take: their sums and, of the first three columns, their
// extremes; and the row that received this take's results (kCalibrationRows when none was
// free).
struct RecordedRows {
  std::array<double, kColumns> sum{};
  std::array<double, kSpreadColumns> minimum{};
  std::array<double, kSpreadColumns> maximum{};
  std::size_t row = kCalibrationRows;
};

// Walks the recorded rows up to the first free one, which receives the current results. Rows
// are read as numbers for the free test and the sums (a text that is no number is a type
// mismatch for the host) and leniently for the running extremes. The minimum starts from the
// first recorded row, so "Resolution" is the true largest-to-smallest ratio even when every
// recorded value is large.
RecordedRows RecordTake(Panel& p, const std::array<double, kColumns>& current) {
  const std::array<GridColumn*, kColumns> column = Columns(p);
  RecordedRows rows;
  for (std::size_t i = 0; i < kCalibrationRows; ++i) {
    // Both halves of the free test are read before they are combined.
    const bool spt_zero = StrictNumber(p.SPT[i].caption()) == 0;
    const bool spj_zero = StrictNumber(p.SPJ[i].caption()) == 0;
    if (spt_zero && spj_zero) {
      for (std::size_t c = 0; c < kColumns; ++c) {
        (*column[c])[i].set_caption(NumberText(current[c]));
      }
      rows.row = i;
      break;
    }
    for (std::size_t c = 0; c < kColumns; ++c) {
      rows.sum[c] = Add(rows.sum[c], StrictNumber((*column[c])[i].caption()));
    }
    for (std::size_t c = 0; c < kSpreadColumns; ++c) {
      const double value = Val((*column[c])[i].caption());
      if (i == 0 || value < rows.minimum[c]) rows.minimum[c] = value;
      if (value > rows.maximum[c]) rows.maximum[c] = value;
    }
  }
  return rows;
}

// The steps below skip a failing computation. A ratio that was never computed counts as 0, so
// the cell it feeds is still written and reads "0".

// "Resolution": the spread of the earlier rows, two decimals; AVJ's belongs to Check.
void ShowResolution(Panel& p, const RecordedRows& rows) {
  const std::array<GridColumn*, kColumns> column = Columns(p);
  std::array<double, kSpreadColumns> spread{};
  for (std::size_t c = 0; c < kSpreadColumns; ++c) {
    ResumeNext([&] { spread[c] = Div(Int(Mul(Div(rows.maximum[c], rows.minimum[c]), 100)), 100); });
    ResumeNext([&] { (*column[c])[kResolutionRow].set_caption(NumberText(spread[c])); });
  }
}

// The constants, the mean of every recorded row and this take, through the property puts so
// that the container hears of them; then rewritten as whole numbers directly, without a second
// notification.
void SetConstants(ALG_V1S& control, const RecordedRows& rows,
                  const std::array<double, kColumns>& current) {
  Panel& p = control.panel();
  const double measurements = static_cast<double>(rows.row) + 1;
  auto mean = [&](std::size_t c) {
    return NumberText(Div(Add(rows.sum[c], current[c]), measurements));
  };
  ResumeNext([&] { control.put<"CAL_spT">(mean(kSpT)); });
  ResumeNext([&] { control.put<"CAL_spJ">(mean(kSpJ)); });
  ResumeNext([&] { control.put<"CAL_JQ">(mean(kJQ)); });
  ResumeNext([&] { control.put<"CAL_AVJ">(mean(kAvJ)); });

  auto whole = [](const std::string& text) { return NumberText(Int(StrictNumber(text))); };
  ResumeNext([&] { p.SPT[kConstantsRow].set_caption(whole(control.get<"CAL_spT">())); });
  ResumeNext([&] { p.SPJ[kConstantsRow].set_caption(whole(control.get<"CAL_spJ">())); });
  ResumeNext([&] { p.JQ[kConstantsRow].set_caption(whole(control.get<"CAL_JQ">())); });
  ResumeNext([&] { p.AVJ[kConstantsRow].set_caption(whole(control.get<"CAL_AVJ">())); });
}

// "Break points": the largest earlier value against the whole-number constant, in percent.
void ShowBreakPoints(Panel& p, const RecordedRows& rows) {
  const std::array<GridColumn*, kColumns> column = Columns(p);
  std::array<double, kSpreadColumns> break_point{};
  for (std::size_t c = 0; c < kSpreadColumns; ++c) {
    ResumeNext([&] {
      const double constant = StrictNumber((*column[c])[kConstantsRow].caption());
      break_point[c] = Int(Mul(Div(rows.maximum[c], constant), 100));
    });
    ResumeNext([&] { (*column[c])[kBreakPointsRow].set_caption(NumberText(break_point[c])); });
  }
}

}  // namespace

// Success leaves ResultCode alone and LBL_MSG at "0".
Value ALG_V1S::CalibrateFrom(const Tarvo_alg1::TakeReader& take) {
  Tarvo_alg1::SharedState& s = *state_;
  HandIntakeSettings();
  panel_.LBL_MSG.set_caption(Tarvo_alg1::CodeCaption(Tarvo_alg1::kNoConclusion));
  Tarvo_alg1::LoadSamples(s, take);
  if (TooShort(s)) {
    ReportFailure(s, panel_.LBL_MSG);
    return Value();
  }

  HandScanSettings();
  Tarvo_alg1::ScanThornsJumps(s);
  const std::array<double, kColumns> current = ShowResults(panel_, s);
  if (Unusable(current)) {
    ReportFailure(s, panel_.LBL_MSG);
    return Value();
  }

  const RecordedRows rows = RecordTake(panel_, current);
  // Spreads and break points need two earlier rows at least.
  const bool derived_rows = rows.row > 1;
  if (derived_rows) ShowResolution(panel_, rows);
  SetConstants(*this, rows, current);
  if (derived_rows) ShowBreakPoints(panel_, rows);
  return Value();
}

}  // namespace pellix
