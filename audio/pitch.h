// The pitch of a stretch of 8-bit samples, frame by frame with aubio's YIN: the median pitch of
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

// Frames of 512 samples every 256 (at 11025 Hz, 46 ms frames every 23 ms). Fewer samples than
// one frame give no frames, and so does a machine without aubio's library.
PitchFigures TrackPitch(std::span<const std::uint8_t> samples, std::uint32_t rate);

}  // namespace pellix
