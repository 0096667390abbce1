#include "desk/utterance_cutter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pellix::desk {

UtteranceCutter::UtteranceCutter(const listen::SegmenterSettings& settings, std::uint32_t rate)
    : segmenter_(settings, rate), rate_(rate) {}

std::vector<CutUtterance> UtteranceCutter::Feed(std::span<const std::int16_t> samples) {
  kept_.insert(kept_.end(), samples.begin(), samples.end());
  scaled_.resize(samples.size());
  std::transform(samples.begin(), samples.end(), scaled_.begin(),
                 [](std::int16_t s) { return static_cast<float>(s) / 32768.0f; });
  std::vector<listen::Utterance> ended;
  segmenter_.Feed(scaled_, ended);
  return Cut(ended);
}

std::vector<CutUtterance> UtteranceCutter::End() {
  std::vector<listen::Utterance> ended;
  segmenter_.End(ended);
  return Cut(ended);
}

std::vector<CutUtterance> UtteranceCutter::Cut(const std::vector<listen::Utterance>& ended) {
  std::vector<CutUtterance> cut;
  const std::uint64_t kept_end = kept_from_ + kept_.size();
  for (const listen::Utterance& u : ended) {
    const std::uint64_t start = std::clamp(u.start, kept_from_, kept_end);
    const std::uint64_t end = std::clamp(u.end, start, kept_end);
    cut.push_back({u, std::vector<std::int16_t>(
                          kept_.begin() + static_cast<std::ptrdiff_t>(start - kept_from_),
                          kept_.begin() + static_cast<std::ptrdiff_t>(end - kept_from_))});
  }
  // Nothing before the earliest start still possible is needed again.
  const std::uint64_t keep_from = std::clamp(segmenter_.KeepFrom(), kept_from_, kept_end);
  kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(keep_from - kept_from_));
  kept_from_ = keep_from;
  return cut;
}

double PeakDbfs(std::span<const std::int16_t> samples) {
  int peak = 0;
  for (std::int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  if (peak == 0) return -96;
  return std::max(-96.0, 20 * std::log10(peak / 32768.0));
}

}  // namespace pellix::desk
