// Classifying the scan's positions on the sample bytes (byte_classify_kernel.h), in each form:
// which gains allow it and with which bounds, the classes of hand-built neighbourhoods on the
// rules' edges at the gain 3, where a comparison on bytes could slip by one, and every gain that
// allows it against the 16-bit classification of the same stored samples.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/byte_class_rules.h"
#include "engine/forms.h"
#include "engine/position_bits.h"
#include "engine/sample_scaling.h"
#include "instruction_set_names.h"

namespace {

using pellix::InstructionSet;
using Tarvo_alg1::Bit;
using Tarvo_alg1::ByteClassRules;
using Tarvo_alg1::PositionBits;

std::array<double, 256> Scaled(int G) {
  std::array<double, 256> scaled;
  for (int b = 0; b < 256; ++b) scaled[b] = std::floor((b - 128) * (G / 3.0));
  return scaled;
}

TEST(ByteClassRulesTest, GainsWhoseFlatnessIsADistanceBetweenBytes) {
  struct Case {
    int G;
    std::optional<ByteClassRules> rules;
  };
  // Above 5 from the first byte whose sample is 6 or more, below -5 up to the last whose sample
  // is -6 or less; flat while bytes lie within 2 (G = 3), 1 (5 and 6: samples 1 to 2 apart, 2
  // bytes 3 to 4 apart) or 0 (9 and up: 3 apart).
  const Case kCases[] = {{3, ByteClassRules{133, 123, 2}},
                         {5, ByteClassRules{131, 125, 1}},
                         {6, ByteClassRules{130, 126, 1}},
                         {9, ByteClassRules{129, 127, 0}},
                         {255, ByteClassRules{128, 128, 0}},
                         {4, std::nullopt},  // 2 bytes apart: 2 or 3
                         {7, std::nullopt},
                         {8, std::nullopt},  // 1 byte apart: 2 or 3
                         {1, std::nullopt},
                         {2, std::nullopt},  // samples repeat
                         {0, std::nullopt},
                         {-3, std::nullopt}};
  for (const Case& c : kCases) {
    const std::optional<ByteClassRules> rules = Tarvo_alg1::ByteClassRulesFor(Scaled(c.G));
    ASSERT_EQ(rules.has_value(), c.rules.has_value()) << "gain " << c.G;
    if (!rules) continue;
    EXPECT_EQ(rules->above_five, c.rules->above_five) << "gain " << c.G;
    EXPECT_EQ(rules->below_minus_five, c.rules->below_minus_five) << "gain " << c.G;
    EXPECT_EQ(rules->flat_distance, c.rules->flat_distance) << "gain " << c.G;
  }
}

class ByteClassifyTest : public testing::TestWithParam<InstructionSet> {
 protected:
  void SetUp() override {
    pellix::LimitInstructionSet(GetParam());
    bytes.fill(128);  // sample 0: flat, no thorns
  }
  void TearDown() override { pellix::LimitInstructionSet(pellix::kWidestInstructionSet); }

  Tarvo_alg1::ScaledAndClassified Run(int G, std::size_t first_slot) {
    thorn.fill(0);
    nonflat.fill(0);
    return Tarvo_alg1::ActiveForms().scale_and_classify_bytes(
        bytes.data(), bytes.size(), G, *Tarvo_alg1::ByteClassRulesFor(Scaled(G)), slots.data(),
        first_slot, thorn, nonflat);
  }

  std::array<std::uint8_t, 300> bytes;
  std::array<std::int16_t, 301> slots{};
  PositionBits thorn;
  PositionBits nonflat;
};

// Three bytes a, b, c (at the gain 3, samples a - 128 and so on) and what the position they
// start is.
struct Neighbourhood {
  std::uint8_t a, b, c;
  bool thorn, nonflat;
};

constexpr Neighbourhood kNeighbourhoods[] = {
    {134, 140, 134, true, true},     // a peak with both neighbours at 6
    {133, 140, 134, false, true},    // a neighbour at exactly 5 is not above 5
    {122, 100, 122, true, true},     // a trough with both neighbours at -6
    {123, 100, 122, false, true},    // a neighbour at exactly -5
    {200, 201, 200, true, false},    // a peak 1 above its neighbours: a thorn, and flat
    {2, 1, 2, true, false},          // the same trough near the bottom of the range
    {130, 132, 130, false, false},   // neighbours 2 away: flat
    {130, 133, 130, false, true},    // 3 away: not flat
    {131, 131, 128, false, true},    // 3 away on one side only
    {255, 1, 255, false, true},      // a trough far above -5 is no thorn
    {1, 255, 1, false, true},        // a peak far below 5 is no thorn
    {140, 140, 140, false, false}};  // equal samples: no thorn, flat

TEST_P(ByteClassifyTest, AtTheGainThreeSlotsAreTheBytesLess128AndEdgesClassifyAsTheRulesSay) {
  for (std::size_t i = 0; i < std::size(kNeighbourhoods); ++i) {
    const Neighbourhood& n = kNeighbourhoods[i];
    bytes[3 + 5 * i] = n.a;
    bytes[4 + 5 * i] = n.b;
    bytes[5 + 5 * i] = n.c;
  }
  const Tarvo_alg1::ScaledAndClassified done = Run(3, 0);
  ASSERT_GE(done.classified_end, 64u);  // every neighbourhood lies in the positions classified
  for (std::size_t j = 0; j < done.scaled; ++j) ASSERT_EQ(slots[j], bytes[j] - 128) << j;
  for (std::size_t i = 0; i < std::size(kNeighbourhoods); ++i) {
    const Neighbourhood& n = kNeighbourhoods[i];
    EXPECT_EQ(Bit(thorn, 3 + 5 * i), n.thorn) << int{n.a} << " " << int{n.b} << " " << int{n.c};
    EXPECT_EQ(Bit(nonflat, 3 + 5 * i), n.nonflat) << int{n.a} << " " << int{n.b} << " " << int{n.c};
  }
}

TEST_P(ByteClassifyTest, AfterARestartTheFirstPositionReadsTheSlotStoredBefore) {
  bytes[0] = 140;
  bytes[1] = 134;
  slots[0] = 6;  // byte 134, stored by the take's first stretch
  Tarvo_alg1::ScaledAndClassified done = Run(3, 1);
  EXPECT_GE(done.classified_end, 64u);
  EXPECT_EQ(slots[1], 12);
  EXPECT_TRUE(Bit(thorn, 0));  // 6, 12, 6
  EXPECT_FALSE(Bit(thorn, 1));
  EXPECT_TRUE(Bit(nonflat, 1));  // 12, 6, 0
  slots[0] = 300;                // whatever the slot holds
  done = Run(3, 1);
  EXPECT_FALSE(Bit(thorn, 0));  // 300, 12, 6
  EXPECT_TRUE(Bit(nonflat, 0));
}

TEST_P(ByteClassifyTest, EveryGainStoresItsSamplesAndClassifiesAsThe16BitSamplesDo) {
  std::uint32_t seed = 7;
  for (auto& b : bytes) {
    seed = seed * 1664525u + 1013904223u;
    b = static_cast<std::uint8_t>(116 + (seed >> 27));  // 116 to 147: edges at every gain
  }
  bytes[7] = 0;  // and the ends of the range, for the scaling
  bytes[8] = 255;
  for (int G = 3; G <= 255; ++G) {
    // As the intake has it: a whole gain whose integer scaling gives the doubles' samples.
    const std::array<double, 256> scaled = Scaled(G);
    if (!Tarvo_alg1::WholeGainFor(G, scaled) || !Tarvo_alg1::ByteClassRulesFor(scaled)) continue;
    const Tarvo_alg1::ScaledAndClassified done = Run(G, 0);
    for (std::size_t j = 0; j < done.scaled; ++j) {
      ASSERT_EQ(slots[j], scaled[bytes[j]]) << "gain " << G << ", byte " << int{bytes[j]};
    }
    const PositionBits on_bytes_thorn = thorn;
    const PositionBits on_bytes_nonflat = nonflat;
    Tarvo_alg1::ActiveForms().classify_narrow(slots.data(), 0, done.classified_end - 1, thorn,
                                              nonflat);
    for (std::size_t k = 0; k < done.classified_end; ++k) {
      ASSERT_EQ(Bit(on_bytes_thorn, k), Bit(thorn, k)) << "gain " << G << ", position " << k;
      ASSERT_EQ(Bit(on_bytes_nonflat, k), Bit(nonflat, k)) << "gain " << G << ", position " << k;
    }
  }
}

PELLIX_INSTANTIATE_FOR_EACH_INSTRUCTION_SET(ByteClassifyTest);

}  // namespace
