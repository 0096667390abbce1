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

// What the host learnt about a take besides the control's figures: where the stored take lies
// in the recording, the recording's levels, the pitch of the analysed stretch, and, for a
// refused take, why and what to try. Every field is empty when it could not be measured.
struct TakeFacts {
  std::optional<double> recording_s;     // the whole recording's length
  std::optional<double> stream_start_s;  // a live utterance: where it lies in its stream
  std::optional<double> stream_end_s;
  std::optional<double> stretch_start_s;  // the stored take, in seconds of the recording
  std::optional<double> stretch_end_s;
  std::optional<double> peak_dbfs;       // the recording's peak level
  std::optional<double> rms_dbfs;        // its RMS level
  std::optional<double> clipped_source;  // share of samples at full scale in the source
  std::optional<double> clipped_8bit;    // the same in the 8-bit samples the intake reads
  std::optional<double> pitch_hz;        // median pitch of the voiced frames of the stretch
  std::optional<double> voiced_share;    // share of the stretch's frames that are voiced
  std::vector<std::string> flags;        // TakeFlag names, in the order of kTakeFlags
  std::string refusal;                   // why the intake or the scan refused the take
  std::string advice;                    // what to try then

  std::optional<double> stretch_s() const {
    if (!stretch_start_s || !stretch_end_s) return std::nullopt;
    return *stretch_end_s - *stretch_start_s;
  }
};

struct CalibrationRecord {
  std::string speaker;  // empty outside batch mode
  std::string file;
  std::string code;  // CR_msgX: "0" accepted, "-1" rejected
  // The take's measures; nothing when the take was refused before it was measured (the
  // control then leaves the Results row of an earlier take in place).
  std::optional<Measures> measures;
  std::optional<Constants> constants;  // after an accepted calibration
  TakeFacts facts;

  bool accepted() const { return code == "0"; }
};

struct CheckRecord {
  std::string speaker;
  std::string file;
  std::string code;                    // CR_msgX
  std::optional<Measures> measures;    // as for calibrations
  std::optional<StressLevels> stress;  // when the check reached the verdict
  TakeFacts facts;
};

struct ProfileRecord {
  std::string speaker;
  std::string profile;  // DATAstr after profiler
  int checks = 0;       // checks of this run that reached the verdict (and so were recorded)
};

// Something that could not be done: a take that could not be read or analysed, a state file
// that could not be loaded or saved, a profiler that failed. Reported as a row of its own so
// that a batch's output accounts for every take.
struct FailureRecord {
  std::string speaker;
  std::string role;  // "calibrate", "check", "profile" or "state"
  std::string file;  // the take or the state file; empty for the profiler
  int error_number = 0;
  std::string error_message;
};

using Record = std::variant<CalibrationRecord, CheckRecord, ProfileRecord, FailureRecord>;

// A line for standard error: a warning, or an error that makes the run fail.
struct Message {
  bool error = false;
  std::string text;  // without the "pellix: " prefix
  // For the warning that a recording is longer than the analysis window: the recording, so
  // that a run naming it again and again can say so once.
  std::string long_recording{};
};

// Everything one speaker's session produced, in the order it happened.
using Event = std::variant<Record, Message>;

}  // namespace pellix::analysis
