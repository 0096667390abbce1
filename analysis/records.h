// What one analysis run reports: a record per calibration and per check, and the profile.
// The control's figures and codes keep the captions its properties returned, so every report
// shows exactly what the control published, beside the number each caption reads as, read once
// here, so that no report, library or window reads the text again.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/result_codes.h"

namespace pellix::analysis {

// A result code as the control published it in CR_msgX: the caption, which every report shows
// as it is, and the code it names, which is what every count and decision reads, so that none
// of them compares texts. Implicit from the caption, as the control gives it.
class PublishedCode {
 public:
  PublishedCode(std::string caption);  // NOLINT(google-explicit-constructor)
  PublishedCode(const char* caption) : PublishedCode(std::string(caption)) {}  // NOLINT

  const std::string& caption() const { return caption_; }
  // Nothing for a caption that is no code the control publishes (-2 to 9).
  std::optional<Tarvo_alg1::ResultCodeValue> value() const { return value_; }
  // The one rule of every face: the control refused the take when it published -1 (too short
  // or silent; for a calibration, rejected) or -2 (a check with no analysis constants, which
  // the control never analysed). Any other code, and a caption that is no code, is no refusal.
  bool refused() const {
    return value_ == Tarvo_alg1::kRefused || value_ == Tarvo_alg1::kNotInitialised;
  }

  friend bool operator==(const PublishedCode&, const PublishedCode&) = default;

 private:
  std::string caption_;
  std::optional<Tarvo_alg1::ResultCodeValue> value_;
};

// A figure as the control published it in a caption (a measure, a constant, a stress level):
// the caption, which every report shows as it is, and the number it reads as. The control
// prints its figures as the platform prints numbers ("12.5", "-3", "1E-05"); a caption is read
// as the platform reads a number strictly, so one that is none (empty, or a text a host put,
// "1.#INF" say) has no number, and the reports then show the text alone. Implicit from the
// caption, as the control gives it.
class PublishedFigure {
 public:
  PublishedFigure(std::string caption);  // NOLINT(google-explicit-constructor)
  PublishedFigure(const char* caption) : PublishedFigure(std::string(caption)) {}  // NOLINT

  const std::string& caption() const { return caption_; }
  // Always finite: a caption beyond the range of a double is no number either.
  std::optional<double> value() const { return value_; }

  friend bool operator==(const PublishedFigure&, const PublishedFigure&) = default;

 private:
  std::string caption_;
  std::optional<double> value_;
};

// A take's measures: the Results row, CR_spT, CR_SPJ, CR_JQ and CR_avJ.
struct Measures {
  PublishedFigure thorn_rate;    // CR_spT
  PublishedFigure jump_rate;     // CR_SPJ
  PublishedFigure jump_spread;   // CR_JQ
  PublishedFigure avg_jump_len;  // CR_avJ

  friend bool operator==(const Measures&, const Measures&) = default;
};

// The calibration constants CAL_spT, CAL_spJ, CAL_JQ and CAL_AVJ.
struct Constants {
  PublishedFigure thorn_rate;    // CAL_spT
  PublishedFigure jump_rate;     // CAL_spJ
  PublishedFigure jump_spread;   // CAL_JQ
  PublishedFigure avg_jump_len;  // CAL_AVJ
};

// The stress levels a check published: LIEstress, GLBstress, EXCstress.
struct StressLevels {
  PublishedFigure lie;
  PublishedFigure global;
  PublishedFigure excitement;
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
  PublishedCode code;  // CR_msgX: 0 accepted, -1 rejected
  // The take's measures; nothing when the take was refused before it was measured (the
  // control then leaves the Results row of an earlier take in place).
  std::optional<Measures> measures;
  std::optional<Constants> constants;  // after an accepted calibration
  TakeFacts facts;

  bool accepted() const { return code.value() == Tarvo_alg1::kNoConclusion; }
  bool refused() const { return code.refused(); }
};

struct CheckRecord {
  std::string speaker;
  std::string file;
  PublishedCode code;                  // CR_msgX
  std::optional<Measures> measures;    // as for calibrations
  std::optional<StressLevels> stress;  // when the check reached the verdict
  TakeFacts facts;

  bool refused() const { return code.refused(); }
};

struct ProfileRecord {
  std::string speaker;
  std::string profile;  // DATAstr after profiler
  int checks = 0;       // checks of this run that reached the verdict (and so were recorded)
};

// What a failure row was doing; reports name it as RoleName gives it.
enum class FailureRole { kCalibrate, kCheck, kProfile, kState, kPlot };

// "calibrate", "check", "profile", "state" or "plot".
std::string_view RoleName(FailureRole role);

// Something that could not be done: a take that could not be read or analysed, a state file
// that could not be loaded or saved, a profiler that failed, a picture that could not be drawn.
// Reported as a row of its own so that a batch's output accounts for every take.
struct FailureRecord {
  std::string speaker;
  FailureRole role;
  // The take or the state file; for a picture, the take drawn; empty for the profiler and for
  // the picture of the speaker's checks.
  std::string file;
  int error_number = 0;
  std::string error_message;

  // Whether a take failed (rather than the state file, the profiler or a plot).
  bool take() const { return role == FailureRole::kCalibrate || role == FailureRole::kCheck; }
};

using Record = std::variant<CalibrationRecord, CheckRecord, ProfileRecord, FailureRecord>;

// What a run did to its takes, counted by one rule for the summary of every face: takes are
// calibrations and checks the control analysed and takes that failed; refused ones are among
// the analysed (PublishedCode::refused).
struct TakeTally {
  std::size_t calibrations = 0;  // calibration takes analysed, accepted or rejected
  std::size_t rejected = 0;      // of these, the ones the control refused
  std::size_t checks = 0;        // check takes analysed, refused or not
  std::size_t refused = 0;       // calibrations and checks the control refused
  std::size_t failed = 0;        // takes that could not be read or analysed

  std::size_t takes() const { return calibrations + checks + failed; }
  std::size_t accepted() const { return calibrations - rejected; }
  // Counts a record: profiles and failures of anything but a take count for nothing.
  void Add(const Record& record);
};

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
