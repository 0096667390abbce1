// Recording levels: the peak, RMS and clipped share of a recording's mono values, the same to
// the bit whichever way the values arrive (doubles, or 16-bit whole numbers of one or two
// channels) and however they are split into calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "audio/recording_levels.h"
#include "audio/whole16_mix.h"
#include "instruction_set_names.h"
#include "platform/instruction_set.h"

namespace pellix {
namespace {

// The figures as they are defined: every value in order, NaN as silence, the squares added
// one by one.
LevelFigures Literal(const std::vector<double>& mono) {
  double peak = 0;
  double squares = 0;
  std::uint64_t clipped = 0;
  for (double value : mono) {
    if (std::isnan(value)) value = 0;
    peak = std::max(peak, std::fabs(value));
    squares += value * value;
    if (std::fabs(value) >= kClippedLevel) ++clipped;
  }
  const auto count = static_cast<double>(mono.size());
  auto decibels = [](double x) {
    return x > 0 ? 20 * std::log10(x) : -std::numeric_limits<double>::infinity();
  };
  return {decibels(peak), decibels(mono.empty() ? 0 : std::sqrt(squares / count)),
          mono.empty() ? 0 : static_cast<double>(clipped) / count, mono.size()};
}

void ExpectSame(const LevelFigures& got, const LevelFigures& want, const std::string& what) {
  EXPECT_EQ(got.peak_dbfs, want.peak_dbfs) << what;
  EXPECT_EQ(got.rms_dbfs, want.rms_dbfs) << what;
  EXPECT_EQ(got.clipped_share, want.clipped_share) << what;
  EXPECT_EQ(got.samples, want.samples) << what;
}

// The mono values of 16-bit frames: s / 32768, or (l + r) / 65536 for a pair.
std::vector<double> Mono(const std::vector<std::int16_t>& samples, bool stereo) {
  std::vector<double> mono;
  for (std::size_t i = 0; i < samples.size(); i += stereo ? 2 : 1) {
    mono.push_back(stereo ? (samples[i] + samples[i + 1]) / 65536.0 : samples[i] / 32768.0);
  }
  return mono;
}

// Deterministic speech-like noise, with the extremes of the scale sprinkled in.
std::vector<std::int16_t> Noise(std::size_t count, std::uint32_t seed) {
  std::vector<std::int16_t> out(count);
  for (std::size_t i = 0; i < count; ++i) {
    seed = seed * 1664525u + 1013904223u;
    out[i] = static_cast<std::int16_t>(seed >> 16);
    if (i % 97 == 0) out[i] = -32768;
    if (i % 89 == 0) out[i] = 32767;
  }
  return out;
}

TEST(RecordingLevelsTest, FiguresOfKnownFrames) {
  struct Row {
    const char* what;
    std::vector<std::int16_t> samples;
    bool stereo;
    double peak_dbfs;
    double rms_dbfs;
    double clipped_share;
  };
  const double kHalf = -6.020599913279624;  // 20 log10(1/2)
  const std::vector<Row> rows = {
      {"half scale in both channels", {16384, 16384, -16384, -16384}, true, kHalf, kHalf, 0},
      {"opposed channels cancel",
       {16384, -16384, 8192, -8192},
       true,
       -std::numeric_limits<double>::infinity(),
       -std::numeric_limits<double>::infinity(),
       0},
      // 64880 / 65536 = 0.989990234375 stays below 0.99; 64881 / 65536 = 0.99000549... is at it.
      {"just below and at the clipping level",
       {32440, 32440, 32440, 32441},
       true,
       20 * std::log10(64881 / 65536.0),
       10 * std::log10((64880.0 * 64880 + 64881.0 * 64881) / 2 / 65536 / 65536),
       0.5},
      {"the most negative pair is full scale",
       {-32768, -32768, 0, 0},
       true,
       0,
       10 * std::log10(0.5),
       0.5},
      {"one channel: -32768 is full scale",
       {-32768, 16384, 0, 0},
       false,
       0,
       10 * std::log10((1 + 0.25) / 4),
       0.25},
  };
  for (const Row& row : rows) {
    RecordingLevels levels;
    levels.AddWhole16(row.samples, row.stereo);
    const LevelFigures figures = levels.Figures();
    auto near = [](double got, double want) {
      return got == want || std::fabs(got - want) < 1e-9;  // -inf for silence
    };
    EXPECT_PRED2(near, figures.peak_dbfs, row.peak_dbfs) << row.what;
    EXPECT_PRED2(near, figures.rms_dbfs, row.rms_dbfs) << row.what;
    EXPECT_EQ(figures.clipped_share, row.clipped_share) << row.what;
  }
}

// Whole numbers take a quicker path than doubles (with an AVX2 form where the processor has
// it), and both sum in lanes when that is exact: every way must give the figures of adding
// the values one by one.
class RecordingLevelsPathTest : public ::testing::TestWithParam<pellix::InstructionSet> {
 protected:
  void SetUp() override { pellix::LimitInstructionSet(GetParam()); }
  void TearDown() override { pellix::LimitInstructionSet(pellix::kWidestInstructionSet); }
};

PELLIX_INSTANTIATE_FOR_EACH_INSTRUCTION_SET(RecordingLevelsPathTest);

TEST_P(RecordingLevelsPathTest, EveryPathGivesTheFiguresOfTheValuesInOrder) {
  // Two million loud frames sum their squares past 2^21, where adding them in another order
  // rounds differently (their odd units square to odd multiples of 2^-32): from there the
  // values are added one by one.
  std::vector<std::int16_t> loud(2 * ((std::size_t{1} << 21) + 50000));
  for (std::size_t i = 0; i < loud.size(); i += 2) {
    const bool low = (i / 6) % 2 == 0;
    loud[i] = low ? -32768 : 32767;
    loud[i + 1] = low ? -32767 : 32766;
  }
  struct Row {
    const char* what;
    std::vector<std::int16_t> samples;
    bool stereo;
  };
  const std::vector<Row> rows = {
      {"stereo noise", Noise(2 * 10007, 1), true},
      {"mono noise", Noise(9999, 2), false},
      {"three frames", Noise(6, 3), true},
      {"hours of loud sound", loud, true},
  };
  for (const Row& row : rows) {
    const std::vector<double> mono = Mono(row.samples, row.stereo);
    const LevelFigures want = Literal(mono);

    RecordingLevels whole;
    whole.AddWhole16(row.samples, row.stereo);
    ExpectSame(whole.Figures(), want, std::string(row.what) + ", whole numbers at once");

    RecordingLevels doubles;
    doubles.Add(mono);
    ExpectSame(doubles.Figures(), want, std::string(row.what) + ", doubles at once");

    // In pieces of odd sizes, the mono values written out on the way.
    RecordingLevels pieces;
    std::vector<float> written(mono.size());
    const std::size_t channels = row.stereo ? 2 : 1;
    std::span<const std::int16_t> rest(row.samples);
    float* out = written.data();
    for (std::size_t piece = 1; !rest.empty(); piece = piece * 3 + 1) {
      const std::size_t count = std::min(rest.size(), channels * piece);
      pieces.AddWhole16(rest.first(count), row.stereo, out);
      rest = rest.subspan(count);
      out += count / channels;
    }
    ExpectSame(pieces.Figures(), want, std::string(row.what) + ", whole numbers in pieces");
    EXPECT_TRUE(std::equal(mono.begin(), mono.end(), written.begin())) << row.what;

    // As a file holds them (little-endian bytes, here at an odd address) and as a decoder
    // hands them (channels apart in 32 bits, where a value 2^16 off wraps to the same 16-bit
    // number), mixed block by block.
    std::vector<std::uint8_t> bytes(1 + 2 * row.samples.size());
    std::vector<std::int32_t> left;
    std::vector<std::int32_t> right;
    for (std::size_t i = 0; i < row.samples.size(); ++i) {
      bytes[1 + 2 * i] = static_cast<std::uint8_t>(row.samples[i] & 0xFF);
      bytes[2 + 2 * i] = static_cast<std::uint8_t>((row.samples[i] >> 8) & 0xFF);
      (row.stereo && i % 2 == 1 ? right : left)
          .push_back(row.samples[i] + (i % 3 == 0 ? 65536 : 0));
    }
    RecordingLevels from_bytes;
    RecordingLevels from_channels;
    std::vector<float> mixed(kMaxWhole16Frames);
    const std::size_t frames = mono.size();
    for (std::size_t at = 0; at < frames; at += kMaxWhole16Frames) {
      const std::size_t count = std::min(kMaxWhole16Frames, frames - at);
      Whole16Figures figures =
          MixLittleEndian16(bytes.data() + 1 + 2 * channels * at, count, row.stereo, mixed.data());
      from_bytes.AddMixedWhole16(figures, std::span(mixed).first(count));
      EXPECT_TRUE(std::equal(mixed.begin(), mixed.begin() + count, written.begin() + at));
      figures = MixPlanar32(left.data() + at, row.stereo ? right.data() + at : nullptr, count, 0,
                            mixed.data());
      from_channels.AddMixedWhole16(figures, std::span(mixed).first(count));
      EXPECT_TRUE(std::equal(mixed.begin(), mixed.begin() + count, written.begin() + at));
    }
    ExpectSame(from_bytes.Figures(), want, std::string(row.what) + ", from bytes");
    ExpectSame(from_channels.Figures(), want, std::string(row.what) + ", from channels apart");
  }
}

// 8-bit samples a decoder hands over count as the 16-bit numbers they are shifted up to.
TEST_P(RecordingLevelsPathTest, EightBitChannelsApartAreShiftedUp) {
  const std::vector<std::int32_t> left = {-128, 127, 0, 1, -1, 64, -64, 100, -100, 5, 127};
  const std::vector<std::int32_t> right = {-128, 127, 1, 0, -2, 64, 63, -100, 90, -5, -128};
  struct Row {
    const char* what;
    bool stereo;
    std::vector<double> mono;  // s / 32768 or (l + r) / 65536, s being 256 times the sample
  };
  const std::vector<Row> rows = {
      {"mono",
       false,
       {-1, 127 / 128.0, 0, 1 / 128.0, -1 / 128.0, 0.5, -0.5, 100 / 128.0, -100 / 128.0, 5 / 128.0,
        127 / 128.0}},
      {"stereo",
       true,
       {-1, 127 / 128.0, 0.5 / 128, 0.5 / 128, -1.5 / 128, 0.5, -0.5 / 128, 0, -5 / 128.0, 0,
        -0.5 / 128}},
  };
  for (const Row& row : rows) {
    std::vector<float> mixed(left.size());
    RecordingLevels levels;
    levels.AddMixedWhole16(
        MixPlanar32(left.data(), row.stereo ? right.data() : nullptr, left.size(), 8, mixed.data()),
        mixed);
    ExpectSame(levels.Figures(), Literal(row.mono), row.what);
    EXPECT_TRUE(std::equal(row.mono.begin(), row.mono.end(), mixed.begin())) << row.what;
  }
}

TEST(RecordingLevelsTest, DoublesOfAnyKindGiveTheFiguresOfTheValuesInOrder) {
  std::vector<double> fine;  // not whole multiples of 2^-16: their squares round
  for (int i = 0; i < 9000; ++i) fine.push_back(std::sin(i * 0.1) * 0.7);
  std::vector<double> odd = {
      0.25, std::nan(""), -0.5, 0.995, -std::numeric_limits<double>::infinity(), 0.0};
  std::vector<double> mixed = Mono(Noise(8192, 4), false);  // whole at first, then fine
  mixed.insert(mixed.end(), fine.begin(), fine.end());
  for (const auto& [what, values] :
       {std::pair{"fine", fine}, std::pair{"odd", odd}, std::pair{"mixed", mixed}}) {
    RecordingLevels levels;
    levels.Add(values);
    ExpectSame(levels.Figures(), Literal(values), what);
  }
}

TEST(RecordingLevelsTest, EightBitSamplesAreTheirValuesAroundTheMiddle) {
  const std::vector<std::uint8_t> samples = {128, 255, 1, 0, 192};
  RecordingLevels levels;
  levels.AddSamples(samples);
  ExpectSame(levels.Figures(), Literal({0, 127 / 128.0, -127 / 128.0, -1, 0.5}), "8-bit");
  // Every byte value, over more than one block.
  std::vector<std::uint8_t> many;
  std::vector<double> values;
  for (int i = 0; i < 9000; ++i) {
    many.push_back(static_cast<std::uint8_t>(i * 37 % 256));
    values.push_back((many.back() - 128) / 128.0);
  }
  RecordingLevels blocks;
  blocks.AddSamples(many);
  ExpectSame(blocks.Figures(), Literal(values), "8-bit blocks");
}

// The converter clips to 1 and 255, so both count as clipped, and nothing between them does.
TEST(RecordingLevelsTest, EightBitClippedShareCountsBothEnds) {
  const std::pair<std::vector<std::uint8_t>, double> cases[] = {
      {{1, 255, 128, 2, 254}, 2 / 5.0}, {{1, 1, 1, 1}, 1.0}, {{255, 128, 128, 128}, 1 / 4.0},
      {{2, 127, 128, 129, 254}, 0.0},   {{}, 0.0},
  };
  for (const auto& [samples, share] : cases) {
    EXPECT_EQ(ClippedShare8Bit(samples), share) << samples.size() << " samples";
  }
}

}  // namespace
}  // namespace pellix
