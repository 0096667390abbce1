#include "host/audio/pitch.h"

#include <aubio/aubio.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace pellix {
namespace {

constexpr uint_t kFrameSize = 512;
constexpr uint_t kHopSize = 256;

struct PitchDeleter {
  void operator()(aubio_pitch_t* pitch) const noexcept { del_aubio_pitch(pitch); }
};
struct VectorDeleter {
  void operator()(fvec_t* vector) const noexcept { del_fvec(vector); }
};

// The value at `share` (0 to 1) of sorted `values`, by the nearest rank below.
double AtShare(const std::vector<double>& sorted, double share) {
  return sorted[static_cast<std::size_t>(share * static_cast<double>(sorted.size() - 1))];
}

}  // namespace

PitchFigures TrackPitch(std::span<const std::uint8_t> samples, std::uint32_t rate) {
  PitchFigures figures;
  if (samples.size() < kFrameSize || rate == 0) return figures;
  std::unique_ptr<aubio_pitch_t, PitchDeleter> tracker(
      new_aubio_pitch("yin", kFrameSize, kHopSize, rate));
  std::unique_ptr<fvec_t, VectorDeleter> hop(new_fvec(kHopSize));
  std::unique_ptr<fvec_t, VectorDeleter> out(new_fvec(1));
  if (!tracker || !hop || !out) return figures;
  aubio_pitch_set_unit(tracker.get(), "Hz");
  // Confidence decides what is voiced, not loudness: a quiet voice is still a voice.
  aubio_pitch_set_silence(tracker.get(), -90);

  // aubio keeps the last frame's worth of hops itself: the first full frame is complete after
  // kFrameSize / kHopSize hops, and only frames from there on are counted.
  std::vector<double> voiced;
  const std::size_t warmup = kFrameSize / kHopSize - 1;
  std::size_t hops = 0;
  for (std::size_t start = 0; start + kHopSize <= samples.size(); start += kHopSize, ++hops) {
    for (uint_t i = 0; i < kHopSize; ++i) {
      fvec_set_sample(hop.get(), static_cast<smpl_t>((samples[start + i] - 128) / 128.0), i);
    }
    aubio_pitch_do(tracker.get(), hop.get(), out.get());
    if (hops < warmup) continue;
    ++figures.frames;
    const double hz = fvec_get_sample(out.get(), 0);
    const double confidence = aubio_pitch_get_confidence(tracker.get());
    if (confidence >= kVoicedConfidence && hz >= kLowestPitch && hz <= kHighestPitch) {
      voiced.push_back(hz);
    }
  }
  if (figures.frames == 0) return figures;
  figures.voiced_share = static_cast<double>(voiced.size()) / static_cast<double>(figures.frames);
  if (voiced.empty()) return figures;
  std::sort(voiced.begin(), voiced.end());
  const double median = AtShare(voiced, 0.5);
  figures.median_hz = median;
  figures.steady = voiced.size() >= kSteadyFrames &&
                   AtShare(voiced, 0.9) - AtShare(voiced, 0.1) <= kSteadySpread * median;
  return figures;
}

}  // namespace pellix
