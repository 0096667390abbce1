// Generated streams for the segmenter: voiced bursts (a few harmonics of a gliding pitch,
// with a syllable rhythm and 10 ms ramps) over a noise floor, with the truth of where each
// burst begins and ends.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace pellix::testing {

struct Burst {
  double start_s;
  double end_s;
};

class VoiceStream {
 public:
  explicit VoiceStream(std::uint32_t rate, std::uint32_t seed = 1) : rate_(rate), random_(seed) {}

  // Noise of `dbfs` RMS under everything that follows, or from `dbfs` to `to_dbfs` over the
  // next Pause or Voice (a level drifting while it plays). -inf for digital silence.
  VoiceStream& Noise(double dbfs) { return Noise(dbfs, dbfs); }
  VoiceStream& Noise(double dbfs, double to_dbfs) {
    noise_from_ = dbfs;
    noise_to_ = to_dbfs;
    return *this;
  }
  VoiceStream& Pause(double seconds) {
    Add(seconds, -INFINITY);
    return *this;
  }
  // A voiced burst of `seconds` at an RMS of about `dbfs`.
  VoiceStream& Voice(double seconds, double dbfs) {
    bursts_.push_back({Seconds(), Seconds() + seconds});
    Add(seconds, dbfs);
    return *this;
  }

  // Continuous speech of `seconds`: words of 0.5 s with 80 ms gaps between them (where the
  // level falls to the noise floor, as between real words), one burst in the truth.
  VoiceStream& Speech(double seconds, double dbfs) {
    const double start = Seconds();
    for (double left = seconds; left > 0; left -= 0.58) {
      Add(std::min(0.5, left), dbfs);
      if (left > 0.58) Add(0.08, -INFINITY);
    }
    bursts_.push_back({start, Seconds()});
    return *this;
  }

  const std::vector<float>& samples() const { return samples_; }
  const std::vector<Burst>& bursts() const { return bursts_; }
  double Seconds() const { return static_cast<double>(samples_.size()) / rate_; }

 private:
  void Add(double seconds, double voice_dbfs) {
    const auto count = static_cast<std::size_t>(std::lround(seconds * rate_));
    const double ramp = 0.01 * static_cast<double>(rate_);
    // The harmonics' sum has about half the RMS of its peak amplitude.
    const double amplitude = std::pow(10.0, voice_dbfs / 20) * 2;
    for (std::size_t i = 0; i < count; ++i) {
      const double t = static_cast<double>(i) / rate_;
      const double share = count > 1 ? static_cast<double>(i) / static_cast<double>(count - 1) : 0;
      const double noise_dbfs = noise_from_ + (noise_to_ - noise_from_) * share;
      double value = std::isfinite(noise_dbfs) ? std::pow(10.0, noise_dbfs / 20) * Gaussian() : 0;
      if (std::isfinite(voice_dbfs)) {
        const double edge = std::min(
            {1.0, static_cast<double>(i) / ramp, static_cast<double>(count - 1 - i) / ramp});
        const double syllables = 0.7 + 0.3 * std::sin(2 * std::numbers::pi * 4 * t);
        const double pitch = 120 + 30 * std::sin(2 * std::numbers::pi * 0.7 * t);
        phase_ += 2 * std::numbers::pi * pitch / rate_;
        double voiced = 0;
        for (int h = 1; h <= 4; ++h) voiced += std::sin(h * phase_) / h;
        value += amplitude * edge * syllables * voiced / 2;
      }
      samples_.push_back(static_cast<float>(value));
    }
  }

  // Box-Muller over the engine's own bits, the same on every standard library.
  double Gaussian() {
    const double u = (static_cast<double>(random_()) + 1) / 4294967297.0;
    const double v = static_cast<double>(random_()) / 4294967296.0;
    return std::sqrt(-2 * std::log(u)) * std::cos(2 * std::numbers::pi * v);
  }

  std::uint32_t rate_;
  std::mt19937 random_;
  double noise_from_ = -INFINITY;
  double noise_to_ = -INFINITY;
  double phase_ = 0;
  std::vector<float> samples_;
  std::vector<Burst> bursts_;
};

}  // namespace pellix::testing
