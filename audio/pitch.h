// The pitch of a stretch of 8-bit samples, frame by frame with YIN: the median pitch of
// the voiced frames, the share of frames that are voiced, and whether the pitch is as steady as
// a tone's (speech always moves).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace pellix {

struct PitchFigures {
  std::size_t frames = 0;           // frames looked at
  std::optional<double> median_hz;  // nothing when no frame is voiced
  double voiced_share = 0;          // voiced frames as a share of all; 0 without frames
  bool steady = false;              // the voiced frames' pitch stays within kSteadySpread
};

// A frame is voiced when YIN finds a period it is confident of (confidence at least
// kVoicedConfidence) for a pitch in the range of voices, kLowestPitch to kHighestPitch Hz.
inline constexpr double kVoicedConfidence = 0.8;
inline constexpr double kLowestPitch = 50;
inline constexpr double kHighestPitch = 600;
// Steady: at least kSteadyFrames voiced frames, and the middle 80% of their pitches lie
// within this share of the median.
inline constexpr double kSteadySpread = 0.02;
inline constexpr std::size_t kSteadyFrames = 10;

// Whose YIN: ours on whole numbers (audio/whole_yin.h), which reports use, or aubio's, the
// yardstick ours is tested and measured against, loaded on first use.
enum class PitchMethod { kWhole, kAubio };

// Frames of 512 samples every 256 (at 11025 Hz, 46 ms frames every 23 ms). Fewer samples than
// one frame give no frames, and so does aubio's method on a machine without its library.
PitchFigures TrackPitch(std::span<const std::uint8_t> samples, std::uint32_t rate,
                        PitchMethod method = PitchMethod::kWhole);

}  // namespace pellix
