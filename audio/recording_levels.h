// The level of a recording: its peak and RMS in dBFS and the share of its samples at full
// scale, gathered block by block from the mono values the converter reads, so that measuring
// costs one pass over what is read anyway and never asks for more of the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pellix {

struct Whole16Figures;

struct LevelFigures {
  double peak_dbfs = 0;      // 20 log10 of the largest magnitude; -inf for digital silence
  double rms_dbfs = 0;       // 20 log10 of the root mean square (a full-scale sine is -3.0)
  double clipped_share = 0;  // samples at or beyond kClippedLevel, as a share of all
  std::uint64_t samples = 0;
};

// A mono value this close to full scale (-1 to 1) counts as clipped: 0.99 is 0.09 dB below
// full scale, above any sample a recorder leaves unclipped in practice, and it still catches
// an 8-bit source, whose largest value is 127/128.
inline constexpr double kClippedLevel = 0.99;

class RecordingLevels {
 public:
  // Mono values, full scale -1 to 1.
  void Add(std::span<const double> mono) noexcept;
  // 16-bit whole numbers s of one channel (the mono value s / 32768) or, when `stereo`, of
  // two interleaved (the mono value the average (l + r) / 65536 of a pair): the same figures
  // as Add of those mono values, to the bit. When `mono` is given, the mono values are written
  // there as floats (which hold them exactly), sparing the caller a second pass to mix down.
  void AddWhole16(std::span<const std::int16_t> samples, bool stereo,
                  float* mono = nullptr) noexcept;
  // The values of a block of at most kMaxWhole16Frames 16-bit frames that MixWhole16 (or one
  // of its kin) mixed down to `mono` with `figures`: the same figures as AddWhole16 of the
  // frames, to the bit.
  void AddMixedWhole16(const Whole16Figures& figures, std::span<const float> mono) noexcept;
  // 8-bit samples centred on 128, as a sample file holds them.
  void AddSamples(std::span<const std::uint8_t> samples) noexcept;

  LevelFigures Figures() const noexcept;

 private:
  // Values the lanes of AddBlock take at a time.
  static constexpr std::size_t kBlock = 4096;
  void AddBlock(std::span<const double> mono) noexcept;
  void AddWhole16Block(std::span<const std::int16_t> samples, bool stereo, float* mono) noexcept;
  // Adds a whole-number block's figures but for its squares, and those too when their sum
  // stays exact; returns whether it did.
  bool AddWhole16Figures(const Whole16Figures& figures, std::size_t frames) noexcept;

  double peak_ = 0;
  double sum_squares_ = 0;
  bool exact_squares_ = true;  // sum_squares_ is exact: no sum so far has been rounded
  std::uint64_t clipped_ = 0;
  std::uint64_t count_ = 0;
};

// The share of 8-bit samples at the ends of the scale (1 and 255: the converter's limits, 0
// being the end of the data), which the conversion produced by clipping.
double ClippedShare8Bit(std::span<const std::uint8_t> samples) noexcept;

}  // namespace pellix
