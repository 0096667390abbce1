// What a report says about a take beside the control's figures: the stretch the intake kept,
// the recording's levels and pitch, flags in plain words, and why a refused take was refused.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "analysis/records.h"
#include "analysis/sample_source.h"
#include "engine/limits.h"
#include "engine/tarvo_alg1.h"

namespace pellix::analysis {

// A flag: its name in json and csv, and what it means in words.
struct TakeFlag {
  std::string_view name;
  std::string_view words;
};

inline constexpr double kClippedFlagShare = 0.001;  // clipped: more than 1 sample in 1000
inline constexpr double kQuietFlagDbfs = -24;       // very quiet: peak below this
inline constexpr double kShortFlagSeconds = 0.5;    // short: a stretch under half a second
inline constexpr double kUnvoicedFlagShare = 0.1;   // unvoiced: fewer voiced frames than this
// A pitch mismatch: a check's pitch over this many times the calibration's, or under its
// inverse. A speaker's pitch moves by a fifth or so under stress; another speaker's, such as a
// woman's against a man's calibration, by twice and more.
inline constexpr double kPitchMismatchRatio = 1.5;

inline constexpr std::array<TakeFlag, 6> kTakeFlags = {{
    {"clipped",
     "clipped: more than 1 sample in 1000 is at full scale, in the recording or after the 8-bit "
     "conversion; record at a lower level"},
    {"very_quiet",
     "very quiet: the peak is below -24 dBFS, so the 8-bit take spans fewer than 17 of its 255 "
     "steps; record louder"},
    {"short_stretch",
     "the analysed stretch is under half a second: the verdict rests on very little speech"},
    {"no_voiced_speech",
     "no voiced speech: the pitch tracker found a voice in fewer than 1 frame in 10"},
    {"steady_tone",
     "a steady tone, not speech: the pitch does not move (within 2%) over the stretch"},
    {"pitch_mismatch",
     "pitch mismatch: the pitch is over 1.5 times, or under two thirds of, the median pitch of "
     "the calibration takes: is this the speaker who calibrated?"},
}};

// Whether a check at `check_hz` is far from a calibration at `calibration_hz` (both medians
// of voiced frames): by more than kPitchMismatchRatio either way.
bool PitchMismatch(double check_hz, double calibration_hz);

// The words of flag `name`; the name itself for a flag not in kTakeFlags.
std::string_view TakeFlagWords(std::string_view name);

// What the intake left in the engine's state after a calibration or a check.
struct IntakeOutcome {
  double sample_count = 0;
  std::size_t take_start = 0;  // data index of slot 0 of the stored take
  std::size_t take_end = 0;    // one past its last sample
  double peak_level = 0;       // the gain pass's peak, 0 to 128
  bool automatic_gain = false;
  double background_border = 0;
};

IntakeOutcome ReadIntakeOutcome(const Tarvo_alg1::SharedState& s);

// The scan reads at most this many slots of a take; the rest of a longer take is stored but
// never analysed.
inline constexpr std::size_t kScannedSlots = Tarvo_alg1::limits::kScanLimit + 1;

// One past the analysed stretch (a data index): the stored take as far as the scan reads it;
// take_start when nothing was stored.
std::size_t AnalysedEnd(const IntakeOutcome& intake);

// The facts of a take. `minimum` is the samples the operation needs (450 to calibrate, 800 to
// check); `refused` whether it published -1.
TakeFacts DescribeTake(const PreparedTake& take, const IntakeOutcome& intake, double minimum,
                       bool refused);

}  // namespace pellix::analysis
