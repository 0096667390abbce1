// Scaling sample bytes by whole-number arithmetic against the intake's rule in doubles,
// floor((b - 128) * (Gain / 3)), for every byte and every whole gain the fast path takes, in
// each form of the vector loop.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "engine/sample_scaling.h"
#include "instruction_set_names.h"

namespace {

using pellix::InstructionSet;

class SampleScalingTest : public testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override { pellix::LimitInstructionSet(GetParam()); }
  void TearDown() override { pellix::LimitInstructionSet(pellix::kWidestInstructionSet); }
};

std::array<double, 256> ScaledInDoubles(double Gain) {
  std::array<double, 256> scaled;
  for (int b = 0; b < 256; ++b) scaled[b] = std::floor((b - 128) * (Gain / 3));
  return scaled;
}

TEST_P(SampleScalingTest, BothBulkFormsMatchTheDoublesOnEveryByte) {
  // 300 bytes, so that the vector loops and the byte-at-a-time tail both run.
  std::array<std::uint8_t, 300> bytes;
  for (std::size_t j = 0; j < bytes.size(); ++j) bytes[j] = static_cast<std::uint8_t>(j * 7);
  int whole = 0;
  for (int G = -255; G <= 255; ++G) {
    const std::array<double, 256> scaled = ScaledInDoubles(G);
    std::array<std::int16_t, 300> out;
    const std::optional<int> whole_gain = Tarvo_alg1::WholeGainFor(G, scaled);
    if (whole_gain) {
      ASSERT_EQ(*whole_gain, G);
      ++whole;
      Tarvo_alg1::ScaleBytes(bytes.data(), bytes.size(), G, out.data());
      for (std::size_t j = 0; j < bytes.size(); ++j) {
        ASSERT_EQ(out[j], scaled[bytes[j]]) << "gain " << G << ", byte " << int{bytes[j]};
      }
    }
    const std::size_t done =
        Tarvo_alg1::ScaleBytesInDoubles(bytes.data(), bytes.size(), G / 3.0, out.data());
    EXPECT_EQ(done, pellix::ActiveInstructionSet() >= InstructionSet::kAvx2 ? 296u : 0u);
    for (std::size_t j = 0; j < done; ++j) {
      ASSERT_EQ(out[j], scaled[bytes[j]]) << "in doubles, gain " << G << ", byte " << int{bytes[j]};
    }
  }
  EXPECT_GT(whole, 300);  // most whole gains take the integer path
}

TEST_P(SampleScalingTest, GainsTheIntegerRuleCannotReproduceAreRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  // 50 / 3 is rounded up, and -120 x (50 / 3) is -2000.0000000000002, which rounds down to
  // -2001 where the whole-number rule gives -2000; 7 / 3 likewise at -27 (-63.00000000000001).
  for (double Gain : {50.0, 7.0, 2.5, -0.5, 256.0, -256.0, 1e9, nan}) {
    EXPECT_EQ(Tarvo_alg1::WholeGainFor(Gain, ScaledInDoubles(Gain)), std::nullopt) << Gain;
  }
  for (double Gain : {3.0, 5.0, 6.0, 51.0, -3.0, 255.0}) {
    EXPECT_EQ(Tarvo_alg1::WholeGainFor(Gain, ScaledInDoubles(Gain)), static_cast<int>(Gain));
  }
  // A table the whole-number rule does not reproduce is refused even for a whole gain.
  std::array<double, 256> off_by_one = ScaledInDoubles(5);
  off_by_one[131] += 1;
  EXPECT_EQ(Tarvo_alg1::WholeGainFor(5, off_by_one), std::nullopt);
}

PELLIX_INSTANTIATE_FOR_EACH_INSTRUCTION_SET(SampleScalingTest);

}  // namespace
