// The utterances of a stream the desk records, cut by the segmenter pellix listen uses: the
// sound is kept only from where an utterance not yet reported may start.
//
//   UtteranceCutter cutter({}, 16000);
//   for (auto& u : cutter.Feed(block)) session.Check(...u.samples...);
//   for (auto& u : cutter.End()) ...;
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "listen/segmenter.h"

namespace pellix::desk {

struct CutUtterance {
  listen::Utterance where;            // in samples of the stream
  std::vector<std::int16_t> samples;  // its sound
};

class UtteranceCutter {
 public:
  // `rate`: samples per second of the mono stream. The settings must pass SettingsProblem.
  UtteranceCutter(const listen::SegmenterSettings& settings, std::uint32_t rate);

  // Feeds the next samples; returns the utterances they ended, in order.
  std::vector<CutUtterance> Feed(std::span<const std::int16_t> samples);
  // Ends the stream: the utterance going on, if any, ends at its last loud frame.
  std::vector<CutUtterance> End();

  std::uint32_t rate() const { return rate_; }
  // Samples of sound held now (for tests: it stays bounded while nobody speaks).
  std::size_t held() const { return kept_.size(); }

 private:
  std::vector<CutUtterance> Cut(const std::vector<listen::Utterance>& ended);

  listen::Segmenter segmenter_;
  std::uint32_t rate_;
  std::vector<std::int16_t> kept_;  // the stream from kept_from_ on
  std::uint64_t kept_from_ = 0;
  std::vector<float> scaled_;  // a block at full scale -1 to 1, for the segmenter
};

// The peak of `samples` in dBFS; -96 (the 16-bit floor) for silence.
double PeakDbfs(std::span<const std::int16_t> samples);

}  // namespace pellix::desk
