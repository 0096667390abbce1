// Everything a host or a later call can see of one control instance, captured at once, so that
// a test can say "nothing else changed" by comparing two snapshots.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "control/alg_v1s.h"
#include "control/panel.h"
#include "platform/value.h"

namespace pellix::testing {

struct ControlSnapshot {
  std::vector<std::string> captions;  // every label, in PanelLayout order
  std::string DATAstr, Volume, MSGstring, Mode;
  std::int16_t DensityLevel = 0, Person = 0, CAL_SFLC = 0;
  Value CR_SFLC;
  std::uint32_t BackColor = 0;
  bool AutoRedraw = false;
  std::int16_t BackStyle = 0, BorderStyle = 0;
  std::int16_t ProfileCount = 0;
  std::vector<std::int16_t> ProfileTable;  // row by row

  bool operator==(const ControlSnapshot&) const = default;

  // The same snapshot with the captions named in `cells` replaced by `text`, for what a test
  // expects of cells that an operation is meant to change.
  ControlSnapshot With(std::initializer_list<std::string_view> cells, std::string_view text) const;
};

// Reads every caption, member, appearance value and the history of `control` (whose labels must
// not refuse gets).
inline ControlSnapshot Snapshot(ALG_V1S& control) {
  ControlSnapshot s;
  for (const PanelEntry& entry : PanelLayout()) {
    s.captions.push_back(entry.label(control.panel()).caption());
  }
  s.DATAstr = control.get_DATAstr();
  s.Volume = control.get_Volume();
  s.MSGstring = control.get_MSGstring();
  s.Mode = control.get_Mode();
  s.DensityLevel = control.get_DensityLevel();
  s.Person = control.get_Person();
  s.CAL_SFLC = control.get_CAL_SFLC();
  s.CR_SFLC = control.get_CR_SFLC();
  s.BackColor = control.surface().BackColor;
  s.AutoRedraw = control.surface().AutoRedraw;
  s.BackStyle = control.surface().BackStyle;
  s.BorderStyle = control.surface().BorderStyle;
  s.ProfileCount = control.profile_count();
  for (const auto& row : control.profile_table())
    s.ProfileTable.insert(s.ProfileTable.end(), row.begin(), row.end());
  return s;
}

// The position of the label named `name` ("SPT(5)", "LBL_MSG") in PanelLayout.
inline std::size_t CellIndex(std::string_view name) {
  std::size_t i = 0;
  for (const PanelEntry& entry : PanelLayout()) {
    if (entry.name == name) return i;
    ++i;
  }
  throw std::invalid_argument(std::string("no label ") + std::string(name));
}

inline ControlSnapshot ControlSnapshot::With(std::initializer_list<std::string_view> cells,
                                             std::string_view text) const {
  ControlSnapshot s = *this;
  for (std::string_view cell : cells) s.captions[CellIndex(cell)] = std::string(text);
  return s;
}

// What differs, for a failing comparison's message.
inline std::ostream& operator<<(std::ostream& out, const ControlSnapshot& s) {
  std::size_t i = 0;
  for (const PanelEntry& entry : PanelLayout()) {
    if (entry.value_cell) out << entry.name << "=" << s.captions[i] << " ";
    ++i;
  }
  out << "DATAstr=" << s.DATAstr << " Volume=" << s.Volume << " MSGstring=" << s.MSGstring
      << " Mode=" << s.Mode << " DensityLevel=" << s.DensityLevel << " Person=" << s.Person
      << " CAL_SFLC=" << s.CAL_SFLC << " BackColor=" << s.BackColor
      << " AutoRedraw=" << s.AutoRedraw << " BackStyle=" << s.BackStyle
      << " BorderStyle=" << s.BorderStyle << " ProfileCount=" << s.ProfileCount;
  return out;
}

}  // namespace pellix::testing
