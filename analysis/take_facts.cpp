#include "analysis/take_facts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>
#include <string>

#include "audio/pitch.h"
#include "engine/limits.h"
#include "engine/tarvo_alg1.h"

namespace pellix::analysis {
namespace {

using Tarvo_alg1::limits::kLoudForGain;
using Tarvo_alg1::limits::kPeakStop;

std::string Number(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

void Refuse(TakeFacts& facts, const PreparedTake& take, const IntakeOutcome& intake,
            double minimum) {
  const std::string border = Number(intake.background_border, 0);
  if (intake.sample_count == 0 && intake.automatic_gain && intake.peak_level > kPeakStop) {
    facts.refusal = "no loud samples: the level passed " + Number(kPeakStop, 0) +
                    " of 128 (near full scale) before " + std::to_string(kLoudForGain) +
                    " samples had risen above the background border of " + border +
                    ", so the intake gave up";
    facts.advice = "record at a lower level, so that the speech starts below full scale";
  } else if (intake.sample_count == 0) {
    facts.refusal = "no loud samples: fewer than " + std::to_string(kLoudForGain) +
                    " samples rose above the background border of " + border;
    facts.advice =
        "record louder or closer to the microphone, or lower the background border "
        "(see pellix params)";
  } else if (intake.sample_count < minimum) {
    const double rate = take.seconds_rate();
    facts.refusal =
        "fewer than " + Number(minimum, 0) + " stored: the intake kept " +
        Number(intake.sample_count, 0) + " samples (" + Number(intake.sample_count / rate, 2) +
        " s) before the first pause of 1001 quiet samples (" + Number(1001 / rate, 2) + " s)";
    facts.advice =
        "start the take with a longer utterance, without a pause early on, and trim noise "
        "before the speech";
  } else {
    facts.refusal =
        "silent scan: no thorns and no jumps of the lengths the parameters allow, or a mean "
        "jump length outside 2 to 11";
    facts.advice =
        "record speech rather than a tone, noise or silence; check the jump "
        "lengths of the parameters (see pellix params)";
  }
}

}  // namespace

std::string_view TakeFlagWords(std::string_view name) {
  for (const TakeFlag& flag : kTakeFlags) {
    if (flag.name == name) return flag.words;
  }
  return name;
}

bool PitchMismatch(double check_hz, double calibration_hz) {
  if (!(check_hz > 0) || !(calibration_hz > 0)) return false;
  return std::max(check_hz, calibration_hz) >
         kPitchMismatchRatio * std::min(check_hz, calibration_hz);
}

std::size_t AnalysedEnd(const IntakeOutcome& intake) {
  if (intake.take_end <= intake.take_start) return intake.take_start;
  return std::min(intake.take_end, intake.take_start + kScannedSlots);
}

IntakeOutcome ReadIntakeOutcome(const Tarvo_alg1::SharedState& s) {
  return {s.SampleCount, s.TakeStart, s.TakeEnd, s.PeakLevel, s.AutoGain == 1, s.BackgroundBorder};
}

TakeFacts DescribeTake(const PreparedTake& take, const IntakeOutcome& intake, double minimum,
                       bool refused) {
  TakeFacts facts;
  const auto rate = static_cast<double>(take.seconds_rate());
  facts.recording_s = take.duration;
  facts.peak_dbfs = take.levels.peak_dbfs;
  facts.rms_dbfs = take.levels.rms_dbfs;
  facts.clipped_source = take.levels.clipped_share;
  facts.clipped_8bit = take.clipped_8bit;

  // The stretch as far as the scan reads it; the pitch of that stretch, or of everything the
  // intake read when it stored nothing.
  std::span<const std::uint8_t> tracked = take.window;
  if (intake.take_end > intake.take_start) {
    const std::size_t end = AnalysedEnd(intake);
    facts.stretch_start_s = static_cast<double>(intake.take_start) / rate;
    facts.stretch_end_s = static_cast<double>(end) / rate;
    const std::size_t from = std::min(intake.take_start, take.window.size());
    tracked = tracked.subspan(from, std::min(end, take.window.size()) - from);
  }
  const PitchFigures pitch = TrackPitch(tracked, take.seconds_rate());
  facts.pitch_hz = pitch.median_hz;
  if (pitch.frames > 0) facts.voiced_share = pitch.voiced_share;

  if (std::max(take.levels.clipped_share, take.clipped_8bit) > kClippedFlagShare)
    facts.flags.emplace_back(kTakeFlags[0].name);
  if (take.levels.peak_dbfs < kQuietFlagDbfs) facts.flags.emplace_back(kTakeFlags[1].name);
  if (facts.stretch_s() && *facts.stretch_s() < kShortFlagSeconds)
    facts.flags.emplace_back(kTakeFlags[2].name);
  if (pitch.frames > 0 && pitch.voiced_share < kUnvoicedFlagShare)
    facts.flags.emplace_back(kTakeFlags[3].name);
  if (pitch.steady) facts.flags.emplace_back(kTakeFlags[4].name);

  if (refused) Refuse(facts, take, intake, minimum);
  return facts;
}

}  // namespace pellix::analysis
