// The report's keys, declared once: the csv columns and json keys of pellix analyze and pellix
// listen in their order, with what each holds. The reports write from this table, the C library
// hands it to Python (PellixReportKeys), and tests hold docs/report.schema.json, the README's
// list and PellixTakeResult to it.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace pellix::analysis {

// What a key holds. json writes numbers of either kind without a fraction when they are whole.
enum class KeyType {
  kText,
  kWhole,  // whole numbers: codes, stress levels, counts, error numbers
  kReal,   // measures, seconds, levels in dBFS, shares
  kFlags,  // the take's flags: a list in json, joined by blanks in csv
};

struct ReportKey {
  std::string_view name;
  KeyType type;
  // A figure the control published: the control's own text stands where it is no number.
  bool control_text;
  bool nullable;     // null in json, an empty csv field, in rows it does not apply to
  bool listen_only;  // only in pellix listen's rows: an utterance's place in its stream
  std::string_view description;
};

inline constexpr std::array<ReportKey, 35> kReportKeys = {{
    {"speaker", KeyType::kText, false, false, false,
     "The speaker of a --batch run; empty otherwise."},
    {"role", KeyType::kText, false, false, false,
     "What the row is: a calibration take, a check take, a profile, or a failure of the state file "
     "or a plot."},
    {"file", KeyType::kText, false, true, false,
     "The take (as named) or the state file; null for a profile."},
    {"stream_start_s", KeyType::kReal, false, true, true,
     "pellix listen only: where the utterance begins in the stream, in seconds (6 decimals, exact "
     "to the frame); null for profiles and failures."},
    {"stream_end_s", KeyType::kReal, false, true, true,
     "pellix listen only: where the utterance ends in the stream (one past its last frame), in "
     "seconds."},
    {"code", KeyType::kWhole, true, true, false,
     "The result code (CR_msgX): -2 not initialised, -1 refused, 0 no conclusion, 1 to 9 verdicts. "
     "For a calibration 0 is accepted, -1 refused. Null for profiles and failures. The control's "
     "text when it is no code."},
    {"meaning", KeyType::kText, false, true, false,
     "The code's meaning in words; for a profile, whether it is available."},
    {"lie_stress", KeyType::kWhole, true, true, false,
     "LIEstress, when the check reached the verdict. A number, or the control's text when it is "
     "none."},
    {"global_stress", KeyType::kWhole, true, true, false,
     "GLBstress. A number, or the control's text when it is none."},
    {"excitement_stress", KeyType::kWhole, true, true, false,
     "EXCstress. A number, or the control's text when it is none."},
    {"thorn_rate", KeyType::kReal, true, true, false,
     "The take's thorn rate (CR_spT). A number, or the control's text when it is none."},
    {"jump_rate", KeyType::kReal, true, true, false,
     "The take's jump rate (CR_SPJ). A number, or the control's text when it is none."},
    {"jump_spread", KeyType::kReal, true, true, false,
     "The take's jump spread (CR_JQ). A number, or the control's text when it is none."},
    {"avg_jump_len", KeyType::kReal, true, true, false,
     "The take's average jump length (CR_avJ). A number, or the control's text when it is none."},
    {"cal_thorn_rate", KeyType::kReal, true, true, false,
     "After an accepted calibration: the calibrated thorn rate (CAL_spT). A number, or the "
     "control's text when it is none."},
    {"cal_jump_rate", KeyType::kReal, true, true, false,
     "The calibrated jump rate (CAL_spJ). A number, or the control's text when it is none."},
    {"cal_jump_spread", KeyType::kReal, true, true, false,
     "The calibrated jump spread (CAL_JQ). A number, or the control's text when it is none."},
    {"cal_avg_jump_len", KeyType::kReal, true, true, false,
     "The calibrated average jump length (CAL_AVJ). A number, or the control's text when it is "
     "none."},
    {"recording_s", KeyType::kReal, false, true, false,
     "The whole recording's length in seconds (3 decimals)."},
    {"stretch_start_s", KeyType::kReal, false, true, false,
     "Where the stored take begins, in seconds of the recording (3 decimals)."},
    {"stretch_end_s", KeyType::kReal, false, true, false,
     "Where the analysed stretch ends: the stored take as far as the scan reads it."},
    {"stretch_s", KeyType::kReal, false, true, false, "The analysed stretch's length in seconds."},
    {"peak_dbfs", KeyType::kReal, false, true, false,
     "The recording's peak level in dBFS (1 decimal); null for digital silence."},
    {"rms_dbfs", KeyType::kReal, false, true, false,
     "The recording's RMS level in dBFS (a full-scale sine is -3.0); null for digital silence."},
    {"clipped_source", KeyType::kReal, false, true, false,
     "Share of the source's samples at or beyond 99% of full scale (4 decimals)."},
    {"clipped_8bit", KeyType::kReal, false, true, false,
     "Share of the 8-bit samples the intake reads (the converted window) at the ends of the scale "
     "(4 decimals)."},
    {"pitch_hz", KeyType::kReal, false, true, false,
     "Median pitch of the voiced frames of the analysed stretch, in Hz (1 decimal); null when none "
     "is voiced."},
    {"voiced_share", KeyType::kReal, false, true, false,
     "Share of the stretch's frames that are voiced (3 decimals)."},
    {"flags", KeyType::kFlags, false, false, false,
     "Plain-word flags; in csv, joined by single blanks."},
    {"refusal", KeyType::kText, false, true, false, "Why the intake or the scan refused the take."},
    {"advice", KeyType::kText, false, true, false, "What to try for a refused take."},
    {"profile", KeyType::kText, false, true, false,
     "The profile string (DATAstr after the profiler)."},
    {"profile_checks", KeyType::kWhole, false, true, false, "Checks the profile covers."},
    {"error_number", KeyType::kWhole, false, true, false,
     "For a failure: the platform error number."},
    {"error_message", KeyType::kText, false, true, false, "For a failure: what went wrong."},
}};

// The place of the key `name` in kReportKeys; a name that is no key does not compile where it
// is asked for at compile time.
consteval std::size_t KeyIndex(std::string_view name) {
  for (std::size_t i = 0; i < kReportKeys.size(); ++i) {
    if (kReportKeys[i].name == name) return i;
  }
  throw "no such report key";
}

}  // namespace pellix::analysis
