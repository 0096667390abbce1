// ResetCal and ResetAll: empty the calibration grid (SPT, SPJ, JQ) and the check history.
// They differ in the break-point value and in the order of their steps. Neither notifies the
// container, and a refused caption put ends the method with the steps before it done.
#include "control/alg_v1s.h"

namespace pellix {

namespace {

void ClearGrid(Panel& panel) {
  for (std::size_t i = 0; i < kGridRows; ++i) {
    panel.SPT[i].set_caption("0");
    panel.SPJ[i].set_caption("0");
    panel.JQ[i].set_caption("0");
  }
}

void SetBreakPoints(Panel& panel, const char* value) {
  panel.SPT[kBreakPointsRow].set_caption(value);
  panel.SPJ[kBreakPointsRow].set_caption(value);
  panel.JQ[kBreakPointsRow].set_caption(value);
}

// Rows 1 to 1000, the recorded columns: row 0 and the unused columns stay.
template <typename Table>
void ClearHistory(Table& table) {
  for (std::size_t row = 1; row < kProfileRows; ++row) {
    for (std::size_t column = kFirstHistoryColumn; column <= kLastHistoryColumn; ++column) {
      table[row][column] = 0;
    }
  }
}

}  // namespace

Value ALG_V1S::ResetCal() {
  ClearGrid(panel_);
  ClearHistory(ProfileTable_);
  ProfileCount_ = 0;
  SetBreakPoints(panel_, "110");
  return Value();
}

Value ALG_V1S::ResetAll() {
  ClearGrid(panel_);
  SetBreakPoints(panel_, "120");
  ClearHistory(ProfileTable_);
  ProfileCount_ = 0;
  return Value();
}

}  // namespace pellix
