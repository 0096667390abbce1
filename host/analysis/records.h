// What one analysis run reports: a record per calibration and per check, and the profile.
// Values are the texts the control's properties returned, so every report shows exactly what
// the control published.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace pellix::analysis {

// A take's measures: the Results row, CR_spT, CR_SPJ, CR_JQ and CR_avJ.
struct Measures {
  std::string thorn_rate;    // CR_spT
  std::string jump_rate;     // CR_SPJ
  std::string jump_spread;   // CR_JQ
  std::string avg_jump_len;  // CR_avJ

  friend bool operator==(const Measures&, const Measures&) = default;
};

// The calibration constants CAL_spT, CAL_spJ, CAL_JQ and CAL_AVJ.
struct Constants {
  std::string thorn_rate;    // CAL_spT
  std::string jump_rate;     // CAL_spJ
  std::string jump_spread;   // CAL_JQ
  std::string avg_jump_len;  // CAL_AVJ
};

// The stress levels a check published: LIEstress, GLBstress, EXCstress.
struct StressLevels {
  std::string lie;
  std::string global;
  std::string excitement;
};

struct CalibrationRecord {
  std::string speaker;  // empty outside batch mode
  std::string file;
  std::string code;  // CR_msgX: "0" accepted, "-1" rejected
  // The take's measures; nothing when the take was refused before it was measured (the
  // control then leaves the Results row of an earlier take in place).
  std::optional<Measures> measures;
  std::optional<Constants> constants;  // after an accepted calibration

  bool accepted() const { return code == "0"; }
};

struct CheckRecord {
  std::string speaker;
  std::string file;
  std::string code;                    // CR_msgX
  std::optional<Measures> measures;    // as for calibrations
  std::optional<StressLevels> stress;  // when the check reached the verdict
};

struct ProfileRecord {
  std::string speaker;
  std::string profile;  // DATAstr after profiler
  int checks = 0;       // checks of this run that reached the verdict (and so were recorded)
};

using Record = std::variant<CalibrationRecord, CheckRecord, ProfileRecord>;

// A line for standard error: a warning, or an error that makes the run fail.
struct Message {
  bool error = false;
  std::string text;  // without the "pellix: " prefix
};

// Everything one speaker's session produced, in the order it happened.
using Event = std::variant<Record, Message>;

}  // namespace pellix::analysis
