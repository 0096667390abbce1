// The control's panel: every label, its caption and its position, declared once.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "platform/label.h"

namespace pellix {

inline constexpr int kPanelWidthTwips = 5520;
inline constexpr int kPanelHeightTwips = 4695;

// Rows of the calibration grid columns SPT, SPJ, JQ and AVJ.
inline constexpr std::size_t kGridRows = 9;
inline constexpr std::size_t kBreakPointsRow = 5;
inline constexpr std::size_t kResolutionRow = 6;
inline constexpr std::size_t kConstantsRow = 7;
inline constexpr std::size_t kResultsRow = 8;

// The labels of one control instance, named as on the form. Label1 has indices 0 to 18 and
// Llll only index 19; both are static captions.
struct Panel {
  Panel();

  Label Label2;
  std::array<Label, 19> Label1;
  Label Llll19;
  std::array<Label, kGridRows> SPT;
  std::array<Label, kGridRows> SPJ;
  std::array<Label, kGridRows> JQ;
  std::array<Label, kGridRows> AVJ;
  std::array<Label, 6> Filters;
  Label BG_LEVEL;
  Label LBL_LIE;
  Label LBL_GLB;
  Label LBL_EXC;
  Label LBL_MSG;
};

// Where the instance keeps a label: a single one, or one of a control array by index.
template <Label Panel::*Single>
Label& LabelOf(Panel& panel) {
  return panel.*Single;
}
template <auto Array, std::size_t Index>
Label& LabelAt(Panel& panel) {
  return (panel.*Array)[Index];
}

// One label as the form declares it: its name as written on the form ("SPT(5)", "BG_LEVEL",
// "Label1(14)"), its design caption and position, whether it is a value cell, and where the
// instance keeps it. The Panel constructor, the renderers and the script host's `panel`
// statement all read this one table.
struct PanelEntry {
  std::string_view name;
  std::string_view design_caption;
  TwipsRect position;
  bool value_cell;
  Label& (*label)(Panel&);
};

// Every label: the static captions first, then the value cells in the order hosts list
// them: SPT(0..8), SPJ(0..8), JQ(0..8), AVJ(0..8), Filters(0..5), BG_LEVEL, LBL_LIE,
// LBL_GLB, LBL_EXC, LBL_MSG.
std::span<const PanelEntry> PanelLayout();

}  // namespace pellix
