// The control's panel: every label, its caption and its position, declared once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// The cells of Filters by what they hold.
inline constexpr std::size_t kBackgroundFilterCell = 0;
inline constexpr std::size_t kVolumeCell = 1;  // read as the gain
inline constexpr std::size_t kAddedVolumeCell = 2;
inline constexpr std::size_t kShortestJumpCell = 3;
inline constexpr std::size_t kLongestJumpCell = 4;
inline constexpr std::size_t kModeCell = 5;
inline constexpr std::size_t kFilterCells = 6;

// The control surface's own persisted appearance, behind the panel's labels.
struct ControlSurface {
  std::uint32_t BackColor = 0x8000000Fu;  // the system button-face colour
  bool AutoRedraw = false;
  std::int16_t BackStyle = 1;    // opaque
  std::int16_t BorderStyle = 0;  // none
};

// A BackColor as the platform reads it: with the top bit set, the system colour of that index
// (&H8000000F is index 15, the button face); otherwise a plain colour whose low three bytes
// are red, green and blue, red lowest.
struct SurfaceColour {
  bool system = false;
  std::uint32_t index = 0;  // of the system colour
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};
SurfaceColour DecodeSurfaceColour(std::uint32_t back_color) noexcept;

// Whoever draws the panel: told of every caption change and of every new appearance, on the
// control's thread, as it happens.
class PanelListener : public CaptionListener {
 public:
  virtual void SurfaceChanged(const ControlSurface& surface) noexcept = 0;

 protected:
  ~PanelListener() = default;
};

// The labels of one control instance, named as on the form. Label1 has indices 0 to 18 and
// Llll only index 19; both are static captions.
struct Panel {
  Panel();
  // The labels are told where they live, so a panel stays where it was made.
  Panel(const Panel&) = delete;
  Panel& operator=(const Panel&) = delete;

  // Makes `listener` the one told of every caption change of these labels (nullptr: nobody).
  void Listen(PanelListener* listener) noexcept;
  PanelListener* listener() const noexcept { return listener_; }

  Label Label2;
  std::array<Label, 19> Label1;
  Label Llll19;
  std::array<Label, kGridRows> SPT;
  std::array<Label, kGridRows> SPJ;
  std::array<Label, kGridRows> JQ;
  std::array<Label, kGridRows> AVJ;
  std::array<Label, kFilterCells> Filters;
  Label BG_LEVEL;
  Label LBL_LIE;
  Label LBL_GLB;
  Label LBL_EXC;
  Label LBL_MSG;

 private:
  PanelListener* listener_ = nullptr;
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
