#include "control/panel.h"

#include <string>

namespace pellix {

namespace {

// Every label of the form: the static captions in form order, then the value cells in the
// order hosts list them. Rows 7 and 8 of SPT and SPJ stand 15 twips right of their column.
constexpr PanelEntry kLayout[] = {
    {"Label2", "Stereo Algorithem V2.00", {3360, 2790, 1995, 375}, false, LabelOf<&Panel::Label2>},
    {"Label1(0)", "Calibration det.", {135, 90, 3060, 285}, false, LabelAt<&Panel::Label1, 0>},
    {"Label1(1)", "Break points", {135, 2070, 3060, 285}, false, LabelAt<&Panel::Label1, 1>},
    {"Label1(2)", "Resolution", {135, 2700, 3060, 285}, false, LabelAt<&Panel::Label1, 2>},
    {"Label1(3)", "SPT", {150, 450, 675, 225}, false, LabelAt<&Panel::Label1, 3>},
    {"Label1(4)", "SPJ", {960, 450, 675, 225}, false, LabelAt<&Panel::Label1, 4>},
    {"Label1(12)", "JQ", {1740, 450, 675, 225}, false, LabelAt<&Panel::Label1, 12>},
    {"Label1(18)", "AVJ", {2520, 450, 675, 225}, false, LabelAt<&Panel::Label1, 18>},
    {"Label1(10)", "CONSTANTS", {150, 3330, 3060, 285}, false, LabelAt<&Panel::Label1, 10>},
    {"Label1(13)", "Results", {150, 3990, 3060, 285}, false, LabelAt<&Panel::Label1, 13>},
    {"Label1(5)", "Filters", {3270, 90, 1485, 285}, false, LabelAt<&Panel::Label1, 5>},
    {"Label1(6)", "BG filter", {3270, 420, 645, 285}, false, LabelAt<&Panel::Label1, 6>},
    {"Label1(7)", "Volume", {3270, 750, 855, 285}, false, LabelAt<&Panel::Label1, 7>},
    {"Label1(8)", "Added vol.", {3270, 1080, 855, 285}, false, LabelAt<&Panel::Label1, 8>},
    {"Label1(9)", "Min J.", {4830, 90, 615, 285}, false, LabelAt<&Panel::Label1, 9>},
    {"Label1(11)", "Max J.", {4830, 780, 615, 285}, false, LabelAt<&Panel::Label1, 11>},
    {"Llll(19)", "MODE", {3270, 1440, 855, 285}, false, LabelOf<&Panel::Llll19>},
    {"Label1(14)", "LIE STRESS", {3240, 3360, 1095, 285}, false, LabelAt<&Panel::Label1, 14>},
    {"Label1(15)", "GLB STRESS", {4350, 3360, 1095, 285}, false, LabelAt<&Panel::Label1, 15>},
    {"Label1(16)", "EXCITE", {3240, 4020, 1095, 285}, false, LabelAt<&Panel::Label1, 16>},
    {"Label1(17)", "MSG", {4350, 4020, 1095, 285}, false, LabelAt<&Panel::Label1, 17>},

    {"SPT(0)", "0", {150, 690, 675, 255}, true, LabelAt<&Panel::SPT, 0>},
    {"SPT(1)", "0", {150, 960, 675, 255}, true, LabelAt<&Panel::SPT, 1>},
    {"SPT(2)", "0", {150, 1230, 675, 255}, true, LabelAt<&Panel::SPT, 2>},
    {"SPT(3)", "0", {150, 1500, 675, 255}, true, LabelAt<&Panel::SPT, 3>},
    {"SPT(4)", "0", {150, 1770, 675, 255}, true, LabelAt<&Panel::SPT, 4>},
    {"SPT(5)", "120", {150, 2400, 675, 255}, true, LabelAt<&Panel::SPT, 5>},
    {"SPT(6)", "0", {150, 3030, 675, 255}, true, LabelAt<&Panel::SPT, 6>},
    {"SPT(7)", "0", {165, 3660, 675, 255}, true, LabelAt<&Panel::SPT, 7>},
    {"SPT(8)", "0", {165, 4320, 675, 255}, true, LabelAt<&Panel::SPT, 8>},

    {"SPJ(0)", "0", {960, 690, 675, 255}, true, LabelAt<&Panel::SPJ, 0>},
    {"SPJ(1)", "0", {960, 960, 675, 255}, true, LabelAt<&Panel::SPJ, 1>},
    {"SPJ(2)", "0", {960, 1230, 675, 255}, true, LabelAt<&Panel::SPJ, 2>},
    {"SPJ(3)", "0", {960, 1500, 675, 255}, true, LabelAt<&Panel::SPJ, 3>},
    {"SPJ(4)", "0", {960, 1770, 675, 255}, true, LabelAt<&Panel::SPJ, 4>},
    {"SPJ(5)", "120", {960, 2400, 675, 255}, true, LabelAt<&Panel::SPJ, 5>},
    {"SPJ(6)", "0", {960, 3030, 675, 255}, true, LabelAt<&Panel::SPJ, 6>},
    {"SPJ(7)", "0", {975, 3660, 675, 255}, true, LabelAt<&Panel::SPJ, 7>},
    {"SPJ(8)", "0", {975, 4320, 675, 255}, true, LabelAt<&Panel::SPJ, 8>},

    {"JQ(0)", "0", {1740, 690, 675, 255}, true, LabelAt<&Panel::JQ, 0>},
    {"JQ(1)", "0", {1740, 960, 675, 255}, true, LabelAt<&Panel::JQ, 1>},
    {"JQ(2)", "0", {1740, 1230, 675, 255}, true, LabelAt<&Panel::JQ, 2>},
    {"JQ(3)", "0", {1740, 1500, 675, 255}, true, LabelAt<&Panel::JQ, 3>},
    {"JQ(4)", "0", {1740, 1770, 675, 255}, true, LabelAt<&Panel::JQ, 4>},
    {"JQ(5)", "120", {1740, 2400, 675, 255}, true, LabelAt<&Panel::JQ, 5>},
    {"JQ(6)", "0", {1740, 3030, 675, 255}, true, LabelAt<&Panel::JQ, 6>},
    {"JQ(7)", "0", {1740, 3660, 675, 255}, true, LabelAt<&Panel::JQ, 7>},
    {"JQ(8)", "0", {1740, 4320, 675, 255}, true, LabelAt<&Panel::JQ, 8>},

    {"AVJ(0)", "0", {2520, 690, 675, 255}, true, LabelAt<&Panel::AVJ, 0>},
    {"AVJ(1)", "0", {2520, 960, 675, 255}, true, LabelAt<&Panel::AVJ, 1>},
    {"AVJ(2)", "0", {2520, 1230, 675, 255}, true, LabelAt<&Panel::AVJ, 2>},
    {"AVJ(3)", "0", {2520, 1500, 675, 255}, true, LabelAt<&Panel::AVJ, 3>},
    {"AVJ(4)", "0", {2520, 1770, 675, 255}, true, LabelAt<&Panel::AVJ, 4>},
    {"AVJ(5)", "0", {2520, 2400, 675, 255}, true, LabelAt<&Panel::AVJ, 5>},
    {"AVJ(6)", "0", {2520, 3030, 675, 255}, true, LabelAt<&Panel::AVJ, 6>},
    {"AVJ(7)", "0", {2520, 3660, 675, 255}, true, LabelAt<&Panel::AVJ, 7>},
    {"AVJ(8)", "0", {2520, 4320, 675, 255}, true, LabelAt<&Panel::AVJ, 8>},

    {"Filters(0)", "0", {3960, 420, 405, 285}, true, LabelAt<&Panel::Filters, 0>},
    {"Filters(1)", "0", {4170, 750, 615, 285}, true, LabelAt<&Panel::Filters, 1>},
    {"Filters(2)", "0", {4170, 1080, 615, 285}, true, LabelAt<&Panel::Filters, 2>},
    {"Filters(3)", "2", {4830, 390, 615, 285}, true, LabelAt<&Panel::Filters, 3>},
    {"Filters(4)", "30", {4830, 1080, 615, 285}, true, LabelAt<&Panel::Filters, 4>},
    {"Filters(5)", "0", {4170, 1440, 1275, 285}, true, LabelAt<&Panel::Filters, 5>},
    {"BG_LEVEL", "0", {4410, 420, 375, 285}, true, LabelOf<&Panel::BG_LEVEL>},
    {"LBL_LIE", "0", {3240, 3660, 1095, 285}, true, LabelOf<&Panel::LBL_LIE>},
    {"LBL_GLB", "0", {4350, 3660, 1095, 285}, true, LabelOf<&Panel::LBL_GLB>},
    {"LBL_EXC", "0", {3240, 4290, 1095, 285}, true, LabelOf<&Panel::LBL_EXC>},
    {"LBL_MSG", "0", {4350, 4290, 1095, 285}, true, LabelOf<&Panel::LBL_MSG>},
};

}  // namespace

Panel::Panel() {
  for (const PanelEntry& entry : kLayout) {
    entry.label(*this) = Label(std::string(entry.design_caption), entry.position);
  }
}

void Panel::Listen(PanelListener* listener) noexcept {
  listener_ = listener;
  for (const PanelEntry& entry : kLayout) entry.label(*this).set_listener(listener);
}

SurfaceColour DecodeSurfaceColour(std::uint32_t back_color) noexcept {
  SurfaceColour colour;
  if ((back_color & 0x80000000u) != 0) {
    colour.system = true;
    colour.index = back_color & 0x7FFFFFFFu;
    return colour;
  }
  colour.red = static_cast<std::uint8_t>(back_color & 0xFFu);
  colour.green = static_cast<std::uint8_t>((back_color >> 8) & 0xFFu);
  colour.blue = static_cast<std::uint8_t>((back_color >> 16) & 0xFFu);
  return colour;
}

std::span<const PanelEntry> PanelLayout() {
  return kLayout;
}

}  // namespace pellix
